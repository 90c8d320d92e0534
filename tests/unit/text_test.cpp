#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace qor {
namespace {

using namespace std::string_literals;

TEST(TextTest, CaseFoldingTouchesOnlyAsciiLetters) {
  // "安" in GBK is B0 B2; both bytes and every non-letter must survive unchanged.
  const std::string mixed = "Ab\xB0\xB2Z@[`{\x00\xC1"s;
  EXPECT_EQ(AsciiLowerCase(mixed), "ab\xB0\xB2z@[`{\x00\xC1"s);
  EXPECT_EQ(AsciiUpperCase(mixed), "AB\xB0\xB2Z@[`{\x00\xC1"s);
}

// TrimBytes takes the bytes 0..32 off both ends; TrimSpaces only HTTP's spaces and tabs.
TEST(TextTest, TrimRemovesItsBlankBytesAtBothEndsOnly) {
  const struct {
    std::string (*trim)(std::string_view);
    std::string text, expected;
  } cases[] = {
      {TrimBytes, "  ABC\r\n", "ABC"},
      {TrimBytes, "\x00\x01\t a b \x1f\x20"s, "a b"},
      {TrimBytes, "\x7f", "\x7f"},  // DEL is above 32
      {TrimBytes, " \t\r\n", ""},
      {TrimBytes, "", ""},
      {TrimSpaces, " \t text/html \t", "text/html"},
      {TrimSpaces, "\r\n a\x00 \n"s, "\r\n a\x00 \n"s},  // a line end or zero byte is content
      {TrimSpaces, " \t ", ""},
      {TrimSpaces, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.trim(c.text), c.expected);
  }
}

// Written out digit by digit: the ends of both ranges, and the sign of every signed type.
TEST(TextTest, DecimalTextAtTheEndsOfItsRanges) {
  EXPECT_EQ(DecimalText(0u), "0");
  EXPECT_EQ(DecimalText(std::uint64_t{10}), "10");
  EXPECT_EQ(DecimalText(UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(DecimalText(-1), "-1");
  EXPECT_EQ(DecimalText(std::int32_t{-2147483647 - 1}), "-2147483648");
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(DecimalText(INT64_MAX), "9223372036854775807");
}

TEST(TextTest, ReplaceAllScansLeftToRightWithoutRescanning) {
  struct Case {
    const char* name;
    std::string text, pattern, replacement, expected;
  } cases[] = {
      {"every occurrence", "a.b.c", ".", "--", "a--b--c"},
      {"inserted text is not rescanned", "aa", "a", "aa", "aaaa"},
      {"overlap taken from the left", "aaa", "aa", "b", "ba"},
      {"case is exact", "AbAB", "ab", "x", "AbAB"},
      {"empty pattern leaves text", "abc", "", "x", "abc"},
      {"zero bytes are ordinary", "\x00z\x00"s, "\x00"s, "0", "0z0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.expected);
  }
}

TEST(TextTest, LastDelimiterSkipsTrailBytesOfDoubleByteCharacters) {
  // "表" in GBK is B1 ED, "\x95\x5C" is a character whose second byte is a backslash.
  EXPECT_EQ(LastDelimiter("C:\\dir\\\x95\x5C", "\\"), 6u);
  EXPECT_EQ(LastDelimiter("\x95\x5C", "\\"), std::string::npos);
  EXPECT_EQ(ExtractFileName("C:\\Some Dir\\instpg.exe"), "instpg.exe");
  EXPECT_EQ(ExtractFileName("C:instpg.exe"), "instpg.exe");
  EXPECT_EQ(ExtractFileName("instpg.exe"), "instpg.exe");
  EXPECT_EQ(ExtractFileName("C:\\\x95\x5Cx.exe"), "\x95\x5Cx.exe");
  EXPECT_EQ(ExtractFilePathThroughBackslash("C:\\Setup\\setup.exe"), "C:\\Setup\\");
  EXPECT_EQ(ExtractFilePathThroughBackslash("C:\\\x95\x5C.exe"), "C:\\");
  EXPECT_EQ(ExtractFilePathThroughBackslash("setup.exe"), "");
}

TEST(TextTest, PathSplitFollowsTheCodePagesDoubleByteRule) {
  struct Case {
    const char* name;
    LeadByteRule rule;
    std::string path, directory, file_name;
  } cases[] = {
      // Café under 1252: E9 is the letter é, the backslash after it separates.
      {"1252: letter before a backslash", IsNoLeadByte, "C:\\Caf\xE9\\setup.exe", "C:\\Caf\xE9\\",
       "setup.exe"},
      {"GBK: the same bytes are one character", IsGbkLeadByte, "C:\\Caf\xE9\\setup.exe", "C:\\",
       "Caf\xE9\\setup.exe"},
      // 乗 is 81 5C in GBK; 81 is a control byte of 1252.
      {"GBK: 5C trail byte", IsGbkLeadByte, "C:\\d\\\x81\x5C.exe", "C:\\d\\", "\x81\x5C.exe"},
      {"1252: 81 leads nothing", IsNoLeadByte, "C:\\d\\\x81\x5C.exe", "C:\\d\\\x81\\", ".exe"},
      {"GBK: lead byte at the end", IsGbkLeadByte, "C:\\d\\\x81", "C:\\d\\", "\x81"},
      {"1252: colon after a high byte", IsNoLeadByte, "\xE9:a.exe", "", "a.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePathThroughBackslash(c.path, c.rule), c.directory);
    EXPECT_EQ(ExtractFileName(c.path, c.rule), c.file_name);
  }
}

TEST(TextTest, FormatTextFillsPercentSInOrder) {
  EXPECT_EQ(FormatText("x%sy%sz", {"1", "2"}), "x1y2z");
  EXPECT_EQ(FormatText("%s%%s", {"a"}), "a%%s");
  EXPECT_EQ(FormatText("100% %s", {"a", "b"}), "100% a");
}

}  // namespace
}  // namespace qor
