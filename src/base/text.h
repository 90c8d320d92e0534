// Byte texts: 8-bit strings in the ANSI code page (GBK on the target systems) that carry their own
// length, so a zero byte inside is an ordinary byte. std::string is the carrier; these routines
// give the exact folding, trimming and searching rules the program relies on.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qor {

// Returns a copy with only the bytes 'A'..'Z' changed to 'a'..'z'. Every other byte, including
// both bytes of a double-byte character, is left as it is.
std::string AsciiLowerCase(std::string_view text);

// Returns a copy with only the bytes 'a'..'z' changed to 'A'..'Z'.
std::string AsciiUpperCase(std::string_view text);

// Returns the text without its leading and trailing bytes of value 0 to 32.
std::string TrimBytes(std::string_view text);

// Replaces every occurrence of pattern, scanning left to right and matching case exactly. Text
// that was just inserted is never rescanned, so a replacement that recreates the pattern does not
// loop. An empty pattern leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// Returns the index of the last byte of text that is one of delimiters, or npos. The text is
// walked as GBK: a lead byte (0x81..0xFE) and the byte after it form one character, so a
// backslash that is the second byte of a double-byte character is never taken for a delimiter.
std::size_t LastDelimiter(std::string_view text, std::string_view delimiters);

// The part after the last backslash or colon (GBK-aware); the whole text when there is none.
std::string ExtractFileName(std::string_view path);

// The part up to and including the last backslash (GBK-aware); empty when there is none.
std::string ExtractFilePathThroughBackslash(std::string_view path);

// Replaces each "%s" of format, in order, by the next argument; a "%s" with no argument left is
// kept as it is. No other directive is interpreted, so the texts may contain '%' freely.
std::string FormatText(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace qor
