// The records that define a gauge. The host reads them in place, by these layouts, and keeps its own
// run-time state in the host-owned stretches (named host_XX after their offset; zero in every table).
#pragma once

#include "abi.h"

GAUGE_RECORDS_BEGIN

struct PixelSize {
    int32_t width;
    int32_t height;
};
GAUGE_PIN_SIZE(PixelSize, 8, 0);

struct PixelPoint {
    int32_t x;
    int32_t y;
};
GAUGE_PIN_SIZE(PixelPoint, 8, 0);

struct ModuleVariable {
    uint32_t id;  // host variable number; 0 = empty slot
    uint8_t host_04[8];
    double value;
    uint8_t host_14[8];
};
GAUGE_PIN_SIZE(ModuleVariable, 28, 0);
GAUGE_PIN_FIELD(ModuleVariable, id, 0x00, 0);
GAUGE_PIN_FIELD(ModuleVariable, value, 0x0C, 0);

struct NonlinearityPoint {
    int32_t x;
    int32_t y;
    double value;
    uint8_t host_10[8];
};
GAUGE_PIN_SIZE(NonlinearityPoint, 24, 0);
GAUGE_PIN_FIELD(NonlinearityPoint, x, 0x00, 0);
GAUGE_PIN_FIELD(NonlinearityPoint, y, 0x04, 0);
GAUGE_PIN_FIELD(NonlinearityPoint, value, 0x08, 0);

struct FailureRecord {
    uint32_t failure_key;
    uint32_t failure_action;
};
GAUGE_PIN_SIZE(FailureRecord, 8, 0);
GAUGE_PIN_FIELD(FailureRecord, failure_action, 0x04, 0);

// The three kinds of module function the host calls through the records.
using ValueCallback = double(GAUGE_CALL*)(ModuleVariable* source);
using TextCallback = double(GAUGE_CALL*)(double value);
using MouseHandler = int32_t(GAUGE_CALL*)(PixelPoint* point, uint32_t flags);

// The seven gauge routines, in header order.
using GaugeRoutine = void(GAUGE_CALL*)();
using GaugeInstallRoutine = void(GAUGE_CALL*)(ModuleHandle module);
using GaugeGenerateRoutine = void(GAUGE_CALL*)(uint32_t value);

struct ElementHeader;
using ElementList = ElementHeader**;  // element addresses ended by a null address

enum ElementKind : uint32_t {
    kStaticImage = 0,
    kNeedle = 1,
    kString = 2,
    kSlider = 3,
    kIcon = 4,
    kMovingImage = 5,
};

// image_flags: the one bit whose meaning the host and the modules share. The other bits are drawing flags that
// only the host reads; the tables give them as numbers.
constexpr uint32_t kImageHidden = 0x40000000;  // while set, the element is not shown

// format_flags of a string element: the Win32 text-drawing flags in use.
constexpr uint32_t kTextCentred = 0x1;            // centred horizontally
constexpr uint32_t kTextRight = 0x2;              // against the right edge (neither bit: the left edge)
constexpr uint32_t kTextCentredVertically = 0x4;  // with kTextSingleLine
constexpr uint32_t kTextBottom = 0x8;             // with kTextSingleLine
constexpr uint32_t kTextSingleLine = 0x20;        // one line; the vertical bits place it in the box
constexpr uint32_t kTextKnownFlags = kTextCentred | kTextRight | kTextCentredVertically | kTextBottom | kTextSingleLine;

// Bitmaps that belong together follow an element's resource_id in steps of 3: an icon's images, and a moving
// image's window after its strip.
constexpr int32_t kResourceIdStep = 3;

