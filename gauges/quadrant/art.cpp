// The quadrant's bitmaps. Pure black is transparent in every image above the background, so the lever images
// use it for their surround only and draw their own dark parts in near-blacks.
#include <string>

#include "canvas.h"

namespace {

using art::Align;
using art::Canvas;
using art::Font;
using art::Rgb;

constexpr Rgb kPanel{118, 122, 128};
constexpr Rgb kPanelLight{150, 154, 160};
constexpr Rgb kPanelShade{84, 88, 94};
constexpr Rgb kDark{34, 36, 40};
constexpr Rgb kRail{44, 46, 52};
constexpr Rgb kEdgeWhite{240, 240, 240};
constexpr Rgb kSlotInside{8, 8, 8};
constexpr Rgb kLabel{232, 232, 232};
constexpr Rgb kGreyBlue{104, 124, 156};

constexpr Rgb kKnobBody{44, 44, 52};
constexpr Rgb kKnobTop{92, 94, 106};
constexpr Rgb kOutline{22, 22, 26};
constexpr Rgb kShaft{150, 152, 158};
constexpr Rgb kShaftEdge{70, 72, 78};
constexpr Rgb kHeadFill{206, 206, 196};
constexpr Rgb kHeadText{24, 24, 24};

constexpr Rgb kPointerGround{16, 16, 16};
constexpr Rgb kArrow{255, 221, 0};
constexpr Rgb kRidge{130, 143, 159};
constexpr Rgb kWheelGround{2, 2, 2};
constexpr Rgb kWindow{1, 1, 1};
constexpr Rgb kLegendRed{165, 49, 57};

// A rounded bar: a rectangle whose short ends are half circles.
void rounded_bar(Canvas& c, double x, double y, double width, double height, Rgb colour) {
    const double r = height / 2;
    c.fill_rect(static_cast<int>(x + r), static_cast<int>(y), static_cast<int>(width - 2 * r), static_cast<int>(height),
                colour);
    c.fill_circle(x + r, y + r, r, colour);
    c.fill_circle(x + width - r, y + r, r, colour);
}

// Flap detents from UP to 30, at the rows the lever head passes over (its travel is 71 pixels).
void flap_scale(Canvas& c, const Font& font) {
    const char* marks[] = {"UP", "1", "5", "15", "20", "25", "30"};
    for (int i = 0; i < 7; ++i) {
        const double row = 9.5 + i * 71.0 / 6;
        c.text(font, 9, 199, row + 2.5, marks[i], kLabel, Align::kCentre);
    }
}

Canvas background(const Font& bold, const Font& narrow) {
    Canvas c(312, 85, kPanel);
    // Bevel along the grey panel's top and bottom edges.
    c.fill_rect(49, 0, 201, 1, kPanelLight);
    c.fill_rect(49, 84, 201, 1, kPanelShade);
    c.fill_rect(0, 0, 49, 85, art::kBlack);  // margin under the trim pointer

    // The slot the trim wheel turns in.
    c.fill_rect(57, 4, 14, 78, kSlotInside);
    c.frame_rect(57, 4, 14, 78, 1, kEdgeWhite);

    // A small knob between the wheel and the levers.
    c.fill_circle(80.5, 42.5, 5, kDark);
    c.fill_circle(79.5, 41.5, 2, kPanelShade);

    // The channel both throttle levers run in.
    c.fill_rect(90, 3, 63, 79, kDark);
    c.fill_rect(90, 3, 63, 1, kPanelShade);
    c.fill_rect(90, 81, 63, 1, kPanelLight);

    // Divider between the throttles and the flaps.
    c.fill_rect(188, 2, 1, 81, kPanelShade);
    c.fill_rect(189, 2, 1, 81, kPanelLight);

    // The flap scale between its two rails.
    c.fill_rect(191, 2, 2, 81, kRail);
    c.fill_rect(205, 2, 2, 81, kRail);
    flap_scale(c, bold);

    // The spoiler panel: a grey-blue bar for the lever, its three marks, and the name down the side.
    c.fill_rect(250, 0, 62, 85, art::kBlack);
    c.fill_rect(266, 4, 6, 78, kGreyBlue);
    c.text(narrow, 10, 293.5, 15, "DN", kLabel, Align::kCentre);
    c.text(narrow, 10, 293.5, 34, "ARM", kLabel, Align::kCentre);
    c.text(narrow, 10, 293.5, 62, "EXT", kLabel, Align::kCentre);
    const std::string name = "SPOILER";
    for (size_t i = 0; i < name.size(); ++i)
        c.text(bold, 10, 307, 12 + 11.0 * static_cast<double>(i), name.substr(i, 1), kLabel, Align::kCentre);
    return c;
}

// A throttle lever: the knob on top, the shaft down into the channel. Lever 2 is the mirror image of lever 1,
// so that both shafts run inside the channel.
Canvas throttle(const Font& bold, int height, bool mirrored, const std::string& label) {
    Canvas c(63, height, art::kBlack);
    const int shaft_x = mirrored ? 19 : 36;
    c.fill_rect(shaft_x, 28, 8, height - 28, kShaft);
    c.fill_rect(shaft_x, 28, 1, height - 28, kShaftEdge);
    c.fill_rect(shaft_x + 7, 28, 1, height - 28, kShaftEdge);
    const double knob_x = mirrored ? 10 : 2;
    rounded_bar(c, knob_x, 4, 51, 29, kOutline);
    rounded_bar(c, knob_x + 1, 5, 49, 27, kKnobBody);
    rounded_bar(c, knob_x + 8, 7, 35, 6, kKnobTop);
    c.text(bold, 17, knob_x + 25.5, 28, label, kLabel, Align::kCentre);
    return c;
}

// A flap or spoiler lever: a shaft from the top, the lettered head at the bottom.
Canvas control_lever(const Font& font, int width, int height, int head_height, double text_height,
                     const std::string& label) {
    Canvas c(width, height, art::kBlack);
    const int shaft_width = width > 40 ? 8 : 6;
    const int shaft_x = (width - shaft_width) / 2;
    c.fill_rect(shaft_x, 0, shaft_width, height - head_height, kShaft);
    c.fill_rect(shaft_x, 0, 1, height - head_height, kShaftEdge);
    c.fill_rect(shaft_x + shaft_width - 1, 0, 1, height - head_height, kShaftEdge);
    const int head_y = height - head_height;
    c.fill_rect(1, head_y, width - 2, head_height - 1, kOutline);
    c.fill_rect(2, head_y + 1, width - 4, head_height - 3, kHeadFill);
    c.text(font, text_height, width / 2.0, head_y + head_height / 2.0 + text_height * 0.35, label, kHeadText,
           Align::kCentre);
    return c;
}

// The pointer strip: an arrow toward the wheel at mid-height, on dark grey.
Canvas trim_pointer() {
    Canvas c(8, 124, kPointerGround);
    const int lengths[] = {2, 4, 6, 8, 8, 6, 4, 2};
    for (int row = 0; row < 8; ++row) c.fill_rect(0, 58 + row, lengths[row], 1, kArrow);
    return c;
}

// The wheel strip: ridges every 6 rows over its whole height, so that any stretch of it looks alike.
Canvas trim_wheel() {
    Canvas c(16, 960, kWheelGround);
    for (int y = 0; y < 960; y += 6) c.fill_rect(1, y + 2, 14, 2, kRidge);
    return c;
}

Canvas trim_wheel_window() {
    Canvas c(14, 96, kWindow);
    for (int x : {0, 13})
        for (int y : {0, 95}) {
            const int dx = x == 0 ? 1 : -1, dy = y == 0 ? 1 : -1;
            c.set(x, y, art::kBlack);
            c.set(x + dx, y, art::kBlack);
            c.set(x, y + dy, art::kBlack);
        }
    return c;
}

Canvas park_brake(const Font& bold) {
    Canvas c(58, 34, art::kBlack);
    c.text(bold, 15, 29, 15, "PARK", kLegendRed, Align::kCentre);
    c.text(bold, 15, 29, 30, "BRAKE", kLegendRed, Align::kCentre);
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv) + "/";
    const Font bold(art::font_path("LiberationSans-Bold.ttf"));
    const Font narrow(art::font_path("LiberationSansNarrow-Bold.ttf"));

    background(bold, narrow).write_bmp(folder + "background.bmp");
    throttle(bold, 87, false, "1").write_bmp(folder + "lever1.bmp");
    throttle(bold, 88, true, "2").write_bmp(folder + "lever2.bmp");
    control_lever(bold, 42, 74, 17, 10, "FLAPS").write_bmp(folder + "flaps_lever.bmp");
    control_lever(narrow, 31, 69, 14, 10, "SPOIL").write_bmp(folder + "spoiler_lever.bmp");
    trim_pointer().write_bmp(folder + "trim_pointer.bmp");
    Canvas(9, 63, kWindow).write_bmp(folder + "trim_pointer_window.bmp");
    trim_wheel().write_bmp(folder + "trim_wheel.bmp");
    trim_wheel_window().write_bmp(folder + "trim_wheel_window.bmp");
    park_brake(bold).write_bmp(folder + "park_brake.bmp");
    Canvas(58, 34, art::kBlack).write_bmp(folder + "park_brake_off.bmp");
}
