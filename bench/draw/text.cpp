#include "text.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include <stb_truetype.h>

#include "format.h"
#include "bench_limits.h"

#ifndef GAUGE_FONT_DIR
#define GAUGE_FONT_DIR "/usr/share/fonts/truetype/liberation"
#endif

namespace bench {

struct TextLayout::Font {
    std::vector<uint8_t> bytes;
    stbtt_fontinfo info{};
    int advance = 0, ascent = 0, descent = 0;
};

TextLayout::TextLayout() = default;
TextLayout::~TextLayout() = default;

const TextCoverage& TextLayout::lay_out(const StringElement& string, const std::string& text) {
    // Liberation Mono Regular stands for the face and weight every gauge asks for (Courier New, 400).
    std::string key = std::to_string(string.width) + "x" + std::to_string(string.height) + "/" +
                      std::to_string(string.char_count) + "/" + std::to_string(string.format_flags) + "/" + text;
    auto found = cache_.find(key);
    if (found != cache_.end()) return *found->second;
    if (cache_.size() >= limits::kTextCache) cache_.clear();

    auto laid = std::make_unique<TextCoverage>();
    laid->width = string.width;
    laid->height = string.height;
    laid->coverage.assign(static_cast<size_t>(laid->width) * laid->height, 0);
    if (!font_tried_) {
        font_tried_ = true;
        const std::string path = std::string(GAUGE_FONT_DIR) + "/LiberationMono-Regular.ttf";
        std::ifstream in(path, std::ios::binary);
        auto font = std::make_unique<Font>();
        font->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (font->bytes.empty() ||
            !stbtt_InitFont(&font->info, font->bytes.data(), stbtt_GetFontOffsetForIndex(font->bytes.data(), 0))) {
            problem_ = "cannot read the font " + path + "; strings are drawn without their text";
        } else {
            int line_gap = 0, bearing = 0;
            stbtt_GetFontVMetrics(&font->info, &font->ascent, &font->descent, &line_gap);
            stbtt_GetCodepointHMetrics(&font->info, 'M', &font->advance, &bearing);
            font_ = std::move(font);
        }
    }
    if (font_ && !text.empty() && font_->advance > 0 && font_->ascent > font_->descent) {
        // One character cell per declared character across the box, the line no taller than the box.
        const int cells = string.char_count > 0 ? static_cast<int>(string.char_count) : static_cast<int>(text.size());
        const float scale = std::min(float(laid->width) / (float(cells) * float(font_->advance)),
                                     float(laid->height) / float(font_->ascent - font_->descent));
        const float text_width = float(text.size()) * float(font_->advance) * scale;
        const float line_height = float(font_->ascent - font_->descent) * scale;
        const uint32_t flags = string.format_flags;
        float pen = (flags & kTextCentred) ? (float(laid->width) - text_width) / 2
                    : (flags & kTextRight) ? float(laid->width) - text_width
                                           : 0;
        float top = (flags & kTextSingleLine)
                        ? ((flags & kTextCentredVertically) ? (float(laid->height) - line_height) / 2
                           : (flags & kTextBottom)          ? float(laid->height) - line_height
                                                            : 0)
                        : 0;
        const int baseline = static_cast<int>(std::lround(top + float(font_->ascent) * scale));
        std::vector<uint8_t> glyph;
        for (unsigned char byte : text) {
            const int codepoint = static_cast<int>(cp1252_codepoint(byte));
            const int origin = static_cast<int>(std::floor(pen));
            const float shift = pen - float(origin);
            int gx0, gy0, gx1, gy1;
            stbtt_GetCodepointBitmapBoxSubpixel(&font_->info, codepoint, scale, scale, shift, 0, &gx0, &gy0, &gx1,
                                                &gy1);
            const int w = gx1 - gx0, h = gy1 - gy0;
            if (w > 0 && h > 0) {
                glyph.assign(static_cast<size_t>(w) * h, 0);
                stbtt_MakeCodepointBitmapSubpixel(&font_->info, glyph.data(), w, h, w, scale, scale, shift, 0,
                                                  codepoint);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        // The text is cut at the box, as the host's text drawing clips to it.
                        const int tx = origin + gx0 + x, ty = baseline + gy0 + y;
                        if (tx < 0 || ty < 0 || tx >= laid->width || ty >= laid->height) continue;
                        uint8_t& cell = laid->coverage[static_cast<size_t>(ty) * laid->width + tx];
                        cell = std::max(cell, glyph[static_cast<size_t>(y) * w + x]);
                    }
            }
            pen += float(font_->advance) * scale;
        }
    }
    return *(cache_[key] = std::move(laid));
}

}  // namespace bench
