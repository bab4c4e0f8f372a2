// Strings as the host writes them: one character cell per declared character across the element's box, in
// Liberation Mono (metric-compatible with Courier New, the face every gauge asks for), placed by the element's
// format flags and cut at its box.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "records.h"

namespace bench {

// A laid-out text: how much of each pixel of the element's box the glyphs cover, 0 to 255.
struct TextCoverage {
    int width = 0, height = 0;
    std::vector<uint8_t> coverage;  // width x height, top row first
};

class TextLayout {
public:
    TextLayout();
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // The text (code page 1252) laid out in the string element's box. Layouts are kept between frames.
    const TextCoverage& lay_out(const StringElement& string, const std::string& text);
    // Set when the font cannot be read; strings are then drawn without their text.
    const std::string& problem() const { return problem_; }

private:
    struct Font;
    std::unique_ptr<Font> font_;
    bool font_tried_ = false;
    std::string problem_;
    std::map<std::string, std::unique_ptr<TextCoverage>> cache_;
};

}  // namespace bench
