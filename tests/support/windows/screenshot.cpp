#include "support/windows/screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/handles_win32.h"
#include "base/text.h"

namespace qor::testing {

namespace {

BOOL CALLBACK PaintNow(HWND window, LPARAM) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return TRUE;
}

}  // namespace

std::string SaveScreenshot(HWND window, const std::string& name) {
  RECT rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) GetWindowRect(window, &rect);
  return SaveScreenshot(rect, name);
}

std::string SaveScreenshot(const RECT& rect, const std::string& name) {
  // The windows of the test's thread paint only when it lets them; the display server then needs
  // a moment to show what they drew.
  EnumThreadWindows(GetCurrentThreadId(), &PaintNow, 0);
  GdiFlush();
  Sleep(300);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};

  WindowDc screen(nullptr);
  UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
  {
    SelectScope select(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
  }
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * height);
  if (!GetDIBits(memory.Get(), bitmap.Get(), 0, height, pixels.data(),
                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
    return {};
  }

  std::string dir;
  if (const char* env = std::getenv("QOR_SCREENSHOT_DIR")) {
    dir = std::string(env) + "\\";
  } else {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    dir = ExtractFilePathThroughBackslash(exe);
  }
  const std::string path = dir + name + ".bmp";
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return {};
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  std::fclose(out);
  return path;
}

}  // namespace qor::testing
