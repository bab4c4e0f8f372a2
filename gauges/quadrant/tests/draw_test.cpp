// The quadrant drawn: sliders moved by value times scale, the strips behind their windows at both ends of their
// ranges, the legend's two images. Where an element lies above the background, the margin shows it dimmed; the
// tests compare pixels over the background, or compare two pictures.
#include "drawn_gauge.h"

namespace {

using bench::Colour;

class QuadrantDrawing : public DrawnGauge {
protected:
    QuadrantDrawing() : DrawnGauge("quandle") {}
    // Whether the bitmap's non-black pixels lie at (x, y) in the picture, over the background rows 0 to 84.
    int misplaced(const bench::Picture& p, const bench::Bitmap& b, int x, int y, int rows_from = 0, int rows_to = 85) {
        int wrong = 0, compared = 0;
        for (int by = 0; by < b.height; ++by)
            for (int bx = 0; bx < b.width; ++bx) {
                const int gy = y + by;
                if (gy < rows_from || gy >= rows_to || (b.at(bx, by) == Colour{0, 0, 0})) continue;
                ++compared;
                wrong += p.at_gauge(x + bx, gy) == b.at(bx, by) ? 0 : 1;
            }
        EXPECT_GT(compared, 0);
        return wrong;
    }
};

TEST_F(QuadrantDrawing, SlidersMoveByValueTimesScale) {
    const struct {
        const char* what;
        int32_t resource;
        uint32_t variable;
        double value;
        int x, y;  // where the bitmap's top-left corner must be
    } rows[] = {
        {"lever 1 at rest", 2003, 128, 0, 59, 47},
        {"lever 1 at 16384: 100 up", 2003, 128, 16384, 59, -53},
        {"lever 1 at -4096: 25 down", 2003, 128, -4096, 59, 72},
        {"lever 2 at 8192: 50 up", 3003, 163, 8192, 124, -3},
        {"flaps at 16383: 71 down", 4003, 328, 16383, 208, 15},
        {"spoilers at 16383: 71 down", 5003, 325, 16383, 254, 15},
    };
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{128, 0}, {163, 0}, {328, 0}, {325, 0}, {row.variable, row.value}});
        EXPECT_EQ(misplaced(p, bitmap(row.resource), row.x, row.y), 0) << row.what;
    }
}

TEST_F(QuadrantDrawing, StripsStandAtTheEndsOfTheirTravelForTheEndsOfTheirRanges) {
    // The pointer strip (8 x 124) behind its window (9 x 63) at (23, 15): 61 rows of travel, from 16383 to
    // -16383. The wheel strip (16 x 960) behind its window (14 x 96, black corners) at (55, 10): 864 rows, from
    // -16383 to 16383; only its rows above the levers (y < 47) are compared.
    const bench::Bitmap pointer = bitmap(6000), wheel = bitmap(6500), wheel_window = bitmap(6503);
    const struct {
        double trim;
        int pointer_offset, wheel_offset;
    } rows[] = {{16383, 0, 864}, {-16383, 61, 0}, {30000, 0, 864}, {0, 31, 432}};
    for (const auto& row : rows) {
        const bench::Picture p = drawn({{318, row.trim}});
        int wrong = 0;
        for (int y = 0; y < 63; ++y)
            for (int x = 0; x < 8; ++x)
                wrong += p.at_gauge(23 + x, 15 + y) == pointer.at(x, y + row.pointer_offset) ? 0 : 1;
        EXPECT_EQ(wrong, 0) << "pointer strip at trim " << row.trim;
        wrong = 0;
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 14; ++x) {
                const Colour expected =
                    wheel_window.at(x, y) == Colour{0, 0, 0} ? bench::Colour{} : wheel.at(x, y + row.wheel_offset);
                if (wheel_window.at(x, y) == Colour{0, 0, 0}) continue;  // outside the window: the background
                wrong += p.at_gauge(55 + x, 10 + y) == expected ? 0 : 1;
            }
        EXPECT_EQ(wrong, 0) << "wheel strip at trim " << row.trim;
    }
}

TEST_F(QuadrantDrawing, LegendShowsItsFirstImageWhileTheBrakeIsSetAndNothingOtherwise) {
    // The legend lies wholly above the background, in the dimmed margin: compare brake set with brake off.
    const bench::Picture set = drawn({{323, 1}});
    const bench::Picture off = drawn({{323, 0}});
    const bench::Bitmap legend = bitmap(7003);
    int lettered = 0, changed = 0, changed_elsewhere = 0;
    for (int y = 0; y < legend.height; ++y)
        for (int x = 0; x < legend.width; ++x) {
            const bool differs = !(set.at_gauge(165 + x, -90 + y) == off.at_gauge(165 + x, -90 + y));
            if (legend.at(x, y) == Colour{0, 0, 0}) {
                changed_elsewhere += differs ? 1 : 0;
            } else {
                ++lettered;
                changed += differs ? 1 : 0;
                const Colour c = set.at_gauge(165 + x, -90 + y);
                EXPECT_GT(c.r, c.g) << "the red letters, dimmed, at " << x << ", " << y;
            }
        }
    EXPECT_GT(lettered, 50);
    EXPECT_EQ(changed, lettered) << "every lettered pixel shows only while the brake is set";
    EXPECT_EQ(changed_elsewhere, 0) << "the legend's black and the all-black second image show nothing";
}

}  // namespace
