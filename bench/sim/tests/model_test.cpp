// Model files: a user's file replaces the default one, and a bad one is refused with the file, the line and what
// was expected.
#include <gtest/gtest.h>

#include "model.h"

namespace {

TEST(Model, AFileOfTheUsersOwnIsRead) {
    std::string error;
    const auto model = bench::parse_model(R"(
[clock]
hours = 30
minutes = 31
seconds = 32
start = "23:59:58"

[[variables]]
id = 700
name = "gear"
range = [0, 16383]
initial = 16383
detents = [0, 16383]

[[events]]
id = 65570
name = "gear toggle"
step = { variable = 700, direction = "down" }
)",
                                          "mine.toml", &error);
    ASSERT_TRUE(model) << error;
    EXPECT_EQ(model->clock.start, 23u * 3600 + 59 * 60 + 58);
    EXPECT_EQ(model->clock.hours, 30u);
    ASSERT_NE(model->variable(700), nullptr);
    EXPECT_EQ(model->variable(700)->initial, 16383);
    ASSERT_NE(model->event(65570), nullptr);
    EXPECT_EQ(model->event(65570)->kind, bench::ModelEvent::kStep);
    EXPECT_EQ(model->event(65570)->direction, -1);
}

TEST(Model, BadFilesAreRefusedWithTheLineAndWhatWasExpected) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[clock]\nhours = 3\nminutes = 4\nseconds = 5\nstart = \"25:00:00\"\n",
         "m.toml:5: expected \"start\" as \"HH:MM:SS\" (00:00:00 to 23:59:59), got \"25:00:00\""},
        {"[[variables]]\nid = 5\nrange = [10, 0]\n",
         "m.toml:3: expected MIN no larger than MAX in \"range\", got [10, 0]"},
        {"[[variables]]\nid = 5\n", "m.toml:1: expected \"range\" = [MIN, MAX] in [[variables]]"},
        {"[[variables]]\nid = -5\nrange = [0, 1]\n",
         "m.toml:2: expected \"id\" to be a whole number from 1 to 4294967295, got -5"},
        {"[[events]]\nid = 9\nset = 128\n",
         "m.toml:3: expected a variable listed in [[variables]] before the event, got variable 128"},
        {"[[variables]]\nid = 5\nrange = [0, 1]\n[[events]]\nid = 9\nset = 5\nrecord = true\n",
         "m.toml:4: expected one of set, step, const, clock, record or keep in event 9, got 2"},
        {"[[variables]]\nid = 5\nrange = [0, 1]\n[[events]]\nid = 9\nstep = { variable = 5, direction = \"up\" }\n",
         "m.toml:6: expected variable 5 to have detents to step over"},
        {"[[variables]]\nid = 5\nrange = [0, 1]\ndetents = [0, 1]\n[[events]]\nid = 9\n"
         "step = { variable = 5, direction = \"sideways\" }\n",
         "m.toml:7: expected direction = \"up\" or \"down\" in step, got \"sideways\""},
        {"[[events]]\nid = 9\nclock = \"hour on\"\n", "m.toml:3: expected a [clock] before a clock event"},
        {"[[events]]\nid = 9\nrecord = false\n", "m.toml:3: expected record = true"},
        {"[[events]]\nid = 9\nkeep = true\n[[events]]\nid = 9\nkeep = true\n",
         "m.toml:4: expected each event once, got event 9 again"},
        {"[[events]]\nid = 9\nkeep = true\ncolour = 3\n",
         "m.toml:4: unknown key \"colour\" in [[events]], expected one of id, name, set, step, const, clock, record, "
         "keep"},
        {"[clock\n", "m.toml:1: "},  // toml++'s own words follow
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(bench::parse_model(c.text, "m.toml", &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error << "\nexpected: " << c.error;
    }
}

TEST(Model, TheDefaultModelReadsAndCarriesEveryEventTheGaugesSend) {
    const bench::SimulatorModel& model = bench::default_model();
    for (uint32_t event : {65657u, 65658u, 65659u, 65660u, 65661u, 65789u, 65790u, 65820u, 65821u, 65706u,
                           65758u, 65759u, 66064u, 66065u, 66066u, 65907u, 65908u, 65910u, 65911u, 65912u})
        EXPECT_NE(model.event(event), nullptr) << event;
}

}  // namespace
