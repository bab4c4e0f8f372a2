// brimmet: an analogue aircraft clock. The dial carries three needles that show host variables 3, 4 and 5
// as they stand, through calibration tables; seven click areas each send one fixed event with the value 0.
// The clock keeps no time and no state of its own.
#include "module_frame.h"

namespace {

extern GaugeHeader clock_header;

// The hands turn about this point of the dial.
constexpr int32_t kPivotX = 155;
constexpr int32_t kPivotY = 150;

double GAUGE_CALL clock_hand_value(ModuleVariable* source) { return source->value; }

// The seven click areas: box, cursor and the event each sends. The handlers and the mouse list are both
// built from this table.
struct ClickArea {
    int32_t x, y, width, height;
    int32_t cursor;
    uint32_t event;
};
constexpr ClickArea kClickAreas[7] = {
    {20, 240, 30, 40, 2, 65657},   // knob, left
    {50, 240, 30, 40, 1, 65658},   // knob, right
    {230, 240, 30, 40, 2, 65659},  // lower right, left
    {260, 240, 30, 40, 1, 65660},  // lower right, right
    {230, 5, 60, 40, 5, 65661},    // top right
    {20, 5, 30, 40, 2, 65790},     // top left, left: the higher number of the pair
    {50, 5, 30, 40, 1, 65789},     // top left, right
};

template <size_t Area>
int32_t GAUGE_CALL send_area_event(PixelPoint*, uint32_t) {
    host::send_event(kClickAreas[Area].event, 0);
    return 0;
}

int32_t GAUGE_CALL clock_area1_click(PixelPoint* point, uint32_t flags) { return send_area_event<0>(point, flags); }
int32_t GAUGE_CALL clock_area2_click(PixelPoint* point, uint32_t flags) { return send_area_event<1>(point, flags); }
int32_t GAUGE_CALL clock_area3_click(PixelPoint* point, uint32_t flags) { return send_area_event<2>(point, flags); }
int32_t GAUGE_CALL clock_area4_click(PixelPoint* point, uint32_t flags) { return send_area_event<3>(point, flags); }
int32_t GAUGE_CALL clock_area5_click(PixelPoint* point, uint32_t flags) { return send_area_event<4>(point, flags); }
int32_t GAUGE_CALL clock_area6_click(PixelPoint* point, uint32_t flags) { return send_area_event<5>(point, flags); }
int32_t GAUGE_CALL clock_area7_click(PixelPoint* point, uint32_t flags) { return send_area_event<6>(point, flags); }

// clang-format off
constexpr MouseArea click_area(size_t index, MouseHandler handler) {
    const ClickArea& area = kClickAreas[index];
    return {.kind = kAreaChild, .x = area.x, .y = area.y, .width = area.width, .height = area.height,
            .cursor = area.cursor, .event_flags = kMouseClick, .handler = handler};
}

MouseArea clock_mouse_areas[10] = {
    {.kind = kAreaParent, .cursor = -1},
    click_area(0, clock_area1_click),
    click_area(1, clock_area2_click),
    click_area(2, clock_area3_click),
    click_area(3, clock_area4_click),
    click_area(4, clock_area5_click),
    click_area(5, clock_area6_click),
    click_area(6, clock_area7_click),
    {.kind = kAreaEnd, .cursor = -1},
    {.kind = kAreaAfterEnd, .cursor = -1},
};
// clang-format on

// Dial points on a circle of about 100 pixels round the pivot, clockwise from twelve o'clock. The hour hand
// goes round twice a day, so rows 12 to 23 repeat rows 0 to 11; there is no row for 24.
NonlinearityPoint hour_table[24] = {
    {.x = 155, .y = 50, .value = 0},   {.x = 202, .y = 64, .value = 1},   {.x = 240, .y = 98, .value = 2},
    {.x = 250, .y = 146, .value = 3},  {.x = 236, .y = 193, .value = 4},  {.x = 201, .y = 226, .value = 5},
    {.x = 155, .y = 238, .value = 6},  {.x = 108, .y = 226, .value = 7},  {.x = 72, .y = 194, .value = 8},
    {.x = 55, .y = 146, .value = 9},   {.x = 68, .y = 100, .value = 10},  {.x = 106, .y = 63, .value = 11},
    {.x = 155, .y = 50, .value = 12},  {.x = 202, .y = 64, .value = 13},  {.x = 240, .y = 98, .value = 14},
    {.x = 250, .y = 146, .value = 15}, {.x = 236, .y = 193, .value = 16}, {.x = 201, .y = 226, .value = 17},
    {.x = 155, .y = 238, .value = 18}, {.x = 108, .y = 226, .value = 19}, {.x = 72, .y = 194, .value = 20},
    {.x = 55, .y = 146, .value = 21},  {.x = 68, .y = 100, .value = 22},  {.x = 106, .y = 63, .value = 23},
};

// One turn from 0 to 59; the last row stops just short of twelve o'clock. The two hands have tables of their
// own, since the host keeps run-time state in every row.
NonlinearityPoint minute_table[5] = {
    {.x = 155, .y = 50, .value = 0},  {.x = 250, .y = 146, .value = 15}, {.x = 155, .y = 238, .value = 30},
    {.x = 55, .y = 146, .value = 45}, {.x = 145, .y = 50, .value = 59},
};
NonlinearityPoint second_table[5] = {
    {.x = 155, .y = 50, .value = 0},  {.x = 250, .y = 146, .value = 15}, {.x = 155, .y = 238, .value = 30},
    {.x = 55, .y = 146, .value = 45}, {.x = 145, .y = 50, .value = 59},
};

// clang-format off
// The tree is a chain from the dial to the second hand, each element the single child of the one before.
NeedleElement second_hand = {
    .header = {.kind = kNeedle, .resource_id = 4000, .position_x = kPivotX, .position_y = kPivotY, .anchor_x = 51,
               .anchor_y = 7, .gauge = &clock_header, .image_flags = 0x4003},
    .source = {.id = 5},
    .value_callback = clock_hand_value,
    .points = second_table,
    .point_count = 5,
    .turn_limit = 360,
};
ElementHeader* minute_hand_children[] = {&second_hand.header, nullptr};

NeedleElement minute_hand = {
    .header = {.kind = kNeedle, .resource_id = 3000, .position_x = kPivotX, .position_y = kPivotY, .anchor_x = 11,
               .anchor_y = 11, .gauge = &clock_header, .children = minute_hand_children, .image_flags = 0x4003},
    .source = {.id = 4},
    .value_callback = clock_hand_value,
    .points = minute_table,
    .point_count = 5,
    .turn_limit = 360,
};
ElementHeader* hour_hand_children[] = {&minute_hand.header, nullptr};

NeedleElement hour_hand = {
    .header = {.kind = kNeedle, .resource_id = 2000, .position_x = kPivotX, .position_y = kPivotY, .anchor_x = 11,
               .anchor_y = 11, .gauge = &clock_header, .children = hour_hand_children, .image_flags = 0x4003},
    .source = {.id = 3},
    .value_callback = clock_hand_value,
    .points = hour_table,
    .point_count = 24,
    .turn_limit = 360,
};
ElementHeader* clock_face_children[] = {&hour_hand.header, nullptr};

StaticImageElement clock_face = {
    .header = {.kind = kStaticImage, .resource_id = 1000, .gauge = &clock_header, .children = clock_face_children,
               .image_flags = 0x4001},
};
ElementHeader* clock_root[] = {&clock_face.header, nullptr};
// clang-format on

GaugeHeader clock_header = gauge_header("Tolvar-Ardent-Clock-2k-v1s", clock_root, 57);

}  // namespace

ModuleLinkage Linkage = module_linkage(&clock_header);

const GaugeBinding gauge_binding = {
    .header = &clock_header,
    .mouse_areas = clock_mouse_areas,
};
