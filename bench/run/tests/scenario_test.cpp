// The scenario parser: what each command reads, and the FILE:LINE: message for each kind of bad line.
#include <gtest/gtest.h>

#include "scenario.h"

namespace {

using bench::CommandKind;

TEST(ScenarioParser, ReadsEveryCommandWithItsLineAndNumbers) {
    const std::string text =
        "# a comment line\n"
        "\n"
        "set 61 174.9   # speed\r\n"
        "set 0x13E -512\n"
        "click 25 -250\n"
        "\trepeat 20 10 3\n"
        "drag 120 0\n"
        "frame\n"
        "frame 4";
    std::string error;
    const auto scenario = bench::parse_scenario(text, "flight.txt", &error);
    ASSERT_TRUE(scenario) << error;
    const auto& c = scenario->commands;
    ASSERT_EQ(c.size(), 7u);
    EXPECT_EQ(c[0].kind, CommandKind::kSet);
    EXPECT_EQ(c[0].line, 3);
    EXPECT_EQ(c[0].variable, 61u);
    EXPECT_EQ(c[0].value, 174.9);
    EXPECT_EQ(c[0].text, "set 61 174.9");
    EXPECT_EQ(c[1].variable, 318u) << "a variable number may be written in hex";
    EXPECT_EQ(c[1].value, -512);
    EXPECT_EQ(c[2].kind, CommandKind::kClick);
    EXPECT_EQ(c[2].x, 25);
    EXPECT_EQ(c[2].y, -250);
    EXPECT_EQ(c[3].kind, CommandKind::kRepeat);
    EXPECT_EQ(c[3].count, 3u);
    EXPECT_EQ(c[4].kind, CommandKind::kDrag);
    EXPECT_EQ(c[5].count, 1u) << "frame without N is one cycle";
    EXPECT_EQ(c[6].count, 4u);
    EXPECT_EQ(c[6].line, 9);
    EXPECT_EQ(scenario->frames, 5u);
    EXPECT_EQ(bench::event_flags(CommandKind::kClick), 0x20000000u);
    EXPECT_EQ(bench::event_flags(CommandKind::kRepeat), 0x00200000u);
    EXPECT_EQ(bench::event_flags(CommandKind::kDrag), 0x00800000u);
}

// clang-format off
TEST(ScenarioParser, EachBadLineIsNamedWithItsFileAndLine) {
    const struct {
        const char* text;
        const char* message;
    } rows[] = {
        {"frame\nset 61", "s.txt:2: expected \"set VAR VALUE\", got \"set 61\""},
        {"set 61 1 2", "s.txt:1: expected \"set VAR VALUE\", got \"set 61 1 2\""},
        {"set speed 1",
         "s.txt:1: expected \"set VAR VALUE\", got \"set speed 1\": VAR must be a variable number, a whole number from "
         "0 to 4294967295"},
        {"set -3 1", "s.txt:1: expected \"set VAR VALUE\", got \"set -3 1\": VAR must be a variable number, a whole "
                     "number from 0 to 4294967295"},
        {"set 4294967296 1", "s.txt:1: expected \"set VAR VALUE\", got \"set 4294967296 1\": VAR must be a variable "
                             "number, a whole number from 0 to 4294967295"},
        {"set 61 fast", "s.txt:1: expected \"set VAR VALUE\", got \"set 61 fast\": VALUE must be a finite number"},
        {"set 61 1.5x", "s.txt:1: expected \"set VAR VALUE\", got \"set 61 1.5x\": VALUE must be a finite number"},
        {"set 61 nan", "s.txt:1: expected \"set VAR VALUE\", got \"set 61 nan\": VALUE must be a finite number"},
        {"set 61 1e999", "s.txt:1: expected \"set VAR VALUE\", got \"set 61 1e999\": VALUE must be a finite number"},
        {"\n\nclick 1", "s.txt:3: expected \"click X Y\", got \"click 1\""},
        {"click 1.5 2", "s.txt:1: expected \"click X Y\", got \"click 1.5 2\": X and Y must be whole numbers of gauge pixels"},
        {"drag 1 y", "s.txt:1: expected \"drag X Y\", got \"drag 1 y\": X and Y must be whole numbers of gauge pixels"},
        {"drag 1 2147483648",
         "s.txt:1: expected \"drag X Y\", got \"drag 1 2147483648\": X and Y must be whole numbers of gauge pixels"},
        {"repeat 1 2", "s.txt:1: expected \"repeat X Y N\", got \"repeat 1 2\""},
        {"repeat 1 2 0", "s.txt:1: expected \"repeat X Y N\", got \"repeat 1 2 0\": N must be a whole number from 1 to 10000"},
        {"repeat 1 2 -1", "s.txt:1: expected \"repeat X Y N\", got \"repeat 1 2 -1\": N must be a whole number from 1 to 10000"},
        {"frame 0", "s.txt:1: expected \"frame\" or \"frame N\", got \"frame 0\": N must be a whole number from 1 to 10000"},
        {"frame 2.5", "s.txt:1: expected \"frame\" or \"frame N\", got \"frame 2.5\": N must be a whole number from 1 to 10000"},
        {"frame 1 2", "s.txt:1: expected \"frame\" or \"frame N\", got \"frame 1 2\""},
        {"frame 6000\nframe 4001",
         "s.txt:2: expected \"frame\" or \"frame N\", got \"frame 4001\": the scenario would run more than 10000 frames"},
        {"jump 1 2  # hop", "s.txt:1: expected one of set, click, repeat, drag, frame, got \"jump 1 2\""},
        {"Click 1 2", "s.txt:1: expected one of set, click, repeat, drag, frame, got \"Click 1 2\""},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(bench::parse_scenario(row.text, "s.txt", &error)) << row.text;
        EXPECT_EQ(error, row.message) << row.text;
    }
}
// clang-format on

TEST(ScenarioParser, AnEmptyScenarioRunsNothing) {
    std::string error;
    for (const char* text : {"", "\n\n", "# only a comment\n   \t\n"}) {
        const auto scenario = bench::parse_scenario(text, "s.txt", &error);
        ASSERT_TRUE(scenario) << error;
        EXPECT_TRUE(scenario->commands.empty()) << text;
    }
}

}  // namespace
