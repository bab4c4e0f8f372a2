// The quadrant's mouse areas and handlers, driven through the bench by pointer position and event bits.
#include <set>
#include <string>
#include <vector>

#include "module_test.h"

namespace {

using bench::SentEvent;

constexpr uint32_t kLever1 = 65820, kLever2 = 65821, kTrim = 65706;
constexpr uint32_t kFlapsUp = 65759, kFlapsDown = 65758;
constexpr uint32_t kSpoilerDn = 66065, kSpoilerExt = 66064, kSpoilerArm = 66066;

// Points inside each lever strip, clear of its edges.
constexpr int32_t kLever1X = 85, kLever2X = 160, kBetweenX = 122;
// Points inside the three trim areas.
constexpr int32_t kTrimX = 20, kTrimMinusY = 10, kTrimCentreY = 40, kTrimPlusY = 70;

class QuadrantInput : public ModuleTest {
protected:
    QuadrantInput() : ModuleTest("quandle") {}
    void SetUp() override {
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        host().install();
        for (const bench::HostCall& call : calls())
            if (call.slot == kInstallMouseAreas) mouse_list_ = std::get<MouseArea*>(call.arguments[0]);
        ASSERT_NE(mouse_list_, nullptr);
    }
    // What one pointer event sends; every handler returns 0.
    std::vector<SentEvent> send(int32_t x, int32_t y, uint32_t flags) {
        clear_logs();
        int32_t result = -1;
        const bool handled = host().pointer_event(x, y, flags, &result);
        if (handled) {
            EXPECT_EQ(result, 0) << "at (" << x << ", " << y << ")";
        }
        return events();
    }
    HostImageRecord*& background_image() { return reinterpret_cast<StaticImageElement*>(background())->image_record; }
    const MouseArea* mouse_list_ = nullptr;
};

// clang-format off
TEST_F(QuadrantInput, LeverStripsSendThePointerHeightAsALeverValue) {
    struct Row {
        int32_t height, y, value;
    };
    // The real background is 85 high, so the zero row is 63 and a row is worth 16384 / 63.75. The height is
    // read at every call: rows at 100 high lie between rows at 85.
    const Row rows[] = {
        {85, 63, 0},     {85, 62, 257},  {85, 64, -257},  {85, 0, 16191}, {85, -1, 16384}, {85, -75, 16384},
        {100, 0, 16384}, {100, 75, 0},   {100, 76, -218},
        {85, 78, -3855}, {85, 79, -4096}, {85, 224, -4096},
    };
    for (const Row& row : rows) {
        background_image()->size.height = row.height;
        EXPECT_EQ(send(kLever1X, row.y, kMouseDrag), (std::vector<SentEvent>{{kLever1, row.value}}))
            << "height " << row.height << ", y " << row.y;
        EXPECT_EQ(send(kLever2X, row.y, kMouseDrag), (std::vector<SentEvent>{{kLever2, row.value}}))
            << "height " << row.height << ", y " << row.y;
        EXPECT_EQ(send(kBetweenX, row.y, kMouseDrag),
                  (std::vector<SentEvent>{{kLever1, row.value}, {kLever2, row.value}}))
            << "height " << row.height << ", y " << row.y;
    }
}

TEST_F(QuadrantInput, LeverStripsSendNothingWithoutABackgroundHeight) {
    HostImageRecord* const record = background_image();
    struct Case {
        const char* what;
        HostImageRecord* image;
        int32_t height;
    };
    for (const Case& c : {Case{"height 0", record, 0}, Case{"negative height", record, -85},
                          Case{"no image record", nullptr, 85}}) {
        record->size.height = c.height;
        background_image() = c.image;
        for (int32_t x : {kLever1X, kLever2X, kBetweenX}) {
            ASSERT_NE(host().area_at(x, 63, kMouseDrag), nullptr);
            EXPECT_EQ(send(x, 63, kMouseDrag), std::vector<SentEvent>{}) << c.what << ", x " << x;
        }
    }
    background_image() = record;
    record->size.height = 85;
}
// clang-format on

TEST_F(QuadrantInput, TrimStepsMoveTheHostsTrimAndStopOnlyAtTheEndTheyMoveToward) {
    struct Case {
        double trim;
        int32_t minus, plus;
    };
    const Case cases[] = {
        {16383.0, 16383 - 512, 16383},
        {-16383.0, -16383, -16383 + 512},
        {100.9, -412, 612},  // truncated to 100 first
        {-100.9, -612, 412},
        {16383.0 + 513, 16384, 16383},  // a downward step has no upper stop
        // Near the 32-bit ends the step must not wrap past its stop.
        {2147483647.0, 2147483647 - 512, 16383},
        {-2147483648.0, -16383, -2147483647 - 1 + 512},
    };
    for (const Case& c : cases) {
        host().set_variable(318, c.trim);
        for (auto [y, expected] : {std::pair{kTrimMinusY, c.minus}, std::pair{kTrimPlusY, c.plus}}) {
            EXPECT_EQ(send(kTrimX, y, kMouseClick), (std::vector<SentEvent>{{kTrim, expected}}))
                << "trim " << c.trim << ", y " << y;
            // The value comes from looking up 318 now, not from an element's copy of it.
            ASSERT_EQ(calls().size(), 2u);
            EXPECT_EQ(calls()[0].slot, kLookupVariable);
            EXPECT_EQ(std::get<ModuleVariable*>(calls()[0].arguments[0])->id, 318u);
            EXPECT_EQ(calls()[1].slot, kSendEvent);
        }
    }
}

TEST_F(QuadrantInput, TrimCentreAlwaysSendsZero) {
    for (double trim : {0.0, 16383.0, -16383.0, 5000.5}) {
        host().set_variable(318, trim);
        host().update();
        EXPECT_EQ(send(kTrimX, kTrimCentreY, kMouseClick), (std::vector<SentEvent>{{kTrim, 0}})) << "trim " << trim;
        EXPECT_EQ(calls().size(), 1u) << "the centre reads no variable";
    }
}

TEST_F(QuadrantInput, TheRoutinesNeitherAnnounceNorLookUpAVariable) {
    // The log still holds the install; only the trim steps look 318 up.
    host().cycle();
    host().kill();
    for (const bench::HostCall& call : calls()) {
        EXPECT_NE(call.slot, kInitializeVariable);
        EXPECT_NE(call.slot, kLookupVariable);
    }
}

// clang-format off
// Every area answers at each corner of its box and at its centre, on its own event bits only, and not beyond.
TEST_F(QuadrantInput, EachAreaAnswersAllOverItsBoxOnItsOwnEvents) {
    struct Area {
        const char* name;
        int32_t x, y, width, height, cursor;
        uint32_t flags, other_flags;  // what it listens for; event bits it ignores
        std::vector<uint32_t> events;
        bool sends_zero;
    };
    const Area areas[] = {
        {"lever 1", 63, -75, 45, 300, 5, kMouseDrag, kMouseClick | kMouseRepeat, {kLever1}, false},
        {"lever 2", 137, -75, 45, 300, 5, kMouseDrag, kMouseClick | kMouseRepeat, {kLever2}, false},
        {"between the levers", 110, -75, 25, 300, 5, kMouseDrag, kMouseClick | kMouseRepeat, {kLever1, kLever2},
         false},
        {"flaps up", 210, -50, 35, 70, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kFlapsUp}, true},
        {"flaps down", 210, 50, 35, 70, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kFlapsDown}, true},
        {"spoiler dn", 252, -50, 45, 56, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kSpoilerDn}, true},
        {"spoiler ext", 252, 50, 45, 60, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kSpoilerExt}, true},
        {"spoiler arm", 252, 20, 45, 20, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kSpoilerArm}, true},
        {"trim minus", 0, 0, 40, 20, 2, kMouseClick, kMouseDrag, {kTrim}, false},
        {"trim minus held", 0, 0, 40, 20, 2, kMouseRepeat, kMouseDrag, {kTrim}, false},
        {"trim centre", 0, 30, 40, 20, 5, kMouseClick, kMouseDrag | kMouseRepeat, {kTrim}, true},
        {"trim plus", 0, 60, 40, 20, 1, kMouseClick, kMouseDrag, {kTrim}, false},
        {"trim plus held", 0, 60, 40, 20, 1, kMouseRepeat, kMouseDrag, {kTrim}, false},
    };
    for (const Area& a : areas) {
        const int32_t right = a.x + a.width - 1, bottom = a.y + a.height - 1;
        const std::pair<int32_t, int32_t> points[] = {
            {a.x, a.y}, {right, a.y}, {a.x, bottom}, {right, bottom}, {a.x + a.width / 2, a.y + a.height / 2}};
        for (auto [x, y] : points) {
            const std::string where = std::string(a.name) + " at (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            const MouseArea* area = host().area_at(x, y, a.flags);
            ASSERT_NE(area, nullptr) << where;
            EXPECT_EQ(area->cursor, a.cursor) << where;
            const std::vector<SentEvent> sent = send(x, y, a.flags);
            std::vector<uint32_t> ids;
            for (const SentEvent& e : sent) {
                ids.push_back(e.id);
                if (a.sends_zero) {
                    EXPECT_EQ(e.value, 0) << where;
                }
            }
            EXPECT_EQ(ids, a.events) << where;
            EXPECT_EQ(send(x, y, a.other_flags), std::vector<SentEvent>{}) << where << " on bits it ignores";
        }
        // One pixel past each edge lies outside the box.
        const int32_t cx = a.x + a.width / 2, cy = a.y + a.height / 2;
        const MouseArea* own = host().area_at(cx, cy, a.flags);
        for (auto [x, y] : {std::pair{a.x - 1, cy}, std::pair{right + 1, cy}, std::pair{cx, a.y - 1},
                            std::pair{cx, bottom + 1}})
            EXPECT_NE(host().area_at(x, y, a.flags), own) << a.name << " reaches (" << x << ", " << y << ")";
    }
}

