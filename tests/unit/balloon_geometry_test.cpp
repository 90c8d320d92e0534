#include "balloon/balloon_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace qor {
namespace {

// The tip is the vertex of the triangle on the outer edge (row 2 when the pointer is on top, row
// H at the bottom); in screen coordinates it must be the anchor point.
BalloonPoint TipOnScreen(const BalloonLayout& layout) {
  const BalloonPoint tip = layout.pointer_at_top ? layout.triangle[0] : layout.triangle[1];
  return {layout.window_left + tip.x, layout.window_top + tip.y};
}

TEST(BalloonGeometry, BelowRightAtCursorPoint) {
  const BalloonLayout l = LayoutBalloon(500, 400, {120, 13}, {200, 13}, bpBelowRight);
  EXPECT_EQ(l.window_left, 480);
  EXPECT_EQ(l.window_top, 398);
  EXPECT_EQ(TipOnScreen(l), (BalloonPoint{500, 400}));
  EXPECT_EQ(l.icon, (BalloonPoint{10, 30}));
  EXPECT_EQ(l.title, (BalloonPoint{34, 32}));
  EXPECT_EQ(l.message, (BalloonPoint{10, 53}));
  EXPECT_EQ(l.close_glyph, (BalloonPoint{l.width - 30, 26}));
  EXPECT_EQ(l.body, (BalloonRect{0, 22, l.width, l.height}));
}

TEST(BalloonGeometry, AboveLeftAtCursorPoint) {
  const BalloonLayout l = LayoutBalloon(500, 400, {120, 13}, {200, 26}, bpAboveLeft);
  EXPECT_EQ(l.window_left, 520 - l.width);
  EXPECT_EQ(l.window_top, 400 - l.height);
  EXPECT_EQ(TipOnScreen(l), (BalloonPoint{500, 400}));
  EXPECT_EQ(l.close_glyph, (BalloonPoint{l.width - 30, 6}));
  EXPECT_EQ(l.body, (BalloonRect{0, 0, l.width, l.height - 18}));
  EXPECT_EQ(l.icon, (BalloonPoint{10, 10}));
  EXPECT_EQ(l.title, (BalloonPoint{34, 12}));
}

// Size formula, tip position and triangle shape for every placement and for both the title and
// the message being the wider one.
TEST(BalloonGeometry, EveryPlacementKeepsFormulaAndTip) {
  struct Extents {
    BalloonSize title, message;
  };
  const Extents cases[] = {{{120, 13}, {80, 13}}, {{50, 13}, {300, 39}}, {{0, 13}, {0, 13}}};
  for (std::uint8_t placement = 0; placement <= 3; ++placement) {
    for (const Extents& e : cases) {
      SCOPED_TRACE("placement " + std::to_string(placement) + ", title width " +
                   std::to_string(e.title.width));
      const BalloonLayout l = LayoutBalloon(-30, 7000, e.title, e.message, placement);
      EXPECT_EQ(l.height, 50 + e.title.height + e.message.height);
      EXPECT_EQ(l.width, std::max(34 + e.title.width, 10 + e.message.width) + 40);
      EXPECT_EQ(l.pointer_at_top, placement >= 2);
      EXPECT_EQ(PointerAtTopFor(placement), l.pointer_at_top);
      EXPECT_EQ(TipOnScreen(l), (BalloonPoint{-30, 7000}));
      // The message always ends 10 pixels above the body's bottom edge or the pointer band.
      const int content_bottom = l.pointer_at_top ? l.height : l.height - 20;
      EXPECT_EQ(l.message.y + e.message.height + 10, content_bottom);
      // Base of the pointer: 20 wide, on the body's edge; tip column 20 in from the side edge.
      const BalloonPoint tip = l.pointer_at_top ? l.triangle[0] : l.triangle[1];
      const int tip_inset = (placement == 1 || placement == 3) ? tip.x : l.width - tip.x;
      EXPECT_EQ(tip_inset, 20);
    }
  }
}

TEST(BalloonGeometry, UndefinedPlacementIsBelowRight) {
  for (int placement : {4, 17, 255}) {
    SCOPED_TRACE(placement);
    const BalloonLayout l =
        LayoutBalloon(500, 400, {60, 13}, {60, 13}, static_cast<std::uint8_t>(placement));
    const BalloonLayout expected = LayoutBalloon(500, 400, {60, 13}, {60, 13}, bpBelowRight);
    EXPECT_EQ(l.placement, bpBelowRight);
    EXPECT_TRUE(PointerAtTopFor(static_cast<std::uint8_t>(placement)));
    EXPECT_EQ(l.window_left, expected.window_left);
    EXPECT_EQ(l.window_top, expected.window_top);
    EXPECT_EQ(l.triangle, expected.triangle);
  }
}

// Anchors at the ends of the 32-bit range must not overflow (the caller passes any point).
TEST(BalloonGeometry, ExtremeAnchorsAreClamped) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  const BalloonLayout low = LayoutBalloon(kMin, kMin, {10, 13}, {10, 13}, bpAboveLeft);
  EXPECT_EQ(low.window_left, kMin);
  EXPECT_EQ(low.window_top, kMin);
  const BalloonLayout high = LayoutBalloon(kMax, kMax, {10, 13}, {10, 13}, bpBelowRight);
  EXPECT_EQ(high.window_left, kMax - 20);
  EXPECT_EQ(high.window_top, kMax - 2);
}

}  // namespace
}  // namespace qor
