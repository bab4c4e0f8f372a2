// The quadrant's display side through the bench: the element chain, what each element follows, the legend's
// callback and the bitmaps.
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "module_test.h"

namespace {

using bench::Bitmap;
using bench::Colour;

// The records are packed, and gtest binds references to what it compares: misaligned fields are read into
// values first (+field).
class QuadrantDisplay : public ModuleTest {
protected:
    QuadrantDisplay() : ModuleTest("quandle") {}
    void SetUp() override {
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        host().install();
    }
    Bitmap bitmap(int32_t id) {
        Bitmap out;
        std::string error;
        EXPECT_TRUE(host().module().bitmap(id, &out, &error)) << "bitmap " << id << ": " << error;
        return out;
    }
    // Tree order: background, wheel, pointer, legend, spoiler, flaps, lever 2, lever 1.
    ElementHeader* element(size_t index) { return host().elements().at(index); }
    SliderElement* slider(size_t index) { return reinterpret_cast<SliderElement*>(element(index)); }
    MovingImageElement* strip(size_t index) { return reinterpret_cast<MovingImageElement*>(element(index)); }
};

constexpr Colour kPureBlack{0, 0, 0};

// clang-format off
TEST_F(QuadrantDisplay, OneChainRunsFromTheBackgroundToLeverOne) {
    EXPECT_STREQ(header()->name, "Tolvar-Ardent-Quadrant-2k-v1s");
    EXPECT_EQ(header()->nominal_size, 100u);
    EXPECT_EQ(header()->elements[1], nullptr);
    struct Case {
        uint32_t kind;
        int32_t resource_id, x, y;
        uint32_t flags;
    };
    const Case cases[] = {
        {kStaticImage, 1000, 0, 0, 0x1},   {kMovingImage, 6500, 55, 10, 0x3}, {kMovingImage, 6000, 23, 15, 0x3},
        {kIcon, 7003, 165, -90, 0x7},      {kSlider, 5003, 254, -56, 0x3},    {kSlider, 4003, 208, -56, 0x3},
        {kSlider, 3003, 124, 47, 0x3},     {kSlider, 2003, 59, 47, 0x3},
    };
    const auto elements = host().elements();
    ASSERT_EQ(elements.size(), std::size(cases));
    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementHeader* e = elements[i];
        const Case& c = cases[i];
        EXPECT_EQ(e->kind, c.kind) << "element " << i;
        EXPECT_EQ(e->resource_id, c.resource_id) << "element " << i;
        EXPECT_EQ(e->position_x, c.x) << "element " << i;
        EXPECT_EQ(e->position_y, c.y) << "element " << i;
        EXPECT_EQ(e->image_flags, c.flags) << "element " << i;
        EXPECT_EQ(e->anchor_x, 0) << "element " << i;
        EXPECT_EQ(e->anchor_y, 0) << "element " << i;
        EXPECT_EQ(+e->gauge, header()) << "element " << i;
        EXPECT_EQ(+e->failures, nullptr) << "element " << i;
        if (i + 1 < elements.size()) {
            ASSERT_NE(+e->children, nullptr) << "element " << i;
            EXPECT_EQ(e->children[0], elements[i + 1]) << "element " << i;
            EXPECT_EQ(e->children[1], nullptr) << "element " << i << " has more than one child";
        } else {
            EXPECT_TRUE(e->children == nullptr || e->children[0] == nullptr) << "lever 1 ends the chain";
        }
    }
    EXPECT_EQ(reinterpret_cast<IconElement*>(element(3))->image_count, 2u);
}

TEST_F(QuadrantDisplay, EachElementFollowsItsVariableAlongYOnly) {
    struct Case {
        uint32_t variable;
        double value;
        std::vector<size_t> elements;  // in tree order
    };
    const Case cases[] = {
        {318, 1234.5, {1, 2}},  // the wheel and its pointer
        {325, 3000, {4}},
        {328, 4000, {5}},
        {163, 2000, {6}},
        {128, 1000, {7}},
    };
    for (const Case& c : cases) host().set_variable(c.variable, c.value);
    host().update();
    std::vector<double> expected(8, 0.0);
    for (const Case& c : cases)
        for (size_t index : c.elements) expected[index] = c.value;
    for (size_t i = 1; i < 8; ++i) {
        if (i == 3) continue;  // the legend has no axes
        EXPECT_EQ(host().values(element(i)).y_value, expected[i]) << "element " << i;
        EXPECT_EQ(host().values(element(i)).x_value, 0.0) << "element " << i;
    }
}
// clang-format on

