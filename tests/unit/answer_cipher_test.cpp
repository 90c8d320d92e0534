#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "base/file_system.h"
#include "base/stream.h"
#include "params/product_settings.h"
#include "verification/QORMD5Unit.h"
#include "verification/ShareCodeCheckunit.h"
#include "verification/answer_publishing.h"
#include "verification/fenrpt.h"

namespace qor {
namespace {

using namespace std::string_literals;

TEST(AnswerCipherTest, DirectionsInvertEachOtherForAnyKeyAndText) {
  std::mt19937 random(1321);
  for (int round = 0; round < 500; ++round) {
    const TAnswerKey key{static_cast<std::uint16_t>(random()), static_cast<std::uint16_t>(random()),
                         static_cast<std::uint16_t>(random())};
    std::string text(random() % 80, '\0');
    for (char& c : text) c = static_cast<char>(random());
    SCOPED_TRACE(round);
    const std::string encoded = CodeString(text, key, true);
    const std::string decoded = DecodeString(text, key);
    ASSERT_EQ(encoded.size(), text.size());
    ASSERT_EQ(decoded.size(), text.size());
    EXPECT_EQ(DecodeString(encoded, key), text);
    EXPECT_EQ(CodeString(decoded, key, true), text);
  }
}

TEST(AnswerCipherTest, FirstByteUsesHighByteOfStartKeyThenDirectionsDiffer) {
  const TAnswerKey key{0x3F11, 0x2D47, 0xA55A};
  const std::string text = "\x01\x80\x7F"s;
  const std::string encoded = CodeString(text, key, true);
  const std::string decoded = DecodeString(text, key);
  EXPECT_EQ(static_cast<std::uint8_t>(encoded[0]), 0x01 ^ 0xA5);
  EXPECT_EQ(static_cast<std::uint8_t>(decoded[0]), 0x01 ^ 0xA5);
  // Encoding feeds back the byte it consumed, decoding the one it produced.
  EXPECT_NE(encoded.substr(1), decoded.substr(1));
}

TEST(AnswerCipherTest, FeedbackSumIsReducedToEightBits) {
  // Low byte 100 plus feedback 200 must give s = 44, so with multiplier 1 the next running key is
  // 44 (high byte 0); a 16-bit sum would give 300 (high byte 1) and flip the second byte.
  const TAnswerKey key{1, 0, 100};
  for (bool encode : {true, false}) {
    SCOPED_TRACE(encode);
    EXPECT_EQ(CodeString("\xC8\x00"s, key, encode), "\xC8\x00"s);
  }
}

TEST(AnswerCipherTest, ByteRoutinesRefuseUnequalLengthsAndWorkInPlace) {
  const TAnswerKey key{7, 20659, 21449};
  char source[4] = {'a', 'b', 'c', 'd'};
  char destination[4] = {'x', 'x', 'x', 'x'};
  EXPECT_FALSE(EncodeBuffer(source, 4, destination, key, 3));
  EXPECT_FALSE(DecodeBuffer(source, 3, destination, key, 4));
  EXPECT_EQ(std::string(destination, 4), "xxxx");

  const std::string expected = CodeString("abcd", key, true);
  ASSERT_TRUE(EncodeBuffer(source, 4, source, key, 4));
  EXPECT_EQ(std::string(source, 4), expected);
  ASSERT_TRUE(DecodeBuffer(source, 4, source, key, 4));
  EXPECT_EQ(std::string(source, 4), "abcd");
}

TEST(AnswerCipherTest, UnescapingRunsTheFivePatternsInTheirFixedOrder) {
  struct Case {
    const char* name;
    std::string text, expected;
  } cases[] = {
      {"step 3 takes the backslash step 4 needed", "\\<\\%\\>", "<%\\>"},
      {"step 1 likewise before step 2", "\\<\\?\\>", "<?\\>"},
      {"dollars", "\\$\\$", "$$"},
      {"each pattern", "\\<\\?a\\?\\>b\\<\\%c\\%\\>", "<?a?>b<%c%>"},
      {"other backslashes stay", "\\a\\\\\\<x\\", "\\a\\\\\\<x\\"},
      {"case and zero bytes untouched", "\\$\x00Z"s, "$\x00Z"s},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UnescapeAnswer(c.text), c.expected);
  }
}

TEST(AnswerCipherTest, EscapingIsUndoneByTheClientsUnescaping) {
  std::mt19937 random(936);
  const char alphabet[] = "<?%>$ab";
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 12, ' ');
    for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
    SCOPED_TRACE(text);
    EXPECT_EQ(UnescapeAnswer(EscapeAnswer(text)), text);
  }
}

