// StbDevice.h - the box's USB driver as the calls see it: control codes, request numbers and the two request records.
#pragma once

#include <cstddef>
#include <cstdint>

// I/O control codes of the driver.
constexpr uint32_t IOCTL_STB_READ_REQUEST = 0x8000200C;   // on a device handle: the box returns length bytes
constexpr uint32_t IOCTL_STB_WRITE_REQUEST = 0x80002010;  // on a device handle: the box receives length bytes
constexpr uint32_t IOCTL_STB_RESET_PIPE = 0x220008;       // on a pipe handle after a failed read or write

// Request numbers (the request field of StbRequest).
constexpr uint32_t STB_REQ_DOWNLOAD_HEADER = 3;      // write, 263 bytes: UsbDownloadHeader
constexpr uint32_t STB_REQ_DATA_TRANSFER = 4;        // write, 6 bytes: StbTransferDescriptor
constexpr uint32_t STB_REQ_END_OF_DATA = 7;          // write, no data
constexpr uint32_t STB_REQ_FIRMWARE_VERSION = 1138;  // read, 1 byte; only success counts
constexpr uint32_t STB_REQ_FLASH_STATUS = 1139;      // read, 2 bytes: phase, value

constexpr uint32_t kDownloadHeaderLength = 263;
constexpr uint32_t kTransferDescriptorLength = 6;
constexpr uint32_t kFirmwareReplyLength = 1;
constexpr uint32_t kFlashReplyLength = 2;

// Pipe names below the interface path.
constexpr const char* kStatusPipeName = "PIPE00";  // read: status records
constexpr const char* kDataPipeName = "PIPE03";    // write: image data

// Interface and pipe paths fit in 255 characters plus the terminator.
constexpr std::size_t kStbPathSize = 256;

// The control request record, input of every control request: four little-endian
// 32-bit fields. data holds an address in the caller's memory (a 32-bit process).
struct StbRequest {
  uint32_t value;
  uint32_t length;
  uint32_t data;
  uint32_t request;
};
static_assert(sizeof(StbRequest) == 16, "the driver takes a 16-byte request record");

// The 6 bytes of request 4: the byte count of the next bulk write, 16-bit little-endian at offset 3.
struct StbTransferDescriptor {
  unsigned char bytes[kTransferDescriptorLength];
};
static_assert(sizeof(StbTransferDescriptor) == 6, "request 4 carries 6 bytes");

StbRequest MakeStbRequest(uint32_t request, uint32_t length, uint32_t dataAddress);
// Counts above 65535 do not fit the descriptor; the caller's chunks are at most 4096 bytes.
StbTransferDescriptor MakeTransferDescriptor(uint16_t count);
