// The button stack drawn: a lamp shows exactly while its button is on, over its window, and a hidden lamp
// leaves the background as it is.
#include "drawn_gauge.h"

namespace {

using bench::Colour;

class ButtonStackDrawing : public DrawnGauge {
protected:
    ButtonStackDrawing() : DrawnGauge("fennick") {}
    // Whether the 18 x 7 lamp at (9, y) is drawn: every pixel lamp amber, or every pixel the background's.
    enum class Lamp { kShown, kHidden, kNeither };
    Lamp lamp_at(const bench::Picture& p, const bench::Bitmap& face, int y) {
        int amber = 0, background = 0;
        for (int dy = 0; dy < 7; ++dy)
            for (int dx = 0; dx < 18; ++dx) {
                const Colour c = p.at_gauge(9 + dx, y + dy);
                amber += c == Colour{221, 111, 0} ? 1 : 0;
                background += c == face.at(9 + dx, y + dy) ? 1 : 0;
            }
        return amber == 18 * 7 ? Lamp::kShown : background == 18 * 7 ? Lamp::kHidden : Lamp::kNeither;
    }
};

TEST_F(ButtonStackDrawing, OnlyTheLampsOfButtonsThatAreOnShow) {
    const bench::Bitmap face = bitmap(1000);
    const int lamp_rows[] = {21, 69, 117, 163, 209};
    ASSERT_TRUE(host().pointer_event(18, 112, kMouseClick));  // button 3 on
    ASSERT_TRUE(host().pointer_event(18, 206, kMouseClick));  // button 5 on
    ASSERT_TRUE(host().pointer_event(18, 18, kMouseClick));   // button 1 on
    ASSERT_TRUE(host().pointer_event(18, 18, kMouseClick));   // and off again
    const bench::Picture p = drawn();
    const Lamp expected[] = {Lamp::kHidden, Lamp::kHidden, Lamp::kShown, Lamp::kHidden, Lamp::kShown};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lamp_at(p, face, lamp_rows[i]), expected[i]) << "lamp " << i + 1 << " at y " << lamp_rows[i];
    // Nothing else of the face changed.
    int changed = 0;
    for (int y = 0; y < face.height; ++y)
        for (int x = 0; x < face.width; ++x) {
            const bool on_lamp = x >= 9 && x < 27 && ((y >= 117 && y < 124) || (y >= 209 && y < 216));
            changed += !on_lamp && !(p.at_gauge(x, y) == face.at(x, y)) ? 1 : 0;
        }
    EXPECT_EQ(changed, 0);
}

}  // namespace
