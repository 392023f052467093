#include "UsbState.h"

std::atomic<uint16_t> g_usbState{0};
std::atomic<uint16_t> g_stateMessageShown{0};
std::atomic<int32_t> g_connectedTicks{0};
std::atomic<uint8_t> g_downloadKind{0};
std::atomic<uint32_t> g_expectedSize{0};
