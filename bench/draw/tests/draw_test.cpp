// Drawing from the records: each test sets the fixture's variables, runs one host cycle and looks at the pixels
// where the element's record says it must be drawn, and where it must not.
#include <algorithm>
#include <cmath>

#include "draw_fixture.h"
#include "drawn_gauge.h"
#include "png.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STB_IMAGE_STATIC
#include <stb_image.h>

namespace {

using namespace draw_fixture;
using bench::Colour;

constexpr Colour kBackground{8, 16, 24};
constexpr Colour kWhite{255, 255, 255};
constexpr Colour kAmber{221, 111, 0};
constexpr Colour kGreen{0, 200, 0};

class Drawing : public DrawnGauge {
protected:
    Drawing() : DrawnGauge("draw_fixture") {}
};

TEST_F(Drawing, NeedlePointsFromItsPivotTowardTheRowForItsValue) {
    const double diagonal = kNeedleReach / std::sqrt(2.0) - 0.5;
    const struct {
        double value;
        double dx, dy;  // unit direction the bar must lie along
        const char* what;
    } rows[] = {
        {0, 0, -1, "row 0: twelve o'clock"},
        {3, 1, 0, "row 3: three o'clock"},
        {6, 0, 1, "row 6: six o'clock"},
        {1.5, 1, -1, "half way from 12 to 3, turning clockwise"},
        {4.5, 1, 1, "half way from 3 to 6"},
        {-5, 0, -1, "below the first row: held there"},
        {40, 0, 1, "above the last row: held there"},
    };
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{3, row.value}});
        const bool slanted = row.dx != 0 && row.dy != 0;
        const double reach = slanted ? diagonal : kNeedleReach;
        const int tip_x = kNeedleX + static_cast<int>(std::lround(row.dx * reach));
        const int tip_y = kNeedleY + static_cast<int>(std::lround(row.dy * reach));
        EXPECT_EQ(p.at_gauge(tip_x, tip_y), kWhite) << row.what << ": tip (" << tip_x << ", " << tip_y << ")";
        // Past the tip, and at the mirrored place across the pivot, the background shows.
        const int past_x = kNeedleX + static_cast<int>(std::lround(row.dx * (reach + 2)));
        const int past_y = kNeedleY + static_cast<int>(std::lround(row.dy * (reach + 2)));
        EXPECT_EQ(p.at_gauge(past_x, past_y), kBackground) << row.what << ": past the tip";
        const int mirror_x = 2 * kNeedleX - tip_x, mirror_y = 2 * kNeedleY - tip_y;
        EXPECT_EQ(p.at_gauge(mirror_x, mirror_y), kBackground) << row.what << ": across the pivot";
    }
}

TEST_F(Drawing, HiddenElementIsNotDrawnAndShowsOnceTheBitClears) {
    bench::Picture p = drawn();
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(p.at_gauge(kHiddenLampX + x, kHiddenLampY + y), kBackground)
                << "hidden lamp pixel " << x << ", " << y;
            EXPECT_EQ(p.at_gauge(kShownLampX + x, kShownLampY + y), kAmber) << "shown lamp pixel " << x << ", " << y;
        }
    EXPECT_EQ(p.at_gauge(kShownLampX + 6, kShownLampY), kBackground) << "right of the shown lamp";
    EXPECT_EQ(p.at_gauge(kShownLampX, kShownLampY + 3), kBackground) << "below the shown lamp";

    ASSERT_TRUE(host().pointer_event(5, 5, kMouseClick));
    p = drawn();
    EXPECT_EQ(p.at_gauge(kHiddenLampX, kHiddenLampY), kAmber) << "after the click cleared the bit";
    ASSERT_TRUE(host().pointer_event(5, 5, kMouseClick));
    p = drawn();
    EXPECT_EQ(p.at_gauge(kHiddenLampX, kHiddenLampY), kBackground) << "after the click set it again";
}

TEST_F(Drawing, SliderMovesByValueTimesScaleOnEachAxis) {
    // y scale 0.5 (variable 10), x scale -0.25 (variable 11).
    const struct {
        double y_value, x_value;
        int dx, dy;
    } rows[] = {{0, 0, 0, 0}, {8, 0, 0, 4}, {-6, 0, 0, -3}, {0, 8, -2, 0}, {10, -12, 3, 5}};
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{10, row.y_value}, {11, row.x_value}});
        const int x = kSliderX + row.dx, y = kSliderY + row.dy;
        const std::string where = "values y " + std::to_string(row.y_value) + ", x " + std::to_string(row.x_value);
        EXPECT_EQ(p.at_gauge(x + 1, y), kGreen) << where << ": top row";
        EXPECT_EQ(p.at_gauge(x + 3, y + 3), kGreen) << where << ": bottom-right corner";
        EXPECT_EQ(p.at_gauge(x, y), kBackground) << where << ": the black corner pixel lets the background show";
        EXPECT_EQ(p.at_gauge(x + 1, y - 1), kBackground) << where << ": above";
        EXPECT_EQ(p.at_gauge(x + 4, y + 1), kBackground) << where << ": right of it";
    }
}

