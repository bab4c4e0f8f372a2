#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"

#ifndef GAUGE_FONT_DIR
#define GAUGE_FONT_DIR "/usr/share/fonts/truetype/liberation"
#endif

namespace art {
namespace {

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(1);
}

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

stbtt_fontinfo font_info(const Font& font) {
    stbtt_fontinfo info;
    if (!stbtt_InitFont(&info, font.bytes().data(), stbtt_GetFontOffsetForIndex(font.bytes().data(), 0)))
        fail("font: not a TrueType font");
    return info;
}

}  // namespace

Font::Font(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(path + ": cannot read font");
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

Rgb Canvas::get(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

void Canvas::set(int x, int y, Rgb colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) pixels_[static_cast<size_t>(y) * width_ + x] = colour;
}

void Canvas::fill_rect(int x, int y, int width, int height, Rgb colour) {
    for (int j = y; j < y + height; ++j)
        for (int i = x; i < x + width; ++i) set(i, j, colour);
}

void Canvas::frame_rect(int x, int y, int width, int height, int thickness, Rgb colour) {
    fill_rect(x, y, width, thickness, colour);
    fill_rect(x, y + height - thickness, width, thickness, colour);
    fill_rect(x, y, thickness, height, colour);
    fill_rect(x + width - thickness, y, thickness, height, colour);
}

void Canvas::fill_circle(double cx, double cy, double radius, Rgb colour) { fill_ring(cx, cy, -1, radius, colour); }

void Canvas::fill_ring(double cx, double cy, double inner, double outer, Rgb colour) {
    for (int y = static_cast<int>(std::floor(cy - outer)); y <= static_cast<int>(std::ceil(cy + outer)); ++y)
        for (int x = static_cast<int>(std::floor(cx - outer)); x <= static_cast<int>(std::ceil(cx + outer)); ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= outer && d > inner) set(x, y, colour);
        }
}

void Canvas::fill_polygon(const std::vector<Point>& points, Rgb colour) {
    if (points.size() < 3) return;
    double top = points[0].y, bottom = points[0].y;
    for (const Point& p : points) {
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    for (int y = static_cast<int>(std::floor(top)); y <= static_cast<int>(std::ceil(bottom)); ++y) {
        const double sy = y + 0.5;
        std::vector<double> crossings;
        for (size_t i = 0; i < points.size(); ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % points.size()];
            if ((a.y <= sy) != (b.y <= sy)) crossings.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2)
            for (int x = static_cast<int>(std::ceil(crossings[i] - 0.5));
                 x <= static_cast<int>(std::floor(crossings[i + 1] - 0.5)); ++x)
                set(x, y, colour);
    }
}

void Canvas::line(Point from, Point to, double thickness, Rgb colour) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double length = std::hypot(dx, dy);
    if (length == 0) {
        fill_circle(from.x, from.y, thickness / 2, colour);
        return;
    }
    const double nx = -dy / length * thickness / 2, ny = dx / length * thickness / 2;
    fill_polygon(
        {{from.x + nx, from.y + ny}, {to.x + nx, to.y + ny}, {to.x - nx, to.y - ny}, {from.x - nx, from.y - ny}},
        colour);
}

double Canvas::text_width(const Font& font, double height, const std::string& text) {
    stbtt_fontinfo info = font_info(font);
    const float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(height));
    double width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int advance, bearing;
        stbtt_GetCodepointHMetrics(&info, static_cast<unsigned char>(text[i]), &advance, &bearing);
        width += advance * scale;
        if (i + 1 < text.size())
            width += scale * stbtt_GetCodepointKernAdvance(&info, static_cast<unsigned char>(text[i]),
                                                           static_cast<unsigned char>(text[i + 1]));
    }
    return width;
}

void Canvas::text(const Font& font, double height, double x, double baseline, const std::string& text, Rgb colour,
                  Align align) {
    stbtt_fontinfo info = font_info(font);
    const float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(height));
    const double width = text_width(font, height, text);
    double pen = align == Align::kLeft ? x : align == Align::kCentre ? x - width / 2 : x - width;
    for (size_t i = 0; i < text.size(); ++i) {
        const int codepoint = static_cast<unsigned char>(text[i]);
        int w, h, xoff, yoff;
        const float shift = static_cast<float>(pen - std::floor(pen));
        unsigned char* bitmap =
            stbtt_GetCodepointBitmapSubpixel(&info, scale, scale, shift, 0, codepoint, &w, &h, &xoff, &yoff);
        const int left = static_cast<int>(std::floor(pen)) + xoff;
        const int top = static_cast<int>(std::lround(baseline)) + yoff;
        for (int j = 0; j < h; ++j)
            for (int i2 = 0; i2 < w; ++i2)
                if (bitmap[j * w + i2] >= 128) set(left + i2, top + j, colour);
        stbtt_FreeBitmap(bitmap, nullptr);
        int advance, bearing;
        stbtt_GetCodepointHMetrics(&info, codepoint, &advance, &bearing);
        pen += advance * scale;
        if (i + 1 < text.size())
            pen += scale * stbtt_GetCodepointKernAdvance(&info, codepoint, static_cast<unsigned char>(text[i + 1]));
    }
}

void Canvas::write_bmp(const std::string& path) const {
    std::map<uint32_t, uint8_t> index_of;
    std::vector<Rgb> palette;
    const int stride = (width_ + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * height_, 0);
    for (int y = height_ - 1, row = 0; y >= 0; --y, ++row)
        for (int x = 0; x < width_; ++x) {
            const Rgb c = get(x, y);
            const uint32_t key = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
            auto found = index_of.find(key);
            if (found == index_of.end()) {
                if (palette.size() == 256) fail(path + ": more than 256 colours");
                found = index_of.emplace(key, static_cast<uint8_t>(palette.size())).first;
                palette.push_back(c);
            }
            bits[static_cast<size_t>(row) * stride + x] = found->second;
        }
    const uint32_t header_bytes = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put_u32(out, header_bytes + static_cast<uint32_t>(bits.size()));
    put_u32(out, 0);
    put_u32(out, header_bytes);
    put_u32(out, 40);  // BITMAPINFOHEADER
    put_u32(out, static_cast<uint32_t>(width_));
    put_u32(out, static_cast<uint32_t>(height_));
    put_u16(out, 1);
    put_u16(out, 8);
    put_u32(out, 0);  // BI_RGB
    put_u32(out, static_cast<uint32_t>(bits.size()));
    put_u32(out, 2835);  // 72 dpi
    put_u32(out, 2835);
    put_u32(out, 256);
    put_u32(out, 0);
    for (size_t i = 0; i < 256; ++i) {
        const Rgb c = i < palette.size() ? palette[i] : kBlack;
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    out.insert(out.end(), bits.begin(), bits.end());
    write_file(path, out);
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) fail(path + ": cannot write");
}

std::string output_folder(int argc, char** argv) {
    if (argc != 2) fail(std::string("usage: ") + (argc > 0 ? argv[0] : "art") + " OUTPUT_FOLDER");
    return argv[1];
}

std::string font_path(const std::string& file_name) { return std::string(GAUGE_FONT_DIR) + "/" + file_name; }

}  // namespace art
