// The drawing fixture's bitmaps: plain colours whose pixels the drawing tests can tell apart.
#include "canvas.h"

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv);
    art::Canvas(80, 90, {8, 16, 24}).write_bmp(folder + "/background.bmp");
    art::Canvas needle(14, 5, art::kBlack);
    needle.fill_rect(2, 1, 12, 3, art::kWhite);
    needle.write_bmp(folder + "/needle.bmp");
    art::Canvas(6, 3, {221, 111, 0}).write_bmp(folder + "/lamp.bmp");
    art::Canvas slider(4, 4, {0, 200, 0});
    slider.set(0, 0, art::kBlack);
    slider.write_bmp(folder + "/slider.bmp");
    art::Canvas(4, 4, {200, 0, 0}).write_bmp(folder + "/icon0.bmp");
    art::Canvas(4, 4, {0, 0, 200}).write_bmp(folder + "/icon1.bmp");
    art::Canvas strip(4, 20, art::kBlack);
    for (int row = 0; row < 20; ++row) strip.fill_rect(0, row, 4, 1, {uint8_t(10 + 10 * row), 100, 50});
    strip.write_bmp(folder + "/strip.bmp");
    art::Canvas window(5, 6, {1, 1, 1});
    window.set(0, 0, art::kBlack);
    window.write_bmp(folder + "/window.bmp");
}