TEST_F(Drawing, IconShowsTheImageItsValueChooses) {
    const Colour red{200, 0, 0}, blue{0, 0, 200};
    const struct {
        double value;
        Colour colour;
    } rows[] = {{0, red}, {1, blue}, {0.7, red}, {5, blue}, {-3, red}};
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{12, row.value}});
        EXPECT_EQ(p.at_gauge(kIconX + 1, kIconY + 3), row.colour) << "value " << row.value;
    }
}

TEST_F(Drawing, MovingStripMapsItsRangeOntoTheEndsOfItsTravel) {
    // Strip row r is (10 + 10 r, 100, 50); the window is 6 rows high over a 20-row strip: 14 rows of travel.
    auto strip_row = [](int r) { return Colour{static_cast<uint8_t>(10 + 10 * r), 100, 50}; };
    const struct {
        double value;
        int first_row;
    } rows[] = {{-100, 0}, {100, 14}, {0, 7}, {-500, 0}, {500, 14}};
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{13, row.value}});
        EXPECT_EQ(p.at_gauge(kWindowX + 1, kWindowY), strip_row(row.first_row)) << "value " << row.value << ": top";
        EXPECT_EQ(p.at_gauge(kWindowX + 1, kWindowY + 5), strip_row(row.first_row + 5)) << "value " << row.value;
        EXPECT_EQ(p.at_gauge(kWindowX, kWindowY), kBackground) << "value " << row.value << ": pure black is outside";
        EXPECT_EQ(p.at_gauge(kWindowX + 4, kWindowY + 2), kBackground)
            << "value " << row.value << ": window column 4 lies beyond the 4-pixel strip";
        EXPECT_EQ(p.at_gauge(kWindowX + 1, kWindowY + 6), kBackground) << "value " << row.value << ": below the window";
    }
}

TEST_F(Drawing, StringIsDrawnInItsForeColourInsideItsBox) {
    const bench::Picture p = drawn();
    int green = 0, other_text = 0, outside = 0;
    for (int y = p.origin_y; y < p.origin_y + p.height; ++y)
        for (int x = p.origin_x; x < p.origin_x + p.width; ++x) {
            const Colour c = p.at_gauge(x, y);
            const bool in_box = x >= kTextX && y >= kTextY && x < kTextX + kTextWidth && y < kTextY + kTextHeight;
            if (!in_box) {
                // Nothing green leaks out of the box (the slider is green too, but elsewhere).
                outside += (c.g > 150 && c.r < 50 && c.b < 50 && !(x >= kSliderX - 4 && y < 20)) ? 1 : 0;
                continue;
            }
            if (c == Colour{0, 255, 0})
                ++green;
            else if (!(c == kBackground) && !(c.r <= kBackground.r && c.b <= kBackground.b))
                ++other_text;
        }
    EXPECT_GT(green, 10) << "fully covered pixels of \"HH\" in 0x0000FF00";
    EXPECT_EQ(other_text, 0) << "pixels in the box that are neither background nor green over it";
    EXPECT_EQ(outside, 0);
    // Centred (format_flags 0x25): as much room left of the text as right of it; the line fills the box's height
    // (two cells are wider than it needs), and so the text's height follows the box.
    int left = kTextWidth, right = -1, top = kTextHeight, bottom = -1;
    for (int y = 0; y < kTextHeight; ++y)
        for (int x = 0; x < kTextWidth; ++x)
            if (p.at_gauge(kTextX + x, kTextY + y).g > 100)
                left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                bottom = std::max(bottom, y);
    ASSERT_GE(right, left);
    EXPECT_LE(std::abs(left - (kTextWidth - 1 - right)), 2) << "left " << left << ", right " << right;
    EXPECT_GT(top, 0) << "the line sits inside the box";
    EXPECT_LT(bottom, kTextHeight - 1);
    // Liberation Mono's capitals stand 1409 of the 2320 units from its descent to its ascent.
    EXPECT_NEAR(bottom - top + 1, 1409.0 / 2320 * kTextHeight, 1.5) << "the height of H";
}

