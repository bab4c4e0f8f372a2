// The checklist's pages on the bench: which row each line takes, in which colour, from the host's variables.
#include "checklist_fixture.h"

namespace checklist_test {
namespace {

constexpr uint32_t G = kGreen;
constexpr uint32_t R = kRed;

using CheckedLines = std::vector<Line>;

// clang-format off
TEST_F(Checklist, EachPageWritesItsFiveLinesWithAllInputsZero) {
    // All inputs 0: no speed, no height, flaps up, gear and spoilers up, brakes off, no fuel.
    const CheckedLines pages[5] = {
        {{"BEFORE T/O CHECK", G}, {"ATIS - CHECK", G}, {"RADIO CALL - MAKE", G}, {"FLAPS - POS. 3", R},
         {"TAXI", G}},
        {{"TAKEOFF CHECK", G}, {"BRAKES - SET", R}, {"FLAPS - POS. 3", R}, {"GEAR - DOWN", R},
         {"POWER - ADJUST", G}},
        {{"CRUISE CHECK", G}, {"POWER - ADJUST", G}, {"CRUISE DATA", G}, {"FUEL - 0", G}, {"RANGE - -4439", G}},
        {{"APPROACH CHECK", G}, {"FLAPS - POS. 3", R}, {"GEAR - DOWN", R}, {"SPOILERS - ARMED", R},
         {"ATIS - CHECK", G}},
        {{"LANDING CHECK", G}, {"BRAKES - APPLY", G}, {"THROTTLE - ADJUST", G}, {"TAXI", G}, {" ", G}},
    };
    // Every page after every other, so that no line passes for right by keeping an earlier page's text.
    for (int previous = 1; previous <= 5; ++previous) {
        for (int page = 1; page <= 5; ++page) {
            show(previous);
            EXPECT_EQ(show(page), pages[page - 1]) << "page " << page << " after page " << previous;
            expect_no_faults("page " + std::to_string(page));
        }
    }
}
// clang-format on

struct RowCase {
    int page;
    int line;
    Variables variables;
    const char* text;
    uint32_t colour;
};

TEST_F(Checklist, RowsAndColoursAtTheirThresholds) {
    const RowCase cases[] = {
        // Page 1: the flap item asks for class 3.
        {1, 4, {{328, 4500}}, "FLAPS - POS. 3", G},
        {1, 4, {{328, 4499}}, "FLAPS - POS. 3", R},

        // Page 2, line 2: brake release is due above 15000 (truncated); the brakes are set above 30000.0.
        {2, 2, {{128, 15000}}, "BRAKES - SET", R},
        {2, 2, {{128, 15000.9}}, "BRAKES - SET", R},
        {2, 2, {{128, 15000}, {323, 30000.0}}, "BRAKES - SET", R},
        {2, 2, {{128, 15000}, {323, 30000.001}}, "BRAKES - SET", G},
        {2, 2, {{128, 15001}}, "BRAKES - RELEASE", G},
        {2, 2, {{128, 15001}, {323, 30000.0}}, "BRAKES - RELEASE", G},
        {2, 2, {{128, 15001}, {323, 30000.5}}, "BRAKES - RELEASE", R},

        // Page 2, line 3: the flap setting for the speed, truncated.
        {2, 3, {{61, 174.9}}, "FLAPS - POS. 3", R},
        {2, 3, {{61, 174.9}, {328, 4500}}, "FLAPS - POS. 3", G},
        {2, 3, {{61, 175}, {328, 2500}}, "FLAPS - POS. 2", G},
        {2, 3, {{61, 198.9}, {328, 2500}}, "FLAPS - POS. 2", G},
        {2, 3, {{61, 199}, {328, 500}}, "FLAPS - POS. 1", G},
        {2, 3, {{61, 223}, {328, 2499}}, "FLAPS - POS. 1", G},
        {2, 3, {{61, 224}}, "FLAPS - UP", G},
        {2, 3, {{61, 224}, {328, 500}}, "FLAPS - UP", R},
        {2, 3, {{61, 225}}, "FLAPS - UP", G},
        {2, 3, {{61, 225.9}, {328, 499}}, "FLAPS - UP", G},
        {2, 3, {{61, 226}, {328, 17000}}, "FLAPS - UP", G},

        // clang-format off
        // Page 2, line 4: gear up from 50 above ground or from speed 170.
        {2, 4, {{74, 50}}, "GEAR - UP", G},
        {2, 4, {{74, 50}, {331, 999}}, "GEAR - UP", G},
        {2, 4, {{74, 50}, {331, 1000}}, "GEAR - UP", R},
        {2, 4, {{74, 49}}, "GEAR - DOWN", R},
        {2, 4, {{74, 49}, {331, 10000}}, "GEAR - DOWN", R},
        {2, 4, {{74, 49}, {331, 10001}}, "GEAR - DOWN", G},
        {2, 4, {{74, 49}, {61, 170}}, "GEAR - UP", G},
        {2, 4, {{74, 49}, {61, 169.9}, {331, 10001}}, "GEAR - DOWN", G},
        // H = int(74) - int(2 / 256 x 3.2842): only the product is truncated, after the scaling.
        {2, 4, {{74, 53}, {2, 255}}, "GEAR - UP", G},    // 53 - 3
        {2, 4, {{74, 50}, {2, 255}}, "GEAR - DOWN", R},  // 50 - 3
        {2, 4, {{74, 50.9}, {2, 77}}, "GEAR - UP", G},   // 50 - int(0.988)
        {2, 4, {{74, 1000}, {2, 100000}}, "GEAR - DOWN", R},  // H = -282
        {2, 4, {{2, 100000}, {61, 170}}, "GEAR - UP", G},     // H = -1282: the speed decides
        // clang-format on

        // Page 4, line 2: flaps by height first, then by speed, then by the gear.
        {4, 2, {{74, 5000}}, "FLAPS - UP", G},
        {4, 2, {{74, 4999}, {61, 229}}, "FLAPS - POS. 1", R},
        {4, 2, {{74, 4999}, {61, 229}, {328, 500}}, "FLAPS - POS. 1", G},
        {4, 2, {{74, 4999}, {61, 230}}, "FLAPS - UP", G},
        {4, 2, {{74, 5002}, {2, 255}}, "FLAPS - POS. 1", R},  // H = 4999
        {4, 2, {{74, 3000}, {328, 500}}, "FLAPS - POS. 1", G},
        {4, 2, {{74, 2999}, {61, 220}, {328, 500}}, "FLAPS - POS. 1", G},
        {4, 2, {{74, 2999}, {61, 219}, {328, 2500}}, "FLAPS - POS. 2", G},
        {4, 2, {{74, 2000}, {328, 2500}}, "FLAPS - POS. 2", G},
        {4, 2, {{74, 1999}, {61, 200}, {328, 4499}}, "FLAPS - POS. 2", G},
        {4, 2, {{74, 1999}, {61, 199}, {331, 10001}, {328, 14800}}, "FLAPS - FULL DOWN", G},
        {4, 2, {{74, 1999}, {61, 199}, {331, 10001}, {328, 14799}}, "FLAPS - FULL DOWN", R},
        {4, 2, {{74, 1999}, {61, 199}, {331, 10000}, {328, 4500}}, "FLAPS - POS. 3", G},
        {4, 2, {{2, 100000}, {61, 230}}, "FLAPS - UP", G},  // H = -1282
        {4, 2, {{2, 100000}, {331, 10001}, {328, 16999}}, "FLAPS - FULL DOWN", G},

        // Page 4, line 3.
        {4, 3, {{74, 2500}}, "GEAR - UP", G},
        {4, 3, {{74, 2500}, {331, 1000}}, "GEAR - UP", R},
        {4, 3, {{74, 2499}, {61, 210}}, "GEAR - UP", G},
        {4, 3, {{74, 2499}, {61, 209}}, "GEAR - DOWN", R},
        {4, 3, {{74, 2499}, {61, 209}, {331, 10001}}, "GEAR - DOWN", G},

        // Page 4, line 4: "armed" is the float 1.0 exactly. The longest text, 19 characters, shows whole.
        {4, 4, {{74, 2500}}, "SPOILERS - DISARMED", G},
        {4, 4, {{74, 2500}, {324, 1.0}}, "SPOILERS - DISARMED", R},
        {4, 4, {{74, 2499}, {324, 1.0}}, "SPOILERS - ARMED", G},
        {4, 4, {{74, 2499}, {324, 0.999}}, "SPOILERS - ARMED", R},
        {4, 4, {{74, 2499}, {324, 1.5}}, "SPOILERS - ARMED", R},

        // Page 5, line 3: deploy from speed 60; below it the spoilers decide.
        {5, 3, {{61, 60}}, "SPOILERS - DEPLOY", R},
        {5, 3, {{61, 60}, {325, 10000}}, "SPOILERS - DEPLOY", R},
        {5, 3, {{61, 60}, {325, 10001}}, "SPOILERS - DEPLOY", G},
        {5, 3, {{61, 59.9}, {325, 999.9}}, "THROTTLE - ADJUST", G},
        {5, 3, {{61, 59}, {325, 1000}}, "SPOILERS - RETRACT", R},
        {5, 3, {{61, 59}, {325, 10001}}, "SPOILERS - RETRACT", R},
    };
    for (const RowCase& c : cases) {
        const CheckedLines shown = show(c.page, c.variables);
        EXPECT_EQ(shown[c.line - 1], (Line{c.text, c.colour}))
            << "page " << c.page << " line " << c.line << " with " << describe(c.variables);
        expect_no_faults("page " + std::to_string(c.page) + " with " + describe(c.variables));
    }
}

// clang-format off
TEST_F(Checklist, FlapDetentClassesAtTheirBounds) {
    // Each flap item asks for one class; a value's class is the one whose item turns green.
    struct Probe {
        int page;
        int line;
        Variables variables;
        const char* text;
        int32_t asks_for;
    };
    const Probe probes[] = {
        {2, 3, {{61, 230}}, "FLAPS - UP", 0},
        {2, 3, {{61, 200}}, "FLAPS - POS. 1", 1},
        {2, 3, {{61, 180}}, "FLAPS - POS. 2", 2},
        {2, 3, {{61, 0}}, "FLAPS - POS. 3", 3},
        {4, 2, {{331, 10001}}, "FLAPS - FULL DOWN", 8},
    };
    struct Case {
        double value;
        int32_t flap_class;  // -1: one of 4 to 7, for which no item asks
    };
    const Case cases[] = {
        {-1, 0},      {0, 0},       {499, 0},     {499.9, 0},   {500, 1},     {2499, 1},    {2500, 2},
        {4499, 2},    {4500, 3},    {6499, 3},    {6500, -1},   {8599, -1},   {8600, -1},   {10600, -1},
        {12700, -1},  {14799, -1},  {14800, 8},   {16999, 8},   {16999.9, 8}, {17000, 0},   {40000, 0},
    };
    for (const Case& c : cases) {
        for (const Probe& p : probes) {
            Variables variables = p.variables;
            variables.push_back({328, c.value});
            const Line shown = show(p.page, variables)[p.line - 1];
            EXPECT_EQ(shown, (Line{p.text, p.asks_for == c.flap_class ? G : R}))
                << "var 328 = " << c.value << ", item asking for class " << p.asks_for;
        }
    }
}

TEST_F(Checklist, FuelAndRangeFromTheStandaloneVariables) {
    struct Case {
        double var_304, var_303;
        const char* fuel;
        const char* range;
    };
    const Case cases[] = {
        {6972, 0, "FUEL - 6972", "RANGE - 0"},
        {3000, 3000, "FUEL - 6000", "RANGE - -618"},
        {3000.9, 3000.9, "FUEL - 6000", "RANGE - -618"},  // each value truncated before the sum
        {6973, 0, "FUEL - 6973", "RANGE - 0"},
        {6000, 971, "FUEL - 6971", "RANGE - 0"},
        {6970, 0, "FUEL - 6970", "RANGE - -1"},
        {10000, -0.7, "FUEL - 10000", "RANGE - 1928"},
        {0, 0, "FUEL - 0", "RANGE - -4439"},
        // The longest texts the page can produce, whole: 18 and 19 characters.
        {-2147476676.0, 0, "FUEL - -2147476676", "RANGE - -1367464693"},
        // The sum wraps as signed 32-bit addition does.
        {2147483647.0, 1, "FUEL - -2147483648", "RANGE - 1367460253"},
    };
    for (const Case& c : cases) {
        const CheckedLines shown = show(3, {{304, c.var_304}, {303, c.var_303}});
        const std::string context = "var 304 = " + std::to_string(c.var_304) + ", var 303 = " +
                                    std::to_string(c.var_303);
        EXPECT_EQ(shown[3], (Line{c.fuel, G})) << context;
        EXPECT_EQ(shown[4], (Line{c.range, G})) << context;
        expect_no_faults(context);
    }
}
// clang-format on

TEST_F(Checklist, NothingIsWrittenBeforeTheFirstKeyPress) {
    for (StringElement* element : host().strings()) std::strcpy(element->text, "HOST TEXT");
    const CheckedLines untouched(5, Line{"HOST TEXT", kWhite});
    const Variables inputs[] = {{}, {{61, 230}, {74, 6000}, {331, 20000}}, {{304, 3000}, {328, 17000}}};
    for (const Variables& variables : inputs) {
        set_inputs(variables);
        host().cycle();
        EXPECT_EQ(lines(), untouched) << describe(variables);
    }
    // A press changes only the page; the lines follow at the next update.
    press(2);
    EXPECT_EQ(lines(), untouched) << "after the press, before the next update";
    host().cycle();
    EXPECT_EQ(line(1), (Line{"TAKEOFF CHECK", G}));
}

TEST_F(Checklist, ANewPageShowsFromTheNextUpdateOn) {
    const CheckedLines cruise = show(3, {{304, 5000}});
    EXPECT_EQ(cruise[0], (Line{"CRUISE CHECK", G}));
    // The key of the page shown changes nothing.
    EXPECT_EQ(show(3, {{304, 5000}}), cruise);

    // clang-format off
    press(1);
    EXPECT_EQ(lines(), cruise) << "after pressing key 1, before the next update";
    host().cycle();
    EXPECT_EQ(lines(), (CheckedLines{{"BEFORE T/O CHECK", G}, {"ATIS - CHECK", G}, {"RADIO CALL - MAKE", G},
                                     {"FLAPS - POS. 3", R}, {"TAXI", G}}));
}
// clang-format on

TEST_F(Checklist, TakeoffFlapLineIsRewrittenAtSpeeds224And225) {
    // Whatever page was shown before, line 3 of page 2 reads "FLAPS - UP" at 224 and 225.
    for (int previous : {1, 3, 4, 5}) {
        for (double speed : {224.0, 225.0, 225.9}) {
            for (const auto& [flaps, colour] : {std::pair{0.0, G}, std::pair{500.0, R}}) {
                show(previous, {{61, speed}, {328, flaps}});
                const Line shown = show(2, {{61, speed}, {328, flaps}})[2];
                EXPECT_EQ(shown, (Line{"FLAPS - UP", colour}))
                    << "after page " << previous << ", speed " << speed << ", var 328 = " << flaps;
            }
        }
    }
}

TEST_F(Checklist, ThePageStaysAcrossAKillAndReinstall) {
    EXPECT_EQ(show(4, {{74, 2500}})[3], (Line{"SPOILERS - DISARMED", G}));
    host().kill();
    host().install();
    set_inputs({{324, 1.0}});
    host().cycle();
    EXPECT_EQ(line(1), (Line{"APPROACH CHECK", G}));
    EXPECT_EQ(line(4), (Line{"SPOILERS - ARMED", G})) << "page 4 evaluated again after the reinstall";
}

TEST_F(Checklist, TextsAreCutToTheElementsOwnCharacterCount) {
    // A host that lays a line out for fewer characters supplies that many bytes and the zero.
    struct Case {
        int page;
        int line;
        Variables variables;
        uint32_t char_count;
        const char* text;
    };
    const Case cases[] = {
        {4, 4, {{74, 2500}}, 10, "SPOILERS -"},
        {4, 4, {{74, 2500}}, 0, ""},
        {3, 5, {{304, -2147476676.0}}, 12, "RANGE - -136"},
        {3, 4, {{304, 6972}}, 11, "FUEL - 6972"},
    };
    for (const Case& c : cases) {
        StringElement* element = host().strings().at(c.line - 1);
        const uint32_t declared = element->char_count;
        host().kill();
        element->char_count = c.char_count;
        host().install();
        EXPECT_EQ(show(c.page, c.variables)[c.line - 1].text, c.text)
            << "page " << c.page << " line " << c.line << ", char_count " << c.char_count;
        expect_no_faults("char_count " + std::to_string(c.char_count));
        host().kill();
        element->char_count = declared;
        host().install();
    }
}

}  // namespace
}  // namespace checklist_test
