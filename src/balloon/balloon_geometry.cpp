#include "balloon/balloon_geometry.h"

#include <algorithm>
#include <limits>

namespace qor {
namespace {

constexpr std::int32_t kPointerBand = 20;   // height of the band that holds the pointer
constexpr std::int32_t kPointerInset = 20;  // from the window's side edge to the tip's column
constexpr std::int32_t kTitleLeft = 34;
constexpr std::int32_t kTextLeft = 10;
constexpr std::int32_t kCloseGlyphArea = 30;

std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

bool PointerAtTopFor(std::uint8_t placement) { return placement >= bpBelowLeft; }

BalloonLayout LayoutBalloon(std::int32_t x, std::int32_t y, BalloonSize title, BalloonSize message,
                            std::uint8_t placement) {
  BalloonLayout out;
  out.placement = placement <= bpBelowRight ? placement : bpBelowRight;
  out.pointer_at_top = PointerAtTopFor(out.placement);
  const bool pointer_left = out.placement == bpAboveRight || out.placement == bpBelowRight;
  const std::int32_t band_above = out.pointer_at_top ? kPointerBand : 0;

  out.title = {kTitleLeft, 12 + band_above};
  out.message = {kTextLeft, out.title.y + title.height + 8};
  out.icon = {10, 10 + band_above};

  const std::int64_t height =
      std::int64_t{out.message.y} + message.height + 10 + (out.pointer_at_top ? 0 : kPointerBand);
  const std::int64_t right_edge =
      std::max(std::int64_t{kTitleLeft} + title.width, std::int64_t{kTextLeft} + message.width);
  const std::int64_t width = right_edge + 10 + kCloseGlyphArea;
  out.width = Clamp32(width);
  out.height = Clamp32(height);
  const std::int32_t w = out.width;
  const std::int32_t h = out.height;

  out.window_left = Clamp32(pointer_left ? std::int64_t{x} - kPointerInset
                                         : std::int64_t{x} - width + kPointerInset);
  out.window_top = Clamp32(out.pointer_at_top ? std::int64_t{y} - 2 : std::int64_t{y} - height);
  out.close_glyph = {w - kCloseGlyphArea, out.pointer_at_top ? 26 : 6};

  switch (out.placement) {
    case bpAboveLeft:
      out.body = {0, 0, w, h - 18};
      out.triangle = {{{w - 40, h - 20}, {w - 20, h}, {w - 20, h - 20}}};
      break;
    case bpAboveRight:
      out.body = {0, 0, w, h - 18};
      out.triangle = {{{20, h - 20}, {20, h}, {40, h - 20}}};
      break;
    case bpBelowLeft:
      out.body = {0, 22, w, h};
      out.triangle = {{{w - 20, 2}, {w - 20, 22}, {w - 40, 22}}};
      break;
    default:
      out.body = {0, 22, w, h};
      out.triangle = {{{20, 2}, {20, 22}, {40, 22}}};
      break;
  }
  return out;
}

}  // namespace qor
