// A small gauge for checking the frame and the bench: a background with a needle and a string element side by
// side, two standalone variables handled by the frame, and a mouse list whose handlers report what they saw.
#include "module_frame.h"
#include "test_gauge.h"

namespace {

extern GaugeHeader test_header;
extern StringElement label;

ModuleVariable first_standalone = {.id = 304};
ModuleVariable second_standalone = {.id = 303};
ModuleVariable* const standalone_variables[] = {&first_standalone, &second_standalone};
int32_t truncated_values[2];

double GAUGE_CALL needle_value(ModuleVariable* source) { return source->value * 2; }

// Writes as many 'x' as variable 500 asks for, up to 24: a fixture for the bench's guard bytes.
double GAUGE_CALL label_text(double value) {
    int32_t count = truncate_to_s32(label.sources[1].value);
    count = count < 0 ? 0 : (count > 24 ? 24 : count);
    for (int32_t i = 0; i < count; ++i) label.text[i] = 'x';
    label.text[count] = '\0';
    return value;
}

// Windows builds of the fixture for the bench's loader: one whose click handler calls what the bench does not
// provide, one whose click says so through OutputDebugStringA and whose drag sends the host's clock.
#if defined(TEST_GAUGE_MISSING_IMPORT)
extern "C" __declspec(dllimport) int __stdcall GetComputerNameA(char* name, unsigned long* size);
#endif
#if defined(TEST_GAUGE_WINDOWS_CALLS)
extern "C" __declspec(dllimport) void __stdcall OutputDebugStringA(const char* text);
extern "C" __declspec(dllimport) unsigned long __stdcall GetTickCount();
#endif

int32_t GAUGE_CALL send_truncated(PixelPoint*, uint32_t) {
#if defined(TEST_GAUGE_MISSING_IMPORT)
    char name[64];
    unsigned long size = sizeof name;
    GetComputerNameA(name, &size);
#endif
#if defined(TEST_GAUGE_WINDOWS_CALLS)
    OutputDebugStringA("clicked");
#endif
    host::send_event(test_gauge::kTruncatedEvent, truncated_values[0]);
    host::send_event(test_gauge::kTruncatedEvent, truncated_values[1]);
    return 7;
}
int32_t GAUGE_CALL send_drag(PixelPoint* point, uint32_t) {
#if defined(TEST_GAUGE_WINDOWS_CALLS)
    host::send_event(test_gauge::kDragEvent, static_cast<int32_t>(GetTickCount()));
    (void)point;
    return 0;
#endif
    host::send_event(test_gauge::kDragEvent, point->y);
    return 0;
}
int32_t GAUGE_CALL send_never(PixelPoint*, uint32_t) {
    host::send_event(test_gauge::kNeverEvent, 0);
    return 0;
}

NonlinearityPoint needle_points[] = {
    {.x = 20, .y = 5, .value = 0.0},
    {.x = 35, .y = 15, .value = 10.0},
};

// clang-format off
NeedleElement needle = {
    .header = {.kind = kNeedle, .resource_id = 101, .position_x = 20, .position_y = 15, .anchor_x = 2,
               .anchor_y = 2, .gauge = &test_header, .image_flags = 3},
    .source = {.id = 3},
    .value_callback = needle_value,
    .points = needle_points,
    .point_count = 2,
    .turn_limit = 360,
};
// clang-format on

FailureRecord failures[] = {{1, 3}, {0, 0}};

// clang-format off
StringElement label = {
    .header = {.kind = kString, .resource_id = -1, .position_x = 2, .position_y = 20, .gauge = &test_header,
               .failures = failures, .image_flags = 6},
    .sources = {{.id = 1}, {.id = 500}, {.id = 0}},
    .text_callback = label_text,
    .width = 36,
    .height = 10,
    .fore_colour = 0x00FFFFFF,
    .font_face = "Courier New",
    .font_weight = 400,
    .charset = 1,
    .format_flags = 0x25,
    .char_count = 4,
};
// clang-format on

ElementHeader* background_children[] = {&needle.header, &label.header, nullptr};

// clang-format off
StaticImageElement background = {
    .header = {.kind = kStaticImage, .resource_id = 100, .gauge = &test_header, .children = background_children,
               .image_flags = 5},
};
// clang-format on

ElementHeader* root_list[] = {&background.header, nullptr};

GaugeHeader test_header = gauge_header("Test-Gauge", root_list, 10);

// clang-format off
MouseArea mouse_areas[] = {
    {.kind = kAreaParent, .cursor = -1},
    {.kind = kAreaChild, .x = 0, .y = 0, .width = 10, .height = 10, .cursor = 5, .event_flags = kMouseClick,
     .handler = send_truncated},
    {.kind = kAreaChild, .x = 5, .y = -5, .width = 10, .height = 40, .cursor = 5, .event_flags = kMouseDrag,
     .handler = send_drag},
    {.kind = kAreaEnd, .cursor = -1},
    {.kind = kAreaChild, .x = 0, .y = 0, .width = 40, .height = 30, .cursor = 5, .event_flags = kMouseClick,
     .handler = send_never},
    {.kind = kAreaAfterEnd, .cursor = -1},
};
// clang-format on

}  // namespace

ModuleLinkage Linkage = module_linkage(&test_header);

const GaugeBinding gauge_binding = {
    .header = &test_header,
    .mouse_areas = mouse_areas,
    .standalone_variables = standalone_variables,
    .truncated_values = truncated_values,
    .standalone_count = 2,
};
