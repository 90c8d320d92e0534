// Windows only: the Win32 handle and GDI object kinds of UniqueHandle (unique_handle.h), plus
// scoped device contexts and a SelectObject restorer; the Win32 side of every folder uses these.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace qor {

struct WindowTraits {
  using Type = HWND;
  static HWND Empty() { return nullptr; }
  static bool IsValid(HWND h) { return h != nullptr; }
  static void Free(HWND h) { DestroyWindow(h); }
};

template <typename T>
struct GdiTraits {
  using Type = T;
  static T Empty() { return nullptr; }
  static bool IsValid(T h) { return h != nullptr; }
  static void Free(T h) { DeleteObject(h); }
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean "none".
struct KernelTraits {
  using Type = HANDLE;
  static HANDLE Empty() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { CloseHandle(h); }
};

struct MenuTraits {
  using Type = HMENU;
  static HMENU Empty() { return nullptr; }
  static bool IsValid(HMENU h) { return h != nullptr; }
  static void Free(HMENU h) { DestroyMenu(h); }
};

struct MemoryDcTraits {
  using Type = HDC;
  static HDC Empty() { return nullptr; }
  static bool IsValid(HDC h) { return h != nullptr; }
  static void Free(HDC h) { DeleteDC(h); }
};

using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueFont = UniqueHandle<GdiTraits<HFONT>>;
using UniqueBrush = UniqueHandle<GdiTraits<HBRUSH>>;
using UniqueBitmap = UniqueHandle<GdiTraits<HBITMAP>>;
using UniqueRegion = UniqueHandle<GdiTraits<HRGN>>;
using UniqueMenu = UniqueHandle<MenuTraits>;
// A device context made by CreateCompatibleDC.
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

// GetDC / ReleaseDC for one window (or the screen when window is null).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint / EndPaint around the handling of WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &paint_); }
  HDC Get() const { return dc_; }
  const RECT& Dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back on destruction. The
// selected object must outlive the scope.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;
  ~SelectScope() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace qor