TEST_F(QuadrantInput, TheMouseListIsOneParentElevenDisjointChildrenAndItsEnd) {
    const MouseArea* list = mouse_list_;
    EXPECT_EQ(list[0].kind, kAreaParent);
    EXPECT_EQ(list[12].kind, kAreaEnd);
    EXPECT_EQ(list[13].kind, kAreaAfterEnd);
    for (size_t i : {0u, 12u, 13u}) {
        EXPECT_EQ(list[i].cursor, -1) << "record " << i;
        EXPECT_EQ(list[i].x | list[i].y | list[i].width | list[i].height, 0) << "record " << i;
        EXPECT_EQ(list[i].event_flags, 0u) << "record " << i;
        EXPECT_TRUE(list[i].handler == nullptr) << "record " << i;
    }
    std::set<MouseHandler> handlers;
    for (size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(list[i].help_id, 0u) << "record " << i;
        EXPECT_EQ(list[i].zero_20, 0u) << "record " << i;
        EXPECT_EQ(list[i].zero_28, 0u) << "record " << i;
        if (i < 1 || i > 11) continue;
        EXPECT_EQ(list[i].kind, kAreaChild) << "record " << i;
        handlers.insert(+list[i].handler);
    }
    EXPECT_EQ(handlers.size(), 11u) << "each child has a handler of its own";
    for (size_t i = 1; i <= 11; ++i)
        for (size_t j = i + 1; j <= 11; ++j) {
            const MouseArea &a = list[i], &b = list[j];
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                               b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << "records " << i << " and " << j << " overlap";
        }
}
// clang-format on

}  // namespace
