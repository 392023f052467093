#include "LibraryState.h"

namespace {
LibraryState g_library;
}

LibraryState& Library() { return g_library; }

HWND BoxOwner() {
  HWND h = g_library.hParent;
  return h && IsWindow(h) ? h : nullptr;
}
