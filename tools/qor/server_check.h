// Asking every verification server at once, as a watch of the servers wants it: each server on a
// thread of its own with the HTTP client of setup.exe (its request bytes, its limits per server),
// each answer judged by setup's one judge, and the whole check within one deadline.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "verification/ShareCodeCheckunit.h"

namespace qor::cli {

enum class TVerdict {
  kVerified,   // the answer confirms the fingerprint
  kInvalid,    // an answer came, for another file
  kUnanswered  // no answer: the request failed, or the deadline came first
};

struct TServerReport {
  std::string url;   // as asked: base URL and verification path
  int status = 0;    // the HTTP status of the response whose head was read; 0 when none was
  long long ms = 0;  // from the start of the check to this server's outcome
  TVerdict verdict = TVerdict::kUnanswered;
  std::string error;  // why there is no answer; empty when the server answered
};

// Fetches every URL at once and judges each body with a copy of checker. A server that has not
// answered by the deadline (counted from the call) is given up and reported unanswered: every wait
// of the client looks at the clock at least every kWaitSliceMs, so the call returns that much after
// the deadline at most. onReport, when set, is called on the calling thread for each server in list
// order, as soon as it and every server before it are done. Returns the reports in list order.
// Raises only when threads cannot be made (std::system_error), after the ones made have ended.
std::vector<TServerReport> CheckServers(const std::vector<std::string>& urls,
                                        const TShareCode& checker,
                                        std::chrono::milliseconds deadline,
                                        const std::function<void(const TServerReport&)>& onReport);

}  // namespace qor::cli
