// The two ends of the answer's journey, shared by the maker's tool and the tests: how the maker
// makes the published answer for a fingerprint, and what the client does with a response body.
#pragma once

#include <string>
#include <string_view>

#include "verification/fenrpt.h"

namespace qor {

// Writes the five sequences that the client unescapes in their escaped forms. Applied in the
// reverse of the client's order, so that the client's unescaping restores the text whenever the
// text holds no backslash of its own.
std::string EscapeAnswer(std::string_view enciphered);

// The answer to publish for a fingerprint: its encoding under key, escaped.
std::string PublishAnswer(std::string_view fingerprint, const TAnswerKey& key);

// Runs the client's own judgement (TShareCode::JudgeResponse) on a published body and says
// whether it confirms fingerprint under key.
bool AnswerVerifies(std::string_view body, std::string_view fingerprint, const TAnswerKey& key);

}  // namespace qor
