#include "ResourceText.h"

#include "CWinApp.h"

std::wstring AfxLoadStringW(UINT nID) {
  const WCHAR* text = nullptr;
  // With a zero buffer size LoadStringW returns a pointer to the resource itself.
  const int n = LoadStringW(AfxGetInstanceHandle(), nID, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 && text ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

std::string AfxLoadStringA(UINT nID) {
  const std::wstring wide = AfxLoadStringW(nID);
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
  return text;
}
