// Reading a RIFF WAVE image: where its wave format and its sample bytes lie. Plain logic over bytes, with no
// platform in it, so that it can be built and exercised on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// The shortest "fmt " chunk that holds a wave format (tag, channels, rate, byte rate, block align).
constexpr uint32_t kWaveFormatMinimum = 14;

// Walks the chunks of the image of `length` bytes at `image` for the first "fmt " chunk (its data, handed to
// the sound device as the wave format) and the "data" chunk (its data and size). Each output may be null, and
// those passed are cleared on entry; one that still holds zero is still wanted, so a "data" chunk of size 0
// before the "fmt " chunk gives way to a later one. True once every wanted output is found.
// Every read stays inside the image: a chunk header that does not fit, or a "fmt " or "data" chunk whose size
// runs past the image's end, gives false, whatever the RIFF size says.
bool parse_wave_image(const uint8_t* image, size_t length, const uint8_t** format, const uint8_t** data,
                      uint32_t* size);
