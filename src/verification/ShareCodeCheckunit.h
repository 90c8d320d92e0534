// The answer checker: holds the answer key and the package fingerprint, decodes a server's answer
// and judges whether it confirms the fingerprint.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/file_path.h"
#include "verification/fenrpt.h"

namespace qor {

class TShareCode {
 public:
  TAnswerKey Key{};         // set by InitKey
  std::string Answer;       // the last decoded answer; empty until DecodeAnswer has run
  std::string Fingerprint;  // 32 lower-case hex digits, set by LoadFingerprint

  // Sets Key to the product's compiled-in answer key.
  void InitKey();

  // Fingerprints the running program's own executable file (LoadFingerprintFrom).
  void LoadFingerprint();
  // Sets Fingerprint to FileMD5Hex(fileName), lower-cased and trimmed. On an error (passed on
  // unchanged) Fingerprint is left as it was.
  void LoadFingerprintFrom(const FilePath& fileName);

  // Unescapes text (UnescapeAnswer), deciphers it with Key, stores the result in Answer and
  // returns a copy. Never raises: any text decodes to one of the same length.
  std::string DecodeAnswer(std::string_view text);

  // True exactly when the trimmed Answer equals the trimmed Fingerprint byte for byte, and the
  // trimmed Fingerprint is not empty. Letter case matters.
  bool IsAnswerValid() const;

  // The client's one judgement of a server's response body, which the verification window, the
  // maker's `qor answer` and `qor check` all use: lower-cases the bytes 'A'..'Z', trims bytes
  // 0..32 from both ends, decodes it with Key (DecodeAnswer, so Answer holds the result) and
  // compares it with Fingerprint (IsAnswerValid). Never raises.
  bool JudgeResponse(std::string_view body);

  std::string GetAnswer() const { return Answer; }
  std::string GetFingerprint() const { return Fingerprint; }
};

// Undoes the answer's escaping: "\<\?", "\?\>", "\<\%", "\%\>" and "\$" become "<?", "?>",
// "<%", "%>" and "$", one pattern after the other in this order, each left to right over the
// result of the one before. A backslash before anything else stays.
std::string UnescapeAnswer(std::string_view text);

// The process's one answer checker; none until InitShareCode. Lives until the process ends.
extern std::unique_ptr<TShareCode> ShareCode;

// Creates ShareCode if it is none, then InitKey and LoadFingerprint on it. Errors of
// LoadFingerprint pass on to the caller, leaving ShareCode created with its key set.
void InitShareCode();

}  // namespace qor