TEST_F(QuadrantDisplay, SlidersAndStripsMoveOverTheTravelOfTheValuesSent) {
    // A throttle at 16384 stands 100 pixels up; the flap and spoiler levers at 16383 stand 71 pixels down.
    struct Case {
        size_t index;
        double value, pixels;
    };
    for (const Case& c : {Case{4, 16383, 71}, Case{5, 16383, 71}, Case{6, 16384, -100}, Case{7, 16384, -100}}) {
        const SliderElement* s = slider(c.index);
        EXPECT_DOUBLE_EQ(s->y_axis.scale * c.value, c.pixels) << "element " << c.index;
        EXPECT_TRUE(s->y_axis.callback == nullptr) << "element " << c.index;
        EXPECT_EQ(s->x_axis.source.id, 0u) << "element " << c.index;
        EXPECT_TRUE(s->x_axis.callback == nullptr) << "element " << c.index;
        EXPECT_EQ(+s->x_axis.scale, 0.0) << "element " << c.index;
    }
    // The wheel and the pointer span the trim's range in opposite senses.
    const MovingImageElement* wheel = strip(1);
    const MovingImageElement* pointer = strip(2);
    EXPECT_EQ(+wheel->y_axis.range_from, -16383.0);
    EXPECT_EQ(+wheel->y_axis.range_to, 16383.0);
    EXPECT_EQ(+pointer->y_axis.range_from, 16383.0);
    EXPECT_EQ(+pointer->y_axis.range_to, -16383.0);
    for (const MovingImageElement* m : {wheel, pointer}) {
        EXPECT_TRUE(m->y_axis.callback == nullptr);
        EXPECT_EQ(m->x_axis.source.id, 0u);
        EXPECT_TRUE(m->x_axis.callback == nullptr);
        EXPECT_EQ(+m->x_axis.range_from, 0.0);
        EXPECT_EQ(+m->x_axis.range_to, 0.0);
    }
}

// clang-format off
TEST_F(QuadrantDisplay, TheLegendShowsForAnyParkBrakeValueButZero) {
    struct Case {
        double brake, icon;
    };
    const Case cases[] = {
        {0.0, 1.0},  {-0.0, 1.0},  // the blank image
        {1.0, 0.0},  {-1.0, 0.0},  {std::numeric_limits<double>::denorm_min(), 0.0},  // the legend
    };
    for (const Case& c : cases) {
        host().set_variable(323, c.brake);
        host().update();
        EXPECT_EQ(host().values(element(3)).value, c.icon) << "variable 323 at " << c.brake;
    }
}
// clang-format on

TEST_F(QuadrantDisplay, EveryBitmapHasItsSize) {
    struct Case {
        int32_t id;
        int width, height;
    };
    const Case cases[] = {{1000, 312, 85}, {2003, 63, 87}, {3003, 63, 88}, {4003, 42, 74},
                          {5003, 31, 69},  {6000, 8, 124}, {6003, 9, 63},  {6500, 16, 960},
                          {6503, 14, 96},  {7003, 58, 34}, {7006, 58, 34}};
    for (const Case& c : cases) {
        const Bitmap b = bitmap(c.id);
        EXPECT_EQ(b.width, c.width) << "bitmap " << c.id;
        EXPECT_EQ(b.height, c.height) << "bitmap " << c.id;
    }
    EXPECT_EQ(host().image_size(background()).height, 85);
}

// Pure black is transparent above the background: a lever image may use it only for the surround it shares
// with the image's edge, or the panel would show through holes in the lever.
TEST_F(QuadrantDisplay, LeverImagesHaveNoTransparentHoles) {
    for (int32_t id : {2003, 3003, 4003, 5003}) {
        const Bitmap b = bitmap(id);
        std::vector<bool> outside(b.pixels.size(), false);
        std::vector<int> todo;
        auto reach = [&](int x, int y) {
            if (x < 0 || y < 0 || x >= b.width || y >= b.height) return;
            const size_t at = static_cast<size_t>(y) * b.width + x;
            if (outside[at] || !(b.pixels[at] == kPureBlack)) return;
            outside[at] = true;
            todo.push_back(static_cast<int>(at));
        };
        for (int x = 0; x < b.width; ++x) reach(x, 0), reach(x, b.height - 1);
        for (int y = 0; y < b.height; ++y) reach(0, y), reach(b.width - 1, y);
        while (!todo.empty()) {
            const int at = todo.back();
            todo.pop_back();
            const int x = at % b.width, y = at / b.width;
            reach(x + 1, y), reach(x - 1, y), reach(x, y + 1), reach(x, y - 1);
        }
        size_t holes = 0, drawn = 0;
        for (size_t i = 0; i < b.pixels.size(); ++i) {
            if (b.pixels[i] == kPureBlack && !outside[i]) ++holes;
            if (!(b.pixels[i] == kPureBlack)) ++drawn;
        }
        EXPECT_EQ(holes, 0u) << "bitmap " << id;
        EXPECT_GT(drawn, b.pixels.size() / 8) << "bitmap " << id << " shows almost nothing";
    }
}

