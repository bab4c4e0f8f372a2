// Reading WAVE images: a table of small images, each parsed from memory of exactly its own length so that a
// read past the image is caught by AddressSanitizer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wave_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put_u32(Bytes& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk whose header declares `declared` bytes while `present` bytes of data follow (then a pad byte when
// `present` is odd).
Bytes chunk(const char* id, uint32_t declared, size_t present) {
    Bytes out(id, id + 4);
    put_u32(out, declared);
    for (size_t i = 0; i < present; ++i) out.push_back(static_cast<uint8_t>(0x40 + i % 64));
    if (present % 2) out.push_back(0);
    return out;
}
Bytes chunk(const char* id, uint32_t size) { return chunk(id, size, size); }

// A "fmt " chunk of `size` bytes holding as much of a PCM format as fits.
Bytes fmt(uint32_t size, uint16_t channels = 2) {
    Bytes format = {1, 0, static_cast<uint8_t>(channels), 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 8, 0, 0, 0};
    format.resize(size, 0);
    Bytes out = {'f', 'm', 't', ' '};
    put_u32(out, size);
    out.insert(out.end(), format.begin(), format.end());
    if (size % 2) out.push_back(0);
    return out;
}

// "RIFF", the size of what follows (or `riff_size`), "WAVE", the chunks.
Bytes riff(std::initializer_list<Bytes> chunks, std::optional<uint32_t> riff_size = {}) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    put_u32(out, riff_size.value_or(static_cast<uint32_t>(body.size())));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes cut(Bytes image, size_t length) {
    image.resize(length);
    return image;
}

Bytes with_id_at(Bytes image, size_t offset, const char* id) {
    std::memcpy(image.data() + offset, id, 4);
    return image;
}

