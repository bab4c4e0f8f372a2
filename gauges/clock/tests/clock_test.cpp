// The clock on the bench: its records as the host reads them, its hands' values after a host cycle, its
// click areas by pointer position and event bits, and its bitmaps.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "module_test.h"

namespace {

using bench::SentEvent;

template <size_t N>
bool all_zero(const uint8_t (&bytes)[N]) {
    for (uint8_t b : bytes)
        if (b != 0) return false;
    return true;
}

struct Box {
    int32_t x, y, width, height;
};

// clang-format off
// The seven click areas, in table order.
struct AreaRow {
    Box box;
    int32_t cursor;
    uint32_t event;
};
const AreaRow kAreas[] = {
    {{20, 240, 30, 40}, 2, 65657}, {{50, 240, 30, 40}, 1, 65658}, {{230, 240, 30, 40}, 2, 65659},
    {{260, 240, 30, 40}, 1, 65660}, {{230, 5, 60, 40}, 5, 65661},  {{20, 5, 30, 40}, 2, 65790},
    {{50, 5, 30, 40}, 1, 65789},
};
// clang-format on

class Clock : public ModuleTest {
protected:
    Clock() : ModuleTest("brimmet") {}

    std::vector<NeedleElement*> hands() {
        std::vector<NeedleElement*> out;
        for (ElementHeader* element : host().elements())
            if (element->kind == kNeedle) out.push_back(reinterpret_cast<NeedleElement*>(element));
        return out;
    }
    // The mouse list as the host received it.
    MouseArea* mouse_list() {
        for (const bench::HostCall& call : calls())
            if (call.slot == kInstallMouseAreas) return std::get<MouseArea*>(call.arguments[0]);
        return nullptr;
    }
    bench::Bitmap bitmap(int32_t id) {
        bench::Bitmap out;
        std::string error;
        EXPECT_TRUE(host().module().bitmap(id, &out, &error)) << "bitmap " << id << ": " << error;
        return out;
    }
};

TEST_F(Clock, HeaderNamesTheGaugeAndItsRoutines) {
    GaugeHeader* h = header();
    EXPECT_EQ(h->version, 610u);
    EXPECT_STREQ(h->name, "Tolvar-Ardent-Clock-2k-v1s");
    EXPECT_EQ(h->nominal_size, 57u);
    EXPECT_TRUE(h->query && h->install && h->initialize && h->update && h->generate && h->draw && h->kill);
    ASSERT_NE(h->elements[0], nullptr);
    EXPECT_EQ(h->elements[1], nullptr) << "the root list holds the face alone";
    EXPECT_TRUE(all_zero(h->host_28) && all_zero(h->host_30));
}

// clang-format off
TEST_F(Clock, ElementsChainFromTheFaceToTheSecondHand) {
    struct Row {
        uint32_t kind;
        int32_t resource_id, x, y, anchor_x, anchor_y;
        uint32_t image_flags;
    };
    const Row rows[] = {
        {kStaticImage, 1000, 0, 0, 0, 0, 0x4001},  // face
        {kNeedle, 2000, 155, 150, 11, 11, 0x4003},  // hour
        {kNeedle, 3000, 155, 150, 11, 11, 0x4003},  // minute
        {kNeedle, 4000, 155, 150, 51, 7, 0x4003},   // second
    };
    const std::vector<ElementHeader*> elements = host().elements();
    ASSERT_EQ(elements.size(), std::size(rows));
    EXPECT_EQ(elements[0], background());
    for (size_t i = 0; i < elements.size(); ++i) {
        const ElementHeader& e = *elements[i];
        const Row& row = rows[i];
        EXPECT_EQ(e.kind, row.kind) << "element " << i;
        EXPECT_EQ(e.resource_id, row.resource_id) << "element " << i;
        EXPECT_EQ(e.position_x, row.x) << "element " << i;
        EXPECT_EQ(e.position_y, row.y) << "element " << i;
        EXPECT_EQ(e.anchor_x, row.anchor_x) << "element " << i;
        EXPECT_EQ(e.anchor_y, row.anchor_y) << "element " << i;
        EXPECT_EQ(e.image_flags, row.image_flags) << "element " << i;
        // Pointer fields are read by value: the records are packed, so on x86-64 they may be misaligned.
        const GaugeHeader* gauge = e.gauge;
        const FailureRecord* failures = e.failures;
        const ElementList children = e.children;
        EXPECT_EQ(gauge, header()) << "element " << i;
        EXPECT_EQ(failures, nullptr) << "element " << i;
        EXPECT_TRUE(all_zero(e.host_10) && all_zero(e.host_24) && all_zero(e.host_34)) << "element " << i;
        if (i + 1 < elements.size()) {
            ASSERT_NE(children, nullptr) << "element " << i;
            EXPECT_EQ(children[0], elements[i + 1]) << "element " << i;
            EXPECT_EQ(children[1], nullptr) << "element " << i << " has more than one child";
        } else {
            EXPECT_TRUE(children == nullptr || children[0] == nullptr) << "the second hand has children";
        }
    }
    const HostImageRecord* image_record = reinterpret_cast<StaticImageElement*>(background())->image_record;
    EXPECT_EQ(image_record, nullptr);
}
// clang-format on

TEST_F(Clock, NeedlesReadVariablesThreeFourAndFiveThroughTheirOwnTables) {
    struct Row {
        uint32_t source;
        uint32_t point_count;
    };
    const Row rows[] = {{3, 24}, {4, 5}, {5, 5}};
    const auto needles = hands();
    ASSERT_EQ(needles.size(), std::size(rows));
    for (size_t i = 0; i < needles.size(); ++i) {
        const NeedleElement& n = *needles[i];
        EXPECT_EQ(n.source.id, rows[i].source) << "hand " << i;
        const double value = n.source.value;
        const ValueCallback callback = n.value_callback, first_callback = needles[0]->value_callback;
        const NonlinearityPoint* points = n.points;
        EXPECT_EQ(value, 0.0) << "hand " << i;
        EXPECT_EQ(n.point_count, rows[i].point_count) << "hand " << i;
        EXPECT_EQ(n.turn_limit, 360) << "hand " << i;
        EXPECT_NE(callback, nullptr) << "hand " << i;
        EXPECT_EQ(callback, first_callback) << "hand " << i << ": one callback for all";
        EXPECT_TRUE(all_zero(n.host_5c) && all_zero(n.host_7c)) << "hand " << i;
        for (uint32_t r = 0; r < n.point_count; ++r)
            EXPECT_TRUE(all_zero(points[r].host_10)) << "hand " << i << " row " << r;
    }
    const NonlinearityPoint *minutes = needles[1]->points, *seconds = needles[2]->points;
    EXPECT_NE(minutes, seconds) << "minute and second hands share one table";
}

// clang-format off
TEST_F(Clock, HandTablesGiveEachValueItsPointOnTheDial) {
    struct Row {
        int32_t x, y;
        double value;
    };
    // The hour hand goes twice round the dial: rows 12 to 23 repeat the points of rows 0 to 11.
    const std::vector<Row> hours = {
        {155, 50, 0},   {202, 64, 1},   {240, 98, 2},   {250, 146, 3},  {236, 193, 4},  {201, 226, 5},
        {155, 238, 6},  {108, 226, 7},  {72, 194, 8},   {55, 146, 9},   {68, 100, 10},  {106, 63, 11},
        {155, 50, 12},  {202, 64, 13},  {240, 98, 14},  {250, 146, 15}, {236, 193, 16}, {201, 226, 17},
        {155, 238, 18}, {108, 226, 19}, {72, 194, 20},  {55, 146, 21},  {68, 100, 22},  {106, 63, 23},
    };
    // Minutes and seconds go once round, stopping a step short of twelve.
    const std::vector<Row> sixty = {{155, 50, 0}, {250, 146, 15}, {155, 238, 30}, {55, 146, 45}, {145, 50, 59}};
    const std::vector<Row>* tables[] = {&hours, &sixty, &sixty};
    const auto needles = hands();
    ASSERT_EQ(needles.size(), std::size(tables));
    for (size_t hand = 0; hand < needles.size(); ++hand) {
        const std::vector<Row>& expected = *tables[hand];
        ASSERT_EQ(needles[hand]->point_count, expected.size()) << "hand " << hand;
        for (size_t r = 0; r < expected.size(); ++r) {
            const NonlinearityPoint& row = needles[hand]->points[r];
            const double value = row.value;
            EXPECT_EQ(row.x, expected[r].x) << "hand " << hand << " row " << r;
            EXPECT_EQ(row.y, expected[r].y) << "hand " << hand << " row " << r;
            EXPECT_EQ(value, expected[r].value) << "hand " << hand << " row " << r;
        }
    }
}
// clang-format on

TEST_F(Clock, TablePointsLieOnACircleOfAboutAHundredRoundThePivot) {
    for (NeedleElement* needle : hands())
        for (uint32_t r = 0; r < needle->point_count; ++r) {
            const NonlinearityPoint& row = needle->points[r];
            const double distance = std::hypot(row.x - needle->header.position_x, row.y - needle->header.position_y);
            EXPECT_GE(distance, 85) << "resource " << needle->header.resource_id << " row " << r;
            EXPECT_LE(distance, 101) << "resource " << needle->header.resource_id << " row " << r;
        }
}

TEST_F(Clock, MouseListHasParentSevenClicksEndAndTerminator) {
    host().install();
    const MouseArea* areas = mouse_list();
    ASSERT_NE(areas, nullptr);
    auto expect_empty = [](const MouseArea& a, uint32_t kind, const char* what) {
        EXPECT_EQ(a.kind, kind) << what;
        EXPECT_EQ(a.cursor, -1) << what;
        EXPECT_TRUE(a.x == 0 && a.y == 0 && a.width == 0 && a.height == 0) << what;
        EXPECT_TRUE(a.help_id == 0 && a.event_flags == 0 && a.zero_20 == 0 && a.zero_28 == 0) << what;
        const MouseHandler handler = a.handler;
        EXPECT_EQ(handler, nullptr) << what;
    };
    expect_empty(areas[0], kAreaParent, "parent");
    std::vector<MouseHandler> handlers;
    for (size_t i = 0; i < std::size(kAreas); ++i) {
        const MouseArea& a = areas[i + 1];
        const AreaRow& row = kAreas[i];
        EXPECT_EQ(a.kind, kAreaChild) << "area " << i + 1;
        EXPECT_EQ(a.x, row.box.x) << "area " << i + 1;
        EXPECT_EQ(a.y, row.box.y) << "area " << i + 1;
        EXPECT_EQ(a.width, row.box.width) << "area " << i + 1;
        EXPECT_EQ(a.height, row.box.height) << "area " << i + 1;
        EXPECT_EQ(a.cursor, row.cursor) << "area " << i + 1;
        EXPECT_EQ(a.event_flags, 0x20000000u) << "area " << i + 1;
        EXPECT_TRUE(a.help_id == 0 && a.zero_20 == 0 && a.zero_28 == 0) << "area " << i + 1;
        const MouseHandler handler = a.handler;
        EXPECT_NE(handler, nullptr) << "area " << i + 1;
        for (MouseHandler other : handlers) EXPECT_NE(handler, other) << "area " << i + 1 << " shares a handler";
        handlers.push_back(handler);
    }
    expect_empty(areas[8], kAreaEnd, "end");
    expect_empty(areas[9], kAreaAfterEnd, "terminator");
}

TEST_F(Clock, EachAreaSendsItsEventOnceWhereverInItsBoxTheClickFalls) {
    host().install();
    for (const AreaRow& area : kAreas) {
        const Box& b = area.box;
        const std::pair<int32_t, int32_t> points[] = {{b.x, b.y},
                                                      {b.x + b.width - 1, b.y},
                                                      {b.x, b.y + b.height - 1},
                                                      {b.x + b.width - 1, b.y + b.height - 1},
                                                      {b.x + b.width / 2, b.y + b.height / 2}};
        for (auto [x, y] : points) {
            clear_logs();
            int32_t result = -1;
            EXPECT_TRUE(host().pointer_event(x, y, kMouseClick, &result)) << "at (" << x << ", " << y << ")";
            EXPECT_EQ(result, 0) << "at (" << x << ", " << y << ")";
            EXPECT_EQ(events(), (std::vector<SentEvent>{{area.event, 0}})) << "at (" << x << ", " << y << ")";
            EXPECT_EQ(calls().size(), 1u) << "at (" << x << ", " << y << "): the handler did more than send";
        }
    }
}

// clang-format off
TEST_F(Clock, ClicksLandInTheAreaUnderThePointerOrNowhere) {
    struct Case {
        int32_t x, y;
        std::vector<SentEvent> events;
    };
    const Case cases[] = {
        {25, 250, {{65657, 0}}},
        {55, 250, {{65658, 0}}},
        {49, 279, {{65657, 0}}},  // the knob pair meets at x 50
        {50, 240, {{65658, 0}}},
        {49, 5, {{65790, 0}}},    // and so does the top-left pair
        {50, 44, {{65789, 0}}},
        {259, 260, {{65659, 0}}},
        {260, 260, {{65660, 0}}},
        {19, 250, {}},            // just outside the knob pair
        {80, 250, {}},
        {35, 239, {}},
        {35, 280, {}},
        {100, 260, {}},           // between the lower pairs
        {229, 260, {}},
        {290, 260, {}},
        {140, 20, {}},            // between the top areas
        {80, 20, {}},
        {229, 20, {}},
        {260, 4, {}},
        {260, 45, {}},
        {155, 150, {}},           // the dial
        {40, 150, {}},
        {-1, -1, {}},
        {306, 302, {}},
    };
    host().install();
    for (const Case& c : cases) {
        clear_logs();
        host().pointer_event(c.x, c.y, kMouseClick);
        EXPECT_EQ(events(), c.events) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST_F(Clock, DragsAndRepeatsCallNoHandler) {
    host().install();
    for (const AreaRow& area : kAreas)
        for (uint32_t flags : {kMouseDrag, kMouseRepeat, kMouseDrag | kMouseRepeat, ~kMouseClick}) {
            clear_logs();
            const int32_t x = area.box.x + area.box.width / 2, y = area.box.y + area.box.height / 2;
            EXPECT_FALSE(host().pointer_event(x, y, flags)) << "area sending " << area.event << " flags " << std::hex
                                                            << flags;
            EXPECT_TRUE(events().empty()) << "area sending " << area.event << " flags " << std::hex << flags;
        }
}

TEST_F(Clock, HandsShowTheirVariablesUnchanged) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kTiny = std::numeric_limits<double>::denorm_min();
    struct Case {
        double hour, minute, second;
    };
    const Case cases[] = {
        {13.5, 0.0, -0.0},
        {0.0, -0.0, 13.5},
        {-0.0, 59.5, 59.999999999},
        {23.75, 60.0, 4294967296.5},  // beyond the last rows and the 32-bit range: no rounding or clamping
        {1e300, -1e300, -7.25},
        {kInf, -kInf, kTiny},
        {kNaN, 2147483648.25, -2147483649.75},
    };
    host().install();
    const auto needles = hands();
    ASSERT_EQ(needles.size(), 3u);
    for (const Case& c : cases) {
        host().set_variable(3, c.hour);
        host().set_variable(4, c.minute);
        host().set_variable(5, c.second);
        host().cycle();
        const double expected[] = {c.hour, c.minute, c.second};
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(std::bit_cast<uint64_t>(host().values(&needles[i]->header).value),
                      std::bit_cast<uint64_t>(expected[i]))
                << "hand " << i << " shows " << host().values(&needles[i]->header).value << " for " << expected[i];
    }
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(faults().empty());
}
// clang-format on

TEST_F(Clock, InstallHandsTheFaceSizeToTheMouseListAndKillWithdrawsIt) {
    host().install();
    EXPECT_TRUE(faults().empty()) << faults().front();
    const PixelSize size = host().image_size(background());
    EXPECT_EQ((std::pair{size.width, size.height}), (std::pair{306, 302}));
    ASSERT_TRUE(host().mouse_registered());
    host().cycle();
    host().kill();
    clear_logs();
    EXPECT_FALSE(host().pointer_event(25, 250, kMouseClick));
    EXPECT_TRUE(events().empty());
}

// clang-format off
TEST_F(Clock, HandsPointAlongPlusXFromTheirPivotsOnPureBlack) {
    struct Row {
        int32_t id, width, height, pivot_x, pivot_y;
        int32_t from, to;  // the pivot row is drawn without a gap from `from` to `to`
    };
    const Row rows[] = {
        {2000, 88, 23, 11, 11, 3, 84},     // hub, then the hand
        {3000, 116, 23, 11, 11, 3, 112},
        {4000, 155, 15, 51, 7, 4, 152},    // arrowhead and tail, hub, then the hand
    };
    auto black = [](bench::Colour c) { return c == bench::Colour{0, 0, 0}; };
    for (const Row& row : rows) {
        const bench::Bitmap b = bitmap(row.id);
        ASSERT_EQ((std::pair{b.width, b.height}), (std::pair{row.width, row.height})) << "bitmap " << row.id;
        for (auto [x, y] : {std::pair{0, 0}, {b.width - 1, 0}, {0, b.height - 1}, {b.width - 1, b.height - 1}})
            EXPECT_TRUE(black(b.at(x, y))) << "bitmap " << row.id << " at (" << x << ", " << y << ")";
        for (int32_t x = row.from; x <= row.to; ++x)
            EXPECT_FALSE(black(b.at(x, row.pivot_y))) << "bitmap " << row.id << ": a see-through hole at x " << x;
        // Nothing of the hand lies off its axis beyond the hub.
        for (int32_t x = row.pivot_x + 12; x < b.width; ++x) {
            EXPECT_TRUE(black(b.at(x, 0))) << "bitmap " << row.id << " at (" << x << ", 0)";
            EXPECT_TRUE(black(b.at(x, b.height - 1))) << "bitmap " << row.id << " at (" << x << ", " << b.height - 1 << ")";
        }
    }
}
// clang-format on

TEST_F(Clock, FaceHasItsDialRoundThePivotAndBlackCorners) {
    const bench::Bitmap face = bitmap(1000);
    ASSERT_EQ((std::pair{face.width, face.height}), (std::pair{306, 302}));
    auto black = [](bench::Colour c) { return c == bench::Colour{0, 0, 0}; };
    EXPECT_FALSE(black(face.at(155, 150))) << "no centre boss under the hands";
    // Along the axes through the pivot: dial and bezel out to 135 pixels, the black surround from 146 on.
    for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
        for (int32_t d = 0;; ++d) {
            const int32_t x = 155 + dx * d, y = 150 + dy * d;
            if (x < 0 || y < 0 || x >= face.width || y >= face.height) break;
            if (d <= 135) {
                EXPECT_FALSE(black(face.at(x, y))) << "at (" << x << ", " << y << ")";
            } else if (d >= 146) {
                EXPECT_TRUE(black(face.at(x, y))) << "at (" << x << ", " << y << ")";
            }
        }
    for (auto [x, y] : {std::pair{0, 0}, {305, 0}, {0, 301}, {305, 301}})
        EXPECT_TRUE(black(face.at(x, y))) << "at (" << x << ", " << y << ")";
    for (NeedleElement* needle : hands())
        for (uint32_t r = 0; r < needle->point_count; ++r)
            EXPECT_FALSE(black(face.at(needle->points[r].x, needle->points[r].y)))
                << "resource " << needle->header.resource_id << " row " << r << " points off the dial";
}

}  // namespace
