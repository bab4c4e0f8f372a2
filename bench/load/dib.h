// Reading the modules' bitmap resources: Windows device-independent bitmaps with a 40-byte header, 8 bits per
// pixel with a palette (the gauges' own format) or 24 bits per pixel, uncompressed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Colour {
    uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;  // top row first
    Colour at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Parses a DIB. On failure returns false and says what is wrong in `error` ("truncated: 120 bytes of pixels,
// 1024 needed").
bool read_dib(const uint8_t* bytes, size_t size, Bitmap* out, std::string* error);

}  // namespace bench
