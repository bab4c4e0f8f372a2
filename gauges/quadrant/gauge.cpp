// The throttle quadrant "Tolvar-Ardent-Quadrant-2k-v1s": two throttle levers, the flap and spoiler levers, the
// trim wheel with its pointer and the parking-brake legend, each following a host variable; and the mouse
// areas over them, which move the controls by sending host events.
#include "lever_value.h"
#include "module_frame.h"

namespace {

// Host variables shown.
constexpr uint32_t kThrottle1Variable = 128;
constexpr uint32_t kThrottle2Variable = 163;
constexpr uint32_t kTrimVariable = 318;
constexpr uint32_t kParkBrakeVariable = 323;
constexpr uint32_t kSpoilerVariable = 325;
constexpr uint32_t kFlapsVariable = 328;

// Host events sent.
constexpr uint32_t kThrottle1Event = 65820;
constexpr uint32_t kThrottle2Event = 65821;
constexpr uint32_t kFlapsUpEvent = 65759;
constexpr uint32_t kFlapsDownEvent = 65758;
constexpr uint32_t kSpoilerDnEvent = 66065;
constexpr uint32_t kSpoilerExtEvent = 66064;
constexpr uint32_t kSpoilerArmEvent = 66066;
constexpr uint32_t kTrimEvent = 65706;

constexpr int32_t kTrimStep = 512;
constexpr int32_t kTrimLimit = 16383;

constexpr uint32_t kBackgroundFlags = 0x1;
constexpr uint32_t kMovingFlags = 0x3;
constexpr uint32_t kIconFlags = 0x7;

// Pixels per unit of value: 16384 lifts a throttle 100 pixels; 16383 lowers the flap or spoiler lever 71.
constexpr double kThrottleScale = -100.0 / 16384;
constexpr double kFlapScale = 71.0 / 16383;

extern GaugeHeader quadrant_header;

// ---- Display ----

// The legend image (value 0) shows while the brake is set; the blank one (value 1) while it is off.
double GAUGE_CALL park_brake_icon_value(ModuleVariable* source) { return source->value == 0.0 ? 1.0 : 0.0; }

// clang-format off
// The chain runs background, wheel, pointer, legend, spoiler, flaps, lever 2, lever 1; each element's child
// list holds the next one, so the records are written from the end of the chain up.
SliderElement lever1_slider = {
    .header = {.kind = kSlider, .resource_id = 2003, .position_x = 59, .position_y = 47,
               .gauge = &quadrant_header, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kThrottle1Variable}, .scale = kThrottleScale},
};
ElementHeader* lever2_children[] = {&lever1_slider.header, nullptr};

SliderElement lever2_slider = {
    .header = {.kind = kSlider, .resource_id = 3003, .position_x = 124, .position_y = 47,
               .gauge = &quadrant_header, .children = lever2_children, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kThrottle2Variable}, .scale = kThrottleScale},
};
ElementHeader* flaps_children[] = {&lever2_slider.header, nullptr};

SliderElement flaps_lever = {
    .header = {.kind = kSlider, .resource_id = 4003, .position_x = 208, .position_y = -56,
               .gauge = &quadrant_header, .children = flaps_children, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kFlapsVariable}, .scale = kFlapScale},
};
ElementHeader* spoiler_children[] = {&flaps_lever.header, nullptr};

SliderElement spoiler_lever = {
    .header = {.kind = kSlider, .resource_id = 5003, .position_x = 254, .position_y = -56,
               .gauge = &quadrant_header, .children = spoiler_children, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kSpoilerVariable}, .scale = kFlapScale},
};
ElementHeader* park_brake_children[] = {&spoiler_lever.header, nullptr};

// Images 7003 (the legend) and 7006 (blank).
IconElement park_brake_icon = {
    .header = {.kind = kIcon, .resource_id = 7003, .position_x = 165, .position_y = -90,
               .gauge = &quadrant_header, .children = park_brake_children, .image_flags = kIconFlags},
    .source = {.id = kParkBrakeVariable},
    .value_callback = park_brake_icon_value,
    .image_count = 2,
};
ElementHeader* pointer_children[] = {&park_brake_icon.header, nullptr};

// The pointer and the wheel show the same trim value over opposite ranges, so they move in opposite senses.
// Each strip's window is the bitmap 3 ids above it.
MovingImageElement trim_pointer = {
    .header = {.kind = kMovingImage, .resource_id = 6000, .position_x = 23, .position_y = 15,
               .gauge = &quadrant_header, .children = pointer_children, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kTrimVariable}, .range_from = 16383.0, .range_to = -16383.0},
};
ElementHeader* wheel_children[] = {&trim_pointer.header, nullptr};

MovingImageElement trim_wheel_strip = {
    .header = {.kind = kMovingImage, .resource_id = 6500, .position_x = 55, .position_y = 10,
               .gauge = &quadrant_header, .children = wheel_children, .image_flags = kMovingFlags},
    .y_axis = {.source = {.id = kTrimVariable}, .range_from = -16383.0, .range_to = 16383.0},
};
ElementHeader* background_children[] = {&trim_wheel_strip.header, nullptr};

StaticImageElement quadrant_background = {
    .header = {.kind = kStaticImage, .resource_id = 1000, .gauge = &quadrant_header,
               .children = background_children, .image_flags = kBackgroundFlags},
};
ElementHeader* root_list[] = {&quadrant_background.header, nullptr};
// clang-format on

GaugeHeader quadrant_header = gauge_header("Tolvar-Ardent-Quadrant-2k-v1s", root_list, 100);

// ---- Input ----

// Looked up afresh by the trim steps; no element refers to it and the frame does not announce it.
ModuleVariable trim_variable = {.id = kTrimVariable};

