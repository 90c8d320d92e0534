// What the Windows test programs share: paths and files, programs started and awaited, and other
// processes' windows operated from outside as a person would (found by window class, read, clicked
// with posted mouse messages). Used by the window tests and the end-to-end tests under Wine.
//
// Paths are UTF-8 and reach Windows as UTF-16, so a folder may hold characters that the ANSI code
// page lacks. Window texts are returned as UTF-16 (TextOf) or as GBK (WindowText), the form of the
// programs' own string literals.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/time_scale.h"

namespace qor::testing {

using std::chrono::milliseconds;
inline constexpr milliseconds kPatience{20000};

// ---- Paths and files

std::wstring Wide(const std::string& utf8);
// A path as ctest hands it over: Unix paths live on Wine's drive Z:.
std::string WindowsPath(std::string path);
// Takes "NAME=PATH" (PATH as WindowsPath makes it) into value when arg starts with name ("--x=").
// "NAME=@FILE" takes the path written in FILE, as another build writes it beside a setup program.
bool TakePathOption(const char* arg, const char* name, std::string& value);

std::string ReadFile(const std::string& path);  // empty when it cannot be read
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The folder of this test program, ending in a backslash.
std::string ProgramFolder();
// A fresh empty folder runs\<name> under the program folder; a setup program is copied there so
// that what it writes beside itself can be checked.
std::string FreshFolder(const std::string& name);
// The names of the files in folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
// Copies the running program to path, so that it can be started under another name.
bool CopyThisProgram(const std::string& path);

// ---- Programs

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

// Probes window as the system does to tell a hung window (SendMessageTimeout with WM_NULL, 1 s,
// stretched under emulation) every 200 ms, and polls done every 50 ms, until done holds or timeout
// passes; returns done's last result. Counts the probes sent and those left unanswered. Without
// SMTO_ABORTIFHUNG: its fixed 5 s without a message taken does not stretch with emulation.
struct Probes {
  int sent = 0;
  int unanswered = 0;
};
bool ProbeUntil(HWND window, const std::function<bool()>& done, milliseconds timeout,
                Probes& probes);

// ---- Windows

// The visible top-level windows of process pid with the window class className.
std::vector<HWND> TopWindows(DWORD pid, const std::wstring& className);
// The first of them, waiting up to timeout; null when none appeared.
HWND WaitForWindow(DWORD pid, const std::wstring& className, milliseconds timeout = kPatience);

// The direct children of parent with that class, in z-order (the order they were created).
std::vector<HWND> Children(HWND parent, const std::wstring& className, bool visibleOnly = true);
// The window's text (sent as WM_GETTEXT, with a time-limit, so a hung program fails a test only).
std::wstring TextOf(HWND window);
std::string WindowText(HWND window);  // as GBK
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

inline RECT ClientRectOf(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

// The child's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Today's local date as yyyy-mm-dd, as the certification window shows it.
std::string Today();

}  // namespace qor::testing
