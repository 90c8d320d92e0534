// Times a setup program's verification from outside, as a user meets it: starts the program, clicks
// the install button and reports when the verdict shows (the certification window or a warning
// balloon), how many of the probes the system would send to a busy window were answered meanwhile,
// and how long a close request then takes to end the program. bench/verdict-time runs it once per
// network case.
//
// Usage: verdict_time SETUP.exe [--close-after MS]
//   --close-after MS  posts the close request MS after the click instead of waiting for a verdict
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/windows/windows_helpers.h"

using namespace qor::testing;
using Clock = std::chrono::steady_clock;

namespace {

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: verdict_time SETUP.exe [--close-after MS]\n");
    return 2;
  }
  const long long closeAfter =
      argc >= 4 && std::strcmp(argv[2], "--close-after") == 0 ? std::atoll(argv[3]) : 0;
  std::string exe = argv[1];
  for (char& c : exe) c = c == '/' ? '\\' : c;  // ChildProcess takes the folder from the path
  ChildProcess setup(exe);
  HWND form = WaitForWindow(setup.Id(), L"TFrmNetVerify");
  HWND button = form ? InstallButton(form) : nullptr;
  if (!button) {
    std::printf("no verification window\n");
    return 1;
  }
  Sleep(300);
  const Clock::time_point clicked = Clock::now();
  Click(button);
  std::string verdict = "none";
  Probes probes;
  ProbeUntil(
      form,
      [&] {
        if (!TopWindows(setup.Id(), L"TFrmServerConfirm").empty()) {
          verdict = "certified";
        } else if (Balloon(setup.Id())) {
          verdict = "warned";
        } else if (closeAfter > 0 && MillisecondsSince(clicked) >= closeAfter) {
          verdict = "closed";
        } else {
          return false;
        }
        return true;
      },
      milliseconds(300000), probes);
  const long long verdictMs = MillisecondsSince(clicked);
  const Clock::time_point closing = Clock::now();
  PostMessageW(form, WM_CLOSE, 0, 0);
  const DWORD code = setup.WaitForExit(milliseconds(30000));
  std::printf("%s after %lld ms; %d of %d probes answered; a close ended it in %lld ms, exit %lu\n",
              verdict.c_str(), verdictMs, probes.sent - probes.unanswered, probes.sent,
              MillisecondsSince(closing), static_cast<unsigned long>(code));
  return 0;
}
