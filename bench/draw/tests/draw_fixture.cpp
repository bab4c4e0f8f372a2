// A gauge with one element of every kind, in plain colours, for the drawing tests: a needle with rows at 12, 3
// and 6 o'clock, a hidden and a shown lamp (a click in the top-left corner turns the hidden one over), a slider
// moving on both axes, a two-image icon reaching above the background, a moving strip behind its window, and a
// string that its callback writes in green.
#include <cstring>

#include "module_frame.h"

namespace {

extern GaugeHeader fixture_header;
extern StringElement label;
extern StaticImageElement hidden_lamp;

NonlinearityPoint needle_points[] = {
    {.x = 30, .y = 10, .value = 0.0},
    {.x = 45, .y = 25, .value = 3.0},
    {.x = 30, .y = 40, .value = 6.0},
};

// clang-format off
NeedleElement needle = {
    .header = {.kind = kNeedle, .resource_id = 101, .position_x = 30, .position_y = 25, .anchor_x = 2,
               .anchor_y = 2, .gauge = &fixture_header, .image_flags = 3},
    .source = {.id = 3},
    .points = needle_points,
    .point_count = 3,
    .turn_limit = 360,
};

StaticImageElement hidden_lamp = {
    .header = {.kind = kStaticImage, .resource_id = 102, .position_x = 2, .position_y = 2, .gauge = &fixture_header,
               .image_flags = 0x40000007},
};

StaticImageElement shown_lamp = {
    .header = {.kind = kStaticImage, .resource_id = 102, .position_x = 2, .position_y = 8, .gauge = &fixture_header,
               .image_flags = 0x7},
};

SliderElement slider = {
    .header = {.kind = kSlider, .resource_id = 103, .position_x = 40, .position_y = 10, .gauge = &fixture_header,
               .image_flags = 3},
    .x_axis = {.source = {.id = 11}, .scale = -0.25},
    .y_axis = {.source = {.id = 10}, .scale = 0.5},
};

IconElement icon = {
    .header = {.kind = kIcon, .resource_id = 104, .position_x = 52, .position_y = -2, .gauge = &fixture_header,
               .image_flags = 7},
    .source = {.id = 12},
    .image_count = 2,
};

MovingImageElement strip = {
    .header = {.kind = kMovingImage, .resource_id = 105, .position_x = 45, .position_y = 30, .gauge = &fixture_header,
               .image_flags = 3},
    .y_axis = {.source = {.id = 13}, .range_from = -100.0, .range_to = 100.0},
};
// clang-format on

double GAUGE_CALL label_text(double value) {
    std::memcpy(label.text, "HH", 3);
    label.fore_colour = 0x0000FF00;
    return value;
}

// clang-format off
StringElement label = {
    .header = {.kind = kString, .resource_id = -1, .position_x = 2, .position_y = 48, .gauge = &fixture_header,
               .image_flags = 6},
    .text_callback = label_text,
    .width = 76,
    .height = 40,
    .fore_colour = 0x00FFFFFF,
    .font_face = "Courier New",
    .font_weight = 400,
    .charset = 1,
    .format_flags = 0x25,
    .char_count = 2,
};
// clang-format on

ElementHeader* background_children[] = {&needle.header, &hidden_lamp.header, &shown_lamp.header, &slider.header,
                                        &icon.header,   &strip.header,       &label.header,      nullptr};

// clang-format off
StaticImageElement background = {
    .header = {.kind = kStaticImage, .resource_id = 100, .gauge = &fixture_header, .children = background_children,
               .image_flags = 5},
};
// clang-format on

ElementHeader* root_list[] = {&background.header, nullptr};

GaugeHeader fixture_header = gauge_header("Draw-Fixture", root_list, 10);

int32_t GAUGE_CALL toggle_lamp(PixelPoint*, uint32_t) {
    hidden_lamp.header.image_flags ^= kImageHidden;
    return 0;
}

// clang-format off
MouseArea mouse_areas[] = {
    {.kind = kAreaParent, .cursor = -1},
    {.kind = kAreaChild, .x = 0, .y = 0, .width = 10, .height = 10, .cursor = 5, .event_flags = kMouseClick,
     .handler = toggle_lamp},
    {.kind = kAreaEnd, .cursor = -1},
    {.kind = kAreaAfterEnd, .cursor = -1},
};
// clang-format on

}  // namespace

ModuleLinkage Linkage = module_linkage(&fixture_header);

const GaugeBinding gauge_binding = {
    .header = &fixture_header,
    .mouse_areas = mouse_areas,
};
