// Small Win32 helpers that the in-process window tests and the end-to-end tests share.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace qor::testing {

inline RECT ClientRectOf(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

// The child's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Today's local date as yyyy-mm-dd, as the certification window shows it.
inline std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

}  // namespace qor::testing
