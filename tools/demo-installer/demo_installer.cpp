// The demo installer: the payload a fresh tree embeds, so the whole pipeline runs anywhere. It
// writes its full command line (the ANSI bytes, as received) to instPG-command-line.txt beside
// itself and shows one window with its arguments.
//
// Closing on its own: when the environment variable QOR_DEMO_INSTALLER_CLOSE_MS holds a number of
// milliseconds, the window closes itself after that time. Tests and the headless demo set it (the
// variable travels from the test through setup.exe to here); a person running it sees the window
// until closing it. The command line itself is never consulted for this, so every argument
// reaches the record unchanged.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"QorDemoInstaller";
constexpr UINT_PTR kCloseTimer = 1;

std::wstring ModuleDirectory() {
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring text(path, length);
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

void RecordCommandLine() {
  const char* line = GetCommandLineA();
  std::wstring file = ModuleDirectory() + L"instPG-command-line.txt";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(handle, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
  CloseHandle(handle);
}

// What follows the program's own name in the command line.
std::wstring Arguments() {
  const wchar_t* line = GetCommandLineW();
  bool quoted = false;
  while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') quoted = !quoted;
    ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kCloseTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  RecordCommandLine();

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  HWND window = CreateWindowExW(0, kClassName, L"instPG (demo installer)",
                                WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                                480, 160, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  std::wstring text = L"Arguments: [" + Arguments() + L"]";
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 12,
                               440, 90, window, nullptr, instance, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  ShowWindow(window, show);

  if (const char* close_ms = std::getenv("QOR_DEMO_INSTALLER_CLOSE_MS")) {
    long milliseconds = std::strtol(close_ms, nullptr, 10);
    if (milliseconds > 0) SetTimer(window, kCloseTimer, static_cast<UINT>(milliseconds), nullptr);
  }

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
