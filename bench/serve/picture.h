// The gauge as the page shows it: the bench's drawing of the installed records, as RGB pixels and as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host.h"

namespace bench::serve {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first, three bytes a pixel
    bool operator==(const Picture&) const = default;
};

// Draws the gauge from its records as they stand after the last host cycle.
Picture draw_picture(Host& host);
std::string encode_png(const Picture& picture);

}  // namespace bench::serve
