#include "support/windows/windows_helpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/wide_text.h"
#include "ui/gbk_text.h"

namespace qor::testing {

std::wstring Wide(const std::string& utf8) { return WideFromUtf8(utf8).data(); }

std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool TakePathOption(const char* arg, const char* name, std::string& value) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(arg, name, length) != 0) return false;
  value = WindowsPath(arg + length);
  if (!value.empty() && value[0] == '@') {
    const std::string named = ReadFile(WindowsPath(arg + length + 1));
    value = WindowsPath(named.substr(0, named.find('\n')));
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary | std::ios::trunc) << bytes;
}

bool Exists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProgramFolder() {
  wchar_t exe[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::string path = Utf8FromWide(std::wstring_view(exe, length));
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string FreshFolder(const std::string& name) {
  std::string folder = ProgramFolder() + "runs\\" + name;
  CreateDirectoryW(Wide(ProgramFolder() + "runs").c_str(), nullptr);
  // Leftovers of an earlier run.
  for (const std::string& file : FilesIn(folder)) DeleteFileW(Wide(folder + "\\" + file).c_str());
  CreateDirectoryW(Wide(folder).c_str(), nullptr);
  return folder;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = Utf8FromWide(entry.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

bool CopyThisProgram(const std::string& path) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return CopyFileW(self, Wide(path).c_str(), FALSE) != 0;
}

ChildProcess::ChildProcess(const std::string& exe, const std::string& arguments) {
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  if (!arguments.empty()) command += L" " + Wide(arguments);
  const std::wstring folder = Wide(exe.substr(0, exe.find_last_of('\\')));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(Wide(exe).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &info_)) {
    info_ = PROCESS_INFORMATION{};
  }
}

ChildProcess::~ChildProcess() {
  if (!info_.hProcess) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

DWORD ChildProcess::WaitForExit(milliseconds timeout) {
  if (!info_.hProcess) return STILL_ACTIVE;
  WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count()));
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    Sleep(50);
  }
}

bool ProbeUntil(HWND window, const std::function<bool()>& done, milliseconds timeout,
                Probes& probes) {
  int tick = 0;
  return WaitUntil(
      [&] {
        if (tick++ % 4 == 0) {
          DWORD_PTR result = 0;
          probes.unanswered += !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                                    Stretched(milliseconds(1000)).count(), &result);
          ++probes.sent;
        }
        return done();
      },
      timeout);
}

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[128];
  int length = GetClassNameW(window, name, 128);
  return std::wstring(name, length > 0 ? length : 0);
}

struct TopSearch {
  DWORD pid;
  const std::wstring* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TopSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && ClassOf(window) == *search->className) {
    search->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const std::wstring& className) {
  TopSearch search{pid, &className, {}};
  EnumWindows(&CollectTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForWindow(DWORD pid, const std::wstring& className, milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        std::vector<HWND> windows = TopWindows(pid, className);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
      },
      timeout);
  return found;
}

std::vector<HWND> Children(HWND parent, const std::wstring& className, bool visibleOnly) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == className && (!visibleOnly || IsWindowVisible(child))) {
      children.push_back(child);
    }
  }
  return children;
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024];
  DWORD_PTR length = 0;
  // A thread that has not asked for a message for 5 s counts as hung, and SMTO_ABORTIFHUNG then
  // fails at once: a program whose start took that long (under emulation) is asked again.
  bool answered = false;
  WaitUntil(
      [&] {
        answered = SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                                       SMTO_ABORTIFHUNG, 5000, &length) != 0;
        return answered || !IsWindow(window);
      },
      Stretched(milliseconds(5000)));
  return answered ? std::wstring(text, length) : std::wstring();
}

std::string WindowText(HWND window) { return ui::Narrow(TextOf(window)); }

HWND ChildWithTextPrefix(HWND parent, const std::wstring& className, const std::string& prefix) {
  for (HWND child : Children(parent, className)) {
    if (WindowText(child).rfind(prefix, 0) == 0) return child;
  }
  return nullptr;
}

HWND Balloon(DWORD pid) {
  std::vector<HWND> balloons = TopWindows(pid, L"TBalloon");
  return balloons.empty() ? nullptr : balloons.back();
}

std::string BalloonTitle(HWND balloon) {
  std::vector<HWND> labels = Children(balloon, L"TLabel");
  return labels.empty() ? std::string() : WindowText(labels.front());
}

HWND InstallButton(HWND form) {
  std::vector<HWND> buttons = Children(form, L"TSpeedButton");
  return buttons.size() == 1 ? buttons.front() : nullptr;
}

void Click(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  LPARAM at = MAKELPARAM(client.right / 2, client.bottom / 2);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(window, WM_LBUTTONUP, 0, at);
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = ui::Narrow(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::string Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

}  // namespace qor::testing
