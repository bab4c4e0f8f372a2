// Where the drawing fixture puts things, for the tests that look at its pixels.
#pragma once

namespace draw_fixture {
constexpr int kNeedleX = 30, kNeedleY = 25, kNeedleReach = 11;  // pivot, and the bar's last pixel from it
constexpr int kHiddenLampX = 2, kHiddenLampY = 2, kShownLampX = 2, kShownLampY = 8;
constexpr int kSliderX = 40, kSliderY = 10;
constexpr int kIconX = 52, kIconY = -2;
constexpr int kWindowX = 45, kWindowY = 30;
constexpr int kTextX = 2, kTextY = 48, kTextWidth = 76, kTextHeight = 40;
constexpr int kBackgroundWidth = 80, kBackgroundHeight = 90;
// Variables: 3 the needle, 10 and 11 the slider's y and x, 12 the icon, 13 the moving strip.
}  // namespace draw_fixture
