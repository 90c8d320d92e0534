#include "balloon/Balloon.h"

#include <shellapi.h>

#include <limits>
#include <stdexcept>
#include <utility>

#include "base/text.h"
#include "params/allparam.h"
#include "ui/application.h"

namespace qor {

std::unique_ptr<TBalloon> CurrentBalloon;
bool BalloonOpenOnClick = false;

namespace {

constexpr int kCloseGlyphSize = 18;

// Tahoma at 8 points (11 pixels at 96 dpi).
ui::FontSpec BalloonFont(bool bold) { return {.face = "Tahoma", .height = 11, .bold = bold}; }

ui::FormArgs BalloonFormArgs() {
  ui::FormArgs args;
  args.className = "TBalloon";
  args.width = 100;
  args.height = 50;
  args.color = ui::Color::System(COLOR_INFOBK);
  args.font = BalloonFont(false);
  args.frame = ui::FrameStyle::kNone;
  args.addStyle = WS_POPUP;
  args.removeStyle = WS_CAPTION;
  args.addExStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
  args.owner = GetDesktopWindow();
  return args;
}

// The labels take the balloon's colour and size themselves to their text.
ui::LabelArgs LabelAt(int left, int top, bool bold) {
  ui::LabelArgs args;
  args.left = left;
  args.top = top;
  args.font = BalloonFont(bold);
  return args;
}

ui::ImageArgs IconArgs() {
  ui::ImageArgs args;
  args.left = 10;
  args.top = 10;
  args.transparent = true;
  return args;
}

ui::TimerArgs DisabledTimer() {
  ui::TimerArgs args;
  args.interval = 0;
  args.enabled = false;
  return args;
}

const char* IconResourceName(std::uint8_t icon) {
  switch (icon) {
    case biError:
      return "ERROR";
    case biWarning:
      return "WARNING";
    default:
      return "INFO";
  }
}

BalloonSize PixelSize(const ui::Window& control) {
  RECT rect{};
  GetWindowRect(control.Handle(), &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

void MoveTo(ui::Window& control, BalloonPoint at) {
  SetWindowPos(control.Handle(), nullptr, at.x, at.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Every balloon operation ends silently on an error.
template <typename F>
void Quietly(F&& action) {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace

TBalloon::TBalloon()
    : ui::Form(BalloonFormArgs()),
      TitleLabel(*this, LabelAt(34, 12, true)),
      TextLabel(*this, LabelAt(10, 0, false)),
      IconImage(*this, IconArgs()),
      HideTimer(*this, DisabledTimer()) {
  onActivate = [this] { KeepTopmost(); };
  onDeactivate = [this] { KeepTopmost(); };
  onShow = [this] { KeepTopmost(); };
  onPaint = [this](HDC dc) { PaintFrame(dc); };
  onClick = [this] { BalloonClick(); };
  IconImage.onClick = [this] { BalloonClick(); };
  TitleLabel.onClick = [this] { BalloonClick(); };
  TextLabel.onClick = [this] { BalloonClick(); };
  HideTimer.onTimer = [this] { HideTimerTick(); };
  // A minimize request does not hide the balloon: it stays visible and comes to the top.
  onMessage = [this](UINT message, WPARAM wparam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_SIZE && wparam == SIZE_MINIMIZED) {
      ShowWindow(Handle(), SW_SHOWNA);
      SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    return std::nullopt;
  };
  Quietly([this] { LoadBitmapResource(CloseGlyph, "BClose", "bmp"); });
}

void TBalloon::ShowAt(std::int32_t x, std::int32_t y, std::string_view title,
                      std::string_view message, std::uint8_t icon, std::int32_t seconds,
                      std::uint8_t placement) {
  PointerAtTop = PointerAtTopFor(placement);

  // Both labels size themselves to their texts; the geometry then places everything, in pixels.
  TitleLabel.SetCaption(title);
  TextLabel.SetCaption(message);
  UniqueBitmap picture = ui::LoadBitmapResource(IconResourceName(icon));
  if (!picture) throw std::runtime_error("icon resource missing");
  IconImage.SetPicture(std::move(picture));

  const BalloonLayout layout =
      LayoutBalloon(x, y, PixelSize(TitleLabel), PixelSize(TextLabel), placement);
  MoveTo(TitleLabel, layout.title);
  MoveTo(TextLabel, layout.message);
  MoveTo(IconImage, layout.icon);
  closeGlyphAt_ = layout.close_glyph;
  SetWindowPos(Handle(), nullptr, layout.window_left, layout.window_top, layout.width,
               layout.height, SWP_NOZORDER | SWP_NOACTIVATE);

  UniqueRegion body(CreateRoundRectRgn(layout.body.left, layout.body.top, layout.body.right,
                                       layout.body.bottom, 7, 7));
  POINT points[3];
  for (int i = 0; i < 3; ++i) points[i] = POINT{layout.triangle[i].x, layout.triangle[i].y};
  UniqueRegion triangle(CreatePolygonRgn(points, 3, WINDING));
  if (body && triangle) CombineRgn(body.Get(), body.Get(), triangle.Get(), RGN_OR);
  triangle.Reset();
  // Once SetWindowRgn succeeds the system owns the region.
  if (body && SetWindowRgn(Handle(), body.Get(), TRUE)) body.Release();

  ShowWindow(Handle(), SW_SHOWNOACTIVATE);  // raises onShow, and with it KeepTopmost

  if (seconds > 0) {
    constexpr std::int32_t kMaxSeconds = std::numeric_limits<std::int32_t>::max() / 1000;
    HideTimer.SetInterval(static_cast<unsigned>(std::min(seconds, kMaxSeconds)) * 1000u);
    HideTimer.SetEnabled(true);
  }
}

void TBalloon::BalloonClick() {
  Quietly([this] {
    Hide();
    if (BalloonOpenOnClick) {
      BalloonOpenOnClick = false;
      ShellExecuteA(ui::App().Handle(), "Open", CurrentServer.c_str(), nullptr, nullptr, SW_SHOW);
    }
  });
}

void TBalloon::HideTimerTick() {
  Quietly([this] { Hide(); });
}

void TBalloon::KeepTopmost() {
  Quietly([this] {
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
  });
}

void TBalloon::PaintFrame(HDC dc) {
  Quietly([this, dc] {
    UniqueRegion shape(CreateRectRgn(0, 0, 1, 1));
    if (shape && GetWindowRgn(Handle(), shape.Get()) != ERROR) {
      UniqueBrush black(CreateSolidBrush(RGB(0, 0, 0)));
      FrameRgn(dc, shape.Get(), black.Get(), 1, 1);
    }
    if (CloseGlyph) {
      UniqueMemoryDc glyph_dc(CreateCompatibleDC(dc));
      SelectScope select(glyph_dc.Get(), CloseGlyph.Get());
      BitBlt(dc, closeGlyphAt_.x, closeGlyphAt_.y, kCloseGlyphSize, kCloseGlyphSize, glyph_dc.Get(),
             0, 0, SRCCOPY);
    }
  });
}

void ShowBalloonAtCursor(std::string_view title, std::string_view message) {
  Quietly([&] {
    POINT at{};
    GetCursorPos(&at);
    ShowBalloon(at.x, at.y, title, message, biInfo, 20, bpBelowRight);
  });
}

void ShowBalloon(std::int32_t x, std::int32_t y, std::string_view title, std::string_view message,
                 std::uint8_t icon, std::int32_t seconds, std::uint8_t placement) {
  Quietly([&] {
    if (CurrentBalloon) {
      // Not hidden first: a shown balloon stays on screen until the event loop destroys it.
      ui::App().DeleteLater(std::move(CurrentBalloon));
      CurrentBalloon.reset();
      Sleep(200);
    }
    CurrentBalloon = std::make_unique<TBalloon>();
    CurrentBalloon->ShowAt(x, y, title, TrimBytes(message), icon, seconds, placement);
  });
}

void PrepareBalloon(bool openOnClick, std::string_view linkText) {
  Quietly([&] {
    if (!CurrentBalloon) CurrentBalloon = std::make_unique<TBalloon>();
    BalloonOpenOnClick = openOnClick;
    CurrentBalloon->LinkText = std::string(linkText);
  });
}

void SetBalloonOpenOnClick(bool value) { BalloonOpenOnClick = value; }

void LoadBitmapResource(UniqueBitmap& bitmap, const char* name, const char* type) {
  const ui::ResourceBytes resource = ui::FindResourceBytes(name, type);
  if (!resource.data) return;
  UniqueBitmap read = ui::BitmapFromBmpFile(resource.data, resource.size);
  if (read) bitmap = std::move(read);
}

}  // namespace qor
