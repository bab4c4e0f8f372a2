#include "dib.h"

#include <cstring>

namespace bench {
namespace {

uint32_t u32_at(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t u16_at(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

bool fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

}  // namespace

bool read_dib(const uint8_t* bytes, size_t size, Bitmap* out, std::string* error) {
    if (size < 40) return fail(error, "truncated: " + std::to_string(size) + " bytes, a 40-byte header needed");
    const uint32_t header_size = u32_at(bytes);
    if (header_size != 40) return fail(error, "header size is " + std::to_string(header_size) + ", expected 40");
    const int32_t width = static_cast<int32_t>(u32_at(bytes + 4));
    const int32_t raw_height = static_cast<int32_t>(u32_at(bytes + 8));
    const uint16_t planes = u16_at(bytes + 12);
    const uint16_t bits = u16_at(bytes + 14);
    const uint32_t compression = u32_at(bytes + 16);
    const uint32_t colours_used = u32_at(bytes + 32);
    if (planes != 1) return fail(error, "planes is " + std::to_string(planes) + ", expected 1");
    if (bits != 8 && bits != 24) return fail(error, std::to_string(bits) + " bits per pixel, expected 8 or 24");
    if (compression != 0) return fail(error, "compressed (method " + std::to_string(compression) + ")");
    if (width <= 0 || width > 16384 || raw_height == 0 || raw_height < -16384 || raw_height > 16384)
        return fail(error, "size " + std::to_string(width) + " x " + std::to_string(raw_height) + " is not usable");
    const bool bottom_up = raw_height > 0;
    const int height = bottom_up ? raw_height : -raw_height;

    size_t palette_entries = 0;
    if (bits == 8) {
        palette_entries = colours_used == 0 ? 256 : colours_used;
        if (palette_entries > 256)
            return fail(error, std::to_string(colours_used) + " palette entries, at most 256 expected");
    }
    const size_t palette_bytes = palette_entries * 4;
    const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) & ~size_t{3};
    const size_t needed = 40 + palette_bytes + stride * height;
    if (size < needed)
        return fail(error, "truncated: " + std::to_string(size) + " bytes, " + std::to_string(needed) + " needed");

    const uint8_t* palette = bytes + 40;
    const uint8_t* rows = palette + palette_bytes;
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * height, Colour{0, 0, 0});
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rows + stride * static_cast<size_t>(bottom_up ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            Colour c;
            if (bits == 8) {
                const uint8_t index = row[x];
                if (index >= palette_entries)
                    return fail(error, "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                           ") uses palette entry " + std::to_string(index) + " of " +
                                           std::to_string(palette_entries));
                const uint8_t* entry = palette + 4 * index;
                c = {entry[2], entry[1], entry[0]};
            } else {
                const uint8_t* p = row + 3 * x;
                c = {p[2], p[1], p[0]};
            }
            out->pixels[static_cast<size_t>(y) * width + x] = c;
        }
    }
    return true;
}

}  // namespace bench
