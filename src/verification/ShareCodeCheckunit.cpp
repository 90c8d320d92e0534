#include "verification/ShareCodeCheckunit.h"

#include "base/file_system.h"
#include "base/text.h"
#include "params/product_settings.h"
#include "verification/QORMD5Unit.h"

namespace qor {

std::unique_ptr<TShareCode> ShareCode;

void TShareCode::InitKey() {
  Key = TAnswerKey{settings::kAnswerMultiplier, settings::kAnswerIncrement,
                   settings::kAnswerStartKey};
}

void TShareCode::LoadFingerprint() { LoadFingerprintFrom(ExecutablePath()); }

void TShareCode::LoadFingerprintFrom(const FilePath& fileName) {
  Fingerprint = TrimBytes(AsciiLowerCase(FileMD5Hex(fileName)));
}

std::string UnescapeAnswer(std::string_view text) {
  static constexpr std::string_view kEscapes[][2] = {
      {"\\<\\?", "<?"}, {"\\?\\>", "?>"}, {"\\<\\%", "<%"}, {"\\%\\>", "%>"}, {"\\$", "$"},
  };
  std::string result(text);
  for (const auto& escape : kEscapes) result = ReplaceAll(result, escape[0], escape[1]);
  return result;
}

std::string TShareCode::DecodeAnswer(std::string_view text) {
  Answer = DecodeString(UnescapeAnswer(text), Key);
  return Answer;
}

bool TShareCode::IsAnswerValid() const {
  const std::string fingerprint = TrimBytes(Fingerprint);
  if (fingerprint.empty()) return false;
  return TrimBytes(Answer) == fingerprint;
}

bool TShareCode::JudgeResponse(std::string_view body) {
  // Lower-cased and trimmed before it is decoded, as every client has always done.
  DecodeAnswer(TrimBytes(AsciiLowerCase(body)));
  return IsAnswerValid();
}

void InitShareCode() {
  if (!ShareCode) ShareCode = std::make_unique<TShareCode>();
  ShareCode->InitKey();
  ShareCode->LoadFingerprint();
}

}  // namespace qor
