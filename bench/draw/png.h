// Pictures as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace bench {

// The picture as PNG bytes (8-bit RGB); empty when it cannot be encoded.
std::vector<uint8_t> encode_png(const Picture& picture);
// The same, written to a file; false with `error` naming the file when it cannot be.
bool write_png(const Picture& picture, const std::string& path, std::string* error);

}  // namespace bench
