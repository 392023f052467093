// StbInterfaceWalk.h - how discovery picks the box's interface from the present ones, and how pipe paths are named.
#pragma once

#include <cstddef>

#include "DeviceInterfaceList.h"
#include "StbDevice.h"

// Enumeration errors other than "no more items" in a row after which the walk gives up.
constexpr unsigned int kMaxEnumerationFailures = 64;

// Walks the interfaces by index and returns the device handle of the first one that
// opens (or the invalid handle); path receives the path of the interface last tried.
// Interfaces whose path does not fit path are passed over. why may be null.
UsbHandle FindStbInterface(IDeviceInterfaceList& list, char (&path)[kStbPathSize], UsbOpenFailure* why);

// interfacePath + "\" + pipeName into out; false (out empty) when it does not fit.
bool BuildStbPipePath(const char* interfacePath, const char* pipeName, char (&out)[kStbPathSize]);