struct GaugeHeader {
    uint32_t version;
    const char* name;
    ElementList elements;
    GaugeRoutine query;
    GaugeInstallRoutine install;
    GaugeRoutine initialize;
    GaugeRoutine update;
    GaugeGenerateRoutine generate;
    GaugeRoutine draw;
    GaugeRoutine kill;
    uint8_t host_28[4];
    uint32_t nominal_size;
    uint8_t host_30[40];
};
GAUGE_PIN_SIZE(GaugeHeader, 88, 9);
GAUGE_PIN_FIELD(GaugeHeader, version, 0x00, 0);
GAUGE_PIN_FIELD(GaugeHeader, name, 0x04, 0);
GAUGE_PIN_FIELD(GaugeHeader, elements, 0x08, 1);
GAUGE_PIN_FIELD(GaugeHeader, query, 0x0C, 2);
GAUGE_PIN_FIELD(GaugeHeader, install, 0x10, 3);
GAUGE_PIN_FIELD(GaugeHeader, initialize, 0x14, 4);
GAUGE_PIN_FIELD(GaugeHeader, update, 0x18, 5);
GAUGE_PIN_FIELD(GaugeHeader, generate, 0x1C, 6);
GAUGE_PIN_FIELD(GaugeHeader, draw, 0x20, 7);
GAUGE_PIN_FIELD(GaugeHeader, kill, 0x24, 8);
GAUGE_PIN_FIELD(GaugeHeader, host_28, 0x28, 9);
GAUGE_PIN_FIELD(GaugeHeader, nominal_size, 0x2C, 9);
GAUGE_PIN_FIELD(GaugeHeader, host_30, 0x30, 9);

struct ElementHeader {
    uint32_t kind;  // ElementKind
    int32_t resource_id;
    int32_t position_x;
    int32_t position_y;
    uint8_t host_10[8];
    int32_t anchor_x;
    int32_t anchor_y;
    GaugeHeader* gauge;
    uint8_t host_24[4];
    ElementList children;
    FailureRecord* failures;
    uint32_t image_flags;
    uint8_t host_34[8];
};
GAUGE_PIN_SIZE(ElementHeader, 60, 3);
GAUGE_PIN_FIELD(ElementHeader, kind, 0x00, 0);
GAUGE_PIN_FIELD(ElementHeader, resource_id, 0x04, 0);
GAUGE_PIN_FIELD(ElementHeader, position_x, 0x08, 0);
GAUGE_PIN_FIELD(ElementHeader, position_y, 0x0C, 0);
GAUGE_PIN_FIELD(ElementHeader, host_10, 0x10, 0);
GAUGE_PIN_FIELD(ElementHeader, anchor_x, 0x18, 0);
GAUGE_PIN_FIELD(ElementHeader, anchor_y, 0x1C, 0);
GAUGE_PIN_FIELD(ElementHeader, gauge, 0x20, 0);
GAUGE_PIN_FIELD(ElementHeader, host_24, 0x24, 1);
GAUGE_PIN_FIELD(ElementHeader, children, 0x28, 1);
GAUGE_PIN_FIELD(ElementHeader, failures, 0x2C, 2);
GAUGE_PIN_FIELD(ElementHeader, image_flags, 0x30, 3);
GAUGE_PIN_FIELD(ElementHeader, host_34, 0x34, 3);

// The host's record of a loaded bitmap; a module relies only on the size at 4 bytes in.
struct HostImageRecord {
    uint32_t host_00;
    PixelSize size;
};
GAUGE_PIN_FIELD(HostImageRecord, size, 0x04, 0);

struct StaticImageElement {
    ElementHeader header;
    HostImageRecord* image_record;
    uint8_t host_40[16];
};
GAUGE_PIN_SIZE(StaticImageElement, 80, 4);
GAUGE_PIN_FIELD(StaticImageElement, image_record, 0x3C, 3);
GAUGE_PIN_FIELD(StaticImageElement, host_40, 0x40, 4);