TEST(ShareCodeTest, ValidityTrimsBothSidesAndRespectsCase) {
  const std::string fp = "0123456789abcdef0123456789abcdef";
  struct Case {
    const char* name;
    std::string fingerprint, answer;
    bool valid;
  } cases[] = {
      {"equal", fp, fp, true},
      {"answer padded with blanks and zero bytes", fp, " \t\r\n" + fp + "\x00\r\n"s, true},
      {"fingerprint padded", "\n" + fp + " ", fp, true},
      {"upper-case hex letter", fp, "0123456789Abcdef0123456789abcdef", false},
      {"one digit short", fp, fp.substr(1), false},
      {"blank inside", fp, fp.substr(0, 16) + " " + fp.substr(16), false},
      {"empty answer", fp, "", false},
      {"empty fingerprint", "", "", false},
      {"blank fingerprint", " \r\n", " \r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TShareCode checker;
    checker.Fingerprint = c.fingerprint;
    checker.Answer = c.answer;
    EXPECT_EQ(checker.IsAnswerValid(), c.valid);
  }
}

TEST(ShareCodeTest, DecodeAnswerUnescapesDecodesAndKeepsTheResult) {
  TShareCode checker;
  checker.InitKey();
  checker.Fingerprint = "0123456789abcdef0123456789abcdef";
  EXPECT_EQ(checker.DecodeAnswer(""), "");
  EXPECT_FALSE(checker.IsAnswerValid());

  // Escaped sequences come back before deciphering.
  const std::string plain = "<?$x";
  EXPECT_EQ(checker.DecodeAnswer(EscapeAnswer(CodeString(plain, checker.Key, true))), plain);
  EXPECT_EQ(checker.GetAnswer(), plain);
}

TEST(ShareCodeTest, InitShareCodeFingerprintsTheRunningProgram) {
  InitShareCode();
  ASSERT_NE(ShareCode, nullptr);
  EXPECT_EQ(ShareCode->Key.StartKey, settings::kAnswerStartKey);
  EXPECT_EQ(ShareCode->GetFingerprint(), FileMD5Hex(ExecutablePath()));
  EXPECT_EQ(ShareCode->GetFingerprint().size(), 32u);

  TShareCode unreadable;
  EXPECT_THROW(unreadable.LoadFingerprintFrom(ExecutablePath() + ".missing"), EFileOpenError);
  EXPECT_EQ(unreadable.Fingerprint, "");
}

TEST(AnswerPublishingTest, PublishedAnswersVerifyThroughTheClientPipeline) {
  TShareCode checker;
  checker.InitKey();
  std::mt19937 random(425);
  for (int round = 0; round < 1000; ++round) {
    std::string fingerprint(32, '0');
    for (char& c : fingerprint) c = "0123456789abcdef"[random() % 16];
    SCOPED_TRACE(fingerprint);
    const std::string answer = PublishAnswer(fingerprint, checker.Key);
    EXPECT_TRUE(AnswerVerifies(answer, fingerprint, checker.Key));
    // A server may add a line end or blanks around the body.
    EXPECT_TRUE(AnswerVerifies("\r\n " + answer + "\n", fingerprint, checker.Key));
    fingerprint[31] = fingerprint[31] == '0' ? '1' : '0';
    EXPECT_FALSE(AnswerVerifies(answer, fingerprint, checker.Key));
  }
}

TEST(AnswerPublishingTest, AKeyThatEmitsUpperCaseCannotPublishEveryFingerprint) {
  // High byte 0x70 turns '1' into 'A', which the client lower-cases.
  const TAnswerKey key{7, 20659, 0x7000};
  const std::string fingerprint = "1123456789abcdef0123456789abcdef";
  EXPECT_FALSE(AnswerVerifies(PublishAnswer(fingerprint, key), fingerprint, key));
}

}  // namespace
}  // namespace qor
