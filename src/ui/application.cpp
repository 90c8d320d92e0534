#include "ui/application.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "ui/form.h"
#include "ui/gbk_text.h"

namespace qor::ui {

namespace {

constexpr UINT kDeletePendingMessage = WM_APP + 1;
constexpr wchar_t kApplicationClass[] = L"TApplication";

// Windows 7 and later know SetProcessDPIAware; the manifest normally says the same already.
void DeclareDpiAware() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  using SetAware = BOOL(WINAPI*)();
  auto set_aware = reinterpret_cast<SetAware>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDPIAware")));
  if (set_aware) set_aware();
}

}  // namespace

void* SystemFunction(const wchar_t* dll, const char* name) {
  HMODULE module = GetModuleHandleW(dll);
  if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) {
    // Windows 7 without the search-flags update refuses the flag: name System32 explicitly.
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::vector<wchar_t> path(system, system + length);
    path.push_back(L'\\');
    for (const wchar_t* c = dll; *c; ++c) path.push_back(*c);
    path.push_back(L'\0');
    module = LoadLibraryW(path.data());
  }
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

Application& Application::Instance() {
  static Application application;
  return application;
}

void Application::Initialize() {
  if (window_) return;
  DeclareDpiAware();
  {
    WindowDc screen(nullptr);
    int dpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    dpi_ = dpi > 0 ? dpi : 96;
  }
  using InitControls = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto init =
          reinterpret_cast<InitControls>(SystemFunction(L"comctl32.dll", "InitCommonControlsEx"))) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    init(&controls);
  }

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Application::WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kApplicationClass;
  RegisterClassExW(&wc);
  // Hidden and never shown: it owns the forms, message boxes and shell launches.
  window_.Reset(CreateWindowExW(0, kApplicationClass, Widen(title_).c_str(), WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, wc.hInstance, nullptr));
}

void Application::SetTitle(std::string_view title) {
  title_ = std::string(title);
  if (window_) SetWindowTextW(window_.Get(), Widen(title_).c_str());
}

void Application::ProcessMessages() { ProcessMessagesExceptInput(nullptr); }

void Application::ProcessMessagesExceptInput(HWND busy) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    // System keys (WM_SYSKEYDOWN...) and non-client mouse messages lie outside these ranges.
    const bool input = (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) ||
                       message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
                       message.message == WM_CHAR || message.message == WM_DEADCHAR;
    if (busy && input && (message.hwnd == busy || IsChild(busy, message.hwnd))) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Application::Terminate() {
  terminated_ = true;
  // Wakes the modal loop that is waiting in GetMessage.
  if (window_) PostMessageW(window_.Get(), WM_NULL, 0, 0);
}

void Application::Run() {
  // There is no main window: nothing keeps the loop running, so only pending deletions are done.
  DeletePending();
}

int Application::MessageBox(std::string_view text, UINT flags) {
  Form* modal = ModalForm();
  HWND owner = modal ? modal->Handle() : window_.Get();
  return MessageBoxW(owner, Widen(text).c_str(), Widen(title_).c_str(), flags);
}

void Application::ShowException(const std::exception& error) {
  MessageBox(error.what(), MB_OK | MB_ICONSTOP);
}

bool Application::SetClipboardText(std::string_view text) {
  WideText wide = Widen(text);
  if (!OpenClipboard(window_.Get())) return false;
  bool done = false;
  if (EmptyClipboard()) {
    std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory) {
      if (void* target = GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        GlobalUnlock(memory);
        // The clipboard owns the memory once SetClipboardData succeeds.
        done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
      }
      if (!done) GlobalFree(memory);
    }
  }
  CloseClipboard();
  return done;
}

void Application::DeleteLater(std::unique_ptr<Form> form) {
  if (!form) return;
  pendingDeletes_.push_back(std::move(form));
  if (window_) PostMessageW(window_.Get(), kDeletePendingMessage, 0, 0);
}

void Application::DeletePending() {
  std::vector<std::unique_ptr<Form>> doomed;
  doomed.swap(pendingDeletes_);
  doomed.clear();
}

LRESULT CALLBACK Application::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kDeletePendingMessage) {
    Instance().DeletePending();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace qor::ui
