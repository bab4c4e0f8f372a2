// The frame's routines, checked on the bench's call log with the test gauge.
#include <limits>

#include "test_gauge.h"
#include "module_test.h"

namespace {

using bench::CallArgument;
using bench::HostCall;
using bench::SentEvent;
using Arguments = std::vector<CallArgument>;

class FrameRoutines : public ModuleTest {
protected:
    FrameRoutines() : ModuleTest("test_gauge") {}
    uint32_t variable_id(const CallArgument& argument) { return std::get<ModuleVariable*>(argument)->id; }
    std::vector<HostSlot> slots() {
        std::vector<HostSlot> out;
        for (const HostCall& call : calls()) out.push_back(call.slot);
        return out;
    }
};

TEST_F(FrameRoutines, InstallAnnouncesVariablesThenInstallsElementsThenMouseAreas) {
    host().install();
    const auto& log = calls();
    ASSERT_EQ(slots(), (std::vector<HostSlot>{kInitializeVariable, kInitializeVariable, kInstallElements,
                                              kInstallMouseAreas, kRegisterMouseAreas}));
    EXPECT_EQ(variable_id(log[0].arguments[0]), 304u);
    EXPECT_EQ(variable_id(log[1].arguments[0]), 303u);
    EXPECT_EQ(log[2].arguments, (Arguments{background(), host().module().handle()}));
    EXPECT_NE(log[2].arguments[0], CallArgument(reinterpret_cast<ElementHeader*>(header()->elements)))
        << "the root list went where the element belongs";
    auto* image = reinterpret_cast<StaticImageElement*>(background())->image_record;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(log[3].arguments[1], CallArgument(header()));
    const PixelSize* size = std::get<PixelSize*>(log[3].arguments[2]);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(size), reinterpret_cast<const uint8_t*>(image) + 4)
        << "install_mouse_areas gets the background's PixelSize";
    EXPECT_EQ(log[4].arguments, (Arguments{log[3].arguments[0], header()}));
    EXPECT_EQ(size->width, 40);
    EXPECT_EQ(size->height, 30);
}

TEST_F(FrameRoutines, UpdateLooksUpVariablesInOrderBeforeUpdatingElements) {
    host().install();
    clear_logs();
    host().update();
    const auto& log = calls();
    ASSERT_EQ(slots(), (std::vector<HostSlot>{kLookupVariable, kLookupVariable, kUpdateElements}));
    EXPECT_EQ(variable_id(log[0].arguments[0]), 304u);
    EXPECT_EQ(variable_id(log[1].arguments[0]), 303u);
    EXPECT_EQ(log[2].arguments[0], CallArgument(background()));
}

TEST_F(FrameRoutines, ElementRoutinesGetTheBackgroundElement) {
    struct Case {
        void (bench::Host::*routine)();
        HostSlot slot;
    };
    host().install();
    for (const Case& c :
         {Case{&bench::Host::query, kQueryElements}, Case{&bench::Host::initialize, kInitializeElements},
          Case{&bench::Host::draw, kPlotElements}}) {
        clear_logs();
        (host().*c.routine)();
        ASSERT_EQ(calls().size(), 1u) << bench::service_name(c.slot);
        EXPECT_EQ(calls()[0].slot, c.slot);
        EXPECT_EQ(calls()[0].arguments, Arguments{background()});
    }
}

TEST_F(FrameRoutines, GeneratePassesItsArgumentUnchanged) {
    host().install();
    for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        clear_logs();
        host().generate(value);
        ASSERT_EQ(calls().size(), 1u);
        EXPECT_EQ(calls()[0].arguments, (Arguments{background(), value}));
    }
}

TEST_F(FrameRoutines, KillUnregistersTheMouseListBeforeKillingElements) {
    host().install();
    const CallArgument mouse_list = calls()[3].arguments[0];
    clear_logs();
    host().kill();
    ASSERT_EQ(slots(), (std::vector<HostSlot>{kUnregisterMouseAreas, kKillElements}));
    EXPECT_EQ(calls()[0].arguments, (Arguments{mouse_list, header()}));
    EXPECT_EQ(calls()[1].arguments, Arguments{background()});
}

