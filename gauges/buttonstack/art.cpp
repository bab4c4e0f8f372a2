// The button stack's artwork: the 37 x 227 panel of five button faces, the amber lamp, and the click sound.
#include <algorithm>
#include <cmath>
#include <vector>

#include "canvas.h"

namespace {

constexpr int kFaceTops[] = {0, 48, 96, 142, 188};
constexpr int kFaceWidth = 37;
constexpr int kFaceHeight = 39;
constexpr int kWindowX = 9;
constexpr int kWindowRow = 22;  // from the face's top
constexpr int kWindowWidth = 18;
constexpr int kWindowHeight = 7;

constexpr art::Rgb kFace{74, 77, 82};
constexpr art::Rgb kFaceLight{128, 132, 138};
constexpr art::Rgb kFaceShade{34, 35, 38};
constexpr art::Rgb kLegend{232, 232, 226};
constexpr art::Rgb kWindow{30, 22, 14};
constexpr art::Rgb kLamp{221, 111, 0};

void draw_face(art::Canvas& panel, const art::Font& font, int top) {
    panel.fill_rect(0, top, kFaceWidth, kFaceHeight, kFace);
    panel.fill_rect(0, top, kFaceWidth, 1, kFaceLight);
    panel.fill_rect(0, top, 1, kFaceHeight, kFaceLight);
    panel.fill_rect(0, top + kFaceHeight - 1, kFaceWidth, 1, kFaceShade);
    panel.fill_rect(kFaceWidth - 1, top, 1, kFaceHeight, kFaceShade);
    panel.text(font, 11, kFaceWidth / 2.0, top + 15, "ALTN", kLegend, art::Align::kCentre);
    panel.fill_rect(kWindowX, top + kWindowRow, kWindowWidth, kWindowHeight, kWindow);
}

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}
void put_id(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A short click: a burst of noise that rings a damped resonator near 2.8 kHz, 314 stereo frames of 8-bit PCM
// at 22050 Hz. Only additions and multiplications, so every build machine computes the same bytes.
std::vector<uint8_t> click_wave() {
    constexpr uint32_t kFrames = 314;
    constexpr uint32_t kRate = 22050;
    constexpr uint16_t kChannels = 2;
    std::vector<double> samples(kFrames);
    uint32_t seed = 0x2F6E2B1;
    double ring1 = 0, ring2 = 0, noise_level = 1.0;
    for (uint32_t i = 0; i < kFrames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = ((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
        const double burst = i < 14 ? noise : 0.0;
        // r = 0.985, cos(2 pi 2800 / 22050) = 0.6982: y = 2 r cos(w) y1 - r^2 y2 + x
        const double ring = 1.375454 * ring1 - 0.970225 * ring2 + 0.3 * burst;
        ring2 = ring1;
        ring1 = ring;
        samples[i] = ring + 0.45 * noise * noise_level;
        noise_level *= 0.93;
    }
    double peak = 0;
    for (double s : samples) peak = std::max(peak, s < 0 ? -s : s);
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < kFrames; ++i) {
        const double fade = i + 24 < kFrames ? 1.0 : (kFrames - i) / 24.0;
        const double value = samples[i] / peak * 100.0 * fade;
        const int level = 128 + static_cast<int>(value < 0 ? value - 0.5 : value + 0.5);
        const uint8_t byte = static_cast<uint8_t>(std::clamp(level, 0, 255));
        for (uint16_t c = 0; c < kChannels; ++c) data.push_back(byte);
    }

    std::vector<uint8_t> wave;
    put_id(wave, "RIFF");
    put_u32(wave, 4 + (8 + 18) + (8 + 4) + (8 + static_cast<uint32_t>(data.size())));
    put_id(wave, "WAVE");
    put_id(wave, "fmt ");
    put_u32(wave, 18);
    put_u16(wave, 1);  // PCM
    put_u16(wave, kChannels);
    put_u32(wave, kRate);
    put_u32(wave, kRate * kChannels);  // bytes per second
    put_u16(wave, kChannels);          // block align
    put_u16(wave, 8);                  // bits per sample
    put_u16(wave, 0);                  // extra size
    put_id(wave, "fact");
    put_u32(wave, 4);
    put_u32(wave, kFrames);
    put_id(wave, "data");
    put_u32(wave, static_cast<uint32_t>(data.size()));
    wave.insert(wave.end(), data.begin(), data.end());
    return wave;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv);
    const art::Font font(art::font_path("LiberationSans-Bold.ttf"));

    art::Canvas panel(kFaceWidth, 227, art::kBlack);  // the rows between the faces stay pure black
    for (int top : kFaceTops) draw_face(panel, font, top);
    panel.write_bmp(folder + "/background.bmp");

    art::Canvas lamp(kWindowWidth, kWindowHeight, kLamp);
    lamp.write_bmp(folder + "/lamp.bmp");

    art::write_file(folder + "/click.wav", click_wave());
}