struct NeedleElement {
    ElementHeader header;
    ModuleVariable source;
    ValueCallback value_callback;
    uint8_t host_5c[20];
    NonlinearityPoint* points;
    uint32_t point_count;
    int32_t turn_limit;
    uint8_t host_7c[100];
};
GAUGE_PIN_SIZE(NeedleElement, 224, 5);
GAUGE_PIN_FIELD(NeedleElement, source, 0x3C, 3);
GAUGE_PIN_FIELD(NeedleElement, value_callback, 0x58, 3);
GAUGE_PIN_FIELD(NeedleElement, host_5c, 0x5C, 4);
GAUGE_PIN_FIELD(NeedleElement, points, 0x70, 4);
GAUGE_PIN_FIELD(NeedleElement, point_count, 0x74, 5);
GAUGE_PIN_FIELD(NeedleElement, turn_limit, 0x78, 5);
GAUGE_PIN_FIELD(NeedleElement, host_7c, 0x7C, 5);

struct StringElement {
    ElementHeader header;
    ModuleVariable sources[3];
    uint8_t host_90[36];
    TextCallback text_callback;
    char* text;
    uint8_t host_bc[4];
    int32_t width;
    int32_t height;
    uint8_t host_c8[8];
    uint32_t fore_colour;
    uint32_t back_colour;
    uint32_t third_colour;
    uint8_t host_dc[28];
    char font_face[32];
    uint32_t font_weight;
    uint32_t charset;
    uint32_t format_flags;
    uint32_t char_count;
    uint8_t host_128[16];
};
GAUGE_PIN_SIZE(StringElement, 312, 5);
GAUGE_PIN_FIELD(StringElement, sources, 0x3C, 3);
GAUGE_PIN_FIELD(StringElement, host_90, 0x90, 3);
GAUGE_PIN_FIELD(StringElement, text_callback, 0xB4, 3);
GAUGE_PIN_FIELD(StringElement, text, 0xB8, 4);
GAUGE_PIN_FIELD(StringElement, host_bc, 0xBC, 5);
GAUGE_PIN_FIELD(StringElement, width, 0xC0, 5);
GAUGE_PIN_FIELD(StringElement, height, 0xC4, 5);
GAUGE_PIN_FIELD(StringElement, host_c8, 0xC8, 5);
GAUGE_PIN_FIELD(StringElement, fore_colour, 0xD0, 5);
GAUGE_PIN_FIELD(StringElement, back_colour, 0xD4, 5);
GAUGE_PIN_FIELD(StringElement, third_colour, 0xD8, 5);
GAUGE_PIN_FIELD(StringElement, host_dc, 0xDC, 5);
GAUGE_PIN_FIELD(StringElement, font_face, 0xF8, 5);
GAUGE_PIN_FIELD(StringElement, font_weight, 0x118, 5);
GAUGE_PIN_FIELD(StringElement, charset, 0x11C, 5);
GAUGE_PIN_FIELD(StringElement, format_flags, 0x120, 5);
GAUGE_PIN_FIELD(StringElement, char_count, 0x124, 5);
GAUGE_PIN_FIELD(StringElement, host_128, 0x128, 5);

struct SliderAxis {
    ModuleVariable source;
    ValueCallback callback;
    double scale;  // pixels moved per unit of value
    uint8_t host_28[4];
};
GAUGE_PIN_SIZE(SliderAxis, 44, 1);
GAUGE_PIN_FIELD(SliderAxis, callback, 0x1C, 0);
GAUGE_PIN_FIELD(SliderAxis, scale, 0x20, 1);
GAUGE_PIN_FIELD(SliderAxis, host_28, 0x28, 1);

struct SliderElement {
    ElementHeader header;
    SliderAxis x_axis;
    SliderAxis y_axis;
    uint8_t host_94[20];
};
GAUGE_PIN_SIZE(SliderElement, 168, 5);
GAUGE_PIN_FIELD(SliderElement, x_axis, 0x3C, 3);
GAUGE_PIN_FIELD(SliderElement, y_axis, 0x68, 4);
GAUGE_PIN_FIELD(SliderElement, host_94, 0x94, 5);

