#include "ui/window.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/application.h"
#include "ui/gbk_text.h"

namespace qor::ui {

namespace {

// Shows the exception being handled; called only inside a catch block. Never throws: a failure
// to show it (no memory for the message) is dropped, since nothing is left to tell.
void ShowCurrentException() noexcept {
  try {
    try {
      throw;
    } catch (const std::exception& error) {
      App().ShowException(error);
    } catch (...) {
      App().ShowException(std::runtime_error("Unknown error"));
    }
  } catch (...) {
  }
}

}  // namespace

UniqueFont CreateScaledFont(const FontSpec& params) {
  LOGFONTW font{};
  // A negative height asks for the character height (without internal leading).
  font.lfHeight = -App().Scale(params.height);
  font.lfWeight = params.bold ? FW_BOLD : FW_NORMAL;
  font.lfUnderline = params.underline ? TRUE : FALSE;
  font.lfCharSet = params.charset;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  WideText face = Widen(params.face);
  face.view().substr(0, LF_FACESIZE - 1).copy(font.lfFaceName, LF_FACESIZE - 1);
  UniqueFont handle(CreateFontIndirectW(&font));
  if (!handle) throw std::runtime_error("CreateFontIndirect failed");
  return handle;
}

Window::~Window() {
  if (window_) {
    // Messages sent while the system window goes away must not reach a half-destroyed object.
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
  }
}

void Window::SetText(std::string_view text) { SetWindowTextW(Handle(), Widen(text).c_str()); }

std::string Window::Text() const {
  int length = GetWindowTextLengthW(Handle());
  WideText text(static_cast<std::size_t>(length));
  int got = GetWindowTextW(Handle(), text.data(), length + 1);
  return Narrow(text.view().substr(0, static_cast<std::size_t>(got > 0 ? got : 0)));
}

void Window::SetVisible(bool visible) { ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE); }

bool Window::Visible() const { return (GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }

void Window::SetBounds(const Bounds& bounds) {
  Application& app = App();
  MoveWindow(Handle(), app.Scale(bounds.left), app.Scale(bounds.top), app.Scale(bounds.width),
             app.Scale(bounds.height), TRUE);
}

Bounds Window::GetBounds() const {
  RECT rect{};
  GetWindowRect(Handle(), &rect);
  HWND parent = GetParent(Handle());
  if (parent && (GetWindowLongW(Handle(), GWL_STYLE) & WS_CHILD)) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  }
  Application& app = App();
  return Bounds{app.Unscale(rect.left), app.Unscale(rect.top), app.Unscale(rect.right - rect.left),
                app.Unscale(rect.bottom - rect.top)};
}

void Window::SetLeft(int left) {
  Bounds bounds = GetBounds();
  bounds.left = left;
  SetBounds(bounds);
}

void Window::SetTop(int top) {
  Bounds bounds = GetBounds();
  bounds.top = top;
  SetBounds(bounds);
}

void Window::Invalidate() { InvalidateRect(Handle(), nullptr, TRUE); }

void Window::Create(const CreateParams& params) {
  HWND handle = CreateWindowExW(params.exStyle, params.className, Widen(params.text).c_str(),
                                params.style, params.pixels.left, params.pixels.top,
                                params.pixels.right - params.pixels.left,
                                params.pixels.bottom - params.pixels.top, params.parent,
                                params.idOrMenu, GetModuleHandleW(nullptr), this);
  if (!handle) throw std::runtime_error("CreateWindowEx failed");
  if (!window_) {
    // A system class: bind now so that the parent can route its notifications to this object.
    window_.Reset(handle);
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

const wchar_t* Window::RegisterToolkitClass(const char* name, UINT classStyle) {
  // A handful of classes: a list searched in turn (no std::map: src/runtime/README.md).
  static std::vector<std::pair<std::string, ATOM>> registered;
  for (const auto& [registered_name, atom] : registered) {
    if (registered_name == name) return MAKEINTRESOURCEW(atom);
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = classStyle;
  wc.lpfnWndProc = &Window::StaticWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  WideText wide_name = Widen(name);
  wc.lpszClassName = wide_name.c_str();
  ATOM atom = RegisterClassExW(&wc);
  if (!atom) throw std::runtime_error("RegisterClassEx failed");
  registered.emplace_back(name, atom);
  return MAKEINTRESOURCEW(atom);
}

std::optional<LRESULT> Window::HandleMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }

Window* Window::FromHandle(HWND window) {
  return window ? reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

void Window::Invoke(const std::function<void()>& callback) {
  if (!callback) return;
  try {
    callback();
  } catch (...) {
    ShowCurrentException();
  }
}

LRESULT CALLBACK Window::StaticWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Window*>(create->lpCreateParams);
    if (self) {
      self->window_.Reset(window);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  Window* self = FromHandle(window);
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // The system window is gone; the object must not free it again.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_.Release();
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->Dispatch(message, wparam, lparam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND handle = Handle();
  try {
    if (onMessage) {
      if (std::optional<LRESULT> answer = onMessage(message, wparam, lparam)) return *answer;
    }
    if (std::optional<LRESULT> answer = HandleMessage(message, wparam, lparam)) return *answer;
  } catch (...) {
    // Errors never cross the system's window procedure, whatever was thrown.
    ShowCurrentException();
  }
  return DefWindowProcW(handle, message, wparam, lparam);
}

}  // namespace qor::ui
