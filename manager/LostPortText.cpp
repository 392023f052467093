#include "LostPortText.h"

#include <cstdio>

std::string FormatLostPortText(int port, unsigned long error) {
  char text[96];
  std::snprintf(text, sizeof text, "Lost COM%d (error %lu): check the cable or the USB-serial adapter.",
                port, error);
  return text;
}
