#include "verification/answer_publishing.h"

#include "base/text.h"
#include "verification/ShareCodeCheckunit.h"

namespace qor {

std::string EscapeAnswer(std::string_view enciphered) {
  std::string result(enciphered);
  result = ReplaceAll(result, "$", "\\$");
  result = ReplaceAll(result, "%>", "\\%\\>");
  result = ReplaceAll(result, "<%", "\\<\\%");
  result = ReplaceAll(result, "?>", "\\?\\>");
  result = ReplaceAll(result, "<?", "\\<\\?");
  return result;
}

std::string PublishAnswer(std::string_view fingerprint, const TAnswerKey& key) {
  return EscapeAnswer(CodeString(fingerprint, key, true));
}

bool AnswerVerifies(std::string_view body, std::string_view fingerprint, const TAnswerKey& key) {
  TShareCode checker;
  checker.Key = key;
  checker.Fingerprint = std::string(fingerprint);
  return checker.JudgeResponse(body);
}

}  // namespace qor