TEST_F(Drawing, MarginHoldsWhatReachesBeyondTheBackgroundAndClipDoesNot) {
    const bench::Picture with_margin = drawn({{12, 1}});
    EXPECT_EQ(with_margin.origin_y, kIconY) << "the icon reaches 2 pixels above the background";
    EXPECT_EQ(with_margin.origin_x, 0);
    EXPECT_EQ(with_margin.width, kBackgroundWidth);
    EXPECT_EQ(with_margin.height, kBackgroundHeight - kIconY);
    const Colour dimmed = with_margin.at_gauge(kIconX + 1, -1);
    EXPECT_LT(dimmed.b, 200) << "what the host cuts away is dimmed";
    EXPECT_GT(dimmed.b, dimmed.r) << "but still shows the blue image";

    bench::Renderer clipped(host().module(), {.margin = false});
    const bench::Picture p = clipped.render(host());
    EXPECT_EQ(p.origin_x, 0);
    EXPECT_EQ(p.origin_y, 0);
    EXPECT_EQ(p.width, kBackgroundWidth);
    EXPECT_EQ(p.height, kBackgroundHeight);
    EXPECT_EQ(p.at_gauge(kIconX + 1, 0), (Colour{0, 0, 200})) << "the part over the background is drawn in full";
}

TEST_F(Drawing, PngHoldsThePictureExactly) {
    const bench::Picture p = drawn({{3, 1.5}, {12, 1}});
    const std::vector<uint8_t> png = bench::encode_png(p);
    ASSERT_GT(png.size(), 8u);
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 3);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    EXPECT_EQ(width, p.width);
    EXPECT_EQ(height, p.height);
    size_t differing = 0;
    for (size_t i = 0; i < p.pixels.size(); ++i)
        differing += !(p.pixels[i] == Colour{decoded[3 * i], decoded[3 * i + 1], decoded[3 * i + 2]});
    stbi_image_free(decoded);
    EXPECT_EQ(differing, 0u);
}

// The needle rule on its own, over tables built in memory.
TEST(NeedleAngle, TurnsClockwiseBetweenRowsAndRestsBeyondThem) {
    NonlinearityPoint quarter[] = {{.x = 0, .y = -10, .value = 0}, {.x = 10, .y = 0, .value = 10}};
    // From nine o'clock to twelve: clockwise is a quarter turn through the upper left, not three quarters.
    NonlinearityPoint across_the_seam[] = {{.x = -10, .y = 0, .value = 45}, {.x = 0, .y = -10, .value = 60}};
    // The same point twice: no turn at all between the two rows.
    NonlinearityPoint repeated[] = {{.x = 10, .y = 0, .value = 0}, {.x = 10, .y = 0, .value = 12}};
    NonlinearityPoint single[] = {{.x = 0, .y = 10, .value = 5}};
    auto needle_over = [](NonlinearityPoint* points, uint32_t count) {
        NeedleElement needle{};
        needle.points = points;
        needle.point_count = count;
        return needle;
    };
    const struct {
        NeedleElement needle;
        double value;
        double degrees;
        const char* what;
    } rows[] = {
        {needle_over(quarter, 2), 0, -90, "first row"},
        {needle_over(quarter, 2), 10, 0, "last row"},
        {needle_over(quarter, 2), 5, -45, "between"},
        {needle_over(quarter, 2), -3, -90, "below the first row"},
        {needle_over(quarter, 2), 99, 0, "above the last row"},
        {needle_over(across_the_seam, 2), 52.5, 225, "half way from nine to twelve"},
        {needle_over(repeated, 2), 6, 0, "repeated point"},
        {needle_over(single, 1), 0, 90, "a one-row table"},
        {needle_over(quarter, 2), std::nan(""), -90, "not a number"},
    };
    for (const auto& row : rows) EXPECT_NEAR(bench::needle_angle(row.needle, row.value), row.degrees, 1e-9) << row.what;
}

TEST(StripOffset, EitherOrderOfTheRangeIsValid) {
    const MovingAxis rising{.range_from = -16383, .range_to = 16383};
    const MovingAxis falling{.range_from = 16383, .range_to = -16383};
    const MovingAxis still{};
    const struct {
        const MovingAxis* axis;
        double value;
        int offset;
        const char* what;
    } rows[] = {
        {&rising, -16383, 0, "rising, from"},  {&rising, 16383, 61, "rising, to"},
        {&rising, 0, 31, "rising, middle"},    {&falling, 16383, 0, "falling, from"},
        {&falling, -16383, 61, "falling, to"}, {&falling, -20000, 61, "falling, beyond to"},
        {&still, 123, 0, "no range"},          {&rising, std::nan(""), 0, "not a number"},
    };
    for (const auto& row : rows) EXPECT_EQ(bench::strip_offset(*row.axis, row.value, 61), row.offset) << row.what;
}

}  // namespace
