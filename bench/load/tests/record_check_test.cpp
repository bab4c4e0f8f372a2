// The bench refuses records that would make it read outside the module or loop: each row breaks the test
// gauge's records in one way, in memory, and expects the one-line message that names the record and field.
#include <functional>

#include "record_check.h"
#include "module_test.h"

namespace {

class ModuleCheck : public ModuleTest {
protected:
    ModuleCheck() : ModuleTest("test_gauge") {}
    ElementHeader* element(size_t index) { return host().elements()[index]; }
    NeedleElement* needle() { return reinterpret_cast<NeedleElement*>(element(1)); }
    MouseArea* mouse_list() {
        host().install();
        host().kill();
        return std::get<MouseArea*>(calls()[3].arguments[0]);
    }
};

TEST_F(ModuleCheck, TheTestGaugeChecksOut) {
    EXPECT_EQ(bench::check_gauge_records(host().module()), "");
    EXPECT_EQ(bench::check_mouse_list(host().module(), mouse_list()), "");
}

TEST_F(ModuleCheck, BrokenElementRecordsAreNamedWithTheirField) {
    static NonlinearityPoint outside_points[2];
    struct Case {
        const char* what;
        std::function<void()> break_records;
        std::string message;
    };
    const Case cases[] = {
        {"bad kind", [&] { element(0)->kind = 9; }, "element 1: kind is 9, expected 0 to 5"},
        {"cycle", [&] { needle()->header.children = header()->elements; },
         "element 2 (needle): children leads back to an element above it (a cycle)"},
        {"missing bitmap", [&] { element(0)->resource_id = 999; },
         "element 1 (static image): resource_id 999: no bitmap resource 999"},
        {"truncated bitmap", [&] { needle()->header.resource_id = 102; },
         "element 2 (needle): resource_id 102: bitmap 102: truncated: 2064 bytes, 2264 needed"},
        {"pointer outside the image", [&] { needle()->points = outside_points; },
         "element 2 (needle): points lies outside the module's image"},
        {"no points", [&] { needle()->point_count = 0; }, "element 2 (needle): point_count is 0, expected 1 to 1024"},
        {"foreign gauge", [&] { element(2)->gauge = nullptr; },
         "element 3 (string): gauge is not the module's gauge header"},
        {"second root element", [&] { header()->elements[1] = element(1); },
         "GaugeHeader: elements lists more than one element, expected the background"},
    };
    for (const Case& c : cases) {
        reload();  // a fresh copy of the module's records for each row
        c.break_records();
        EXPECT_EQ(bench::check_gauge_records(host().module()), c.message) << c.what;
    }
}

TEST_F(ModuleCheck, BrokenMouseListsAreRefusedAtInstall) {
    static MouseArea outside_list[3];
    struct Case {
        const char* what;
        std::function<void(MouseArea*)> break_list;
        std::string message;
    };
    const Case cases[] = {
        {"no parent first", [](MouseArea* list) { list[0].kind = kAreaChild; },
         "mouse list record 0: kind is 2, expected 1 (parent)"},
        {"missing end record", [](MouseArea* list) { list[3].kind = kAreaChild; },
         "mouse list record 5: kind is 0 before any end record, expected 2 (child) or 3 (end)"},
        {"handler outside the image",
         [](MouseArea* list) { list[1].handler = reinterpret_cast<MouseHandler>(&outside_list); },
         "mouse list record 1: handler lies outside the module's image"},
    };
    for (const Case& c : cases) {
        reload();
        MouseArea* list = mouse_list();
        c.break_list(list);
        EXPECT_EQ(bench::check_mouse_list(host().module(), list), c.message) << c.what;
        host().install();
        EXPECT_EQ(host().refusal(), c.message) << c.what;
        EXPECT_FALSE(host().pointer_event(3, 3, kMouseClick)) << c.what;
    }
    reload();
    EXPECT_EQ(bench::check_mouse_list(host().module(), outside_list), "mouse list: lies outside the module's image");
}

}  // namespace
