// Lever scaling for background heights other than the real one.
#include <gtest/gtest.h>

#include "lever_value.h"

namespace {

TEST(QuadrantLeverValue, FollowsThePointerHeightAgainstTheBackground) {
    struct Case {
        int32_t height, y, expected;
    };
    const Case cases[] = {
        // 85 high: zero row 63 (the truncated 63.75), one row is 16384 / 63.75 = 257.004.
        {85, 63, 0},
        {85, 62, 257},
        {85, 64, -257},  // truncated toward zero, not down to -258
        {85, 0, 16191},  // 63 * 16384 / 63.75: the top row falls short of full travel
        {85, -1, 16384},
        {85, 78, -3855},
        {85, 79, -4096},  // the quotient is -4112
        // 100 high: the span is whole, so the top row is full travel.
        {100, 0, 16384},
        {100, 75, 0},
        {100, 76, -218},
        // 86 high: 64 * 16384 / 64.5 = 16256.99, truncated, not rounded.
        {86, 0, 16256},
        // 2 high: zero row 1 below the top, span 1.5.
        {2, 0, 10922},
        {2, -1, 16384},
        {2, 1, 0},
        // 1 high: a span below one pixel. Far above the top the quotient passes 2^31 and still means full travel.
        {1, 1, -4096},
        {1, -1, 16384},
        {1, -100000, 16384},
        // The rise times 16384 is a 32-bit product: a rise of 2^17 rows wraps to -2^31.
        {85, 63 - 131072, -4096},
        {85, 63 - 131071, 16384},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lever_value_from_pointer(c.y, c.height), c.expected) << "height " << c.height << ", y " << c.y;
}

}  // namespace
