// Byte texts: 8-bit strings in the ANSI code page (GBK on the target systems) that carry their own
// length, so a zero byte inside is an ordinary byte. std::string is the carrier; these routines
// give the exact folding, trimming and searching rules the program relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace qor {

// Returns a copy with only the bytes 'A'..'Z' changed to 'a'..'z'. Every other byte, including
// both bytes of a double-byte character, is left as it is.
std::string AsciiLowerCase(std::string_view text);

// Returns a copy with only the bytes 'a'..'z' changed to 'A'..'Z'.
std::string AsciiUpperCase(std::string_view text);

// Returns the text without its leading and trailing bytes of value 0 to 32.
std::string TrimBytes(std::string_view text);

// Returns the text without its leading and trailing spaces and tabs (HTTP's optional white space);
// every other byte, a line end included, stays.
std::string TrimSpaces(std::string_view text);

// The decimal digits of value: how every count, size, port and error code enters a message (one
// formatter for all, not std::to_string: src/runtime/README.md).
std::string DecimalText(std::uint64_t value);
// A signed value, a negative one with its minus sign: lengths read from outside can be negative.
std::string SignedDecimalText(std::int64_t value);
template <typename Integer, typename = std::enable_if_t<std::is_signed_v<Integer>>>
std::string DecimalText(Integer value) {
  return SignedDecimalText(value);
}

// Replaces every occurrence of pattern, scanning left to right and matching case exactly. Text
// that was just inserted is never rescanned, so a replacement that recreates the pattern does not
// loop. An empty pattern leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Which bytes begin a double-byte character in an ANSI code page; the byte after such a lead byte
// is its trail byte, whatever its value.
using LeadByteRule = bool (*)(unsigned char byte);

// GBK (code page 936): 0x81..0xFE lead.
bool IsGbkLeadByte(unsigned char byte);
// A single-byte code page (1252 and the like): no byte leads.
bool IsNoLeadByte(unsigned char byte);
// The running system's ANSI code page: on Windows what IsDBCSLeadByte says, elsewhere GBK, the
// code page of the program's own texts.
bool IsSystemLeadByte(unsigned char byte);

// Returns the index of the last byte of text that is one of delimiters, or npos. The text is
// walked by characters under rule, so a backslash that is the trail byte of a double-byte
// character is never taken for a delimiter.
std::size_t LastDelimiter(std::string_view text, std::string_view delimiters,
                          LeadByteRule rule = IsSystemLeadByte);

// The part after the last backslash or colon (double-byte-aware); the whole text when there is
// none.
std::string ExtractFileName(std::string_view path, LeadByteRule rule = IsSystemLeadByte);

// The part up to and including the last backslash (double-byte-aware); empty when there is none.
std::string ExtractFilePathThroughBackslash(std::string_view path,
                                            LeadByteRule rule = IsSystemLeadByte);

// Replaces each "%s" of format, in order, by the next argument; a "%s" with no argument left is
// kept as it is. No other directive is interpreted, so the texts may contain '%' freely.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace qor
