// A small raster canvas for drawing the gauges' artwork, written out as 8-bit palette Windows bitmaps. The
// drawing programs run at build time on the build machine; their output is deterministic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

struct Point {
    double x, y;
};

class Font {
public:
    // Loads a TrueType font; exits with a message naming the file when it cannot.
    explicit Font(const std::string& path);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

enum class Align { kLeft, kCentre, kRight };

class Canvas {
public:
    Canvas(int width, int height, Rgb fill);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb get(int x, int y) const;
    void set(int x, int y, Rgb colour);  // ignores points off the canvas

    void fill_rect(int x, int y, int width, int height, Rgb colour);
    void frame_rect(int x, int y, int width, int height, int thickness, Rgb colour);
    // Pixels whose centres lie inside the shape.
    void fill_circle(double cx, double cy, double radius, Rgb colour);
    void fill_ring(double cx, double cy, double inner, double outer, Rgb colour);
    void fill_polygon(const std::vector<Point>& points, Rgb colour);
    void line(Point from, Point to, double thickness, Rgb colour);
    // Text with its baseline at y; `height` is the pixel height of the font's ascent-to-descent span. Glyph
    // coverage is thresholded so that the palette stays small.
    void text(const Font& font, double height, double x, double baseline, const std::string& text, Rgb colour,
              Align align = Align::kLeft);
    // The width `text` would take.
    static double text_width(const Font& font, double height, const std::string& text);

    // Writes an uncompressed 8-bit bitmap with a 256-entry palette (colours in order of first use, bottom row
    // first as the file stores them, then zero entries). Exits with a message when more than 256 colours are
    // used or the file cannot be written.
    void write_bmp(const std::string& path) const;

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// Writes bytes to a file, exiting with a message naming the file when it cannot.
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// The folder the drawing program writes to: its one argument. Exits with usage text otherwise.
std::string output_folder(int argc, char** argv);

// The font folder (Liberation fonts), fixed at build time.
std::string font_path(const std::string& file_name);

}  // namespace art
