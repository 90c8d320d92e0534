#include "ui/wide_text.h"

#include <windows.h>

namespace qor::ui {

namespace {
constexpr UINT kGbk = 936;
}

WideText Widen(std::string_view gbk) {
  if (gbk.empty()) return {};
  int count = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  WideText wide(static_cast<std::size_t>(count > 0 ? count : 0));
  if (count > 0) {
    MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), count);
  }
  return wide;
}

std::string Narrow(std::wstring_view text) {
  if (text.empty()) return {};
  int count = WideCharToMultiByte(kGbk, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
  if (count > 0) {
    WideCharToMultiByte(kGbk, 0, text.data(), static_cast<int>(text.size()), narrow.data(), count,
                        nullptr, nullptr);
  }
  return narrow;
}

}  // namespace qor::ui
