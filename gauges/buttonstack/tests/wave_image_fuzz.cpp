// Fuzzing the WAVE reader: whatever the bytes, it reads only inside the image, and what it finds lies there.
#include <cstdlib>

#include "wave_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* image, size_t length) {
    const uint8_t* const end = image + length;
    // Every choice of outputs: the player asks for all three, the refill for the samples only.
    for (int wanted = 0; wanted < 8; ++wanted) {
        const uint8_t* format = nullptr;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        const bool found = parse_wave_image(image, length, wanted & 1 ? &format : nullptr, wanted & 2 ? &data : nullptr,
                                            wanted & 4 ? &size : nullptr);
        if (!found) continue;
        if ((wanted & 1) && (format < image || end - format < kWaveFormatMinimum)) std::abort();
        if ((wanted & 2) && (data < image || data > end)) std::abort();
        if ((wanted & 6) == 6 && size > static_cast<size_t>(end - data)) std::abort();
        if ((wanted & 4) && size > length) std::abort();
    }
    return 0;
}
