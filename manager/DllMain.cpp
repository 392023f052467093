// Entry point of VelManager.dll: keeps the module instance for the dialog templates.
#include <windows.h>

#include "LibraryState.h"

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && !Library().hInstance) {
    Library().hInstance = hInstance;
    DisableThreadLibraryCalls(hInstance);
  }
  return TRUE;
}
