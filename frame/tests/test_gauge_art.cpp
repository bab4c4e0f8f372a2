// The test gauge's bitmaps: a 40 x 30 background, a 12 x 5 needle along +x, and a bitmap whose pixels are cut
// short, for the bench's checks.
#include <fstream>
#include <iterator>
#include <vector>

#include "canvas.h"

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv);
    art::Canvas background(40, 30, {8, 16, 24});
    background.frame_rect(0, 0, 40, 30, 1, art::kWhite);
    background.write_bmp(folder + "/background.bmp");
    art::Canvas needle(12, 5, art::kBlack);
    needle.fill_rect(2, 1, 10, 3, art::kWhite);
    needle.write_bmp(folder + "/needle.bmp");

    background.write_bmp(folder + "/truncated.bmp");
    std::ifstream in(folder + "/truncated.bmp", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.resize(bytes.size() - 200);
    art::write_file(folder + "/truncated.bmp", bytes);
}
