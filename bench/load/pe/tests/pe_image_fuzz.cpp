// The PE reader on any bytes: headers, section table and directories checked, the image laid out and moved,
// resources looked up. Nothing it reads may lie outside the file or the image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace bench::pe;
    Image layout;
    std::string error;
    if (!read_headers(data, size, &layout, &error)) return 0;
    std::vector<uint8_t> image(layout.size);
    lay_out(data, layout, image.data());
    if (!read_directories(image.data(), &layout, &error)) return 0;
    if (layout.relocatable) relocate(image.data(), layout, layout.preferred_base + 0x10000);
    Resource found;
    for (uint16_t type : {2, 10})
        for (uint16_t id : {1, 100, 101, 4096})
            if (find_resource(image.data(), layout.size, layout.resources(), {true, type, nullptr}, {true, id, nullptr},
                              &found))
                resource_at(image.data(), layout.size, layout.resources(), found.entry, &found);
    find_resource(image.data(), layout.size, layout.resources(), {false, 0, "WAVE"}, {false, 0, "#1"}, &found);
    return 0;
}
