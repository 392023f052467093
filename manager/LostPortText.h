// LostPortText.h - the words that tell the person a serial port's device has gone away.
#pragma once

#include <string>

// "Lost COM%d (error %lu): check the cable or the USB-serial adapter." filled with the
// port number and the system's error code. Clients recognise the line by its start "Lost COM".
std::string FormatLostPortText(int port, unsigned long error);
