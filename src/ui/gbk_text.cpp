#include "ui/gbk_text.h"

namespace qor::ui {

namespace {
constexpr unsigned kGbk = 936;
}

WideText Widen(std::string_view gbk) { return qor::Widen(kGbk, gbk); }

std::string Narrow(std::wstring_view text) { return qor::Narrow(kGbk, text); }

}  // namespace qor::ui
