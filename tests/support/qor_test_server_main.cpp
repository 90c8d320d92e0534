// qor_test_server: the fault-injecting HTTP test server as a program of its own, for end-to-end
// tests that run setup.exe against it. It prints "listening on 127.0.0.1:PORT", answers requests
// as its script says, and ends after --seconds (so it never outlives a test run) or when killed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "http_test_server.h"

namespace {

const char kHelp[] =
    "usage: qor_test_server [--port N] [--seconds S] [--requests FILE] --script FILE|-\n"
    "\n"
    "Serves HTTP on 127.0.0.1:N (0 or none: a free port, printed on the first line of output).\n"
    "Each line of the script answers one request, in order; the last line answers every request\n"
    "after it. Empty lines and lines starting with # are skipped. Texts take \\r \\n \\t \\\\ "
    "\\xHH.\n"
    "\n"
    "  ok TEXT                200 with Content-Length\n"
    "  status CODE            the status (404, 500, 304, 204, ...)\n"
    "  redirect CODE URL      301/302 with Location\n"
    "  location URL TEXT      200 with Location\n"
    "  continue TEXT          100 Continue, then 200\n"
    "  chunked EXT|- TEXT     chunked, three bytes a chunk, each size line with EXT\n"
    "  short DECLARED TEXT    Content-Length DECLARED, TEXT, then close\n"
    "  until-close TEXT       no Content-Length, close after TEXT\n"
    "  big-header BYTES       a header line of BYTES bytes\n"
    "  big-body BYTES         a body of BYTES bytes delimited by close\n"
    "  cookie NAME=VALUE TEXT 200 with Set-Cookie\n"
    "  close                  accept and close at once\n"
    "  reset                  part of a body, then a reset\n"
    "  stall MS               read the request, send nothing for MS, close\n"
    "  late MS TEXT           read the request, send nothing for MS, then 200\n"
    "  trickle MS TEXT        a 200 response sent one byte every MS\n"
    "  raw BYTES              BYTES as they are, connection kept\n"
    "\n"
    "--requests FILE appends each received request's raw bytes to FILE as it arrives.\n"
    "--seconds S ends the server after S seconds (default 300).\n";

bool ReadScript(std::istream& in, qor::testing::THttpTestServer& server) {
  std::string line;
  bool any = false;
  qor::testing::TServerBehaviour last;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    last = qor::testing::TServerBehaviour::Parse(line);
    server.Enqueue(last);
    any = true;
  }
  if (any) server.SetDefault(last);
  return any;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long port = 0;
  long seconds = 300;
  std::string script;
  std::string requestsPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--port" && hasValue) {
      port = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--seconds" && hasValue) {
      seconds = std::strtol(argv[++i], nullptr, 10);
    } else if (arg == "--script" && hasValue) {
      script = argv[++i];
    } else if (arg == "--requests" && hasValue) {
      requestsPath = argv[++i];
    } else {
      std::fprintf(stderr, "qor_test_server: bad argument '%s'\n%s", arg.c_str(), kHelp);
      return 2;
    }
  }
  if (script.empty() || port > 65535) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  try {
    qor::testing::THttpTestServer server(static_cast<std::uint16_t>(port));
    bool loaded = false;
    if (script == "-") {
      loaded = ReadScript(std::cin, server);
    } else {
      std::ifstream in(script, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "qor_test_server: cannot read %s\n", script.c_str());
        return 2;
      }
      loaded = ReadScript(in, server);
    }
    if (!loaded) {
      std::fputs("qor_test_server: the script is empty\n", stderr);
      return 2;
    }
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    std::size_t written = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (requestsPath.empty()) continue;
      const auto requests = server.Requests();
      if (requests.size() == written) continue;
      std::ofstream out(requestsPath, std::ios::binary | std::ios::app);
      for (; written < requests.size(); ++written) out << requests[written];
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qor_test_server: %s\n", e.what());
    return 2;
  }
}
