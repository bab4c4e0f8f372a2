// The default model carries out every event the gauges send, and runs the clock at the host's rate.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "simulator.h"

namespace {

using bench::SentEvent;

class DefaultModel : public ::testing::Test {
protected:
    DefaultModel() : simulator_(bench::default_model(), variables_) { simulator_.start(); }
    double variable(uint32_t id) const { return variables_.get(id); }
    void send(uint32_t event, int32_t value = 0) { simulator_.carry_out({event, value}); }

    bench::VariableStore variables_;
    bench::Simulator simulator_;
};

TEST_F(DefaultModel, EventsMoveTheirVariablesHeldInTheirRanges) {
    struct Case {
        uint32_t event;
        int32_t value;
        uint32_t variable;
        double expected;
    };
    // clang-format off
    const Case cases[] = {
        {65820, 13621, 128, 13621},  {65820, 20000, 128, 16384},  {65820, -9000, 128, -4096},
        {65821, 8481, 163, 8481},    {65821, 16385, 163, 16384},  {65821, -4097, 163, -4096},
        {65706, -512, 318, -512},    {65706, 20000, 318, 16383},  {65706, -20000, 318, -16383},
        {66064, 0, 325, 16383},      {66064, 0, 324, 0},
        {66066, 0, 324, 1},
        {66065, 0, 325, 0},          {66065, 0, 324, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        send(c.event, c.value);
        EXPECT_EQ(variable(c.variable), c.expected) << "event " << c.event << " with " << c.value;
    }
}

TEST_F(DefaultModel, FlapsStepOverTheNineDetentsAndStayAtEitherEnd) {
    send(65759);
    EXPECT_EQ(variable(328), 0) << "already up";
    const double detents[] = {2048, 4096, 6144, 8192, 10240, 12288, 14336, 16383, 16383};
    for (double expected : detents) {
        send(65758);
        EXPECT_EQ(variable(328), expected);
    }
    send(65759);
    EXPECT_EQ(variable(328), 14336);
    // Between two detents, each direction goes to the next one that way.
    variables_.set(328, 5000);
    send(65758);
    EXPECT_EQ(variable(328), 6144);
    variables_.set(328, 5000);
    send(65759);
    EXPECT_EQ(variable(328), 4096);
}

TEST_F(DefaultModel, TheClockStartsAtNineAndRunsEighteenCyclesASecond) {
    EXPECT_EQ(simulator_.time_text(), "09:00:00");
    EXPECT_EQ(variable(3), 9);
    for (int i = 0; i < 17; ++i) simulator_.tick();
    EXPECT_EQ(variable(5), 0) << "17 cycles are less than a second";
    simulator_.tick();
    EXPECT_EQ(variable(5), 1);
    // Seconds carry into minutes and minutes into hours, as a clock does.
    simulator_.set_clock_part(4, 59);
    simulator_.set_clock_part(5, 59);
    for (int i = 0; i < 18; ++i) simulator_.tick();
    EXPECT_EQ(simulator_.time_text(), "10:00:00");
    simulator_.set_clock_part(3, 23);
    simulator_.set_clock_part(4, 59);
    simulator_.set_clock_part(5, 59);
    for (int i = 0; i < 18; ++i) simulator_.tick();
    EXPECT_EQ(simulator_.time_text(), "00:00:00");
}

TEST_F(DefaultModel, TheKnobsSetTheirOwnFieldAndCarryNothing) {
    struct Case {
        const char* from;
        uint32_t event;
        const char* to;
    };
    const Case cases[] = {
        {"09:30:15", 65657, "08:30:15"}, {"00:30:15", 65657, "23:30:15"}, {"23:30:15", 65658, "00:30:15"},
        {"09:00:15", 65659, "09:59:15"}, {"09:59:15", 65660, "09:00:15"}, {"09:30:45", 65661, "09:30:00"},
        {"09:30:45", 65789, "09:30:45"}, {"09:30:45", 65790, "09:30:45"},
    };
    for (const Case& c : cases) {
        int h, m, s;
        std::sscanf(c.from, "%d:%d:%d", &h, &m, &s);
        simulator_.set_clock_part(3, h);
        simulator_.set_clock_part(4, m);
        simulator_.set_clock_part(5, s);
        send(c.event);
        EXPECT_EQ(simulator_.time_text(), c.to) << c.from << " and event " << c.event;
        char shown[16];
        std::snprintf(shown, sizeof shown, "%02d:%02d:%02d", static_cast<int>(variable(3)),
                      static_cast<int>(variable(4)), static_cast<int>(variable(5)));
        EXPECT_EQ(std::string(shown), c.to) << "the variables after " << c.from << " and event " << c.event;
    }
}

TEST_F(DefaultModel, ScenarioSetsOfTheClockAreTruncatedAndWrapped) {
    simulator_.set_clock_part(3, 25.9);
    simulator_.set_clock_part(4, -1);
    simulator_.set_clock_part(5, 61.5);
    EXPECT_EQ(simulator_.time_text(), "01:59:01");
    EXPECT_FALSE(simulator_.set_clock_part(128, 5)) << "not a clock variable";
}

TEST_F(DefaultModel, ButtonEventsAreKeptAsState) {
    send(65907, 1);
    send(65908, 1);
    send(65907, 0);
    EXPECT_EQ(simulator_.kept(), (std::map<uint32_t, int32_t>{{65907, 0}, {65908, 1}}));
}

// Every change is heard once, with its cause; a value that does not change is not.
TEST_F(DefaultModel, ChangesAreToldWithTheirCause) {
    struct Listener : bench::VariableListener {
        std::vector<std::string> heard;
        void variable_changed(uint32_t id, double value, double, const bench::VariableCause& cause) override {
            heard.push_back(std::to_string(id) + "=" + std::to_string(static_cast<int>(value)) + " " +
                            cause.describe());
        }
    } listener;
    variables_.add_listener(&listener);
    send(65820, 100);
    send(65820, 100);
    for (int i = 0; i < 18; ++i) simulator_.tick();
    variables_.set(61, 250);
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"128=100 event 65820", "5=1 clock", "61=250 scenario"}));
    variables_.remove_listener(&listener);
}

}  // namespace
