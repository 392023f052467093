#include "SerialBox.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "BoxSectionRecord.h"

namespace {

const uint32_t kRates[] = {0, 9600, 19200, 38400, 57600, 115200};
constexpr uint8_t kFiller = 0xFF;
constexpr size_t kBabbleChunk = 32;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Hex(const uint8_t* data, size_t size, size_t max = 16) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < size && i < max; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02x" : "%02x", data[i]);
    text += byte;
  }
  if (size > max) text += " ...";
  return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }

const char* ErrorName(uint8_t code) {
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
    default: return "unknown error";
  }
}

const char* FunctionName(uint8_t code) {
  switch (code) {
    case 0x04: return "FUNC_DATA_DIG";
    case 0x05: return "FUNC_DATA_ANAL";
    case 0x06: return "FUNC_DATA_DIGANAL";
    case 0x07: return "FUNC_PROGRAM";
    default: return "no function";
  }
}

std::string DescribeResult(const SBoxDownloadResult& r) {
  switch (r.outcome) {
    case SBoxDownloadResult::kCompleted: {
      double seconds = double(r.end - r.dataStart) / 1e6;
      return Format("download %d completed: %zu image bytes, %d section%s, %d block%s, %zu payload bytes in %.3f s "
                    "(%.0f B/s) at %u baud",
                    r.download, r.imageBytes, r.sections, r.sections == 1 ? "" : "s", r.blocks,
                    r.blocks == 1 ? "" : "s", r.payloadBytes, seconds,
                    seconds > 0 ? double(r.payloadBytes) / seconds : 0.0, r.rate);
    }
    case SBoxDownloadResult::kFailed: return Format("download %d failed: %s", r.download, r.reason.c_str());
    case SBoxDownloadResult::kInterrupted: return Format("download %d interrupted: %s", r.download, r.reason.c_str());
  }
  return "";
}

}  // namespace

CSerialBox::CSerialBox(const SBoxSettings& settings, BoxTime start)
    : m_settings(settings), m_now(start), m_rng(settings.seed ? settings.seed : 0x9E3779B9u) {
  // Repeats need a period, or the box would spin.
  m_settings.syncIntervalMs = std::max<uint32_t>(m_settings.syncIntervalMs, 1);
  m_settings.readyIntervalMs = std::max<uint32_t>(m_settings.readyIntervalMs, 1);
  m_settings.readyTries = std::max<uint32_t>(m_settings.readyTries, 1);
  m_rx.SetPacing(settings.pace);
  m_tx.SetPacing(settings.pace);
  m_rxTail = m_rx;
  m_frame.reserve(kBlockFrame);
  StartDownload(start);
}

// ---- the caller's side

void CSerialBox::Feed(const uint8_t* data, size_t size, BoxTime now) {
  Advance(now);
  if (m_input.empty()) m_rxTail = m_rx;
  size_t dropped = 0;
  for (size_t i = 0; i < size; ++i) {
    if (m_input.size() >= kMaxPendingInput) {
      ++dropped;
      continue;
    }
    m_input.push_back({data[i], now});
    m_inputDone = m_rxTail.Schedule(now);
  }
  if (dropped) {
    m_overrun += dropped;
    Log(SBoxLogEntry::kEvent, Format("receive overrun: %zu bytes from the PC lost (%zu in all)", dropped, m_overrun));
  }
  Advance(now);
}

void CSerialBox::Advance(BoxTime now) {
  for (;;) {
    BoxTime input = m_input.empty() ? kBoxNever : m_rx.Peek(m_input.front().arrival);
    BoxTime next = std::min(input, m_timer);
    if (next > now) break;
    if (next > m_now) m_now = next;
    if (input <= m_timer) {
      SPending pending = m_input.front();
      m_input.pop_front();
      m_rx.Schedule(pending.arrival);
      OnByte(pending.byte, pending.arrival);
    } else {
      m_timer = kBoxNever;
      OnTimer();
    }
  }
  if (now > m_now) m_now = now;
}

BoxTime CSerialBox::NextEventTime() const {
  BoxTime next = m_timer;
  if (!m_input.empty()) next = std::min(next, m_inputDone);
  if (!m_output.empty()) next = std::min(next, m_output.front().done);
  return next;
}

std::vector<uint8_t> CSerialBox::TakeOutput(BoxTime now) {
  Advance(now);
  size_t count = 0;
  while (count < m_output.size() && m_output[count].done <= now) ++count;
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = m_output[i].byte;
  m_output.pop_front(count);
  return out;
}

