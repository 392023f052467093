#include "VelOldManagerProcessor.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "ClientWindow.h"
#include "Crc32.h"
#include "ManagerEvents.h"
#include "ProcessorServices.h"
#include "SerialLine.h"

unsigned char CVelOldManagerProcessor::s_header[CDownloadImage::kRecordSize] = {
    0x00, 'K', 'O', 'R', 'V', 'A', 'N', 'T', 'E', 'X', ' ', ' ', ' ', ' ', ' ',
    ' ',  ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
int32_t CVelOldManagerProcessor::s_nRemaining = 0;

CVelOldManagerProcessor::CVelOldManagerProcessor(IProcessorServices* owner)
    : CVelManagerProcessor(owner) {
  m_nProcessorID = 0;
  std::strncpy(m_szName, "VelOldDownloadManager", sizeof m_szName);
}

CVelOldManagerProcessor::~CVelOldManagerProcessor() { delete[] m_pszFilePath; }

const char* CVelOldManagerProcessor::ErrorReportText(unsigned char code) {
  switch (code) {
    case 0x51: return "Function Communication";
    case 0x53: return "Download End";
    case 0x54: return "Header is wrong";
    case 0x55: return "Data Communication";
    case 0x56: return "Count number";
    case 0x57: return "Checksum check";
    case 0x58: return "Frash erase failure";
    case 0x59: return "Header communication";
    case 0x5A: return "Data communication";
    default: return "Unknown";
  }
}

namespace {
const struct {
  unsigned char code;
  const char* name;
} kFunctions[] = {{0, nullptr},
                  {CVelOldManagerProcessor::FUNC_PROGRAM, "FUNC_PROGRAM"},
                  {CVelOldManagerProcessor::FUNC_DATA_DIG, "FUNC_DATA_DIG"},
                  {CVelOldManagerProcessor::FUNC_DATA_ANAL, "FUNC_DATA_ANAL"},
                  {CVelOldManagerProcessor::FUNC_DATA_DIGANAL, "FUNC_DATA_DIGANAL"}};
}  // namespace

unsigned char CVelOldManagerProcessor::FunctionCode(int imageKind) {
  return imageKind > 0 && imageKind <= CDownloadImage::kDigAnal ? kFunctions[imageKind].code : 0;
}

const char* CVelOldManagerProcessor::FunctionName(int imageKind) {
  return imageKind > 0 && imageKind <= CDownloadImage::kDigAnal ? kFunctions[imageKind].name : nullptr;
}

unsigned char CVelOldManagerProcessor::BaudCode(unsigned long baudRate) {
  switch (baudRate) {
    case 9600: return 0x01;
    case 19200: return 0x02;
    case 38400: return 0x03;
    case 57600: return 0x04;
    case 115200: return 0x05;
    default: return 0;
  }
}

void CVelOldManagerProcessor::SendFormatted(long kind, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(m_szText, sizeof m_szText, format, args);
  va_end(args);
  SendEventMsg(m_szText, kind);
}

bool CVelOldManagerProcessor::SetTransferFile(const char* path) {
  delete[] m_pszFilePath;
  m_pszFilePath = nullptr;
  if (path) {
    const std::size_t n = std::strlen(path) + 1;
    m_pszFilePath = new char[n];
    std::memcpy(m_pszFilePath, path, n);
  }
  m_nState = kWaitSync;
  m_bOverflowReported = false;
  if (m_pParent) m_pParent->KillTimer(kSilenceTimerId);
  return true;
}

bool CVelOldManagerProcessor::SetFilePath(const char* path) {
  std::vector<unsigned char> contents;
  const IProcessorServices::FileRead read =
      path && m_pOwner ? m_pOwner->ReadFile(path, contents) : IProcessorServices::FileRead::CannotOpen;
  if (read != IProcessorServices::FileRead::Ok) {
    const char* shown = path ? path : "";
    std::string text = read == IProcessorServices::FileRead::OutOfMemory
                           ? "CVelOldManagerProcessor::SetFilePath() - not enough memory for \""
                           : "CVelOldManagerProcessor::SetFilePath() - CreateFile(\"";
    text += shown;
    text += read == IProcessorServices::FileRead::OutOfMemory ? "\"" : "\") Failed!";
    if (m_pOwner) m_pOwner->ShowMessageBox(text.c_str(), nullptr, box::kIconError);
    return false;
  }
  m_image.Load(contents);
  m_nOffset = 0;
  return true;
}

int32_t CVelOldManagerProcessor::GetSectionLength(const unsigned char* record) const {
  return CDownloadImage::SectionLength(record, m_nDigSize64K, m_nDigSize1K);
}

void CVelOldManagerProcessor::SendDataHeader(const unsigned char* record) {
  unsigned char frame[kDataHeaderSize];
  std::memcpy(frame, record, CDownloadImage::kRecordSize);
  std::memset(frame + CDownloadImage::kRecordSize, 0xFF, kDataHeaderSize - CDownloadImage::kRecordSize);
  if (m_pPort)
    for (int i = 0; i < kDataHeaderSize; i += 8) m_pPort->WriteData(frame + i, 8);
  if (m_pOwner) m_pOwner->Pause(1);
  if (LineLost()) return;
  SendEventMsg("Send DataHeader", EVENT_MESSAGE);
}

void CVelOldManagerProcessor::SendDataBlock(unsigned char* frame) {
  const uint32_t sum = CCrc32::Compute(frame + 2, kBlockDataSize);
  unsigned char* checksum = frame + 2 + kBlockDataSize;
  checksum[0] = static_cast<unsigned char>(sum >> 24);
  checksum[1] = static_cast<unsigned char>(sum >> 16);
  checksum[2] = static_cast<unsigned char>(sum >> 8);
  checksum[3] = static_cast<unsigned char>(sum);
  if (m_pPort) {
    m_pPort->WriteByte(frame[0]);
    m_pPort->WriteByte(frame[1]);
    for (int i = 0; i < kBlockDataSize; i += 8) m_pPort->WriteData(frame + 2 + i, 8);
    for (int i = 0; i < 4; ++i) m_pPort->WriteByte(checksum[i]);
  }
  if (m_pOwner) m_pOwner->Pause(1);
}

void CVelOldManagerProcessor::OnReceiveByte(unsigned char byte) {
  if (!EnsureReceiveBuffer()) {
    // No buffer for this byte: it is dropped, and the cancel just requested is honoured.
    Tail();
    return;
  }
  if (m_nReceived >= kReceiveBufferSize) {
    // Stray bytes filled the buffer (the box talks while a header request is awaited).
    if (!m_bOverflowReported)
      SendFormatted(EVENT_ERROR, "Receive buffer full: %d bytes from STB discarded", m_nReceived);
    m_bOverflowReported = true;
    ClearReceiveBuffer();
  }
  m_pBuf[m_nReceived++] = byte;
  const unsigned char first = m_pBuf[0];

  if (first == ERROR_REPORT) {
    if (m_nReceived < 2) return;
    SendErrorMsg(ErrorReportText(m_pBuf[1]));
    ClearReceiveBuffer();
    if (m_nState != kIdle) m_nState = kWaitSync;
    m_nOffset = 0;
    return;
  }

  if (first == SYNC && m_nReceived == 1) EndIfBoxStartedOver();

  switch (m_nState) {
    case kIdle:
      if (first != 0) SendErrorMsg("Please, select a file to download");
      m_nReceived = 0;
      break;
    case kWaitSync:
      if (first != SYNC) {
        ClearReceiveBuffer();
        return;
      }
      Handshake();
      break;
    case kWaitReady:
      if (first == READY) {
        SendEventMsg("Received READY from STB", EVENT_MESSAGE);
        if (m_pPort) m_pPort->WriteByte(READY_ACK);
        if (LineLost()) return;
        m_nState = kWaitFunc;
        ClearReceiveBuffer();
        SendEventMsg("Send READY_ACK to STB", EVENT_MESSAGE);
        SendInProcessMsg(1);
      } else {
        SendErrorMsg("Invalid Protocol 1 : READY");
        ClearReceiveBuffer();
        m_nState = kWaitSync;
      }
      break;
    case kWaitFunc:
      if (first == FUNC) {
        SelectFunction();
      } else {
        SendFormatted(EVENT_ERROR, "invalid Protocol : FUNC(0x%02x)", first);
        ClearReceiveBuffer();
      }
      break;
    case kWaitFuncEcho:
      if (first >= FUNC_DATA_DIG && first <= FUNC_PROGRAM) {
        SendEventMsg("Received FUNC_PROGRAM from STB", EVENT_MESSAGE);
        ClearReceiveBuffer();
        m_nOffset = 0;
        m_nState = kWaitHeaderRep;
      } else {
        SendErrorMsg("Invalid Protocol : FUNC_PROGRAM");
        ClearReceiveBuffer();
      }
      break;
    case kWaitHeaderRep:
      if (first == HEADER_REP) {
        if (HeaderStep()) return;  // the download ended here: no tail
      } else {
        // A stray byte kept here would stay first in the buffer and hide every later
        // request, error report and SYNC: it is dropped.
        ClearReceiveBuffer();
      }
      break;
    case kWaitDataHeader:
      if (m_nReceived >= 2) BlockStep();
      break;
    default:
      break;
  }
  // A line whose device has gone is ended by the reader, which reports it. Each step stops
  // after the write that found it gone: nothing claims what did not reach the box, and no
  // timer restart, progress or cancel reopen follows on a port that is no longer there.
  if (LineLost()) return;
  Tail();
}

void CVelOldManagerProcessor::EndIfBoxStartedOver() {
  // From FUNC on, the box never sends SYNC: one that does has started over (restarted, or
  // switched off and on). The download in hand ends in words and this SYNC is answered with a
  // new handshake at the line's rate, where the box's SYNC was read. (Waiting for READY, a SYNC
  // is a repeat that crossed the PC's echo: that one is not taken for a restart.)
  if (m_nState != kWaitFunc && m_nState != kWaitFuncEcho && m_nState != kWaitHeaderRep &&
      m_nState != kWaitDataHeader)
    return;
  SendErrorMsg("STB started again during the download (it sent SYNC): download stopped, a new one starts.");
  m_nOffset = 0;
  m_nState = kWaitSync;
}

void CVelOldManagerProcessor::OnPortLost() {
  m_nState = kWaitSync;
  CVelManagerProcessor::OnPortLost();
}

void CVelOldManagerProcessor::Tail() {
  if (m_pParent) {
    m_pParent->KillTimer(kSilenceTimerId);
    m_pParent->SetTimer(kSilenceTimerId, kSilenceTimerMs);
  }
  if (!m_pCancel || *m_pCancel == 0) {
    SendProgress();
    return;
  }
  // Honour the cancel: tell the client, bring the line back to 9600 and wait for a new SYNC.
  if (m_pOwner) m_pOwner->SignalCancel();
  PostEventMsg("Canceled...", EVENT_MESSAGE);
  unsigned short port = 0;
  unsigned long baud = 0;
  if (m_pOwner) m_pOwner->GetComportInfo(&port, &baud);
  ReopenPort(port, 9600);
  ClearReceiveBuffer();
  m_nState = kWaitSync;
  if (m_pParent) m_pParent->KillTimer(kSilenceTimerId);
}

void CVelOldManagerProcessor::SendProgress() {
  std::snprintf(m_szText, sizeof m_szText, "%ul", static_cast<unsigned>(m_nOffset));
  SendEventMsg(m_szText, EVENT_PROGRESS);
}

void CVelOldManagerProcessor::ReopenPort(unsigned short port, unsigned long baudRate) {
  if (m_pOwner) m_pOwner->Pause(200);
  if (m_pPort) {
    m_pPort->Uninitialize();
    m_pPort->Initialize(port, baudRate);
  }
  if (m_pOwner) m_pOwner->Pause(200);
}

void CVelOldManagerProcessor::Handshake() {
  unsigned short port = 0;
  unsigned long baud = 0;
  if (m_pOwner) m_pOwner->GetComportInfo(&port, &baud);
  SetFilePath(m_pszFilePath);
  std::snprintf(m_szText, sizeof m_szText, "%ul", static_cast<unsigned>(m_image.Size()));
  SendEventMsg(m_szText, EVENT_TOTAL);

  const bool switchRate = m_pPort && m_pPort->GetBaudRate() != baud;
  if (m_pPort) {
    m_pPort->WriteByte(SYNC);
    if (const unsigned char code = BaudCode(baud)) m_pPort->WriteByte(code);
  }
  if (LineLost()) return;
  if (switchRate) ReopenPort(port, baud);
  ClearReceiveBuffer();
  m_nState = kWaitReady;
}

void CVelOldManagerProcessor::SelectFunction() {
  SendEventMsg("Received FUNC from STB", EVENT_MESSAGE);
  m_nImageKind = m_image.Scan(m_nDigSize64K, m_nDigSize1K);
  m_nOffset = 0;
  // An image whose sections run past its end would make the data phase read outside it:
  // it is refused like an image without sections, before anything is sent.
  std::string layout;
  if (m_nImageKind != CDownloadImage::kNone) layout = m_image.CheckLayout(m_nDigSize64K, m_nDigSize1K);
  if (!layout.empty()) {
    SendErrorMsg(layout.c_str());
    m_nImageKind = CDownloadImage::kNone;
  }
  if (m_nImageKind == CDownloadImage::kNone) {
    SendErrorMsg("Image file is invalid.");
  } else {
    if (m_pPort) m_pPort->WriteByte(FunctionCode(m_nImageKind));
    if (LineLost()) return;
    SendFormatted(EVENT_MESSAGE, "Send %s to STB", FunctionName(m_nImageKind));
  }
  m_nState = kWaitFuncEcho;
  ClearReceiveBuffer();
}

void CVelOldManagerProcessor::AbandonImage(const char* text) {
  SendErrorMsg(text);
  ClearReceiveBuffer();
  m_nOffset = 0;
  m_nState = kWaitSync;
}

bool CVelOldManagerProcessor::HeaderStep() {
  SendEventMsg("Received HEADER_REP from STB", EVENT_MESSAGE);
  const int64_t at = m_nOffset;
  if (at >= static_cast<int64_t>(m_image.Size())) {
    // The box asks for a header where the image has none left (it asked for a wrong block).
    AbandonImage("Image file is invalid: no section record left to send.");
    return false;
  }
  m_image.CopyRecord(at, s_header);
  m_nOffset += CDownloadImage::kRecordSize;
  if (static_cast<uint32_t>(m_nOffset) >= m_image.Size()) {
    CompleteDownload();
    return true;
  }
  const int32_t length = GetSectionLength(s_header);
  if (length < 0 || !m_image.Holds(at + CDownloadImage::kHeaderAreaSize, length)) {
    AbandonImage("Image file is invalid: a section runs past the end of the image.");
    return false;
  }
  SendDataHeader(s_header);
  if (LineLost()) return false;
  m_nOffset += CDownloadImage::kHeaderAreaSize - CDownloadImage::kRecordSize;
  SendEventMsg("Start Downloading...", EVENT_MESSAGE);
  m_nState = kWaitDataHeader;
  ClearReceiveBuffer();
  s_nRemaining = length;
  m_nBlockCounter = 1;
  return false;
}

void CVelOldManagerProcessor::CompleteDownload() {
  s_header[0] = 0;
  SendDataHeader(s_header);
  // An end header that never reached the box is no completion: the lost line is reported instead.
  if (LineLost()) return;
  // Idle from here on, before the client hears of the completion: a client that arms again
  // while it is told (in a handler, or once the box is closed) must find its state kept.
  m_nState = kIdle;
  m_nOffset = 0;
  FreeReceiveBuffer();
  if (m_pOwner) m_pOwner->MessageBeep(0);
  if (m_pPort) m_pPort->PurgePort();
  if (m_pOwner) m_pOwner->Pause(500);
  SendEventMsg("Download Completed!", EVENT_MESSAGE);
  SendInProcessMsg(0);
  if (m_pOwner) m_pOwner->Pause(500);
  unsigned short port = 0;
  unsigned long baud = 0;
  if (m_pOwner) m_pOwner->GetComportInfo(&port, &baud);
  if (m_pPort) m_pPort->Uninitialize();
  if (m_pParent) m_pParent->ShowMessageBox("Download Completed!", "OK", box::kOk);
  if (m_pPort) m_pPort->Initialize(port, 9600);
  if (m_pParent) m_pParent->Send(m_unMsgEvent, 0, EVENT_COMPLETE);
}

void CVelOldManagerProcessor::BlockStep() {
  const unsigned char a = m_pBuf[0];
  const unsigned char b = m_pBuf[1];
  if (a != DATA_HEADER) {
    if (b != DATA_HEADER) {
      m_nReceived = 0;
      SendFormatted(EVENT_ERROR, "Invalid Protocol : DATA_HEADER %x %x %x", 0, a, b);
      return;
    }
    // The two bytes came in the other order: serve a as the block number.
    SendFormatted(EVENT_ERROR, "Invalid Protocol : DATA_HEADER %x %x %x", m_nReceived, a, b);
    m_pBuf[1] = a;
  }
  const int expected = m_nBlockCounter % 10;
  const int32_t remaining = s_nRemaining;
  const int n = remaining < kBlockDataSize ? remaining : kBlockDataSize;
  if (n < 0 || !m_image.Holds(m_nOffset, n)) {
    AbandonImage("Image file is invalid: a section runs past the end of the image.");
    return;
  }
  m_blockFrame[0] = DATA_HEADER;
  m_blockFrame[1] = remaining > kBlockDataSize ? static_cast<unsigned char>(expected) : LAST_BLOCK;
  std::memcpy(m_blockFrame + 2, m_image.Data() + m_nOffset, n);
  m_nOffset += n;
  SendDataBlock(m_blockFrame);

  if (m_pBuf[1] == expected) {
    ClearReceiveBuffer();
    ++m_nBlockCounter;
    if (remaining <= kBlockDataSize) m_nState = kWaitHeaderRep;
    s_nRemaining = remaining - kBlockDataSize;
  } else {
    m_nState = kWaitHeaderRep;
    ClearReceiveBuffer();
  }
}
