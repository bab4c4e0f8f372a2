// A stand-in for the bench's drawing until it is part of this tree: the shown static images at their
// positions, and each string element's box in its back colour with a bar of its text colour. It draws no
// text, needles, sliders, icons or moving images.
#include "picture.h"

#include <algorithm>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace bench::serve {

namespace {

void put(Picture& picture, int x, int y, Colour colour) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return;
    uint8_t* pixel = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
    pixel[0] = colour.r;
    pixel[1] = colour.g;
    pixel[2] = colour.b;
}

Colour from_bgr(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16)};
}

}  // namespace

Picture draw_picture(Host& host) {
    Picture picture;
    const PixelSize size = host.image_size(host.header()->elements[0]);
    picture.width = std::clamp(size.width, 1, 4096);
    picture.height = std::clamp(size.height, 1, 4096);
    picture.rgb.assign(static_cast<size_t>(picture.width) * picture.height * 3, 0);
    for (ElementHeader* element : host.elements()) {
        if (element->image_flags & kImageHidden) continue;
        if (element->kind == kStaticImage) {
            Bitmap bitmap;
            std::string ignored;
            if (!host.module().bitmap(element->resource_id, &bitmap, &ignored)) continue;
            for (int y = 0; y < bitmap.height; ++y)
                for (int x = 0; x < bitmap.width; ++x)
                    put(picture, element->position_x + x, element->position_y + y, bitmap.at(x, y));
        } else if (element->kind == kString) {
            auto* string = reinterpret_cast<StringElement*>(element);
            const int width = std::clamp(string->width, 0, 4096), height = std::clamp(string->height, 0, 4096);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    put(picture, element->position_x + x, element->position_y + y,
                        from_bgr(y >= height - 4 ? string->fore_colour : string->back_colour));
        }
    }
    return picture;
}

std::string encode_png(const Picture& picture) {
    std::string out;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
        },
        &out, picture.width, picture.height, 3, picture.rgb.data(), picture.width * 3);
    return out;
}

}  // namespace bench::serve
