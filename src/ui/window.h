// The base of every window of the toolkit: one window procedure for all of them, bound to its
// object at WM_NCCREATE (pointer in GWLP_USERDATA), which turns messages into typed handlers.
// Window modules never write a window procedure; they declare components and set callbacks.
//
// Units: every position, size and font height in this API is in pixels at 96 dpi (the layout's
// units); the toolkit scales them to the system's DPI. Texts are GBK byte strings; they are shown
// through code page 936 and the wide Win32 functions.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/handles_win32.h"

namespace qor::ui {

// A colour: either fixed RGB or one of the system colours (COLOR_WINDOWTEXT, COLOR_INFOBK, ...).
struct Color {
  COLORREF rgb = 0;
  int system = -1;  // system colour index, or -1 for rgb

  static constexpr Color Rgb(int r, int g, int b) { return Color{RGB(r, g, b), -1}; }
  static constexpr Color System(int index) { return Color{0, index}; }
  COLORREF Resolve() const { return system >= 0 ? GetSysColor(system) : rgb; }
};

inline constexpr Color kBlack = Color::Rgb(0, 0, 0);
inline constexpr Color kWhite = Color::Rgb(255, 255, 255);
inline constexpr Color kGreen = Color::Rgb(0, 128, 0);
inline constexpr Color kRed = Color::Rgb(255, 0, 0);
inline constexpr Color kWindowText = Color::System(COLOR_WINDOWTEXT);

// A font as a layout gives it. height is the character height in pixels at 96 dpi (the height of
// the letters without internal leading), so "height 12" is 9 points.
struct FontSpec {
  const char* face = "MS Sans Serif";  // GBK; a string that outlives every use (a literal)
  int height = 11;
  bool bold = false;
  bool underline = false;
  BYTE charset = DEFAULT_CHARSET;  // GB2312_CHARSET for the Chinese faces
  Color color = kWindowText;       // text colour of the control using the font
};

// Creates the GDI font for params at the system's DPI. Raises std::runtime_error when it fails.
UniqueFont CreateScaledFont(const FontSpec& params);

// A rectangle in 96-dpi layout units: left, top, width, height.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// How a control sits in its parent's client area. Bottom-docked controls take the parent's full
// width; they are stacked from the bottom edge upwards in the order of their designed top (the
// lowest designed control lies at the edge), as the layout drew them.
enum class Align { kNone, kBottom };

enum class MouseButton { kLeft, kRight, kMiddle };

class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return window_.Get(); }

  void SetText(std::string_view text);
  std::string Text() const;

  void SetVisible(bool visible);
  bool Visible() const;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  // Position and size in layout units, relative to the parent's client area (for a form: the
  // screen and the outer size).
  void SetBounds(const Bounds& bounds);
  Bounds GetBounds() const;
  int Left() const { return GetBounds().left; }
  int Top() const { return GetBounds().top; }
  int Width() const { return GetBounds().width; }
  int Height() const { return GetBounds().height; }
  void SetLeft(int left);
  void SetTop(int top);

  void Invalidate();

  // Runs a callback of a window module; an error it raises is shown in the toolkit's standard
  // error box (the error's text, OK button) and goes no further.
  static void Invoke(const std::function<void()>& callback);

  // Runs before the toolkit handles a message. Return a value to answer the message yourself,
  // std::nullopt to let the toolkit (and then the system) handle it as usual.
  std::function<std::optional<LRESULT>(UINT message, WPARAM wparam, LPARAM lparam)> onMessage;

 protected:
  Window() = default;

  struct CreateParams {
    DWORD exStyle = 0;
    const wchar_t* className = nullptr;  // from RegisterToolkitClass, or a system class name
    std::string_view text;               // GBK
    DWORD style = 0;
    RECT pixels{};  // already scaled
    HWND parent = nullptr;
    HMENU idOrMenu = nullptr;
  };
  // Creates the system window. Toolkit classes receive their messages in HandleMessage; system
  // classes (BUTTON, progress bar) are bound after creation so that the parent can route their
  // notifications. Raises std::runtime_error when the window cannot be created.
  void Create(const CreateParams& params);

  // Registers (once per name) a window class that uses the toolkit's window procedure and returns
  // the value to pass as CreateParams::className.
  // name is ASCII.
  static const wchar_t* RegisterToolkitClass(const char* name, UINT classStyle = 0);

  // The toolkit's typed handling of one message; std::nullopt passes it to DefWindowProc.
  virtual std::optional<LRESULT> HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // A WM_COMMAND notification from this (system-class) control, routed by its parent.
  virtual void HandleCommand(WORD /*code*/) {}
  // The text colour this (system-class) control asks of its parent when the parent paints it
  // (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN); std::nullopt: the system's.
  virtual std::optional<COLORREF> ParentPaintedTextColor() const { return std::nullopt; }

  // The object bound to a toolkit or system-class window, or null.
  static Window* FromHandle(HWND window);

  UniqueWindow window_;

 private:
  friend class Container;  // routes WM_COMMAND and WM_CTLCOLOR* to its children
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);
};

}  // namespace qor::ui
