// The bench refuses what is not a working gauge module, with one line naming the file and the fault.
#include "module_test.h"

namespace {

TEST(Loader, RefusesBrokenModulesWithAMessage) {
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {module_path("no_such_module"), "cannot open module: No such file or directory"},
        {module_path("libwin32_standin"), "not a gauge module: it exports no Linkage"},
        {module_path("broken_linkage_id"), "Linkage.linkage_id is 0x14, expected 0x13"},
        {module_path("broken_import_id"), "ImportTable has no entry 0xF for the host services"},
        {module_path("broken_no_gauge"), "Linkage.gauges lists no gauge header, expected exactly one"},
        {module_path("broken_two_gauges"), "Linkage.gauges lists more than one gauge header"},
        {module_path("broken_version"), "GaugeHeader.version is 600, expected 610"},
        // Records past the bench's bounds, which the test gauge has no room to build in memory.
        {module_path("broken_deep_tree"), "element 32 (string): children nest deeper than 32 levels"},
        {module_path("broken_wide_tree"), "the element tree holds more than 1024 elements"},
        {module_path("broken_long_child_list"),
         "element 1 (string): children has no null end inside the module's image"},
        {module_path("broken_long_failure_list"),
         "element 1 (string): failures has no end record (0, 0) inside the module's image"},
        {module_path("broken_element_kind"), "element 1: kind is 9, expected 0 to 5"},
        {std::string(TEST_MODULE_DIR), "cannot open module: not a regular file"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(bench::LoadedModule::load(c.path, &error), nullptr) << c.path;
        EXPECT_EQ(error.rfind(c.path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(Loader, FindsTheModulesOwnResources) {
    std::string error;
    auto module = bench::LoadedModule::load(module_path("test_gauge"), &error);
    ASSERT_TRUE(module) << error;
    bench::Bitmap bitmap;
    ASSERT_TRUE(module->bitmap(101, &bitmap, &error)) << error;
    EXPECT_EQ(bitmap.width, 12);
    EXPECT_EQ(bitmap.height, 5);
    EXPECT_EQ(bitmap.at(0, 0), (bench::Colour{0, 0, 0}));
    EXPECT_EQ(bitmap.at(2, 1), (bench::Colour{255, 255, 255}));
    EXPECT_FALSE(module->bitmap(103, &bitmap, &error));
    EXPECT_EQ(error, "no bitmap resource 103");
}

}  // namespace
