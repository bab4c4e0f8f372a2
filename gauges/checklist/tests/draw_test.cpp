// The checklist drawn: each line in its fore colour, in Liberation Mono sized to the box and char_count,
// centred in its box.
#include "drawn_gauge.h"

namespace {

using bench::Colour;

constexpr Colour kGreen{0, 255, 0}, kRed{255, 0, 0};

class ChecklistDrawing : public DrawnGauge {
protected:
    ChecklistDrawing() : DrawnGauge("zorlet") {}
};

TEST_F(ChecklistDrawing, LinesAreDrawnInTheColourTheirCallbacksChose) {
    // Page 1 with the flaps up: every line green but line 4, "FLAPS - POS. 3", red.
    ASSERT_TRUE(host().pointer_event(84, 345, kMouseClick));
    const bench::Picture p = drawn({{328, 0}});
    const struct {
        int line, x, y;  // the line's box position
        Colour colour, other;
    } rows[] = {{1, 30, 30, kGreen, kRed},
                {2, 10, 80, kGreen, kRed},
                {3, 10, 120, kGreen, kRed},
                {4, 10, 160, kRed, kGreen},
                {5, 10, 200, kGreen, kRed}};
    for (const auto& row : rows) {
        // The middle of each 60-pixel box holds its own line's capitals; the boxes overlap above and below.
        int full = 0, wrong = 0, left = 300, right = -1;
        for (int y = row.y + 20; y < row.y + 40; ++y)
            for (int x = row.x; x < row.x + 300; ++x) {
                const Colour c = p.at_gauge(x, y);
                full += c == row.colour ? 1 : 0;
                const bool other_dominant = row.other.g ? c.g > 2 * c.r + 40 : c.r > 2 * c.g + 40;
                wrong += other_dominant ? 1 : 0;
                const bool ink = row.colour.g ? c.g > 100 : c.r > 100;
                if (ink) left = std::min(left, x - row.x), right = std::max(right, x - row.x);
            }
        EXPECT_GT(full, 100) << "line " << row.line << ": pixels fully in its colour";
        EXPECT_EQ(wrong, 0) << "line " << row.line << ": pixels in the other colour";
        EXPECT_LE(std::abs(left - (299 - right)), 4)
            << "line " << row.line << ": centred, ink from " << left << " to " << right;
    }
}

TEST_F(ChecklistDrawing, CharacterCellsFollowTheBoxAndCharCount) {
    // "ATIS - CHECK", 12 characters in cells of 300 / char_count pixels.
    ASSERT_TRUE(host().pointer_event(84, 345, kMouseClick));
    const bench::Picture p = drawn();
    const auto* line = host().strings()[1];
    ASSERT_EQ(host().text(line), "ATIS - CHECK");
    int left = 300, right = -1;
    for (int y = 100; y < 120; ++y)
        for (int x = 0; x < 300; ++x)
            if (p.at_gauge(10 + x, y).g > 100) left = std::min(left, x), right = std::max(right, x);
    const double cell = 300.0 / line->char_count;
    // From the A's left foot to the K's right arm: 11 cells and most of the twelfth.
    EXPECT_GT(right - left + 1, 11 * cell) << "char_count " << line->char_count;
    EXPECT_LT(right - left + 1, 12 * cell + 1) << "char_count " << line->char_count;
}

TEST_F(ChecklistDrawing, BeforeAnyPageTheBackgroundAloneShows) {
    const bench::Picture p = drawn();
    const bench::Bitmap face = bitmap(4096);
    int differing = 0;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) differing += p.at_gauge(x, y) == face.at(x, y) ? 0 : 1;
    EXPECT_EQ(differing, 0) << "empty text buffers and black back colours draw nothing";
}

}  // namespace
