// The clock drawn: each hand lies along the ray from the common pivot (155, 150) toward its table's point for
// the value, turning clockwise between rows.
#include <cmath>

#include "drawn_gauge.h"

namespace {

using bench::Colour;

constexpr Colour kInk{244, 244, 238};  // the hands' white
constexpr double kPivotX = 155, kPivotY = 150;

class ClockDrawing : public DrawnGauge {
protected:
    ClockDrawing() : DrawnGauge("brimmet") {}

    // The pixels along the ray from the pivot at the given angle, from `near` to `far` pixels out.
    static std::vector<std::pair<int, int>> ray(double degrees, int near, int far) {
        std::vector<std::pair<int, int>> out;
        const double a = degrees * 3.14159265358979323846 / 180;
        for (int d = near; d <= far; d += 5)
            out.push_back({static_cast<int>(std::lround(kPivotX + d * std::cos(a))),
                           static_cast<int>(std::lround(kPivotY + d * std::sin(a)))});
        return out;
    }
    static double toward(int x, int y) { return std::atan2(y - kPivotY, x - kPivotX) * 180 / 3.14159265358979323846; }
};

TEST_F(ClockDrawing, EachHandLiesAlongTheRayToItsTablePoint) {
    // The other two hands stand well away from the ray looked at: hours at half past four (lower right) or at 8,
    // seconds at 50 (upper left).
    const struct {
        const char* what;
        double hours, minutes;
        double degrees;    // where the hand looked at must lie
        double elsewhere;  // the same hand's value in a second picture, pointing away
        bool minute_hand;
        int far;  // how far out the hand is solid white
    } rows[] = {
        {"minute hand at 0: twelve o'clock", 4.5, 0, toward(155, 50), 30, true, 85},
        {"minute hand at 15: three o'clock", 4.5, 15, toward(250, 146), 40, true, 85},
        {"minute hand at 30: six o'clock", 4.5, 30, toward(155, 238), 0, true, 85},
        {"minute hand at 7.5: clockwise half way from 12 to 3", 4.5, 7.5, (toward(155, 50) + toward(250, 146)) / 2, 30,
         true, 85},
        {"minute hand at 52: clockwise from nine o'clock toward twelve", 4.5, 52,
         toward(55, 146) + (toward(145, 50) - toward(55, 146)) * 7 / 14, 20, true, 85},
        {"hour hand at 3", 3, 40, toward(250, 146), 8, false, 55},
        {"hour hand at 15: the second turn of the dial", 15, 40, toward(250, 146), 8, false, 55},
        {"hour hand at 23.5: past the last row, held there", 23.5, 40, toward(106, 63), 8, false, 55},
    };
    for (const auto& row : rows) {
        const uint32_t hand = row.minute_hand ? 4 : 3;
        const bench::Picture on = drawn({{3, row.hours}, {4, row.minutes}, {5, 50}});
        const bench::Picture away = drawn({{hand, row.elsewhere}});
        int changed = 0;
        for (const auto& [x, y] : ray(row.degrees, 20, row.far)) {
            EXPECT_EQ(on.at_gauge(x, y), kInk) << row.what << ": pixel (" << x << ", " << y << ")";
            changed += on.at_gauge(x, y) == away.at_gauge(x, y) ? 0 : 1;
        }
        // Drawn by the hand, not a white mark of the dial: it goes when the hand points elsewhere.
        EXPECT_GE(changed, static_cast<int>(ray(row.degrees, 20, row.far).size()) - 1) << row.what;
    }
}

}  // namespace
