// LineHost.h - the PC's surroundings on virtual time against the box simulator: writes reach the box, pauses let time pass.
//
// The line loses what arrives while the PC has its port closed; the caller looks for bytes
// in `input` every kPollUs, like the port monitor does.
#pragma once

#include <deque>

#include "RecordingHost.h"
#include "SerialBox.h"

class LineHost : public RecordingHost {
 public:
  static constexpr BoxTime kPollUs = 5000;

  explicit LineHost(CSerialBox& box) : m_box(box) {}

  bool WriteData(const unsigned char* data, unsigned long length) override;
  void Pause(unsigned int ms) override;
  bool Initialize(unsigned short port, unsigned long baud) override;
  bool Uninitialize() override;
  // Lets time pass to t; what the box sends meanwhile reaches the PC's queue if its port is open.
  void Until(BoxTime t);
  void Collect();

  BoxTime now = 0;
  std::deque<unsigned char> input;

 private:
  CSerialBox& m_box;
};