std::vector<SBoxLogEntry> CSerialBox::TakeLog() {
  FlushStrays();
  if (m_logDropped) {
    m_log.push_back({m_now, m_download, SBoxLogEntry::kEvent, Format("%zu log lines dropped", m_logDropped)});
    m_logDropped = 0;
  }
  std::vector<SBoxLogEntry> log;
  log.swap(m_log);
  return log;
}

bool CSerialBox::InEndlessFault() const { return (m_phase == kSilent || m_phase == kBabble) && m_faultEnd == kBoxNever; }

std::string CSerialBox::Activity() const {
  switch (m_phase) {
    case kSendSync:
      return m_syncsSent ? Format("waiting for the SYNC echo (%d SYNC sent)", m_syncsSent) : "about to send SYNC";
    case kAwaitCode: return "waiting for the baud code";
    case kReopen: return "waiting for the PC to reopen its port";
    case kAwaitReadyAck: return Format("waiting for READY_ACK (%u READY sent)", m_readySent);
    case kAwaitFunction: return "waiting for the function code";
    case kAwaitHeader: return Format("waiting for data header %d (%zu of 64 bytes)", m_headers, m_frame.size());
    case kAwaitBlock:
      return Format("waiting for block %d, %d of section %d (%zu of 1030 bytes)", m_blocks, m_sectionBlock, m_section,
                    m_frame.size());
    case kSilent: return "silent as asked";
    case kBabble: return "babbling as asked";
  }
  return "";
}

// ---- the exchange

void CSerialBox::StartDownload(BoxTime firstSync) {
  ++m_download;
  m_phase = kSendSync;
  m_start = firstSync;
  m_dataStart = 0;
  m_syncsSent = 0;
  m_readySent = 0;
  m_function = 0;
  m_overlongCode = 0x51;
  m_headers = m_blocks = m_section = m_sectionBlock = 0;
  m_sectionLength = m_remaining = 0;
  m_payloadBytes = 0;
  m_frame.clear();
  m_image.Clear();
  m_fired.assign(m_settings.faults.size(), false);
  m_breakingFault.clear();
  m_faultEnd = kBoxNever;
  m_timer = firstSync;
}

void CSerialBox::OnByte(uint8_t byte, BoxTime arrival) {
  switch (m_phase) {
    case kSendSync:
      if (m_syncsSent == 0 || arrival < m_awaitFrom || byte != kSync) {
        Stray(byte, arrival, "waiting for the SYNC echo");
        return;
      }
      Log(SBoxLogEntry::kFromPc, "22 SYNC echo: ok");
      m_echoAt = m_now;
      m_phase = kAwaitCode;
      m_timer = m_now + m_settings.codeWaitMs * kBoxMs;
      return;

    case kAwaitCode:
      if (byte >= 0x01 && byte <= 0x05) {
        Log(SBoxLogEntry::kFromPc, Format("%02x baud code: %u baud", byte, kRates[byte]));
        SetLineRate(kRates[byte]);
        m_phase = kReopen;
        m_timer = m_now + m_settings.reopenDelayMs * kBoxMs;
      } else {
        Stray(byte, arrival, "waiting for the baud code");
        Log(SBoxLogEntry::kEvent, Format("no baud code: the line stays at %u baud", m_rate));
        m_phase = kReopen;
        m_timer = std::max(m_now, m_echoAt + m_settings.reopenDelayMs * kBoxMs);
      }
      return;

    case kReopen: Stray(byte, arrival, "the PC reopens its port"); return;

    case kAwaitReadyAck:
      if (arrival < m_awaitFrom) {
        Stray(byte, arrival, "waiting for READY_ACK");
      } else if (byte != kReady) {
        Fail(0x51, Format("expected READY_ACK 05, got %02x", byte));
      } else {
        Log(SBoxLogEntry::kFromPc, "05 READY_ACK: ok");
        if (Emit(SBoxPoint::kFunc, {kFunc}, "FUNC")) AwaitFrame(kAwaitFunction, 1);
      }
      return;

    case kAwaitFunction:
      if (arrival < m_awaitFrom) {
        Stray(byte, arrival, "waiting for the function code");
      } else if (byte < 0x04 || byte > 0x07) {
        Fail(0x51, Format("function code %02x is none of 04-07", byte));
      } else {
        m_function = byte;
        Log(SBoxLogEntry::kFromPc, Format("%02x %s: ok", byte, FunctionName(byte)));
        if (Emit(SBoxPoint::kEcho, {byte}, "function echo")) RequestHeader();
      }
      return;

    case kAwaitHeader:
    case kAwaitBlock:
      if (arrival < m_awaitFrom) {
        Fail(m_overlongCode, Format("byte %02x came before the %s request had left: the PC's previous frame was too long",
                                    byte, m_phase == kAwaitHeader ? "header" : "block"));
        return;
      }
      m_frame.push_back(byte);
      if (m_frame.size() < m_frameSize) return;
      if (m_phase == kAwaitHeader)
        OnHeader();
      else
        OnBlock();
      return;

    case kSilent: Stray(byte, arrival, "silent"); return;
    case kBabble: Stray(byte, arrival, "babbling"); return;
  }
}

