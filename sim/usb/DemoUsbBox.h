// DemoUsbBox.h - the simulated box paced for a person to watch: a download of a few seconds, then erase and write in steps of 5 %.
#pragma once

#include <cstdint>

#include "SimUsbBox.h"

class CDemoUsbBox : public CSimUsbBox {
 public:
  // Pause after every bulk write of the image; with the flash polled every 200 ms the
  // erase and the write take about 4 s each.
  static constexpr unsigned int kWritePauseMs = 40;

  CDemoUsbBox();

  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override;
};
