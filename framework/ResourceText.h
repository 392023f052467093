// ResourceText.h - string resources of the program's module, in their wide form and in the ANSI code page.
//
// The program's texts are byte strings, but a few resource strings are Korean: load and
// show those through the wide functions so that they read correctly whatever the ANSI code
// page is.
#pragma once

#include <windows.h>

#include <string>

// The string resource nID of the program's module; empty when there is none.
std::wstring AfxLoadStringW(UINT nID);
// The same converted to the ANSI code page (exact for ASCII texts such as titles).
std::string AfxLoadStringA(UINT nID);
