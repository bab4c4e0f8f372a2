// The checklist's records as the host reads them, its face, and which clicks choose a page.
#include <cstring>
#include <fstream>
#include <iterator>

#include "checklist_fixture.h"

namespace checklist_test {
namespace {

// clang-format off
// Pointer fields of the packed records need not be aligned on x86-64; read them by value.
template <typename T>
T copy(T field) {
    return field;
}

// clang-format on

TEST_F(Checklist, HeaderAndElementTree) {
    const GaugeHeader* gauge = header();
    EXPECT_EQ(gauge->version, 610u);
    EXPECT_STREQ(gauge->name, "Checklist");
    EXPECT_EQ(gauge->nominal_size, 150u);
    ASSERT_NE(gauge->elements[0], nullptr);
    EXPECT_EQ(gauge->elements[1], nullptr) << "one element in the root list";

    const auto* face = reinterpret_cast<const StaticImageElement*>(background());
    EXPECT_EQ(face->header.kind, kStaticImage);
    EXPECT_EQ(face->header.resource_id, 4096);
    EXPECT_EQ(face->header.position_x, 0);
    EXPECT_EQ(face->header.position_y, 0);
    EXPECT_EQ(face->header.image_flags, 5u);
    EXPECT_EQ(copy(face->header.failures), nullptr);
    EXPECT_EQ(copy(face->header.gauge), gauge);

    // clang-format off
    // The five lines side by side in the background's child list.
    struct LineRecord {
        int32_t x, y;
        uint32_t second, third;
    };
    const LineRecord expected[5] = {{30, 30, 328, 323}, {10, 80, 61, 331}, {10, 120, 128, 74},
                                    {10, 160, 2, 325},  {10, 200, 324, 0}};
    ElementList children = copy(face->header.children);
    ASSERT_NE(children, nullptr);
    const FailureRecord* shared = nullptr;
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(children[i], nullptr) << "line " << i + 1;
        const auto* line = reinterpret_cast<const StringElement*>(children[i]);
        EXPECT_EQ(line->header.kind, kString) << "line " << i + 1;
        EXPECT_EQ(line->header.resource_id, -1) << "line " << i + 1;
        EXPECT_EQ(line->header.position_x, expected[i].x) << "line " << i + 1;
        EXPECT_EQ(line->header.position_y, expected[i].y) << "line " << i + 1;
        EXPECT_EQ(line->header.anchor_x, 0) << "line " << i + 1;
        EXPECT_EQ(line->header.anchor_y, 0) << "line " << i + 1;
        EXPECT_EQ(copy(line->header.gauge), gauge) << "line " << i + 1;
        EXPECT_EQ(copy(line->header.children), nullptr) << "line " << i + 1;
        EXPECT_EQ(line->header.image_flags, 6u) << "line " << i + 1;
        EXPECT_EQ(line->sources[0].id, 1u) << "line " << i + 1;
        EXPECT_EQ(line->sources[1].id, expected[i].second) << "line " << i + 1;
        EXPECT_EQ(line->sources[2].id, expected[i].third) << "line " << i + 1;
        EXPECT_NE(copy(line->text_callback), nullptr) << "line " << i + 1;
        EXPECT_EQ(line->width, 300) << "line " << i + 1;
        EXPECT_EQ(line->height, 60) << "line " << i + 1;
        EXPECT_EQ(line->fore_colour, kWhite) << "line " << i + 1;
        EXPECT_EQ(line->back_colour, 0x00000000u) << "line " << i + 1;
        EXPECT_EQ(line->third_colour, 0x005C5C5Cu) << "line " << i + 1;
        char face_name[32] = "Courier New";
        EXPECT_EQ(std::memcmp(line->font_face, face_name, sizeof face_name), 0) << "line " << i + 1;
        EXPECT_EQ(line->font_weight, 400u) << "line " << i + 1;
        EXPECT_EQ(line->charset, 1u) << "line " << i + 1;
        EXPECT_EQ(line->format_flags, 0x25u) << "line " << i + 1;
        // Room for the longest text, 19 characters; the host adds the terminating zero.
        EXPECT_EQ(line->char_count, 19u) << "line " << i + 1;
        ASSERT_NE(copy(line->header.failures), nullptr) << "line " << i + 1;
        if (!shared) shared = copy(line->header.failures);
        EXPECT_EQ(copy(line->header.failures), shared) << "line " << i + 1 << ": the failure list is shared";
    }
    EXPECT_EQ(children[5], nullptr);
    EXPECT_EQ(shared[0].failure_key, 1u);
    EXPECT_EQ(shared[0].failure_action, 3u);
    EXPECT_EQ(shared[1].failure_key, 0u);
    EXPECT_EQ(shared[1].failure_action, 0u);
}
// clang-format on

TEST_F(Checklist, MouseListHoldsFivePageButtons) {
    ASSERT_FALSE(calls().empty());
    const auto* areas = std::get<MouseArea*>(calls().back().arguments[0]);
    struct Area {
        uint32_t kind;
        int32_t x, y, width, height, cursor;
        uint32_t help_id, event_flags;
        bool handler;
    };
    const Area expected[] = {
        {kAreaParent, 0, 0, 0, 0, -1, 41478, 0, false},
        {kAreaChild, 59, 320, 50, 50, 5, 0, kMouseClick, true},
        {kAreaChild, 117, 320, 50, 50, 5, 0, kMouseClick, true},
        {kAreaChild, 180, 320, 50, 50, 5, 0, kMouseClick, true},
        {kAreaChild, 237, 320, 50, 50, 5, 0, kMouseClick, true},
        {kAreaChild, 293, 320, 50, 50, 5, 0, kMouseClick, true},
        {kAreaEnd, 0, 0, 0, 0, -1, 0, 0, false},
        {kAreaAfterEnd, 0, 0, 0, 0, -1, 0, 0, false},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const MouseArea& a = areas[i];
        const Area& e = expected[i];
        EXPECT_EQ(a.kind, e.kind) << "record " << i;
        EXPECT_EQ(a.x, e.x) << "record " << i;
        EXPECT_EQ(a.y, e.y) << "record " << i;
        EXPECT_EQ(a.width, e.width) << "record " << i;
        EXPECT_EQ(a.height, e.height) << "record " << i;
        EXPECT_EQ(a.cursor, e.cursor) << "record " << i;
        EXPECT_EQ(a.help_id, e.help_id) << "record " << i;
        EXPECT_EQ(a.event_flags, e.event_flags) << "record " << i;
        EXPECT_EQ(a.zero_20, 0u) << "record " << i;
        EXPECT_EQ(a.handler != nullptr, e.handler) << "record " << i;
        EXPECT_EQ(a.zero_28, 0u) << "record " << i;
    }
}

TEST_F(Checklist, TheFrameHandlesTheFourStandaloneVariablesInOrder) {
    // SetUp installed the gauge; the log shows what install announced before the elements.
    auto ids_of = [&](HostSlot slot) {
        std::vector<uint32_t> ids;
        for (const bench::HostCall& call : calls())
            if (call.slot == slot) ids.push_back(std::get<ModuleVariable*>(call.arguments[0])->id);
        return ids;
    };
    const std::vector<uint32_t> order = {304, 303, 137, 172};
    EXPECT_EQ(ids_of(kInitializeVariable), order);
    EXPECT_EQ(calls().at(4).slot, kInstallElements) << "the variables come before the elements";

    clear_logs();
    host().update();
    EXPECT_EQ(ids_of(kLookupVariable), order);
    EXPECT_EQ(calls().back().slot, kUpdateElements) << "looked up before the elements are updated";
}

TEST_F(Checklist, InstallReadsTheFaceSize) {
    const PixelSize size = host().image_size(background());
    EXPECT_EQ(size.width, 418);
    EXPECT_EQ(size.height, 383);
}

TEST_F(Checklist, TheModuleCarriesTheDrawnFace) {
    std::ifstream file(CHECKLIST_FACE_BMP, std::ios::binary);
    ASSERT_TRUE(file) << CHECKLIST_FACE_BMP;
    const std::vector<uint8_t> drawn{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    constexpr size_t kFileHeader = 14;  // the resource is the bitmap without its file header
    ASSERT_GT(drawn.size(), kFileHeader);
    size_t size = 0;
    const uint8_t* resource = host().module().resource(4096, 2, &size);
    ASSERT_NE(resource, nullptr) << "no bitmap 4096";
    EXPECT_EQ(size, 161924u) << "418 x 383 at 8 bits with 256 palette entries";
    ASSERT_EQ(size, drawn.size() - kFileHeader);
    EXPECT_EQ(std::memcmp(resource, drawn.data() + kFileHeader, size), 0);
}

TEST_F(Checklist, TheFaceIsADarkFieldWithFiveKeysUnderTheButtons) {
    bench::Bitmap face;
    std::string error;
    ASSERT_TRUE(host().module().bitmap(4096, &face, &error)) << error;
    ASSERT_EQ(face.width, 418);
    ASSERT_EQ(face.height, 383);
    const bench::Colour field{8, 16, 24};
    size_t field_pixels = 0;
    for (const bench::Colour& pixel : face.pixels) field_pixels += pixel == field;
    const double share = double(field_pixels) / double(face.pixels.size());
    EXPECT_GT(share, 0.93);
    EXPECT_LT(share, 0.97);

    // Nothing drawn where the five lines stand (inside the face's edge, above the key band).
    for (int y = 10; y < 300; ++y)
        for (int x = 10; x < 408; ++x)
            ASSERT_EQ(face.at(x, y), field) << "pixel (" << x << ", " << y << ") in the text area";

    // Each button box holds its key; the strips between the boxes are bare.
    const int32_t box_left[5] = {59, 117, 180, 237, 293};
    auto drawn_in = [&](int x0, int x1) {
        size_t count = 0;
        for (int y = 320; y < 370; ++y)
            for (int x = x0; x < x1; ++x) count += !(face.at(x, y) == field);
        return count;
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_GT(drawn_in(box_left[i] + 10, box_left[i] + 40), 50u) << "label of key " << i + 1;
        if (i < 4) {
            EXPECT_EQ(drawn_in(box_left[i] + 50, box_left[i + 1]), 0u) << "strip after key " << i + 1;
        }
    }
}

// clang-format off
TEST_F(Checklist, OnlyClicksInsideTheFiveBoxesChooseAPage) {
    const char* titles[6] = {"", "BEFORE T/O CHECK", "TAKEOFF CHECK", "CRUISE CHECK", "APPROACH CHECK",
                             "LANDING CHECK"};
    struct Case {
        int32_t x, y;
        uint32_t flags;
        int page;  // 0: none
    };
    const Case cases[] = {
        // The corners of each box.
        {59, 320, kMouseClick, 1},  {108, 369, kMouseClick, 1}, {117, 320, kMouseClick, 2},
        {166, 369, kMouseClick, 2}, {180, 320, kMouseClick, 3}, {229, 369, kMouseClick, 3},
        {237, 320, kMouseClick, 4}, {286, 369, kMouseClick, 4}, {293, 320, kMouseClick, 5},
        {342, 369, kMouseClick, 5},
        // The strips between the boxes, 8, 13, 7 and 6 pixels wide, at both edges.
        {109, 345, kMouseClick, 0}, {116, 345, kMouseClick, 0}, {167, 345, kMouseClick, 0},
        {179, 345, kMouseClick, 0}, {230, 345, kMouseClick, 0}, {236, 345, kMouseClick, 0},
        {287, 345, kMouseClick, 0}, {292, 345, kMouseClick, 0},
        // Beside, above and below the band, and elsewhere on the face.
        {58, 345, kMouseClick, 0},  {343, 345, kMouseClick, 0}, {84, 319, kMouseClick, 0},
        {84, 370, kMouseClick, 0},  {318, 370, kMouseClick, 0}, {200, 100, kMouseClick, 0},
        {0, 0, kMouseClick, 0},     {417, 382, kMouseClick, 0}, {-1, 345, kMouseClick, 0},
        // A key reacts to clicks only.
        {84, 345, kMouseDrag, 0},   {84, 345, kMouseRepeat, 0},
    };
    for (const Case& c : cases) {
        const int before = c.page == 3 ? 1 : 3;
        show(before);
        int32_t result = 0;
        const bool handled = host().pointer_event(c.x, c.y, c.flags, &result);
        EXPECT_EQ(handled, c.page != 0) << "(" << c.x << ", " << c.y << ") flags " << std::hex << c.flags;
        if (handled) {
            EXPECT_EQ(result, 1) << "(" << c.x << ", " << c.y << ")";
        }
        host().cycle();
        EXPECT_EQ(line(1).text, titles[c.page ? c.page : before])
            << "(" << c.x << ", " << c.y << ") flags " << std::hex << c.flags;
    }
}
// clang-format on

}  // namespace
}  // namespace checklist_test
