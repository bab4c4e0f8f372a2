#include "png.h"

#include <fstream>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace bench {

std::vector<uint8_t> encode_png(const Picture& picture) {
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.pixels.size() * 3);
    for (const Colour& c : picture.pixels) rgb.insert(rgb.end(), {c.r, c.g, c.b});
    std::vector<uint8_t> out;
    auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<const uint8_t*>(data);
        auto* target = static_cast<std::vector<uint8_t>*>(context);
        target->insert(target->end(), bytes, bytes + size);
    };
    if (picture.width <= 0 || picture.height <= 0 ||
        !stbi_write_png_to_func(append, &out, picture.width, picture.height, 3, rgb.data(), picture.width * 3))
        out.clear();
    return out;
}

bool write_png(const Picture& picture, const std::string& path, std::string* error) {
    const std::vector<uint8_t> png = encode_png(picture);
    if (png.empty()) {
        *error = path + ": cannot encode a " + std::to_string(picture.width) + " x " + std::to_string(picture.height) +
                 " picture";
        return false;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!out.flush()) {
        *error = path + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace bench
