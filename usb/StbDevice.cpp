#include "StbDevice.h"

StbRequest MakeStbRequest(uint32_t request, uint32_t length, uint32_t dataAddress) {
  StbRequest r;
  r.value = 0;
  r.length = length;
  r.data = dataAddress;
  r.request = request;
  return r;
}

StbTransferDescriptor MakeTransferDescriptor(uint16_t count) {
  StbTransferDescriptor d = {};
  d.bytes[3] = static_cast<unsigned char>(count & 0xFF);
  d.bytes[4] = static_cast<unsigned char>(count >> 8);
  return d;
}
