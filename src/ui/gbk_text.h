// GBK byte texts to and from UTF-16, so that windows read right whatever the system's ANSI code
// page is.
#pragma once

#include <string>
#include <string_view>

#include "base/wide_text.h"

namespace qor::ui {

// Converts GBK (code page 936) to UTF-16. Bytes that are not GBK become U+FFFD or similar.
WideText Widen(std::string_view gbk);
// Converts UTF-16 to GBK; characters without a GBK form become '?'.
std::string Narrow(std::wstring_view text);

}  // namespace qor::ui