void CSerialBox::OnTimer() {
  switch (m_phase) {
    case kSendSync: SendSync(); return;
    case kAwaitCode:
      Log(SBoxLogEntry::kEvent, Format("no baud code: the line stays at %u baud", m_rate));
      m_phase = kReopen;
      m_timer = std::max(m_now, m_echoAt + m_settings.reopenDelayMs * kBoxMs);
      return;
    case kReopen: SendReady(true); return;
    case kAwaitReadyAck:
      if (m_readySent < m_settings.readyTries)
        SendReady(false);
      else
        Fail(0x51, Format("no READY_ACK after %u READY", m_readySent));
      return;
    case kAwaitFunction: Fail(0x51, Format("no function code within %u ms", m_settings.replyTimeoutMs)); return;
    case kAwaitHeader:
      if (m_frame.empty())
        Fail(0x59, Format("no data header %d within %u ms", m_headers, m_settings.replyTimeoutMs));
      else
        Fail(0x59, Format("data header %d short: %zu of 64 bytes", m_headers, m_frame.size()));
      return;
    case kAwaitBlock:
      if (m_frame.empty())
        Fail(0x5A, Format("no block %d within %u ms", m_blocks, m_settings.replyTimeoutMs));
      else
        Fail(0x56, Format("block %d short: %zu of 1030 bytes", m_blocks, m_frame.size()));
      return;
    case kSilent:
      EndDownload(SBoxDownloadResult::kInterrupted, m_breakingFault + " ended");
      StartDownload(m_now);
      return;
    case kBabble:
      if (m_now >= m_faultEnd) {
        EndDownload(SBoxDownloadResult::kInterrupted, Format("%s ended after %zu bytes", m_breakingFault.c_str(), m_babbled));
        StartDownload(m_now);
      } else {
        SendBabble();
      }
      return;
  }
}

void CSerialBox::SendSync() {
  BoxTime sentAt = m_now;
  if (m_syncsSent == 0) {
    m_start = m_now;
    if (!Emit(SBoxPoint::kSync, {kSync}, Format("SYNC at %u baud", m_rate))) return;
    m_awaitFrom = m_output.back().done;
    sentAt = m_emitAt;
  } else {
    Send({kSync});
    // A long wait for the PC is logged sparsely.
    int count = m_syncsSent + 1;
    if (count <= 5 || count % 100 == 0) Log(SBoxLogEntry::kToPc, Format("22 SYNC again (%d)", count));
  }
  ++m_syncsSent;
  m_timer = sentAt + m_settings.syncIntervalMs * kBoxMs;
}

void CSerialBox::SendReady(bool first) {
  BoxTime sentAt = m_now;
  if (first) {
    if (!Emit(SBoxPoint::kReady, {kReady}, "READY")) return;
    m_awaitFrom = m_output.back().done;
    m_phase = kAwaitReadyAck;
    m_readySent = 1;
    sentAt = m_emitAt;
  } else {
    Send({kReady});
    ++m_readySent;
    Log(SBoxLogEntry::kToPc, Format("05 READY again (%u of %u)", m_readySent, m_settings.readyTries));
  }
  m_timer = sentAt + m_settings.readyIntervalMs * kBoxMs;
}

void CSerialBox::RequestHeader() {
  ++m_headers;
  if (!Emit(SBoxPoint::kHeader, {kHeaderRep}, Format("HEADER_REP for data header %d", m_headers))) return;
  if (m_headers == 1) m_dataStart = m_output.back().done;
  AwaitFrame(kAwaitHeader, kHeaderFrame);
}

