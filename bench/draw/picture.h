// A drawn frame: RGB pixels over a box of gauge pixels.
#pragma once

#include <vector>

#include "dib.h"

namespace bench {

// Picture pixel (0, 0) shows gauge pixel (origin_x, origin_y); gauge pixels are those of the background bitmap,
// from its top-left corner, as element positions and mouse boxes are.
struct Picture {
    int width = 0;
    int height = 0;
    int origin_x = 0;
    int origin_y = 0;
    std::vector<Colour> pixels;  // top row first

    bool holds_gauge(int gx, int gy) const {
        return gx >= origin_x && gy >= origin_y && gx < origin_x + width && gy < origin_y + height;
    }
    Colour at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    Colour at_gauge(int gx, int gy) const { return at(gx - origin_x, gy - origin_y); }
};

}  // namespace bench
