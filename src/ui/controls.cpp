#include "ui/controls.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/application.h"
#include "ui/components.h"
#include "ui/gbk_text.h"

namespace qor::ui {

namespace {

RECT ClientRect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return rect;
}

// The pixel rectangle of designed bounds at the system's DPI.
RECT ScaledPixels(const Bounds& designed) {
  Application& app = App();
  int left = app.Scale(designed.left);
  int top = app.Scale(designed.top);
  return RECT{left, top, left + app.Scale(designed.width), top + app.Scale(designed.height)};
}

// The size a picture is drawn at: its pixels scaled to the system's DPI.
SIZE ScaledPictureSize(HBITMAP picture) {
  SIZE size = BitmapSize(picture);
  return SIZE{App().Scale(size.cx), App().Scale(size.cy)};
}

// Draws picture at its scaled size with its top-left corner at (x, y). With transparent set, the
// colour of its bottom-left pixel lets the background through.
void DrawPicture(HDC target, HBITMAP picture, int x, int y, bool transparent) {
  const SIZE size = BitmapSize(picture);
  const SIZE scaled = ScaledPictureSize(picture);
  UniqueMemoryDc source(CreateCompatibleDC(target));
  SelectScope select(source.Get(), picture);
  if (transparent && size.cy > 0) {
    COLORREF key = GetPixel(source.Get(), 0, size.cy - 1);
    GdiTransparentBlt(target, x, y, scaled.cx, scaled.cy, source.Get(), 0, 0, size.cx, size.cy,
                      key);
  } else {
    SetStretchBltMode(target, HALFTONE);
    StretchBlt(target, x, y, scaled.cx, scaled.cy, source.Get(), 0, 0, size.cx, size.cy, SRCCOPY);
  }
}

MouseButton ButtonOf(UINT message) {
  switch (message) {
    case WM_RBUTTONDOWN:
      return MouseButton::kRight;
    case WM_MBUTTONDOWN:
      return MouseButton::kMiddle;
    default:
      return MouseButton::kLeft;
  }
}

}  // namespace

// ---- Control

Control::Control(Container& parent, const Bounds& bounds, Align align)
    : parent_(parent), designed_(bounds), align_(align), fontSpec_(parent.Font()) {}

Control::~Control() { parent_.RemoveChild(this); }

RECT Control::DesignedPixels() const { return ScaledPixels(designed_); }

void Control::CreateChild(const wchar_t* className, std::string_view text, DWORD style,
                          DWORD exStyle) {
  CreateParams params;
  params.exStyle = exStyle;
  params.className = className;
  params.text = text;  // the caller's text outlives Create, which copies it
  params.style = style | WS_CHILD;
  params.pixels = DesignedPixels();
  params.parent = parent_.Handle();
  Create(params);
  SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  parent_.AddChild(this, designed_, align_);
}

void Control::ApplyFont(const std::optional<FontSpec>& params) {
  if (params) {
    fontSpec_ = *params;
    font_ = CreateScaledFont(*params);
  } else {
    fontSpec_ = parent_.Font();
    font_.Reset();
  }
  if (Handle()) SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
}

// ---- Label

Label::Label(Container& parent, const LabelArgs& args)
    : Control(parent, Bounds{args.left, args.top, args.width, args.height}, Align::kNone),
      onClick(args.onClick),
      onMouseDown(args.onMouseDown),
      text_(args.text),
      autoSize_(args.autoSize),
      wordWrap_(args.wordWrap),
      color_(args.color),
      handCursor_(args.handCursor) {
  ApplyFont(args.font);
  // The caption is also the window's text, so tools outside the program can read it.
  CreateChild(RegisterToolkitClass("TLabel"), text_, args.visible ? WS_VISIBLE : 0);
  AutoSize();
}

void Label::SetCaption(std::string_view text) {
  text_ = std::string(text);
  SetText(text_);
  AutoSize();
  Invalidate();
}

void Label::SetFont(const FontSpec& font) {
  ApplyFont(font);
  AutoSize();
  Invalidate();
}

void Label::AutoSize() {
  if (!autoSize_ || !Handle()) return;
  WideText text = Widen(text_.empty() ? std::string(" ") : text_);
  WindowDc dc(Handle());
  SelectScope font(dc.Get(), FontHandle());
  RECT extent{0, 0, 0, 0};
  DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent,
            DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
  SetWindowPos(Handle(), nullptr, 0, 0, extent.right - extent.left, extent.bottom - extent.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<LRESULT> Label::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc paint(Handle());
      RECT client = ClientRect(Handle());
      FillSolid(paint.Get(), client, color_.value_or(Parent().BackgroundColor()).Resolve());
      SelectScope font(paint.Get(), FontHandle());
      SetTextColor(paint.Get(), FontInUse().color.Resolve());
      SetBkMode(paint.Get(), TRANSPARENT);
      WideText text = Widen(text_);
      UINT format = DT_EXPANDTABS | DT_NOPREFIX | (wordWrap_ ? DT_WORDBREAK : 0);
      DrawTextW(paint.Get(), text.c_str(), static_cast<int>(text.size()), &client, format);
      return 0;
    }
    case WM_SETCURSOR:
      if (handCursor_) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      return std::nullopt;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (onMouseDown) {
        MouseButton button = ButtonOf(message);
        Invoke([&] { onMouseDown(button); });
      }
      return 0;
    case WM_LBUTTONUP:
      Invoke(onClick);
      return 0;
    default:
      (void)wparam;
      (void)lparam;
      return std::nullopt;
  }
}

