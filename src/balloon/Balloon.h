// Balloon notices: a small borderless topmost window in the tooltip colour, shaped as a rounded
// rectangle with a pointer whose tip touches an anchor point, holding an icon, a bold title, a
// message and a close glyph. The unit keeps one balloon at a time; each notice replaces it.
// Everything here runs on the user-interface thread, and no operation lets an error escape.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "balloon/balloon_geometry.h"
#include "base/handles_win32.h"
#include "ui/components.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace qor {

// Icon codes; any other value shows the information icon.
inline constexpr std::uint8_t biInfo = 0;
inline constexpr std::uint8_t biError = 1;
inline constexpr std::uint8_t biWarning = 2;

class TBalloon : public ui::Form {
 public:
  // Builds the hidden window: popup, tool window, no-activate, topmost, owned by the desktop
  // window. A missing "BClose" resource leaves CloseGlyph empty.
  TBalloon();

  // Lays out, shapes, places and shows the balloon (without activating it) and starts HideTimer
  // with seconds (0 or less: it never hides by itself). Called once, on a fresh balloon. Raises
  // when the icon resource is missing; the balloon then stays hidden and unplaced.
  void ShowAt(std::int32_t x, std::int32_t y, std::string_view title, std::string_view message,
              std::uint8_t icon, std::int32_t seconds, std::uint8_t placement);

  void BalloonClick();
  void HideTimerTick();
  void KeepTopmost();
  void PaintFrame(HDC dc);

  bool PointerAtTop = false;
  ui::Label TitleLabel;
  ui::Label TextLabel;
  ui::Image IconImage;
  ui::Timer HideTimer;
  UniqueBitmap CloseGlyph;
  // Handed over by PrepareBalloon; kept, never read (a click opens CurrentServer).
  std::string LinkText;

 private:
  BalloonPoint closeGlyphAt_;  // where PaintFrame draws CloseGlyph, once ShowAt has laid it out
};

// The one balloon (owned here) and the open-on-click flag, which outlives each balloon.
extern std::unique_ptr<TBalloon> CurrentBalloon;
extern bool BalloonOpenOnClick;

// ShowBalloon at the mouse pointer: information icon, 20 seconds, below and to the right.
void ShowBalloonAtCursor(std::string_view title, std::string_view message);

// Releases the current balloon (destroyed when the event loop next runs) and pauses 200 ms when
// there was one, then builds a new balloon and shows it with the message trimmed of bytes 0..32
// at both ends. The title is shown as given.
void ShowBalloon(std::int32_t x, std::int32_t y, std::string_view title, std::string_view message,
                 std::uint8_t icon, std::int32_t seconds, std::uint8_t placement);

// Builds the (hidden) balloon if there is none, sets BalloonOpenOnClick and hands it linkText.
void PrepareBalloon(bool openOnClick, std::string_view linkText);

void SetBalloonOpenOnClick(bool value);

// Loads bitmap from the resource name of the given type in the program's own module, read as a
// whole BMP file. Leaves bitmap as it was when there is no such resource or it is not a BMP.
void LoadBitmapResource(UniqueBitmap& bitmap, const char* name, const char* type);

}  // namespace qor
