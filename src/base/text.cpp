#include "base/text.h"

namespace qor {

bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

bool IsNoLeadByte(unsigned char) { return false; }

std::string AsciiLowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string AsciiUpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

namespace {

template <typename Blank>
std::string TrimEnds(std::string_view text, Blank blank) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

}  // namespace

std::string TrimBytes(std::string_view text) {
  return TrimEnds(text, [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string TrimSpaces(std::string_view text) {
  return TrimEnds(text, [](char c) { return c == ' ' || c == '\t'; });
}

namespace {

std::string Digits(std::uint64_t magnitude, bool negative) {
  char text[21];  // 20 digits of 2^64 - 1 and a sign
  char* const end = text + sizeof text;
  char* at = end;
  do {
    *--at = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) *--at = '-';
  return std::string(at, end);
}

}  // namespace

std::string DecimalText(std::uint64_t value) { return Digits(value, false); }

std::string SignedDecimalText(std::int64_t value) {
  const auto magnitude = static_cast<std::uint64_t>(value);
  return value < 0 ? Digits(0 - magnitude, true) : Digits(magnitude, false);
}

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t hit = text.find(pattern, from);
    if (hit == std::string_view::npos) break;
    result.append(text.substr(from, hit - from));
    result.append(replacement);
    from = hit + pattern.size();
  }
  result.append(text.substr(from));
  return result;
}

std::size_t LastDelimiter(std::string_view text, std::string_view delimiters, LeadByteRule rule) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (rule(byte)) {
      ++i;  // the trail byte belongs to this character
      continue;
    }
    if (delimiters.find(text[i]) != std::string_view::npos) found = i;
  }
  return found;
}

std::string ExtractFileName(std::string_view path, LeadByteRule rule) {
  const std::size_t at = LastDelimiter(path, "\\:", rule);
  return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string ExtractFilePathThroughBackslash(std::string_view path, LeadByteRule rule) {
  const std::size_t at = LastDelimiter(path, "\\", rule);
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string result;
  auto next = args.begin();
  std::size_t from = 0;
  for (;;) {
    const std::size_t hit = format.find("%s", from);
    if (hit == std::string_view::npos || next == args.end()) break;
    result.append(format.substr(from, hit - from));
    result.append(*next++);
    from = hit + 2;
  }
  result.append(format.substr(from));
  return result;
}

}  // namespace qor