void CSerialBox::RequestBlock() {
  ++m_blocks;
  ++m_sectionBlock;
  uint8_t n = static_cast<uint8_t>(m_sectionBlock % 10);
  if (!Emit(SBoxPoint::kBlock, {kDataHeader, n},
            Format("DATA_HEADER for block %d (%d of section %d)", m_blocks, m_sectionBlock, m_section)))
    return;
  AwaitFrame(kAwaitBlock, kBlockFrame);
}

void CSerialBox::AwaitFrame(Phase phase, size_t size) {
  m_phase = phase;
  m_frame.clear();
  m_frameSize = size;
  m_awaitFrom = m_output.empty() ? m_now : m_output.back().done;
  m_timer = m_awaitFrom + m_settings.replyTimeoutMs * kBoxMs + m_rx.Duration(size);
}

void CSerialBox::OnHeader() {
  const uint8_t* frame = m_frame.data();
  for (size_t i = CBoxSectionRecord::kSize; i < kHeaderFrame; ++i) {
    if (frame[i] != kFiller) {
      Fail(0x54, Format("data header %d: filler byte %zu is %02x, not ff", m_headers, i, frame[i]));
      return;
    }
  }
  CBoxSectionRecord record(frame);
  if (record.IsEnd()) {
    Log(SBoxLogEntry::kFromPc, Format("data header %d: end record (flag byte 00), filler ok", m_headers));
    m_image.AddEndRecord(frame);
    Complete();
    return;
  }
  int64_t length = record.PayloadLength();
  if (length > int64_t(m_settings.maxPayload)) {
    Fail(0x54, Format("data header %d: %s announces %lld payload bytes, more than the box takes (%u)", m_headers,
                      record.Describe().c_str(), (long long)length, m_settings.maxPayload));
    return;
  }
  ++m_section;
  m_sectionLength = m_remaining = length;
  m_sectionBlock = 0;
  m_image.AddHeader(frame, m_section);
  long long blocks = length <= int64_t(kBlockData) ? 1 : (length + kBlockData - 1) / kBlockData;
  Log(SBoxLogEntry::kFromPc, Format("data header %d: section %d, %s, flag %02x, payload %lld bytes in %lld blocks; "
                                    "filler ok",
                                    m_headers, m_section, record.Describe().c_str(), frame[0], (long long)length, blocks));
  m_overlongCode = 0x54;
  RequestBlock();
}

void CSerialBox::OnBlock() {
  const uint8_t* frame = m_frame.data();
  bool last = m_remaining <= int64_t(kBlockData);
  uint8_t expected = last ? kLastBlock : static_cast<uint8_t>(m_sectionBlock % 10);
  if (frame[0] != kDataHeader) {
    Fail(0x55, Format("block %d: first byte %02x, not 69", m_blocks, frame[0]));
    return;
  }
  if (frame[1] != expected) {
    Fail(0x56, Format("block %d: sequence byte %02x, expected %02x (%lld payload bytes remain in section %d)", m_blocks,
                      frame[1], expected, (long long)m_remaining, m_section));
    return;
  }
  uint32_t computed = m_crc.Compute(frame + 2, kBlockData);
  const uint8_t* sum = frame + 2 + kBlockData;
  uint32_t sent = (uint32_t(sum[0]) << 24) | (uint32_t(sum[1]) << 16) | (uint32_t(sum[2]) << 8) | sum[3];
  if (computed != sent) {
    Fail(0x57, Format("block %d: checksum %08x in the frame, %08x computed", m_blocks, sent, computed));
    return;
  }
  size_t payload = m_remaining > 0 ? size_t(std::min<int64_t>(m_remaining, kBlockData)) : 0;
  m_image.AddPayload(frame + 2, payload, m_section);
  m_payloadBytes += payload;
  Log(SBoxLogEntry::kFromPc, Format("block %d (%d of section %d): sequence %02x, %zu payload bytes, checksum %08x: ok",
                                    m_blocks, m_sectionBlock, m_section, frame[1], payload, computed));
  m_remaining -= int64_t(kBlockData);
  m_overlongCode = 0x55;
  if (last)
    RequestHeader();
  else
    RequestBlock();
}

void CSerialBox::Fail(uint8_t code, const std::string& reason) {
  Send({kErrorReport, code});
  Log(SBoxLogEntry::kToPc, Format("50 %02x error report \"%s\": %s", code, ErrorName(code), reason.c_str()));
  EndDownload(SBoxDownloadResult::kFailed, Format("\"%s\" (0x%02x): %s", ErrorName(code), code, reason.c_str()));
  StartDownload(m_now + m_settings.syncIntervalMs * kBoxMs);
}

