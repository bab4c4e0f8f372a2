// The checklist's face, bitmap 4096: a dark field left empty above for the five text lines, and along the
// bottom edge a framed row of five keys, labelled 1 to 5, under the five page buttons' mouse boxes.
#include <string>

#include "canvas.h"

namespace {

constexpr int kWidth = 418;
constexpr int kHeight = 383;
constexpr art::Rgb kField{8, 16, 24};
constexpr art::Rgb kBorder{48, 64, 80};
constexpr art::Rgb kBandFrame{96, 112, 128};
constexpr art::Rgb kKeyLight{168, 176, 184};
constexpr art::Rgb kKeyShadow{40, 48, 56};
constexpr art::Rgb kLabel{224, 232, 240};

// The left edges of the five button boxes; each box is 50 x 50 from y 320.
constexpr int kKeyLeft[5] = {59, 117, 180, 237, 293};
constexpr int kKeyTop = 320;
constexpr int kKeySize = 50;

// A raised key: light upper and left edges, shadowed lower and right edges, the field inside.
void key(art::Canvas& face, int x, int y, int size) {
    constexpr int kEdge = 2;
    face.fill_rect(x, y, size, kEdge, kKeyLight);
    face.fill_rect(x, y, kEdge, size, kKeyLight);
    face.fill_rect(x, y + size - kEdge, size, kEdge, kKeyShadow);
    face.fill_rect(x + size - kEdge, y + kEdge, kEdge, size - kEdge, kKeyShadow);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv);
    const art::Font digits(art::font_path("LiberationSans-Bold.ttf"));

    art::Canvas face(kWidth, kHeight, kField);
    face.frame_rect(0, 0, kWidth, kHeight, 2, kBorder);
    face.frame_rect(52, 315, 306, 63, 2, kBandFrame);
    for (int i = 0; i < 5; ++i) {
        // Each key sits 2 pixels inside its box, so a click on the key's face always lands in the box.
        key(face, kKeyLeft[i] + 2, kKeyTop + 2, kKeySize - 4);
        face.text(digits, 30, kKeyLeft[i] + kKeySize / 2.0, kKeyTop + 35, std::to_string(i + 1), kLabel,
                  art::Align::kCentre);
    }
    face.write_bmp(folder + "/face.bmp");
}
