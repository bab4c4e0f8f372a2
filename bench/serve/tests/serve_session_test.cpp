// The variables the page offers for each gauge: every host variable the gauge reads, found from its element
// records and from the standalone variables it hands the host, and nothing else.
#include <set>

#include "module_test.h"
#include "session.h"

namespace {

struct Case {
    const char* module;
    std::set<uint32_t> ids;
};

// The variable numbers each gauge reads (1, 137 and 172 feed nothing in the checklist but are still read).
const Case kCases[] = {
    {"zorlet", {1, 2, 61, 74, 128, 137, 172, 303, 304, 323, 324, 325, 328, 331}},
    {"brimmet", {3, 4, 5}},
    {"quandle", {128, 163, 318, 323, 325, 328}},
};

class GaugeVariables : public ::testing::TestWithParam<Case> {};

TEST_P(GaugeVariables, AreFoundFromTheRecordsAndTheHostCalls) {
    const Case& c = GetParam();
    std::string error;
    auto module = bench::LoadedModule::load(module_path(c.module), &error);
    ASSERT_TRUE(module) << error;
    auto panel = bench::Panel::single(std::move(module), &bench::default_model());
    ASSERT_TRUE(panel->install(&error)) << error;
    bench::serve::Session session(*panel, c.module);
    std::set<uint32_t> ids;
    for (const bench::serve::VariableControl& control : session.variables()) {
        ids.insert(control.id);
        EXPECT_LT(control.min, control.max) << c.module << " variable " << control.id;
        EXPECT_FALSE(control.found_in.empty()) << c.module << " variable " << control.id;
    }
    EXPECT_EQ(ids, c.ids) << c.module;
    session.cycle();
    panel->kill();
}

INSTANTIATE_TEST_SUITE_P(Gauges, GaugeVariables, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.module); });

}  // namespace
