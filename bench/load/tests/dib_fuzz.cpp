// Fuzzing the bitmap reader: whatever the bytes, it reads only inside them, and a bitmap it accepts has all
// its pixels.
#include <cstdlib>

#include "dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    bench::Bitmap bitmap;
    std::string error;
    if (bench::read_dib(bytes, size, &bitmap, &error)) {
        if (bitmap.width <= 0 || bitmap.height <= 0 ||
            bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * bitmap.height)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