TEST_F(QuadrantDisplay, StripsWindowsAndLegendsUseTheirExactColours) {
    const Colour window{1, 1, 1}, pointer_ground{16, 16, 16}, ridge{130, 143, 159}, wheel_ground{2, 2, 2},
        legend_red{165, 49, 57};
    auto count = [](const Bitmap& b, Colour colour, int top = 0, int bottom = -1) {
        size_t n = 0;
        for (int y = top; y < (bottom < 0 ? b.height : bottom); ++y)
            for (int x = 0; x < b.width; ++x) n += b.at(x, y) == colour;
        return n;
    };
    auto area = [](const Bitmap& b) { return static_cast<size_t>(b.width) * b.height; };

    const Bitmap pointer_window = bitmap(6003);
    EXPECT_EQ(count(pointer_window, window), area(pointer_window));

    // The wheel's window: three pure-black pixels in an L at each corner, the window colour elsewhere.
    const Bitmap wheel_window = bitmap(6503);
    EXPECT_EQ(count(wheel_window, kPureBlack), 12u);
    EXPECT_EQ(count(wheel_window, window), area(wheel_window) - 12);
    for (int x : {0, 13})
        for (int y : {0, 95}) {
            const int dx = x == 0 ? 1 : -1, dy = y == 0 ? 1 : -1;
            EXPECT_EQ(wheel_window.at(x, y), kPureBlack) << "corner " << x << ", " << y;
            EXPECT_EQ(wheel_window.at(x + dx, y), kPureBlack) << "corner " << x << ", " << y;
            EXPECT_EQ(wheel_window.at(x, y + dy), kPureBlack) << "corner " << x << ", " << y;
        }

    // The pointer: a yellow arrow on rows 58 to 65, dark grey everywhere else.
    const Bitmap pointer = bitmap(6000);
    EXPECT_EQ(count(pointer, pointer_ground, 0, 58) + count(pointer, pointer_ground, 66), 8u * (124 - 8));
    size_t yellow = 0;
    for (int y = 58; y < 66; ++y)
        for (int x = 0; x < 8; ++x) {
            const Colour c = pointer.at(x, y);
            const bool is_yellow = c.r > 200 && c.g > 180 && c.b < 60;
            yellow += is_yellow;
            EXPECT_TRUE(is_yellow || c == pointer_ground) << "arrow row pixel " << x << ", " << y;
        }
    EXPECT_GT(yellow, 0u) << "no arrow on rows 58 to 65";

    // The wheel: ridges over near-black only, in every stretch its window can show.
    const Bitmap wheel = bitmap(6500);
    EXPECT_EQ(count(wheel, ridge) + count(wheel, wheel_ground), area(wheel));
    for (int top = 0; top < 960; top += 16) {
        EXPECT_GT(count(wheel, ridge, top, top + 16), 0u) << "rows " << top << " to " << top + 15;
        EXPECT_GT(count(wheel, wheel_ground, top, top + 16), 0u) << "rows " << top << " to " << top + 15;
    }

    const Bitmap legend = bitmap(7003);
    EXPECT_GT(count(legend, legend_red), 0u);
    EXPECT_EQ(count(legend, legend_red) + count(legend, kPureBlack), area(legend));
    const Bitmap blank = bitmap(7006);
    EXPECT_EQ(count(blank, kPureBlack), area(blank));

    // The background's left margin, under the trim pointer.
    const Bitmap panel = bitmap(1000);
    for (int y = 0; y < panel.height; ++y)
        for (int x = 0; x <= 48; ++x) ASSERT_EQ(panel.at(x, y), kPureBlack) << "margin pixel " << x << ", " << y;
}

}  // namespace