void CSerialBox::Complete() {
  EndDownload(SBoxDownloadResult::kCompleted, "");
  SBoxDownloadResult& result = m_results.back();
  m_lastImage = m_image.Bytes();
  if (m_settings.compare) {
    SBoxImageComparison comparison = m_image.Compare(m_settings.reference);
    result.compared = true;
    result.matches = comparison.equal;
    result.differences = comparison.differences;
    if (comparison.equal)
      Log(SBoxLogEntry::kEvent, Format("image matches the file (%zu bytes)", m_settings.reference.size()));
    for (const std::string& line : comparison.differences) Log(SBoxLogEntry::kEvent, "image differs: " + line);
  }
  SetLineRate(9600);
  StartDownload(m_now + m_settings.syncIntervalMs * kBoxMs);
}

void CSerialBox::EndDownload(SBoxDownloadResult::Outcome outcome, const std::string& reason) {
  SBoxDownloadResult result;
  result.download = m_download;
  result.outcome = outcome;
  result.reason = reason;
  if (outcome == SBoxDownloadResult::kFailed && !m_breakingFault.empty()) {
    result.outcome = SBoxDownloadResult::kInterrupted;
    result.reason += ", after " + m_breakingFault + " as asked";
  }
  result.start = m_start;
  result.dataStart = m_dataStart;
  result.end = m_now;
  result.rate = m_rate;
  result.imageBytes = m_image.Bytes().size();
  result.payloadBytes = m_payloadBytes;
  result.sections = m_section;
  result.blocks = m_blocks;
  m_results.push_back(result);
  Log(SBoxLogEntry::kEvent, DescribeResult(result));
}

void CSerialBox::SetLineRate(uint32_t rate) {
  if (rate == m_rate) return;
  m_rate = rate;
  m_rx.SetRate(rate);
  m_tx.SetRate(rate);
  RefreshTail();
  Log(SBoxLogEntry::kEvent, Format("line now at %u baud", rate));
}

void CSerialBox::RefreshTail() {
  m_rxTail = m_rx;
  for (const SPending& pending : m_input) m_inputDone = m_rxTail.Schedule(pending.arrival);
}

// ---- misbehaviour

bool CSerialBox::Matches(const SBoxFault& fault, SBoxPoint::Kind here) const {
  if (fault.download != 0 && fault.download != m_download) return false;
  const SBoxPoint& point = fault.point;
  switch (point.kind) {
    case SBoxPoint::kSync:
    case SBoxPoint::kReady:
    case SBoxPoint::kFunc:
    case SBoxPoint::kEcho: return here == point.kind;
    case SBoxPoint::kHeader: return here == SBoxPoint::kHeader && m_headers == point.index;
    case SBoxPoint::kBlock: return here == SBoxPoint::kBlock && m_blocks == point.index;
    case SBoxPoint::kAfterHeader: return here == SBoxPoint::kBlock && m_sectionBlock == 1 && m_headers == point.index;
    case SBoxPoint::kAfterBlock:
      // After block K the box asks for block K+1 or for the next data header.
      return (here == SBoxPoint::kBlock && m_blocks == point.index + 1) ||
             (here == SBoxPoint::kHeader && m_headers > 1 && m_blocks == point.index);
  }
  return false;
}

