// qor check SETUP.exe [--server URL]... [--timeout SECONDS] [--json]: fetches the published answer
// from every server at once with the HTTP client of setup.exe and judges each with the answer
// checker, as the verification window does.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "json_output.h"
#include "params/allparam.h"
#include "params/product_settings.h"
#include "server_check.h"
#include "verification/QORMD5Unit.h"
#include "verification/ShareCodeCheckunit.h"
#include "verification/http_client.h"

namespace qor::cli {

namespace {

// Server texts reach the terminal only with their control bytes defused.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) c = '?';
  }
  return out;
}

struct CheckOptions {
  FilePath setupPath;
  std::vector<std::string> servers;
  std::chrono::milliseconds deadline{0};
};

// The default deadline: a server that uses its whole connect limit and then its whole response
// limit still gets its verdict.
std::chrono::milliseconds DefaultDeadline() {
  const THttpLimits limits = THttpLimits::Defaults();
  return std::chrono::milliseconds(limits.connectTimeoutMs + limits.readTimeoutMs + 1000);
}

std::chrono::milliseconds ParseTimeout(const std::string& text) {
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  // Written this way round so that NaN fails too.
  if (text.empty() || *end != '\0' || !(seconds >= 0.001 && seconds <= 3600)) {
    throw UsageError("--timeout takes seconds, from 0.001 to 3600: '" + text + "'");
  }
  return std::chrono::milliseconds(std::llround(seconds * 1000));
}

CheckOptions ParseOptions(const Args& args) {
  CheckOptions options;
  options.deadline = DefaultDeadline();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--server" || args[i] == "--timeout") {
      if (i + 1 == args.size()) {
        throw UsageError(args[i] == "--server" ? "--server needs a URL"
                                               : "--timeout needs seconds");
      }
      if (args[i] == "--timeout") {
        options.deadline = ParseTimeout(args[++i]);
        continue;
      }
      std::string url = args[++i];
      if (url.empty() || url.back() != '/') url += '/';
      try {
        THttpUrl::Parse(url);
      } catch (const EHttpError& e) {
        throw UsageError(std::string("bad server URL: ") + e.what());
      }
      options.servers.push_back(url);
    } else if (!args[i].empty() && args[i][0] == '-') {
      throw UsageError("unknown option " + args[i]);
    } else if (options.setupPath.empty()) {
      options.setupPath = PathArg(args[i]);
    } else {
      throw UsageError("expected one SETUP.exe");
    }
  }
  if (options.setupPath.empty()) throw UsageError("expected SETUP.exe");
  if (options.servers.empty()) {
    options.servers.assign(settings::kServerUrls, settings::kServerUrls + settings::kServerCount);
  }
  return options;
}

const char* VerdictText(TVerdict verdict) {
  switch (verdict) {
    case TVerdict::kVerified:
      return "valid";
    case TVerdict::kInvalid:
      return "invalid";
    case TVerdict::kUnanswered:
      break;
  }
  return "no answer";
}

const char* VerdictToken(TVerdict verdict) {
  switch (verdict) {
    case TVerdict::kVerified:
      return "verified";
    case TVerdict::kInvalid:
      return "invalid";
    case TVerdict::kUnanswered:
      break;
  }
  return "unanswered";
}

void PrintLine(const TServerReport& report) {
  const bool answered = report.error.empty();
  const std::string detail =
      answered ? "HTTP " + std::to_string(report.status) : Printable(report.error);
  std::printf("%s  %s  %s  %lld ms  %s\n", Printable(report.url).c_str(),
              answered ? "answered" : "failed", detail.c_str(), report.ms,
              VerdictText(report.verdict));
  std::fflush(stdout);
}

Json ServerJson(const TServerReport& report) {
  return {{"url", report.url},
          {"status", report.status != 0 ? Json(report.status) : Json(nullptr)},
          {"time_ms", report.ms},
          {"verdict", VerdictToken(report.verdict)},
          {"error", report.error.empty() ? Json(nullptr) : Json(report.error)}};
}

int Run(const Args& given) {
  Args args = given;
  const bool json = TakeJsonFlag(args);
  const CheckOptions options = ParseOptions(args);
  SetProductParameters();

  TShareCode checker;
  checker.InitKey();
  checker.Fingerprint = FileMD5Hex(options.setupPath);
  if (!json) {
    std::fprintf(stderr, "fingerprint %s of %s\n", checker.Fingerprint.c_str(),
                 options.setupPath.Text().c_str());
  }

  std::vector<std::string> urls;
  for (const std::string& server : options.servers) urls.push_back(server + VerificationPath);
  const std::vector<TServerReport> reports =
      CheckServers(urls, checker, options.deadline, json ? nullptr : PrintLine);
  std::size_t verified = 0;
  Json servers = Json::array();
  for (const TServerReport& report : reports) {
    if (report.verdict == TVerdict::kVerified) ++verified;
    servers.push_back(ServerJson(report));
  }
  const bool allVerified = verified == reports.size();
  if (json) {
    PrintJson({{"setup", options.setupPath.Native()},
               {"fingerprint", checker.Fingerprint},
               {"deadline_ms", options.deadline.count()},
               {"servers", servers},
               {"verified", verified},
               {"all_verified", allVerified}});
  } else {
    std::fprintf(stderr, "%zu of %zu servers give a valid answer\n", verified, reports.size());
  }
  return allVerified ? kExitSuccess : kExitVerdictFailed;
}

}  // namespace

const Command kCheckCommand = {
    "check", "fetch and judge the published answer from every verification server",
    "usage: qor check SETUP.exe [--server URL]... [--timeout SECONDS] [--json]\n"
    "\n"
    "Fingerprints SETUP.exe, then fetches base URL + velmora/QORPG3.0ins.htm from each server\n"
    "(the compiled-in list of ten, or every --server given) with the HTTP client of setup.exe,\n"
    "and judges each answer as the verification window does: lower-case, trim, unescape,\n"
    "decode with the compiled-in key, compare with the fingerprint.\n"
    "\n"
    "Every server is asked at once, each within setup's own limits, and the whole check within\n"
    "--timeout seconds (default: one connect limit plus one response limit and 1 s, 26 s with\n"
    "the shipped limits); a server that has not answered by then counts as no answer. One line\n"
    "per server, in list order whatever order the answers come in:\n"
    "\n"
    "  URL  answered|failed  HTTP status or error  time ms  valid|invalid|no answer\n"
    "\n"
    "--json prints one JSON document instead:\n"
    "  setup         SETUP.exe as given\n"
    "  fingerprint   its fingerprint, 32 lower-case hex digits\n"
    "  deadline_ms   the check's deadline in milliseconds\n"
    "  servers       one object per server, in list order:\n"
    "    url           the URL asked (base URL + verification path)\n"
    "    status        the HTTP status of the response, null when none came\n"
    "    time_ms       milliseconds from the start of the check to the server's outcome\n"
    "    verdict       \"verified\" (the answer confirms the fingerprint), \"invalid\" (an\n"
    "                  answer for another file) or \"unanswered\" (no usable response)\n"
    "    error         why there is no answer (the text of the line above), null when answered\n"
    "  verified      how many servers are verified\n"
    "  all_verified  true exactly when every server is verified (exit 0)\n"
    "\n"
    "Exit codes: 0 every server gives a valid answer, 1 some server does not, 2 bad usage or an\n"
    "unreadable file (nothing on stdout).\n",
    Run};

}  // namespace qor::cli