// The lever value under the pointer, scaled against the background's height as the host has it now. There is
// none while the host has given no height (no image record yet, or a height of 0 or less): the scaling would
// divide by it.
bool lever_value_at(const PixelPoint* point, int32_t* value) {
    const HostImageRecord* image = quadrant_background.image_record;
    if (!image || image->size.height <= 0) return false;
    *value = lever_value_from_pointer(point->y, image->size.height);
    return true;
}

int32_t GAUGE_CALL lever1_drag(PixelPoint* point, uint32_t) {
    int32_t value;
    if (lever_value_at(point, &value)) host::send_event(kThrottle1Event, value);
    return 0;
}

int32_t GAUGE_CALL lever2_drag(PixelPoint* point, uint32_t) {
    int32_t value;
    if (lever_value_at(point, &value)) host::send_event(kThrottle2Event, value);
    return 0;
}

// Between the levers: both move together, to one value.
int32_t GAUGE_CALL levers_drag(PixelPoint* point, uint32_t) {
    int32_t value;
    if (!lever_value_at(point, &value)) return 0;
    host::send_event(kThrottle1Event, value);
    host::send_event(kThrottle2Event, value);
    return 0;
}

constexpr MouseHandler flaps_up_click = send_fixed_event<kFlapsUpEvent>;
constexpr MouseHandler flaps_down_click = send_fixed_event<kFlapsDownEvent>;
constexpr MouseHandler spoiler_dn_click = send_fixed_event<kSpoilerDnEvent>;
constexpr MouseHandler spoiler_ext_click = send_fixed_event<kSpoilerExtEvent>;
constexpr MouseHandler spoiler_arm_click = send_fixed_event<kSpoilerArmEvent>;

// Each trim step starts from the host's current value and stops only at the end it moves toward. The sum is
// taken in 64 bits, so that a host value near the 32-bit limits cannot wrap past the stop.
int32_t GAUGE_CALL trim_step_minus(PixelPoint*, uint32_t) {
    host::lookup_variable(&trim_variable);
    const int64_t trim = int64_t{truncate_to_s32(trim_variable.value)} - kTrimStep;
    host::send_event(kTrimEvent, static_cast<int32_t>(trim < -kTrimLimit ? -kTrimLimit : trim));
    return 0;
}

int32_t GAUGE_CALL trim_step_plus(PixelPoint*, uint32_t) {
    host::lookup_variable(&trim_variable);
    const int64_t trim = int64_t{truncate_to_s32(trim_variable.value)} + kTrimStep;
    host::send_event(kTrimEvent, static_cast<int32_t>(trim > kTrimLimit ? kTrimLimit : trim));
    return 0;
}

constexpr MouseHandler trim_centre_click = send_fixed_event<kTrimEvent>;

constexpr uint32_t kTrimStepFlags = kMouseClick | kMouseRepeat;  // a held button keeps stepping

// clang-format off
// Boxes in the background's pixels; the lever strips reach far above and below it.
MouseArea quadrant_mouse_areas[] = {
    {.kind = kAreaParent, .cursor = -1},
    {.kind = kAreaChild, .x = 63, .y = -75, .width = 45, .height = 300, .cursor = 5, .event_flags = kMouseDrag,
     .handler = lever1_drag},
    {.kind = kAreaChild, .x = 137, .y = -75, .width = 45, .height = 300, .cursor = 5, .event_flags = kMouseDrag,
     .handler = lever2_drag},
    {.kind = kAreaChild, .x = 110, .y = -75, .width = 25, .height = 300, .cursor = 5, .event_flags = kMouseDrag,
     .handler = levers_drag},
    {.kind = kAreaChild, .x = 210, .y = -50, .width = 35, .height = 70, .cursor = 5, .event_flags = kMouseClick,
     .handler = flaps_up_click},
    {.kind = kAreaChild, .x = 210, .y = 50, .width = 35, .height = 70, .cursor = 5, .event_flags = kMouseClick,
     .handler = flaps_down_click},
    {.kind = kAreaChild, .x = 252, .y = -50, .width = 45, .height = 56, .cursor = 5, .event_flags = kMouseClick,
     .handler = spoiler_dn_click},
    {.kind = kAreaChild, .x = 252, .y = 50, .width = 45, .height = 60, .cursor = 5, .event_flags = kMouseClick,
     .handler = spoiler_ext_click},
    {.kind = kAreaChild, .x = 252, .y = 20, .width = 45, .height = 20, .cursor = 5, .event_flags = kMouseClick,
     .handler = spoiler_arm_click},
    {.kind = kAreaChild, .x = 0, .y = 0, .width = 40, .height = 20, .cursor = 2, .event_flags = kTrimStepFlags,
     .handler = trim_step_minus},
    {.kind = kAreaChild, .x = 0, .y = 30, .width = 40, .height = 20, .cursor = 5, .event_flags = kMouseClick,
     .handler = trim_centre_click},
    {.kind = kAreaChild, .x = 0, .y = 60, .width = 40, .height = 20, .cursor = 1, .event_flags = kTrimStepFlags,
     .handler = trim_step_plus},
    {.kind = kAreaEnd, .cursor = -1},
    {.kind = kAreaAfterEnd, .cursor = -1},
};
// clang-format on

}  // namespace

ModuleLinkage Linkage = module_linkage(&quadrant_header);

// 318 is looked up by the trim steps alone: the frame has no standalone variables to handle here.
const GaugeBinding gauge_binding = {
    .header = &quadrant_header,
    .mouse_areas = quadrant_mouse_areas,
    .standalone_variables = nullptr,
    .truncated_values = nullptr,
    .standalone_count = 0,
};
