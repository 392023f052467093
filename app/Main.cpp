// The program's entry point and its one application object.
#include "VelManApp.h"

CVelManApp theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
  return AfxWinMain(hInstance, lpCmdLine, nCmdShow);
}