TEST_F(FrameRoutines, StandaloneValuesAreTruncatedTowardZero) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    // Variable 304 holds `value` and 303 its negation; the click sends both truncated.
    struct Case {
        double value;
        int32_t expected, negated;
    };
    const Case cases[] = {
        {2.9, 2, -2},
        {-2.9, -2, 2},
        {7.9, 7, -7},
        {-0.7, 0, 0},
        {0.0, 0, 0},
        {2147483647.0, 2147483647, -2147483647},
        // Outside the 32-bit range: the low 32 bits of the 64-bit truncation.
        {2147483648.0, kMin, kMin},
        {4294967298.5, 2, -2},
        {-2147483649.0, 2147483647, -2147483647},
        {-4294967296.0, 0, 0},
        {6442450943.9, 2147483647, -2147483647},
        // Beyond the 64-bit range and not-a-number: the conversion's "indefinite" value, whose low bits are 0.
        {1e300, 0, 0},
        {-1e300, 0, 0},
        {kNaN, 0, 0},
    };
    host().install();
    for (const Case& c : cases) {
        host().set_variable(304, c.value);
        host().set_variable(303, -c.value);
        clear_logs();
        host().update();
        int32_t result = 0;
        ASSERT_TRUE(host().pointer_event(3, 3, kMouseClick, &result));
        EXPECT_EQ(result, 7);
        EXPECT_EQ(events(), (std::vector<SentEvent>{{test_gauge::kTruncatedEvent, c.expected},
                                                    {test_gauge::kTruncatedEvent, c.negated}}))
            << "value " << c.value;
    }
}

TEST_F(FrameRoutines, CallbacksSeeTheHostsValuesAndWriteIntoItsBuffers) {
    host().install();
    host().set_variable(3, 4.25);
    host().set_variable(500, 4);
    host().cycle();
    const auto elements = host().elements();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(host().values(elements[1]).value, 8.5);
    const auto strings = host().strings();
    ASSERT_EQ(strings.size(), 1u);
    EXPECT_STREQ(strings[0]->text, "xxxx");
    EXPECT_TRUE(faults().empty());
}

TEST_F(FrameRoutines, TheBenchCatchesATextWrittenPastItsBuffer) {
    host().install();
    host().set_variable(500, 5);  // char_count is 4: five characters and the zero need six bytes
    host().cycle();
    ASSERT_EQ(faults().size(), 1u);
    EXPECT_NE(faults()[0].find("text written past its buffer of 5 bytes"), std::string::npos) << faults()[0];
}

TEST_F(FrameRoutines, PointerEventsReachTheFirstMatchingChildAreaUpToTheEndRecord) {
    struct Case {
        int32_t x, y;
        uint32_t flags;
        std::vector<SentEvent> events;
    };
    const Case cases[] = {
        {3, 3, kMouseClick, {{test_gauge::kTruncatedEvent, 0}, {test_gauge::kTruncatedEvent, 0}}},
        {9, 9, kMouseClick, {{test_gauge::kTruncatedEvent, 0}, {test_gauge::kTruncatedEvent, 0}}},
        {10, 3, kMouseClick, {}},  // the box's right edge lies outside it
        {3, 3, kMouseDrag, {}},    // the area under the point listens for clicks only
        {6, -5, kMouseDrag, {{test_gauge::kDragEvent, -5}}},
        {14, 34, kMouseDrag, {{test_gauge::kDragEvent, 34}}},
        {20, 20, kMouseClick, {}},  // only an area after the end record lies here
    };
    host().install();
    host().update();
    for (const Case& c : cases) {
        clear_logs();
        host().pointer_event(c.x, c.y, c.flags);
        EXPECT_EQ(events(), c.events) << "at (" << c.x << ", " << c.y << ") flags " << std::hex << c.flags;
    }
}

TEST_F(FrameRoutines, NoHandlerRunsAfterTheMouseListIsUnregistered) {
    host().install();
    host().kill();
    clear_logs();
    EXPECT_FALSE(host().pointer_event(3, 3, kMouseClick));
    EXPECT_TRUE(events().empty());
}

}  // namespace

namespace {

TEST_F(FrameRoutines, SlotsTheHostDoesNotServeRecordTheCall) {
    HostServiceAddress* services = host().module().services_entry()->target;
    ASSERT_NE(services, nullptr);
    for (uint32_t slot : {0u, 23u, 30u, 35u, 37u, 39u, 41u, 63u}) services[slot]();
    EXPECT_EQ(faults(), (std::vector<std::string>{"unexpected host service 0", "unexpected host service 23",
                                                  "unexpected host service 30", "unexpected host service 35",
                                                  "unexpected host service 37", "unexpected host service 39",
                                                  "unexpected host service 41", "unexpected host service 63"}));
}

}  // namespace
