// qor check SETUP.exe [--server URL]...: fetches the published answer from each server with the
// HTTP client of setup.exe and judges it with the answer checker, as the verification window does.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/socket.h"
#include "cli.h"
#include "params/allparam.h"
#include "params/product_settings.h"
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

std::vector<std::string> ParseServers(const Args& args, std::string& setupPath) {
  std::vector<std::string> servers;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--server") {
      if (i + 1 == args.size()) throw UsageError("--server needs a URL");
      std::string url = args[++i];
      if (url.empty() || url.back() != '/') url += '/';
      try {
        THttpUrl::Parse(url);
      } catch (const EHttpError& e) {
        throw UsageError(std::string("bad server URL: ") + e.what());
      }
      servers.push_back(url);
    } else if (!args[i].empty() && args[i][0] == '-') {
      throw UsageError("unknown option " + args[i]);
    } else if (setupPath.empty()) {
      setupPath = args[i];
    } else {
      throw UsageError("expected one SETUP.exe");
    }
  }
  if (setupPath.empty()) throw UsageError("expected SETUP.exe");
  if (servers.empty())
    servers.assign(settings::kServerUrls, settings::kServerUrls + settings::kServerCount);
  return servers;
}

int Run(const Args& args) {
  std::string setupPath;
  const std::vector<std::string> servers = ParseServers(args, setupPath);
  SetProductParameters();

  TShareCode checker;
  checker.InitKey();
  checker.Fingerprint = FileMD5Hex(setupPath);
  std::fprintf(stderr, "fingerprint %s of %s\n", checker.Fingerprint.c_str(), setupPath.c_str());

  THttpClient client;
  int valid = 0;
  for (const std::string& server : servers) {
    const std::string url = server + VerificationPath;
    const auto start = std::chrono::steady_clock::now();
    std::string outcome = "answered";
    std::string detail;
    std::string verdict = "no answer";
    try {
      const std::string body = client.Get(url);
      detail = "HTTP " + std::to_string(client.LastStatusCode());
      verdict = checker.JudgeResponse(body) ? "valid" : "invalid";
    } catch (const std::exception& e) {
      // The HTTP and socket errors of the client; a server's fault never ends the run.
      outcome = "failed";
      detail = e.what();
    }
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    if (verdict == "valid") ++valid;
    std::printf("%s  %s  %s  %lld ms  %s\n", Printable(url).c_str(), outcome.c_str(),
                Printable(detail).c_str(), ms, verdict.c_str());
    std::fflush(stdout);
  }
  std::fprintf(stderr, "%d of %zu servers give a valid answer\n", valid, servers.size());
  return valid == static_cast<int>(servers.size()) ? kExitSuccess : kExitVerdictFailed;
}

}  // namespace

const Command kCheckCommand = {
    "check", "fetch and judge the published answer from every verification server",
    "usage: qor check SETUP.exe [--server URL]...\n"
    "\n"
    "Fingerprints SETUP.exe, then fetches base URL + velmora/QORPG3.0ins.htm from each server\n"
    "(the compiled-in list of ten, or every --server given) with the HTTP client of setup.exe,\n"
    "and judges each answer as the verification window does: lower-case, trim, unescape,\n"
    "decode with the compiled-in key, compare with the fingerprint. One line per server:\n"
    "\n"
    "  URL  answered|failed  HTTP status or error  time ms  valid|invalid|no answer\n"
    "\n"
    "Exit codes: 0 every server gives a valid answer, 1 some server does not, 2 bad usage or an\n"
    "unreadable file.\n",
    Run};

}  // namespace qor::cli