// ---- CheckBox

CheckBox::CheckBox(Container& parent, const CheckBoxArgs& args)
    : Control(parent, Bounds{args.left, args.top, args.width, args.height}, Align::kNone),
      onClick(args.onClick) {
  ApplyFont(args.font);
  CreateChild(L"BUTTON", args.text, BS_AUTOCHECKBOX | WS_TABSTOP | (args.visible ? WS_VISIBLE : 0));
  // Themed check boxes ignore the text colour; the layouts colour theirs.
  using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  if (auto set_theme =
          reinterpret_cast<SetTheme>(SystemFunction(L"uxtheme.dll", "SetWindowTheme"))) {
    set_theme(Handle(), L"", L"");
  }
  SetChecked(args.checked);
}

bool CheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::HandleCommand(WORD code) {
  if (code == BN_CLICKED) Invoke(onClick);
}

// ---- PictureButton

PictureButton::PictureButton(Container& parent, const PictureButtonArgs& args)
    : Control(parent, Bounds{args.left, args.top, args.width, args.height}, Align::kNone),
      onClick(args.onClick),
      hint_(args.hint) {
  if (args.bitmapResource) picture_ = LoadBitmapResource(args.bitmapResource);
  CreateChild(RegisterToolkitClass("TSpeedButton"), "", args.visible ? WS_VISIBLE : 0);
}

void PictureButton::SetPicture(UniqueBitmap bitmap) {
  picture_ = std::move(bitmap);
  Invalidate();
}

void PictureButton::Click() { Invoke(onClick); }

std::optional<LRESULT> PictureButton::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc paint(Handle());
      RECT client = ClientRect(Handle());
      FillSolid(paint.Get(), client, Parent().BackgroundColor().Resolve());
      if (picture_) {
        const SIZE scaled = ScaledPictureSize(picture_.Get());
        const int shift = pressed_ ? 1 : 0;
        DrawPicture(paint.Get(), picture_.Get(), (client.right - scaled.cx) / 2 + shift,
                    (client.bottom - scaled.cy) / 2 + shift, false);
      }
      // Flat: an edge shows only under the mouse.
      if (hot_ || pressed_) {
        DrawEdge(paint.Get(), &client, pressed_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        Invalidate();
      }
      return 0;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(Handle());
      Invalidate();
      return 0;
    case WM_LBUTTONUP: {
      bool was_pressed = pressed_;
      pressed_ = false;
      ReleaseCapture();
      Invalidate();
      POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      RECT client = ClientRect(Handle());
      if (was_pressed && PtInRect(&client, at)) Invoke(onClick);
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    default:
      (void)wparam;
      return std::nullopt;
  }
}

// ---- ProgressBar

ProgressBar::ProgressBar(Container& parent, const ProgressBarArgs& args)
    : Control(parent, Bounds{args.left, args.top, args.width, args.height}, args.align),
      min_(args.min),
      max_(args.max),
      step_(args.step) {
  CreateChild(PROGRESS_CLASSW, "", args.visible ? WS_VISIBLE : 0);
  SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  SendMessageW(Handle(), PBM_SETSTEP, static_cast<WPARAM>(step_), 0);
  SetPosition(args.position);
}

int ProgressBar::Position() const {
  return static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0));
}

void ProgressBar::SetMax(int max) {
  max_ = max;
  SendMessageW(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
}

void ProgressBar::SetPosition(int position) {
  SendMessageW(Handle(), PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, min_, max_)), 0);
}

void ProgressBar::StepIt() { SetPosition(Position() + step_); }

// ---- Panel

Panel::Panel(Container& parent, const PanelArgs& args)
    : Container(args.color.value_or(parent.BackgroundColor()), args.font.value_or(parent.Font())),
      parent_(parent) {
  Bounds designed{args.left, args.top, args.width, args.height};
  CreateParams params;
  params.className = RegisterToolkitClass("TPanel");
  params.style = WS_CHILD | WS_CLIPCHILDREN | (args.visible ? WS_VISIBLE : 0);
  params.pixels = ScaledPixels(designed);
  params.parent = parent.Handle();
  Create(params);
  parent_.AddChild(this, designed, args.align);
}

Panel::~Panel() { parent_.RemoveChild(this); }

// ---- Image

Image::Image(Container& parent, const ImageArgs& args)
    : Control(parent, Bounds{args.left, args.top, args.width, args.height}, Align::kNone),
      onClick(args.onClick),
      transparent_(args.transparent) {
  CreateChild(RegisterToolkitClass("TImage"), "", args.visible ? WS_VISIBLE : 0);
}

void Image::SetPicture(UniqueBitmap bitmap) {
  picture_ = std::move(bitmap);
  Invalidate();
}

std::optional<LRESULT> Image::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintDc paint(Handle());
      RECT client = ClientRect(Handle());
      FillSolid(paint.Get(), client, Parent().BackgroundColor().Resolve());
      if (picture_) DrawPicture(paint.Get(), picture_.Get(), 0, 0, transparent_);
      return 0;
    }
    case WM_LBUTTONUP:
      Invoke(onClick);
      return 0;
    default:
      (void)wparam;
      (void)lparam;
      return std::nullopt;
  }
}

}  // namespace qor::ui
