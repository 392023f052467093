#include "LibraryState.h"

namespace {
LibraryState g_library;
}

LibraryState& Library() { return g_library; }