bool CSerialBox::Emit(SBoxPoint::Kind here, std::vector<uint8_t> bytes, const std::string& what) {
  std::string note;
  m_emitAt = m_now;
  for (size_t i = 0; i < m_settings.faults.size(); ++i) {
    const SBoxFault& fault = m_settings.faults[i];
    if (m_fired[i] || !Matches(fault, here)) continue;
    m_fired[i] = true;
    if (fault.MayBreak() && m_breakingFault.empty()) m_breakingFault = fault.Describe();
    switch (fault.kind) {
      case SBoxFault::kGarbage: {
        std::vector<uint8_t> garbage = fault.bytes.empty() ? RandomBytes(fault.randomCount) : fault.bytes;
        Send(garbage);
        Log(SBoxLogEntry::kToPc, Format("%s: %zu garbage bytes before %s, as asked", Hex(garbage).c_str(), garbage.size(),
                                        what.c_str()));
        break;
      }
      case SBoxFault::kSwapRequest:
        if (bytes.size() == 2) {
          std::swap(bytes[0], bytes[1]);
          note += ", bytes swapped as asked";
        }
        break;
      case SBoxFault::kWrongEcho:
        if (bytes.size() == 1) {
          bytes[0] = fault.codeGiven ? fault.code : uint8_t(bytes[0] ^ 0x80);
          note += Format(", wrong echo (for %02x) as asked", m_function);
        }
        break;
      case SBoxFault::kErrorReport:
        Send({kErrorReport, fault.code});
        Log(SBoxLogEntry::kToPc, Format("50 %02x error report \"%s\" instead of %s, as asked", fault.code,
                                        ErrorName(fault.code), what.c_str()));
        m_breakingFault.clear();
        EndDownload(SBoxDownloadResult::kInterrupted,
                    Format("error report 0x%02x sent instead of %s, as asked", fault.code, what.c_str()));
        StartDownload(m_now + m_settings.syncIntervalMs * kBoxMs);
        return false;
      case SBoxFault::kSilent:
      case SBoxFault::kBabble:
        m_breakingFault = fault.Describe();
        StartFault(fault);
        return false;
      case SBoxFault::kPause:
        m_emitAt = m_now + BoxTime(fault.durationMs) * kBoxMs;
        note += Format(", after a pause of %u ms as asked", fault.durationMs);
        break;
      case SBoxFault::kRestart:
        Log(SBoxLogEntry::kEvent, fault.Describe() + ": instead of " + what + ", as asked");
        m_breakingFault.clear();
        EndDownload(SBoxDownloadResult::kInterrupted, fault.Describe() + " instead of " + what + ", as asked");
        SetLineRate(9600);
        // Up again no sooner than 1 ms: a box restarting at SYNC in every download would otherwise spin.
        StartDownload(m_now + BoxTime(std::max<uint32_t>(fault.durationMs, 1)) * kBoxMs);
        return false;
    }
  }
  Send(bytes, m_emitAt);
  Log(SBoxLogEntry::kToPc, Hex(bytes) + " " + what + note);
  return true;
}

void CSerialBox::StartFault(const SBoxFault& fault) {
  m_phase = fault.kind == SBoxFault::kSilent ? kSilent : kBabble;
  m_faultEnd = fault.durationMs ? m_now + fault.durationMs * kBoxMs : kBoxNever;
  m_babbled = 0;
  Log(SBoxLogEntry::kEvent, fault.Describe() + ": from here, as asked");
  if (m_phase == kSilent)
    m_timer = m_faultEnd;
  else
    SendBabble();
}

void CSerialBox::SendBabble() {
  std::vector<uint8_t> chunk = RandomBytes(kBabbleChunk);
  Send(chunk);
  m_babbled += chunk.size();
  // The stream runs at the line rate, paced or not.
  CBoxLineTiming line;
  line.SetRate(m_rate);
  m_timer = std::min(m_faultEnd, m_now + line.Duration(chunk.size()));
}

std::vector<uint8_t> CSerialBox::RandomBytes(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) {
    m_rng ^= m_rng << 13;
    m_rng ^= m_rng >> 17;
    m_rng ^= m_rng << 5;
    b = static_cast<uint8_t>(m_rng >> 24);
  }
  return bytes;
}

BoxTime CSerialBox::Send(const std::vector<uint8_t>& bytes, BoxTime from) {
  const BoxTime start = std::max(from, m_now);
  BoxTime done = start;
  for (uint8_t byte : bytes) {
    done = m_tx.Schedule(start);
    m_output.push_back({done, byte});
  }
  return done;
}

// ---- log

void CSerialBox::Stray(uint8_t byte, BoxTime arrival, const char* reason) {
  if (m_strays && reason != m_strayReason) FlushStrays();
  if (m_strays == 0) {
    m_strayAt = m_now;
    m_strayBytes.clear();
    m_strayReason = reason;
  }
  if (m_strays < 16) m_strayBytes += (m_strays ? " " : "") + Hex(&byte, 1);
  ++m_strays;
}

void CSerialBox::FlushStrays() {
  if (!m_strays) return;
  size_t count = m_strays;
  m_strays = 0;
  if (count > 16) m_strayBytes += " ...";
  Log(SBoxLogEntry::kFromPc,
      Format("%s: %zu stray byte%s ignored, %s", m_strayBytes.c_str(), count, count == 1 ? "" : "s", m_strayReason),
      m_strayAt);
}

void CSerialBox::Log(SBoxLogEntry::Direction direction, const std::string& text, BoxTime at) {
  FlushStrays();
  if (m_log.size() >= kMaxLogEntries) {
    ++m_logDropped;
    return;
  }
  m_log.push_back({at < 0 ? m_now : at, m_download, direction, text});
}
