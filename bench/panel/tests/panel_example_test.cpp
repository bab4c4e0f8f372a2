// Every line of the panel example names a real module by its file name, its header's gauge name, and the
// background bitmap's size.
#include <regex>
#include <sstream>

#include "module_test.h"
#include "panel_example.h"

namespace {

TEST(PanelExample, EachLineNamesARealModuleAndItsGauge) {
    std::vector<std::string> paths;
    for (const char* name : {"zorlet", "brimmet", "quandle", "fennick"}) paths.push_back(module_path(name));
    std::string error, text;
    const auto placements = bench::side_by_side(paths, &error);
    ASSERT_EQ(placements.size(), 4u) << error;
    ASSERT_TRUE(bench::panel_example(placements, &text, &error)) << error;

    const std::regex line(R"(gauge(\d\d)=([a-z]+)!([^,]+), (-?\d+), (-?\d+), (\d+), (\d+))");
    std::istringstream lines(text);
    std::string row;
    int gauges = 0;
    while (std::getline(lines, row)) {
        if (row.rfind("gauge", 0) != 0) continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(row, m, line)) << row;
        EXPECT_EQ(std::stoi(m[1]), gauges) << row;
        auto module = bench::LoadedModule::load(module_path(m[2]), &error);
        ASSERT_TRUE(module) << row << ": " << error;
        const std::string gauge_name = module->header()->name;  // copied out of the packed record
        EXPECT_EQ(m[3].str(), gauge_name) << row;
        bench::Bitmap background;
        ASSERT_TRUE(module->bitmap(module->header()->elements[0]->resource_id, &background, &error)) << error;
        EXPECT_EQ(std::stoi(m[6]), background.width) << row;
        EXPECT_EQ(std::stoi(m[7]), background.height) << row;
        ++gauges;
    }
    EXPECT_EQ(gauges, 4) << text;
}

}  // namespace
