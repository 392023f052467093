// VelOldManagerProcessor.h - the serial download protocol: the box leads, the processor answers byte by byte.
//
// Runs on the port's reader thread: every received byte goes through OnReceiveByte,
// which answers the box, streams the image and reports to the client window.
// SetTransferFile and the reset done by StopTransfer come from the client's thread
// while no byte is being handled. The processor owns the image and the path copy.
#pragma once

#include <cstdint>

#include "DownloadImage.h"
#include "SerialLine.h"
#include "VelManagerProcessor.h"

class CVelOldManagerProcessor : public CVelManagerProcessor {
 public:
  enum State { kIdle = 0, kWaitSync = 1, kWaitReady = 3, kWaitFunc = 5, kWaitHeaderRep = 9,
               kWaitFuncEcho = 10, kWaitDataHeader = 12 };

  // Wire codes.
  static constexpr unsigned char SYNC = 0x22;
  static constexpr unsigned char READY = 0x05;
  static constexpr unsigned char READY_ACK = 0x05;
  static constexpr unsigned char FUNC = 0xD0;
  static constexpr unsigned char FUNC_PROGRAM = 0x07;
  static constexpr unsigned char FUNC_DATA_DIG = 0x04;
  static constexpr unsigned char FUNC_DATA_ANAL = 0x05;
  static constexpr unsigned char FUNC_DATA_DIGANAL = 0x06;
  static constexpr unsigned char HEADER_REP = 0x70;
  static constexpr unsigned char DATA_HEADER = 0x69;
  static constexpr unsigned char ERROR_REPORT = 0x50;
  static constexpr unsigned char LAST_BLOCK = 0xEE;

  static constexpr int kDataHeaderSize = 64;
  static constexpr int kBlockDataSize = 1024;
  static constexpr int kBlockFrameSize = 1030;

  explicit CVelOldManagerProcessor(IProcessorServices* owner);
  ~CVelOldManagerProcessor() override;

  void OnReceiveByte(unsigned char byte) override;
  bool IsProcessorID(int type) const override { return type == m_nProcessorID; }
  // Waits for a new SYNC with an empty receive buffer, like StopTransfer leaves it.
  void OnPortLost() override;

  // Keeps a copy of the path and waits for the box's SYNC.
  bool SetTransferFile(const char* path);
  // Loads the image from the file; on failure the previous image stays.
  bool SetFilePath(const char* path);
  // Writes the data header frame for a 44-byte record.
  void SendDataHeader(const unsigned char* record);
  // Writes the data block frame, its checksum computed over frame bytes 2 to 1025.
  void SendDataBlock(unsigned char* frame);
  int32_t GetSectionLength(const unsigned char* record) const;

  // The box's error report texts by code (0x51 to 0x5A; anything else is "Unknown").
  static const char* ErrorReportText(unsigned char code);
  // The function code sent for an image kind and its name in the log ("FUNC_DATA_ANAL");
  // 0 and null for kNone or any other value.
  static unsigned char FunctionCode(int imageKind);
  static const char* FunctionName(int imageKind);
  // Baud code sent after the SYNC echo for a configured rate; 0 when the rate has none.
  static unsigned char BaudCode(unsigned long baudRate);

  int GetState() const { return m_nState; }
  void SetState(int state) { m_nState = state; }
  const char* GetTransferFile() const { return m_pszFilePath; }
  int GetImageKind() const { return m_nImageKind; }
  uint32_t GetImageSize() const { return m_image.Size(); }
  int GetOffset() const { return m_nOffset; }
  int GetBlockCounter() const { return m_nBlockCounter; }
  const unsigned char* GetBlockFrame() const { return m_blockFrame; }

  // Library-wide state that only this processor uses.
  static const unsigned char* HeaderBuffer() { return s_header; }
  static int32_t Remaining() { return s_nRemaining; }

 private:
  void Tail();
  void Handshake();
  void SelectFunction();
  // True when the request ended the download (completed, or its end header lost with the line).
  bool HeaderStep();
  bool LineLost() const { return m_pPort && m_pPort->IsLost(); }
  void CompleteDownload();
  void BlockStep();
  // A malformed image met during the data phase: report it and wait for a new SYNC.
  void AbandonImage(const char* text);
  // A SYNC where only a box that started over sends one: end the download; the SYNC starts the next.
  void EndIfBoxStartedOver();
  void SendProgress();
  void ReopenPort(unsigned short port, unsigned long baudRate);
  // An event of this kind with a printf-formatted text.
  void SendFormatted(long kind, const char* format, ...);

  int m_nImageKind = 0;
  volatile int m_nState = kIdle;
  int m_nDigSize64K = 0;
  int m_nDigSize1K = 0;
  int m_nBlockCounter = 0;
  char* m_pszFilePath = nullptr;
  CDownloadImage m_image;
  int m_nOffset = 0;
  unsigned char m_blockFrame[2048] = {};
  char m_szText[1024];
  bool m_bOverflowReported = false;

  static unsigned char s_header[CDownloadImage::kRecordSize];
  static int32_t s_nRemaining;
};
