// Drawing a gauge as the host would, from its records alone: the module's own bitmaps composed in tree order,
// needles turned along their calibration tables, strings in the font their records ask for, sliders, icons and
// moving images placed by their values, hidden elements left out.
//
// Uses the host (element values, texts), loading (bitmaps) and the bench's reading of the records; runs and the
// live page use it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host.h"
#include "picture.h"
#include "text.h"

namespace bench {

struct RenderOptions {
    // The host draws only what lies over the background. With a margin, the picture grows to hold every
    // element at its resting place as well; what lies outside the background is dimmed and a dashed line marks
    // the background's edge, so that a person sees what the host would cut away.
    bool margin = true;
};

// The direction in which a needle points for `value`, in degrees clockwise from +x (gauge y grows downward):
// toward the point of the row whose value it equals, turning clockwise from one row's direction to the next
// for values between them, and resting at the first or the last row beyond the table.
double needle_angle(const NeedleElement& needle, double value);

// The offset of a moving image's strip behind its window along one axis: 0 at range_from, `travel` (strip
// length less window length) at range_to, in proportion between them and held at the ends beyond.
int strip_offset(const MovingAxis& axis, double value, int travel);

// Draws the gauges of one module. It keeps the decoded bitmaps, the font and laid-out texts between frames;
// make one per loaded module and keep it as long as the module.
class Renderer {
public:
    explicit Renderer(const LoadedModule& module, RenderOptions options = {});
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // The frame the host would plot now: element values from the host's last update, texts and colours as the
    // module left them, hide bits as they stand.
    Picture render(const Host& host);

    // What could not be drawn (a bitmap that does not decode, the font missing), each said once.
    const std::vector<std::string>& problems() const { return problems_; }

private:
    const Bitmap* bitmap(int32_t id);
    void problem(const std::string& text);
    void compute_extent(const Host& host);
    void draw_element(Picture& picture, const Host& host, const ElementHeader* element, bool is_background);
    void draw_needle(Picture& picture, const NeedleElement& needle, double value);
    void draw_string(Picture& picture, const StringElement& string, const std::string& text);
    void draw_moving(Picture& picture, const MovingImageElement& moving, const ElementValues& values);

    const LoadedModule& module_;
    RenderOptions options_;
    std::map<int32_t, std::unique_ptr<Bitmap>> bitmaps_;  // null: the bitmap does not decode
    TextLayout text_;
    std::vector<std::string> problems_;
    bool extent_known_ = false;
    int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // the picture's extent in gauge pixels
    int background_right_ = 0, background_bottom_ = 0;
};

// One frame drawn by a renderer made for it: simple, but it decodes every bitmap again.
Picture render(const Host& host, const LoadedModule& module, RenderOptions options = {});

}  // namespace bench