struct IconElement {
    ElementHeader header;
    ModuleVariable source;
    ValueCallback value_callback;
    uint8_t host_5c[20];
    uint32_t image_count;
    uint8_t host_74[16];
};
GAUGE_PIN_SIZE(IconElement, 132, 4);
GAUGE_PIN_FIELD(IconElement, source, 0x3C, 3);
GAUGE_PIN_FIELD(IconElement, value_callback, 0x58, 3);
GAUGE_PIN_FIELD(IconElement, host_5c, 0x5C, 4);
GAUGE_PIN_FIELD(IconElement, image_count, 0x70, 4);
GAUGE_PIN_FIELD(IconElement, host_74, 0x74, 4);

// The bitmap of image `index` (from 0) of an icon.
constexpr int32_t icon_image_id(const IconElement& icon, uint32_t index) {
    return icon.header.resource_id + kResourceIdStep * static_cast<int32_t>(index);
}

struct MovingAxis {
    ModuleVariable source;
    ValueCallback callback;
    double range_from;  // mapped onto one end of the strip's travel
    double range_to;    // and this onto the other; either order is valid
    uint8_t host_30[4];
};
GAUGE_PIN_SIZE(MovingAxis, 52, 1);
GAUGE_PIN_FIELD(MovingAxis, callback, 0x1C, 0);
GAUGE_PIN_FIELD(MovingAxis, range_from, 0x20, 1);
GAUGE_PIN_FIELD(MovingAxis, range_to, 0x28, 1);
GAUGE_PIN_FIELD(MovingAxis, host_30, 0x30, 1);

struct MovingImageElement {
    ElementHeader header;
    MovingAxis x_axis;
    MovingAxis y_axis;
    uint8_t host_a4[80];
};
GAUGE_PIN_SIZE(MovingImageElement, 244, 5);
GAUGE_PIN_FIELD(MovingImageElement, x_axis, 0x3C, 3);
GAUGE_PIN_FIELD(MovingImageElement, y_axis, 0x70, 4);
GAUGE_PIN_FIELD(MovingImageElement, host_a4, 0xA4, 5);

// A moving image's strip is its resource_id; its window, the mask the strip shows through, is the next in step.
constexpr int32_t strip_id(const MovingImageElement& moving) { return moving.header.resource_id; }
constexpr int32_t window_id(const MovingImageElement& moving) { return moving.header.resource_id + kResourceIdStep; }

enum MouseAreaKind : uint32_t {
    kAreaAfterEnd = 0,  // the record after the end record; describes no area
    kAreaParent = 1,
    kAreaChild = 2,
    kAreaEnd = 3,
};

// event_flags bits in use.
constexpr uint32_t kMouseClick = 0x20000000;
constexpr uint32_t kMouseRepeat = 0x00200000;
constexpr uint32_t kMouseDrag = 0x00800000;

struct MouseArea {
    uint32_t kind;  // MouseAreaKind
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t cursor;
    uint32_t help_id;
    uint32_t event_flags;
    uint32_t zero_20;
    MouseHandler handler;
    uint32_t zero_28;
};
GAUGE_PIN_SIZE(MouseArea, 44, 1);
GAUGE_PIN_FIELD(MouseArea, kind, 0x00, 0);
GAUGE_PIN_FIELD(MouseArea, x, 0x04, 0);
GAUGE_PIN_FIELD(MouseArea, y, 0x08, 0);
GAUGE_PIN_FIELD(MouseArea, width, 0x0C, 0);
GAUGE_PIN_FIELD(MouseArea, height, 0x10, 0);
GAUGE_PIN_FIELD(MouseArea, cursor, 0x14, 0);
GAUGE_PIN_FIELD(MouseArea, help_id, 0x18, 0);
GAUGE_PIN_FIELD(MouseArea, event_flags, 0x1C, 0);
GAUGE_PIN_FIELD(MouseArea, zero_20, 0x20, 0);
GAUGE_PIN_FIELD(MouseArea, handler, 0x24, 0);
GAUGE_PIN_FIELD(MouseArea, zero_28, 0x28, 1);

GAUGE_RECORDS_END
