// The balloon's geometry as a pure function: where the window goes, its shape, and where the
// icon, the labels and the close glyph sit. No window system is needed, so it is tested anywhere.
#pragma once

#include <array>
#include <cstdint>

namespace qor {

// Placement codes: where the balloon lies relative to its anchor point.
inline constexpr std::uint8_t bpAboveLeft = 0;
inline constexpr std::uint8_t bpAboveRight = 1;
inline constexpr std::uint8_t bpBelowLeft = 2;
inline constexpr std::uint8_t bpBelowRight = 3;

struct BalloonPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const BalloonPoint& other) const { return x == other.x && y == other.y; }
};

// Right and bottom are exclusive, as CreateRoundRectRgn takes them.
struct BalloonRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const BalloonRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

struct BalloonSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Everything ShowAt needs. Positions inside the window are window coordinates; window_left and
// window_top are screen coordinates.
struct BalloonLayout {
  std::uint8_t placement = bpBelowRight;  // the placement actually used
  bool pointer_at_top = true;
  std::int32_t width = 0;   // W
  std::int32_t height = 0;  // H
  std::int32_t window_left = 0;
  std::int32_t window_top = 0;
  BalloonRect body;                        // rounded rectangle (7 x 7 corners)
  std::array<BalloonPoint, 3> triangle{};  // pointer, in the order given to CreatePolygonRgn
  BalloonPoint icon;
  BalloonPoint title;
  BalloonPoint message;
  BalloonPoint close_glyph;
};

// Whether a placement puts the pointer on the top edge (the balloon below its anchor). Codes
// other than 0..3 count as bpBelowRight, as LayoutBalloon lays them out.
bool PointerAtTopFor(std::uint8_t placement);

// Lays out a balloon whose pointer tip touches the anchor (x, y), for a title and a message of the
// given measured extents. H = 50 + title height + message height and
// W = max(34 + title width, 10 + message width) + 40. Placement codes other than 0..3 are laid
// out as bpBelowRight, the placement every caller uses. Screen coordinates that would leave the
// 32-bit range are clamped to it.
BalloonLayout LayoutBalloon(std::int32_t x, std::int32_t y, BalloonSize title, BalloonSize message,
                            std::uint8_t placement);

}  // namespace qor
