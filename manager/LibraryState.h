// LibraryState.h - the library's module-wide state: instance handle, parent window, processors, the one COM port.
//
// One copy per loaded library, constructed at load and destroyed at unload. The
// client's thread changes it; the reader thread reads the parent window and the table.
#pragma once

#include <windows.h>

#include "ManagerServices.h"
#include "ProcessorTable.h"
#include "VelComPort.h"
#include "Win32ClientWindow.h"

struct LibraryState {
  HINSTANCE hInstance = nullptr;
  HWND volatile hParent = nullptr;
  CWin32ClientWindow parentWindow;  // hParent as the processors see it
  CManagerServices services;
  CProcessorTable processors;
  int managers = 0;  // live CVelManager objects; the first builds the processors, the last deletes them
  CVelComPort port;  // declared last: destroyed first, so no reader outlives the processors
};

LibraryState& Library();

// Owner of the library's message boxes: the parent window while it exists, else none, so
// that a box is never lost to a window that has gone.
HWND BoxOwner();
