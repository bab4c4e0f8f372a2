// The library entry point and the record layouts, in-process: the frame and the test gauge are linked into
// this test program itself.
#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "module_frame.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

TEST(EntryPoint, KeepsTheInstanceHandleAndReturnsOneForEveryReason) {
    int handles[4];
    for (DWORD reason : {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DLL_PROCESS_DETACH}) {
        EXPECT_EQ(DllMain(&handles[reason], reason, nullptr), TRUE) << "reason " << reason;
        EXPECT_EQ(module_instance, &handles[reason]);
    }
}

TEST(EntryPoint, ModuleRoutinesDoNothing) {
    const ModuleLinkage before = Linkage;
    module_init();
    module_deinit();
    EXPECT_EQ(std::memcmp(&before, &Linkage, sizeof before), 0);
}

// Reads a little-endian value at a 32-bit layout offset, widened for pointers that lie before it.
template <typename T>
T at(const void* record, size_t offset32, size_t pointers_before = 0) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + offset32 + GAUGE_POINTER_GROWTH(pointers_before),
                sizeof value);
    return value;
}

TEST(RecordBytes, LinkageAndImportTableAsTheHostReadsThem) {
    EXPECT_EQ(at<uint32_t>(&Linkage, 0x00), 0x13u);
    EXPECT_EQ(at<void*>(&Linkage, 0x04), reinterpret_cast<void*>(module_init));
    EXPECT_EQ(at<void*>(&Linkage, 0x08, 1), reinterpret_cast<void*>(module_deinit));
    for (size_t word = 0; word < 3; ++word) EXPECT_EQ(at<uint32_t>(&Linkage, 0x0C + 4 * word, 2), 0u);
    EXPECT_NE(at<void*>(&Linkage, 0x18, 2), nullptr);
    EXPECT_EQ(at<void*>(&Linkage, 0x1C, 3), nullptr);
    EXPECT_EQ(at<uint32_t>(ImportTable, 0x00), 0x0Fu);
    EXPECT_EQ(at<void*>(ImportTable, 0x04), nullptr);
    EXPECT_EQ(at<uint32_t>(ImportTable, 0x08, 1), 0u);
    EXPECT_EQ(at<void*>(ImportTable, 0x0C, 1), nullptr);
}

TEST(RecordBytes, GaugeHeaderAndElementsAsTheHostReadsThem) {
    const GaugeHeader* header = Linkage.gauges[0];
    EXPECT_EQ(at<uint32_t>(header, 0x00), 610u);
    EXPECT_STREQ(at<const char*>(header, 0x04), "Test-Gauge");
    const auto* root_list = at<ElementHeader* const*>(header, 0x08, 1);
    EXPECT_EQ(at<void*>(header, 0x0C, 2), reinterpret_cast<void*>(gauge_query));
    EXPECT_EQ(at<void*>(header, 0x10, 3), reinterpret_cast<void*>(gauge_install));
    EXPECT_EQ(at<void*>(header, 0x24, 8), reinterpret_cast<void*>(gauge_kill));
    EXPECT_EQ(at<uint32_t>(header, 0x2C, 9), 10u);

    const ElementHeader* background = root_list[0];
    EXPECT_EQ(root_list[1], nullptr);
    EXPECT_EQ(at<uint32_t>(background, 0x00), 0u);
    EXPECT_EQ(at<int32_t>(background, 0x04), 100);
    EXPECT_EQ(at<const void*>(background, 0x20), header);
    EXPECT_EQ(at<uint32_t>(background, 0x30, 3), 5u);
    const auto* children = at<ElementHeader* const*>(background, 0x28, 1);

    const ElementHeader* needle = children[0];
    EXPECT_EQ(at<uint32_t>(needle, 0x00), 1u);
    EXPECT_EQ(at<int32_t>(needle, 0x08), 20);
    EXPECT_EQ(at<int32_t>(needle, 0x18), 2);
    EXPECT_EQ(at<uint32_t>(needle, 0x3C, 3), 3u);  // source id
    EXPECT_EQ(at<uint32_t>(needle, 0x74, 5), 2u);  // point_count
    EXPECT_EQ(at<int32_t>(needle, 0x78, 5), 360);
    const auto* points = at<const uint8_t*>(needle, 0x70, 4);
    EXPECT_EQ(at<int32_t>(points, 24 + 0x00), 35);
    EXPECT_EQ(at<double>(points, 24 + 0x08), 10.0);

    const ElementHeader* label = children[1];
    EXPECT_EQ(at<uint32_t>(label, 0x00), 2u);
    EXPECT_EQ(at<int32_t>(label, 0x04), -1);
    EXPECT_EQ(at<uint32_t>(label, 0x3C + 28, 3), 500u);  // second source id
    EXPECT_EQ(at<int32_t>(label, 0xC0, 5), 36);
    EXPECT_EQ(at<uint32_t>(label, 0xD0, 5), 0x00FFFFFFu);
    EXPECT_STREQ(reinterpret_cast<const char*>(label) + 0xF8 + GAUGE_POINTER_GROWTH(5), "Courier New");
    EXPECT_EQ(at<uint32_t>(label, 0x118, 5), 400u);
    EXPECT_EQ(at<uint32_t>(label, 0x120, 5), 0x25u);
    EXPECT_EQ(at<uint32_t>(label, 0x124, 5), 4u);
    const auto* failures = at<const uint32_t*>(label, 0x2C, 2);
    EXPECT_EQ(failures[0], 1u);
    EXPECT_EQ(failures[1], 3u);
}

TEST(RecordBytes, AxesAndMouseAreasAsTheHostReadsThem) {
    SliderElement slider{};
    slider.y_axis.source.id = 325;
    slider.y_axis.scale = 71.0 / 16383;
    EXPECT_EQ(at<uint32_t>(&slider, 0x68, 4), 325u);
    EXPECT_EQ(at<double>(&slider, 0x68 + 0x20, 5), 71.0 / 16383);

    MovingImageElement moving{};
    moving.y_axis.range_from = 16383.0;
    moving.y_axis.range_to = -16383.0;
    EXPECT_EQ(at<double>(&moving, 0x70 + 0x20, 5), 16383.0);
    EXPECT_EQ(at<double>(&moving, 0x70 + 0x28, 5), -16383.0);

    IconElement icon{};
    icon.image_count = 2;
    EXPECT_EQ(at<uint32_t>(&icon, 0x70, 4), 2u);

    ModuleVariable variable{};
    variable.value = -2.5;
    EXPECT_EQ(at<double>(&variable, 0x0C), -2.5);

    MouseArea area{};
    area.y = -75;
    area.cursor = 2;
    area.help_id = 41478;
    area.event_flags = 0x20200000;
    EXPECT_EQ(at<int32_t>(&area, 0x08), -75);
    EXPECT_EQ(at<int32_t>(&area, 0x14), 2);
    EXPECT_EQ(at<uint32_t>(&area, 0x18), 41478u);
    EXPECT_EQ(at<uint32_t>(&area, 0x1C), 0x20200000u);
}

}  // namespace
