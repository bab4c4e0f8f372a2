// The checklist gauge: five text lines (a title and four items) over a face with five page keys. A key
// chooses one of five pages; while a page is chosen every update rewrites each line from host variables and
// draws it green when the item is satisfied and red when it is not. The gauge sends no events.
#include <windows.h>

#include <cstddef>
#include <span>

#include "module_frame.h"

namespace {

extern GaugeHeader checklist_header;

// ---------------------------------------------------------------------------------------------------------
// Module state: zero at load, never reset by the routines, so a gauge removed and installed again comes
// back on the page it showed.

int32_t ChecklistPhase;     // 0 = no page chosen yet, 1 to 5 = the page shown
int32_t HeightAboveGround;  // H, recomputed at the start of every line callback
int32_t Speed;              // S, likewise

// The frame looks these up before every update and keeps their truncated values here, in the same order.
ModuleVariable variable_304 = {.id = 304};
ModuleVariable variable_303 = {.id = 303};
ModuleVariable variable_137 = {.id = 137};
ModuleVariable variable_172 = {.id = 172};
ModuleVariable* const standalone_variables[] = {&variable_304, &variable_303, &variable_137, &variable_172};
int32_t truncated_values[4];

// ---------------------------------------------------------------------------------------------------------
// Handlers and callbacks bound into the records below.

int32_t select_phase(int32_t page) {
    ChecklistPhase = page;
    return 1;
}
int32_t GAUGE_CALL select_phase_1(PixelPoint*, uint32_t) { return select_phase(1); }
int32_t GAUGE_CALL select_phase_2(PixelPoint*, uint32_t) { return select_phase(2); }
int32_t GAUGE_CALL select_phase_3(PixelPoint*, uint32_t) { return select_phase(3); }
int32_t GAUGE_CALL select_phase_4(PixelPoint*, uint32_t) { return select_phase(4); }
int32_t GAUGE_CALL select_phase_5(PixelPoint*, uint32_t) { return select_phase(5); }

void evaluate_line(int32_t line);
double GAUGE_CALL line_callback_1(double value) {
    evaluate_line(1);
    return value;
}
double GAUGE_CALL line_callback_2(double value) {
    evaluate_line(2);
    return value;
}
double GAUGE_CALL line_callback_3(double value) {
    evaluate_line(3);
    return value;
}
double GAUGE_CALL line_callback_4(double value) {
    evaluate_line(4);
    return value;
}
double GAUGE_CALL line_callback_5(double value) {
    evaluate_line(5);
    return value;
}

// ---------------------------------------------------------------------------------------------------------
// Records.

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kGreen = 0x0000FF00;
constexpr uint32_t kRed = 0x000000FF;

// Room for the longest text, "SPOILERS - DISARMED" or a formatted fuel or range text of 19 characters.
constexpr uint32_t kLineCharacters = 19;

FailureRecord line_failures[] = {{.failure_key = 1, .failure_action = 3}, {0, 0}};

// clang-format off
constexpr StringElement line_record(int32_t x, int32_t y, uint32_t second_id, uint32_t third_id,
                                    TextCallback callback) {
    return {
        .header = {.kind = kString, .resource_id = -1, .position_x = x, .position_y = y, .anchor_x = 0,
                   .anchor_y = 0, .gauge = &checklist_header, .children = nullptr, .failures = line_failures,
                   .image_flags = 6},
        .sources = {{.id = 1}, {.id = second_id}, {.id = third_id}},
        .text_callback = callback,
        .text = nullptr,
        .width = 300,
        .height = 60,
        .fore_colour = kWhite,
        .back_colour = 0x00000000,
        .third_colour = 0x005C5C5C,
        .font_face = "Courier New",
        .font_weight = 400,
        .charset = 1,
        .format_flags = 0x25,
        .char_count = kLineCharacters,
    };
}
// clang-format on

StringElement line_1 = line_record(30, 30, 328, 323, line_callback_1);
StringElement line_2 = line_record(10, 80, 61, 331, line_callback_2);
StringElement line_3 = line_record(10, 120, 128, 74, line_callback_3);
StringElement line_4 = line_record(10, 160, 2, 325, line_callback_4);
StringElement line_5 = line_record(10, 200, 324, 0, line_callback_5);

// clang-format off
ElementHeader* background_children[] = {&line_1.header, &line_2.header, &line_3.header, &line_4.header,
                                        &line_5.header, nullptr};

StaticImageElement checklist_background = {
    .header = {.kind = kStaticImage, .resource_id = 4096, .position_x = 0, .position_y = 0, .anchor_x = 0,
               .anchor_y = 0, .gauge = &checklist_header, .children = background_children, .failures = nullptr,
               .image_flags = 5},
    .image_record = nullptr,
};
// clang-format on

ElementHeader* checklist_elements[] = {&checklist_background.header, nullptr};

GaugeHeader checklist_header = gauge_header("Checklist", checklist_elements, 150);

// clang-format off
constexpr MouseArea page_button(int32_t x, MouseHandler handler) {
    return {.kind = kAreaChild, .x = x, .y = 320, .width = 50, .height = 50, .cursor = 5, .help_id = 0,
            .event_flags = kMouseClick, .handler = handler};
}
// clang-format on

MouseArea checklist_mouse_areas[] = {
    {.kind = kAreaParent, .cursor = -1, .help_id = 41478},
    page_button(59, select_phase_1),
    page_button(117, select_phase_2),
    page_button(180, select_phase_3),
    page_button(237, select_phase_4),
    page_button(293, select_phase_5),
    {.kind = kAreaEnd, .cursor = -1},
    {.kind = kAreaAfterEnd, .cursor = -1},
};

// ---------------------------------------------------------------------------------------------------------
// Writing a line.

StringElement* line_element(int32_t line) {
    switch (line) {
        case 1: return &line_1;
        case 2: return &line_2;
        case 3: return &line_3;
        case 4: return &line_4;
        case 5: return &line_5;
        default: return nullptr;
    }
}

// The host's buffer holds the element's char_count characters and the terminating zero, so a text is cut to
// that many characters rather than written past it.
void set_line_text(int32_t line, const char* text) {
    StringElement* element = line_element(line);
    if (!element || !element->text) return;
    uint32_t length = 0;
    while (length < element->char_count && text[length] != '\0') {
        element->text[length] = text[length];
        ++length;
    }
    element->text[length] = '\0';
}

void set_line_colour(int32_t satisfied, int32_t line) {
    StringElement* element = line_element(line);
    if (!element) return;
    element->fore_colour = satisfied ? kGreen : kRed;
}

// wsprintfA writes at most 1024 characters and the zero; it writes here, and set_line_text copies from here.
char format_scratch[1025];

// ---------------------------------------------------------------------------------------------------------
// Inputs, each from the line whose sources deliver it.

int32_t int_of(const ModuleVariable& variable) { return truncate_to_s32(variable.value); }

// Signed 32-bit arithmetic that wraps as the machine's does, rather than overflowing.
int32_t wrapping_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapping_subtract(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// clang-format off
const ModuleVariable& flap_position() { return line_1.sources[1]; }       // 328
const ModuleVariable& parking_brake() { return line_1.sources[2]; }       // 323
const ModuleVariable& airspeed() { return line_2.sources[1]; }            // 61
const ModuleVariable& gear_position() { return line_2.sources[2]; }       // 331
const ModuleVariable& brake_pressure() { return line_3.sources[1]; }      // 128
const ModuleVariable& altitude() { return line_3.sources[2]; }            // 74
const ModuleVariable& ground_altitude() { return line_4.sources[1]; }     // 2
const ModuleVariable& spoiler_position() { return line_4.sources[2]; }    // 325
const ModuleVariable& spoilers_arm_switch() { return line_5.sources[1]; } // 324
// clang-format on

// H: variable 2 is scaled in floating point and only the product is truncated.
int32_t height_above_ground() {
    return wrapping_subtract(int_of(altitude()), truncate_to_s32(ground_altitude().value / 256.0 * 3.2842));
}

int32_t flap_detent_class() {
    static constexpr int32_t kBelow[] = {500, 2500, 4500, 6500, 8600, 10600, 12700, 14800, 17000};
    const int32_t v = int_of(flap_position());
    for (int32_t k = 0; k < 9; ++k)
        if (v < kBelow[k]) return k;
    return 0;  // beyond the last detent
}

int32_t fuel_total() { return wrapping_add(truncated_values[0], truncated_values[1]); }

int32_t range_estimate() { return truncate_to_s32(wrapping_subtract(fuel_total(), 6972) / 1.5704125); }

// ---------------------------------------------------------------------------------------------------------
// Conditions.

using Condition = bool (*)();

bool always() { return true; }
bool never() { return false; }
bool gear_down() { return int_of(gear_position()) > 10000; }
bool gear_up() { return int_of(gear_position()) < 1000; }
bool spoilers_extended() { return int_of(spoiler_position()) > 10000; }
bool spoilers_retracted() { return int_of(spoiler_position()) < 1000; }
bool brakes_set() { return parking_brake().value > 30000.0; }
bool brakes_not_set() { return !brakes_set(); }
bool spoilers_armed() { return spoilers_arm_switch().value == 1.0; }
bool spoilers_not_armed() { return !spoilers_armed(); }
bool brake_release_due() { return int_of(brake_pressure()) > 15000; }
template <int32_t k>
bool flap_class() {
    return flap_detent_class() == k;
}
template <int32_t limit>
bool height_at_least() {
    return HeightAboveGround >= limit;
}
template <int32_t limit>
bool speed_at_least() {
    return Speed >= limit;
}
template <int32_t limit>
bool speed_below() {
    return Speed < limit;
}

// ---------------------------------------------------------------------------------------------------------
// Page tables. A line's rows are tried top to bottom and the first that holds is taken; every line ends in a
// row that always holds, so each update rewrites every line of the page shown.

struct Row {
    Condition when;
    const char* text;  // a wsprintfA format
    Condition green;
    int32_t (*argument)() = nullptr;  // the one %d of a formatted text
};

constexpr Row kPage1Line1[] = {{always, "BEFORE T/O CHECK", always}};
constexpr Row kPage1Line2[] = {{always, "ATIS - CHECK", always}};
constexpr Row kPage1Line3[] = {{always, "RADIO CALL - MAKE", always}};
constexpr Row kPage1Line4[] = {{always, "FLAPS - POS. 3", flap_class<3>}};
constexpr Row kPage1Line5[] = {{always, "TAXI", always}};

constexpr Row kPage2Line1[] = {{always, "TAKEOFF CHECK", always}};
constexpr Row kPage2Line2[] = {
    {brake_release_due, "BRAKES - RELEASE", brakes_not_set},
    {always, "BRAKES - SET", brakes_set},
};
// 224 and 225 fall to the last row, so the line never keeps a text from an earlier update.
constexpr Row kPage2Line3[] = {
    {speed_below<175>, "FLAPS - POS. 3", flap_class<3>},
    {speed_below<199>, "FLAPS - POS. 2", flap_class<2>},
    {speed_below<224>, "FLAPS - POS. 1", flap_class<1>},
    {always, "FLAPS - UP", flap_class<0>},
};
constexpr Row kPage2Line4[] = {
    {height_at_least<50>, "GEAR - UP", gear_up},
    {speed_at_least<170>, "GEAR - UP", gear_up},
    {always, "GEAR - DOWN", gear_down},
};
constexpr Row kPage2Line5[] = {{always, "POWER - ADJUST", always}};

constexpr Row kPage3Line1[] = {{always, "CRUISE CHECK", always}};
constexpr Row kPage3Line2[] = {{always, "POWER - ADJUST", always}};
constexpr Row kPage3Line3[] = {{always, "CRUISE DATA", always}};
constexpr Row kPage3Line4[] = {{always, "FUEL - %d", always, fuel_total}};
constexpr Row kPage3Line5[] = {{always, "RANGE - %d", always, range_estimate}};

// clang-format off
constexpr Row kPage4Line1[] = {{always, "APPROACH CHECK", always}};
constexpr Row kPage4Line2[] = {
    {height_at_least<5000>, "FLAPS - UP", flap_class<0>},
    {speed_at_least<230>, "FLAPS - UP", flap_class<0>},
    {height_at_least<3000>, "FLAPS - POS. 1", flap_class<1>},
    {speed_at_least<220>, "FLAPS - POS. 1", flap_class<1>},
    {height_at_least<2000>, "FLAPS - POS. 2", flap_class<2>},
    {speed_at_least<200>, "FLAPS - POS. 2", flap_class<2>},
    {gear_down, "FLAPS - FULL DOWN", flap_class<8>},
    {always, "FLAPS - POS. 3", flap_class<3>},
};
constexpr Row kPage4Line3[] = {
    {height_at_least<2500>, "GEAR - UP", gear_up},
    {speed_at_least<210>, "GEAR - UP", gear_up},
    {always, "GEAR - DOWN", gear_down},
};
constexpr Row kPage4Line4[] = {
    {height_at_least<2500>, "SPOILERS - DISARMED", spoilers_not_armed},
    {always, "SPOILERS - ARMED", spoilers_armed},
};
constexpr Row kPage4Line5[] = {{always, "ATIS - CHECK", always}};
// clang-format on

constexpr Row kPage5Line1[] = {{always, "LANDING CHECK", always}};
constexpr Row kPage5Line2[] = {{always, "BRAKES - APPLY", always}};
constexpr Row kPage5Line3[] = {
    {speed_at_least<60>, "SPOILERS - DEPLOY", spoilers_extended},
    {spoilers_retracted, "THROTTLE - ADJUST", always},
    {always, "SPOILERS - RETRACT", never},
};
constexpr Row kPage5Line4[] = {{always, "TAXI", always}};
constexpr Row kPage5Line5[] = {{always, " ", always}};

using LineRows = std::span<const Row>;
constexpr LineRows kPages[5][5] = {
    {kPage1Line1, kPage1Line2, kPage1Line3, kPage1Line4, kPage1Line5},
    {kPage2Line1, kPage2Line2, kPage2Line3, kPage2Line4, kPage2Line5},
    {kPage3Line1, kPage3Line2, kPage3Line3, kPage3Line4, kPage3Line5},
    {kPage4Line1, kPage4Line2, kPage4Line3, kPage4Line4, kPage4Line5},
    {kPage5Line1, kPage5Line2, kPage5Line3, kPage5Line4, kPage5Line5},
};

constexpr bool every_line_ends_in_a_row_that_always_holds() {
    for (const auto& page : kPages)
        for (const LineRows& rows : page)
            if (rows.empty() || rows.back().when != always) return false;
    return true;
}
static_assert(every_line_ends_in_a_row_that_always_holds());

void evaluate_line(int32_t line) {
    HeightAboveGround = height_above_ground();
    Speed = int_of(airspeed());
    if (ChecklistPhase < 1 || ChecklistPhase > 5) return;
    for (const Row& row : kPages[ChecklistPhase - 1][line - 1]) {
        if (!row.when()) continue;
        if (row.argument)
            wsprintfA(format_scratch, row.text, row.argument());
        else
            wsprintfA(format_scratch, row.text);
        set_line_text(line, format_scratch);
        set_line_colour(row.green(), line);
        return;
    }
}

}  // namespace

ModuleLinkage Linkage = module_linkage(&checklist_header);

const GaugeBinding gauge_binding = {
    .header = &checklist_header,
    .mouse_areas = checklist_mouse_areas,
    .standalone_variables = standalone_variables,
    .truncated_values = truncated_values,
    .standalone_count = 4,
};
