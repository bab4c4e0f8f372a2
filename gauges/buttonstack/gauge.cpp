// The button stack: five push buttons down a 37 x 227 panel, each an on/off switch of its own. A click inverts
// the button's state, plays the click, sends the button's event with the new state, and shows the button's
// lamp while the state is on. The host's own state is never read back.
#include <cstddef>
#include <iterator>

#include "module_frame.h"
#include "sound_player.h"

namespace {

constexpr int32_t kClickSound = 3001;

extern GaugeHeader button_stack_header;

// clang-format off
// Lamps differ only in their row; each covers its button's lamp window from one row above it.
constexpr StaticImageElement lamp_at(int32_t y) {
    return {
        .header = {.kind = kStaticImage, .resource_id = 1003, .position_x = 9, .position_y = y, .anchor_x = 0,
                   .anchor_y = 0, .gauge = &button_stack_header, .children = nullptr, .failures = nullptr,
                   .image_flags = 0x40000007},
    };
}
// clang-format on

constinit StaticImageElement lamp_1 = lamp_at(21);
constinit StaticImageElement lamp_2 = lamp_at(69);
constinit StaticImageElement lamp_3 = lamp_at(117);
constinit StaticImageElement lamp_4 = lamp_at(163);
constinit StaticImageElement lamp_5 = lamp_at(209);

// clang-format off
ElementHeader* background_children[] = {&lamp_1.header, &lamp_2.header, &lamp_3.header, &lamp_4.header,
                                        &lamp_5.header, nullptr};

StaticImageElement background = {
    .header = {.kind = kStaticImage, .resource_id = 1000, .position_x = 0, .position_y = 0, .anchor_x = 0,
               .anchor_y = 0, .gauge = &button_stack_header, .children = background_children, .failures = nullptr,
               .image_flags = 0x5},
};
// clang-format on

ElementHeader* root_list[] = {&background.header, nullptr};

// clang-format off
// The event numbers do not rise down the stack: button 2 sends 65910 and button 3 sends 65908.
struct Button {
    uint32_t event;
    StaticImageElement* lamp;
};
constexpr Button kButtons[] = {
    {.event = 65907, .lamp = &lamp_1},
    {.event = 65910, .lamp = &lamp_2},
    {.event = 65908, .lamp = &lamp_3},
    {.event = 65911, .lamp = &lamp_4},
    {.event = 65912, .lamp = &lamp_5},
};
// clang-format on

uint32_t button_states[std::size(kButtons)];  // 0 off, 1 on

template <size_t index>
int32_t GAUGE_CALL toggle_button(PixelPoint*, uint32_t) {
    uint32_t& state = button_states[index];
    state = state ? 0 : 1;
    play_sound(kClickSound);  // a silent or failed click stops nothing
    host::send_event(kButtons[index].event, static_cast<int32_t>(state));
    uint32_t& flags = kButtons[index].lamp->header.image_flags;
    flags = state ? flags & ~kImageHidden : flags | kImageHidden;
    return 0;
}

constexpr MouseHandler toggle_button_1 = toggle_button<0>;
constexpr MouseHandler toggle_button_2 = toggle_button<1>;
constexpr MouseHandler toggle_button_3 = toggle_button<2>;
constexpr MouseHandler toggle_button_4 = toggle_button<3>;
constexpr MouseHandler toggle_button_5 = toggle_button<4>;

// clang-format off
// 36-pixel squares with 11-pixel gaps between them.
MouseArea button_stack_mouse_areas[] = {
    {.kind = kAreaParent, .x = 0, .y = 0, .width = 0, .height = 0, .cursor = -1},
    {.kind = kAreaChild, .x = 0, .y = 0, .width = 36, .height = 36, .cursor = 5, .help_id = 0,
     .event_flags = kMouseClick, .handler = toggle_button_1},
    {.kind = kAreaChild, .x = 0, .y = 47, .width = 36, .height = 36, .cursor = 5, .help_id = 0,
     .event_flags = kMouseClick, .handler = toggle_button_2},
    {.kind = kAreaChild, .x = 0, .y = 94, .width = 36, .height = 36, .cursor = 5, .help_id = 0,
     .event_flags = kMouseClick, .handler = toggle_button_3},
    {.kind = kAreaChild, .x = 0, .y = 141, .width = 36, .height = 36, .cursor = 5, .help_id = 0,
     .event_flags = kMouseClick, .handler = toggle_button_4},
    {.kind = kAreaChild, .x = 0, .y = 188, .width = 36, .height = 36, .cursor = 5, .help_id = 0,
     .event_flags = kMouseClick, .handler = toggle_button_5},
    {.kind = kAreaEnd, .x = 0, .y = 0, .width = 0, .height = 0, .cursor = -1},
    {.kind = kAreaAfterEnd, .cursor = -1},
};
// clang-format on

GaugeHeader button_stack_header = gauge_header("Tolvar-Ardent-ButtonStack-2k-v1s", root_list, 40);

}  // namespace

ModuleLinkage Linkage = module_linkage(&button_stack_header);

const GaugeBinding gauge_binding = {
    .header = &button_stack_header,
    .mouse_areas = button_stack_mouse_areas,
    .standalone_variables = nullptr,
    .truncated_values = nullptr,
    .standalone_count = 0,
};
