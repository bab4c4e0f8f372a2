// The bench refuses records that would make it read outside the module or loop: each row breaks the test
// gauge's records in one way, in memory, and expects the one-line message that names the record and field.
// Bounds that need more records than the test gauge has room for (tree depth, element count, unended lists)
// are refused as whole modules in the loader's tests.
#include <cstring>
#include <functional>

#include "record_check.h"
#include "module_test.h"

namespace {

// A function address outside the module's image.
template <typename Function>
Function outside() {
    static uint8_t bytes[16];
    return reinterpret_cast<Function>(+bytes);
}

class ModuleCheck : public ModuleTest {
protected:
    ModuleCheck() : ModuleTest("test_gauge") {}
    ElementHeader* element(size_t index) { return host().elements()[index]; }
    NeedleElement* needle() { return reinterpret_cast<NeedleElement*>(element(1)); }
    StringElement* label() { return reinterpret_cast<StringElement*>(element(2)); }
    // The label's record read as another kind: its header kept, the rest of the new record cleared. Every kind
    // fits in a string's record, so nothing past the label is touched.
    template <typename Record>
    Record* label_as(ElementKind kind) {
        static_assert(sizeof(Record) <= sizeof(StringElement));
        auto* bytes = reinterpret_cast<uint8_t*>(label());
        std::memset(bytes + sizeof(ElementHeader), 0, sizeof(Record) - sizeof(ElementHeader));
        label()->header.kind = kind;
        return reinterpret_cast<Record*>(bytes);
    }
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
    // Records of the test's own: addresses outside the module's image.
    static NonlinearityPoint outside_points[2];
    static StaticImageElement outside_element;
    static ElementHeader* outside_list[2];
    static const char outside_name[] = "Outside";
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
        {"name outside the image", [&] { header()->name = outside_name; },
         "GaugeHeader: name lies outside the module's image"},
        {"name without an end",
         [&] {
             // The label's record with no zero byte in it: longer than the 256 bytes a name may take.
             StringElement* record = label();
             std::memset(record, 'x', sizeof(StringElement));
             header()->name = reinterpret_cast<const char*>(record);
         },
         "GaugeHeader: name lies outside the module's image"},
        {"no query routine", [&] { header()->query = nullptr; }, "GaugeHeader: query lies outside the module's image"},
        {"generate outside the image", [&] { header()->generate = outside<GaugeGenerateRoutine>(); },
         "GaugeHeader: generate lies outside the module's image"},
        {"kill outside the image", [&] { header()->kill = outside<GaugeRoutine>(); },
         "GaugeHeader: kill lies outside the module's image"},
        {"root list outside the image", [&] { header()->elements = outside_list; },
         "GaugeHeader: elements lies outside the module's image"},
        {"empty root list", [&] { header()->elements[0] = nullptr; },
         "GaugeHeader: elements lists no background element"},
        {"element outside the image", [&] { element(0)->children[0] = &outside_element.header; },
         "element 2: lies outside the module's image"},
        {"needle callback outside the image", [&] { needle()->value_callback = outside<ValueCallback>(); },
         "element 2 (needle): value_callback lies outside the module's image"},
        {"too many points", [&] { needle()->point_count = 1025; },
         "element 2 (needle): point_count is 1025, expected 1 to 1024"},
        {"text callback outside the image", [&] { label()->text_callback = outside<TextCallback>(); },
         "element 3 (string): text_callback lies outside the module's image"},
        {"too many characters", [&] { label()->char_count = 4097; },
         "element 3 (string): char_count is 4097, expected at most 4096"},
        {"slider x callback outside the image",
         [&] { label_as<SliderElement>(kSlider)->x_axis.callback = outside<ValueCallback>(); },
         "element 3 (slider): x_axis.callback lies outside the module's image"},
        {"slider y callback outside the image",
         [&] { label_as<SliderElement>(kSlider)->y_axis.callback = outside<ValueCallback>(); },
         "element 3 (slider): y_axis.callback lies outside the module's image"},
        {"icon callback outside the image",
         [&] { label_as<IconElement>(kIcon)->value_callback = outside<ValueCallback>(); },
         "element 3 (icon): value_callback lies outside the module's image"},
        {"icon without images", [&] { label_as<IconElement>(kIcon); },
         "element 3 (icon): image_count is 0, expected 1 to 64"},
        {"icon with too many images", [&] { label_as<IconElement>(kIcon)->image_count = 65; },
         "element 3 (icon): image_count is 65, expected 1 to 64"},
        {"icon's second image missing",
         [&] {
             IconElement* icon = label_as<IconElement>(kIcon);
             icon->image_count = 2;
             icon->header.resource_id = 100;
         },
         "element 3 (icon): resource_id 103: no bitmap resource 103"},
        {"moving image x callback outside the image",
         [&] { label_as<MovingImageElement>(kMovingImage)->x_axis.callback = outside<ValueCallback>(); },
         "element 3 (moving image): x_axis.callback lies outside the module's image"},
        {"moving image y callback outside the image",
         [&] { label_as<MovingImageElement>(kMovingImage)->y_axis.callback = outside<ValueCallback>(); },
         "element 3 (moving image): y_axis.callback lies outside the module's image"},
        {"moving image without its window",
         [&] { label_as<MovingImageElement>(kMovingImage)->header.resource_id = 100; },
         "element 3 (moving image) window: resource_id 103: no bitmap resource 103"},
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
