#include "wave_image.h"

#include <cstring>

namespace {

uint32_t read_u32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool has_id(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

bool parse_wave_image(const uint8_t* image, size_t length, const uint8_t** format, const uint8_t** data,
                      uint32_t* size) {
    if (format) *format = nullptr;
    if (data) *data = nullptr;
    if (size) *size = 0;
    auto format_wanted = [&] { return format && !*format; };
    auto samples_wanted = [&] { return (data && !*data) || (size && !*size); };

    if (!image || length < 12 || !has_id(image, "RIFF") || !has_id(image + 8, "WAVE")) return false;
    // Offsets are 64-bit, so that no chunk size, however large, wraps a position around.
    const uint64_t end = 8 + uint64_t{read_u32(image + 4)};
    uint64_t position = 12;
    while (position < end) {
        if (position > length || length - position < 8) return false;
        const uint8_t* chunk = image + position;
        const uint32_t chunk_size = read_u32(chunk + 4);
        const uint64_t start = position + 8;
        const bool take_format = has_id(chunk, "fmt ") && format_wanted();
        const bool take_samples = !take_format && has_id(chunk, "data") && samples_wanted();
        if ((take_format || take_samples) && chunk_size > length - start) return false;
        if (take_format) {
            if (chunk_size < kWaveFormatMinimum) return false;
            *format = image + start;
            if (!samples_wanted()) return true;
        } else if (take_samples) {
            if (data) *data = image + start;
            if (size) *size = chunk_size;
            if (!format_wanted()) return true;
        }
        // Chunks are padded to an even size.
        position = start + chunk_size + (chunk_size & 1);
    }
    return false;
}
