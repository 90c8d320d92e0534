// Operating another process's windows from outside, as a person would: find them by window class,
// read their texts, click them with posted mouse messages. Used by the end-to-end tests, which run
// setup programs under Wine.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qor::e2e {

using std::chrono::milliseconds;
inline constexpr milliseconds kPatience{20000};

// A program started with CreateProcess; the destructor ends it if it still runs.
class ChildProcess {
 public:
  // Starts exe (in its own folder as the working folder) with the command-line tail arguments.
  explicit ChildProcess(const std::string& exe, const std::string& arguments = "");
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  DWORD Id() const { return info_.dwProcessId; }
  // The exit code once the process has ended within timeout; STILL_ACTIVE otherwise.
  DWORD WaitForExit(milliseconds timeout = kPatience);

 private:
  PROCESS_INFORMATION info_{};
};

// Polls condition every 50 ms until it holds or timeout passes; returns the last result.
bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = kPatience);

// Probes window as the system does to tell a hung window (SendMessageTimeout with WM_NULL,
// SMTO_ABORTIFHUNG, 1 s) every 200 ms, and polls done every 50 ms, until done holds or timeout
// passes; returns done's last result. Counts the probes sent and those left unanswered.
struct Probes {
  int sent = 0;
  int unanswered = 0;
};
bool ProbeUntil(HWND window, const std::function<bool()>& done, milliseconds timeout,
                Probes& probes);

// The visible top-level windows of process pid with the window class className.
std::vector<HWND> TopWindows(DWORD pid, const std::wstring& className);
// The first of them, waiting up to timeout; null when none appeared.
HWND WaitForWindow(DWORD pid, const std::wstring& className, milliseconds timeout = kPatience);

// The direct children of parent with that class, in z-order (the order they were created).
std::vector<HWND> Children(HWND parent, const std::wstring& className, bool visibleOnly = true);
// The window's text as GBK (sent as WM_GETTEXT, with a time-limit).
std::string WindowText(HWND window);
// The first visible child whose text starts with prefix (GBK), or null.
HWND ChildWithTextPrefix(HWND parent, const std::wstring& className, const std::string& prefix);

// The visible balloon of process pid, or null, and the title it shows.
HWND Balloon(DWORD pid);
std::string BalloonTitle(HWND balloon);
// The install button of the verification window (its copy button stays hidden), or null.
HWND InstallButton(HWND form);

// A left click in the middle of window, as posted mouse messages.
void Click(HWND window);

// The clipboard's text as GBK.
std::string ClipboardText();

// The folder of this test program, ending in a backslash.
std::string ProgramFolder();

// A fresh empty folder under the program folder; the setup program is copied there so that what
// it writes beside itself can be checked.
std::string FreshFolder(const std::string& name);
// The names of the files in folder.
std::vector<std::string> FilesIn(const std::string& folder);
std::string ReadFile(const std::string& path);

}  // namespace qor::e2e