Bytes own_sound() {
    std::ifstream in(FENNICK_CLICK_WAV, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The image in memory of exactly its length.
struct ExactCopy {
    explicit ExactCopy(const Bytes& image) : bytes(new uint8_t[image.size() ? image.size() : 1]), length(image.size()) {
        if (length) std::memcpy(bytes.get(), image.data(), length);
    }
    std::unique_ptr<uint8_t[]> bytes;
    size_t length;
};

enum Wanted { kFormat = 1, kData = 2, kSize = 4, kAll = 7 };

struct Case {
    const char* name;
    Bytes image;
    bool found;
    int format_at = -1;  // offset of the format record in the image, when found
    int data_at = -1;    // offset of the sample bytes, when found
    uint32_t size = 0;
    int wanted = kAll;
};

// clang-format off
std::string describe(const uint8_t* image, const uint8_t* p) {
    return p ? "offset " + std::to_string(p - image) : "none";
}
std::string at(int offset) {
    return offset >= 0 ? "offset " + std::to_string(offset) : "none";
}

TEST(ParseWaveImage, FindsTheFormatAndTheSamplesOrRefuses) {
    const Case cases[] = {
        {"the module's own sound", own_sound(), true, 20, 58, 628},
        {"data before fmt", riff({chunk("data", 8), fmt(16)}), true, 36, 20, 8},
        {"fmt of 13 bytes, too short for a format", riff({fmt(13), chunk("data", 8)}), false},
        {"fmt of 14 bytes", riff({fmt(14), chunk("data", 8)}), true, 20, 42, 8},
        {"an odd chunk is followed by its pad byte", riff({chunk("LIST", 3), fmt(16), chunk("data", 8)}), true, 32,
         56, 8},
        {"odd-sized data", riff({fmt(16), chunk("data", 7)}), true, 20, 44, 7},
        {"no RIFF", with_id_at(riff({fmt(16), chunk("data", 8)}), 0, "RIFX"), false},
        {"no WAVE", with_id_at(riff({fmt(16), chunk("data", 8)}), 8, "AVI "), false},
        {"the chunks end before a data chunk", riff({fmt(16), chunk("fact", 4)}), false},
        {"no fmt", riff({chunk("fact", 4), chunk("data", 8)}), false},
        {"data of size 0 before fmt, and no other", riff({chunk("data", 0), fmt(16)}), false},
        {"data of size 0 before fmt gives way to the next", riff({chunk("data", 0), fmt(16), chunk("data", 8)}), true,
         28, 52, 8},
        {"data of size 0 after fmt ends the walk", riff({fmt(16), chunk("data", 0), chunk("data", 8)}), true, 20, 44,
         0},
        {"the first fmt is taken", riff({fmt(16, 1), fmt(16, 2), chunk("data", 8)}), true, 20, 68, 8},
        {"the image ends inside the data", cut(riff({fmt(16), chunk("data", 628)}), 100), false},
        {"the image ends inside a chunk header", cut(riff({fmt(16), chunk("data", 8)}), 40), false},
        {"the image ends inside fmt", cut(riff({fmt(18), chunk("data", 8)}), 30), false},
        {"data declares more than the image holds", riff({fmt(16), chunk("data", 0xFFFFFF00, 8)}), false},
        {"fmt declares more than the image holds", riff({chunk("fmt ", 1000, 16), chunk("data", 8)}), false},
        {"a skipped chunk declares more than the image holds", riff({chunk("fact", 0xFFFFFFF0, 4), fmt(16),
                                                                     chunk("data", 8)}),
         false},
        {"a skipped chunk of size 0xFFFFFFF8, which would wrap a 32-bit offset back onto itself",
         riff({chunk("junk", 0xFFFFFFF8, 4), fmt(16), chunk("data", 8)}), false},
        {"a skipped chunk of odd size 0xFFFFFFFF, whose pad byte would wrap a 32-bit offset",
         riff({chunk("junk", 0xFFFFFFFF, 4), fmt(16), chunk("data", 8)}), false},
        {"RIFF size larger than the image, chunks whole", riff({fmt(16), chunk("data", 8)}, 100000), true, 20, 44, 8},
        {"RIFF size ending before data", riff({fmt(16), chunk("data", 8)}, 4 + 24), false},
        {"shorter than the RIFF header", Bytes{'R', 'I', 'F', 'F', 8, 0, 0, 0}, false},
        {"empty", Bytes{}, false},
        // The walk looks for what is wanted only.
        {"nothing wanted: the walk runs to the end", own_sound(), false, -1, -1, 0, 0},
        {"format only: what follows fmt is not read", riff({fmt(16), chunk("data", 10000, 8)}), true, 20, -1, 0,
         kFormat},
        {"data and size only: a short fmt is skipped", riff({fmt(13), chunk("data", 8)}), true, -1, 42, 8,
         kData | kSize},
        {"size only", own_sound(), true, -1, -1, 628, kSize},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExactCopy image(c.image);
        const uint8_t* format = nullptr;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        const bool found = parse_wave_image(image.bytes.get(), image.length, c.wanted & kFormat ? &format : nullptr,
                                            c.wanted & kData ? &data : nullptr, c.wanted & kSize ? &size : nullptr);
        ASSERT_EQ(found, c.found) << c.name;
        if (!found) continue;
        const uint8_t* base = image.bytes.get();
        EXPECT_EQ(describe(base, format), at(c.format_at)) << c.name << ": format";
        EXPECT_EQ(describe(base, data), at(c.data_at)) << c.name << ": data";
        EXPECT_EQ(size, c.size) << c.name << ": size";
    }
}
// clang-format on

TEST(ParseWaveImage, ClearsTheOutputsItIsGiven) {
    const Bytes image = with_id_at(riff({fmt(16), chunk("data", 8)}), 0, "RIFX");
    ExactCopy copy(image);
    const uint8_t* format = copy.bytes.get();
    const uint8_t* data = copy.bytes.get();
    uint32_t size = 99;
    EXPECT_FALSE(parse_wave_image(copy.bytes.get(), copy.length, &format, &data, &size));
    EXPECT_EQ(format, nullptr);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(ParseWaveImage, TheModulesOwnSoundIsTheClickItDescribes) {
    const Bytes image = own_sound();
    ASSERT_EQ(image.size(), 686u);
    ExactCopy copy(image);
    const uint8_t* format = nullptr;
    ASSERT_TRUE(parse_wave_image(copy.bytes.get(), copy.length, &format, nullptr, nullptr));
    auto u16 = [&](int offset) { return format[offset] | format[offset + 1] << 8; };
    auto u32 = [&](int offset) { return uint32_t(u16(offset)) | uint32_t(u16(offset + 2)) << 16; };
    EXPECT_EQ(u16(0), 1) << "PCM";
    EXPECT_EQ(u16(2), 2) << "channels";
    EXPECT_EQ(u32(4), 22050u) << "samples per second";
    EXPECT_EQ(u32(8), 44100u) << "bytes per second";
    EXPECT_EQ(u16(12), 2) << "block align";
    EXPECT_EQ(u16(14), 8) << "bits per sample";
    // The "fact" chunk between the two counts the frames.
    EXPECT_EQ(std::string(image.begin() + 38, image.begin() + 42), "fact");
    EXPECT_EQ(image[46] | image[47] << 8, 314);
}

}  // namespace
