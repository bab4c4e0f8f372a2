#include "renderer.h"

#include <algorithm>
#include <cmath>

#include "elements.h"
#include "bench_limits.h"

namespace bench {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr Colour kBlack{0, 0, 0};

bool is_black(Colour c) { return c.r == 0 && c.g == 0 && c.b == 0; }

Colour from_colorref(uint32_t value) {
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
            static_cast<uint8_t>((value >> 16) & 0xFF)};
}

// Mixes `over` onto `under` by coverage 0..255.
Colour mix(Colour under, Colour over, unsigned coverage) {
    auto one = [&](uint8_t a, uint8_t b) {
        return static_cast<uint8_t>((a * (255 - coverage) + b * coverage + 127) / 255);
    };
    return {one(under.r, over.r), one(under.g, over.g), one(under.b, over.b)};
}

// A value usable as a pixel distance: finite and bounded, else 0.
double usable(double value) {
    if (!std::isfinite(value)) return 0;
    return std::clamp(value, -1e6, 1e6);
}

class Canvas {
public:
    explicit Canvas(Picture& picture) : p_(picture) {}
    bool inside(int gx, int gy) const { return p_.holds_gauge(gx, gy); }
    Colour& at(int gx, int gy) {
        return p_.pixels[static_cast<size_t>(gy - p_.origin_y) * p_.width + (gx - p_.origin_x)];
    }
    // A bitmap with its top-left corner at gauge pixel (gx, gy); pure black is transparent unless `opaque`.
    void blit(const Bitmap& bitmap, int gx, int gy, bool opaque) {
        const int x0 = std::max(0, p_.origin_x - gx), y0 = std::max(0, p_.origin_y - gy);
        const int x1 = std::min(bitmap.width, p_.origin_x + p_.width - gx);
        const int y1 = std::min(bitmap.height, p_.origin_y + p_.height - gy);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Colour c = bitmap.at(x, y);
                if (opaque || !is_black(c)) at(gx + x, gy + y) = c;
            }
    }

private:
    Picture& p_;
};

}  // namespace

double needle_angle(const NeedleElement& needle, double value) {
    const NonlinearityPoint* rows = needle.points;
    const uint32_t count = rows ? needle.point_count : 0;
    if (count == 0) return 0;
    auto direction = [&](uint32_t i) {
        return std::atan2(double(rows[i].y) - needle.header.position_y, double(rows[i].x) - needle.header.position_x) *
               180.0 / kPi;
    };
    if (std::isnan(value) || value <= rows[0].value) return direction(0);
    for (uint32_t i = 0; i + 1 < count; ++i) {
        if (value >= rows[i + 1].value) continue;
        const double span = rows[i + 1].value - rows[i].value;
        const double t = span > 0 ? (value - rows[i].value) / span : 0;
        const double from = direction(i);
        double turn = std::fmod(direction(i + 1) - from, 360.0);
        if (turn < 0) turn += 360.0;
        return from + t * turn;
    }
    return direction(count - 1);
}

int strip_offset(const MovingAxis& axis, double value, int travel) {
    const double from = axis.range_from, to = axis.range_to;
    if (!std::isfinite(value) || !std::isfinite(from) || !std::isfinite(to) || from == to) return 0;
    const double t = std::clamp((value - from) / (to - from), 0.0, 1.0);
    return static_cast<int>(std::lround(t * travel));
}

Renderer::Renderer(const LoadedModule& module, RenderOptions options) : module_(module), options_(options) {}
Renderer::~Renderer() = default;

void Renderer::problem(const std::string& text) {
    if (std::find(problems_.begin(), problems_.end(), text) == problems_.end()) problems_.push_back(text);
}

const Bitmap* Renderer::bitmap(int32_t id) {
    auto found = bitmaps_.find(id);
    if (found != bitmaps_.end()) return found->second.get();
    auto decoded = std::make_unique<Bitmap>();
    std::string error;
    if (!module_.bitmap(id, decoded.get(), &error)) {
        problem(error);
        decoded.reset();
    }
    return (bitmaps_[id] = std::move(decoded)).get();
}

void Renderer::compute_extent(const Host& host) {
    const std::vector<ElementHeader*> elements = host.elements();
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!elements.empty()) {
        const ElementHeader* background = elements[0];
        if (const Bitmap* b = bitmap(background->resource_id)) {
            left = background->position_x - background->anchor_x;
            top = background->position_y - background->anchor_y;
            right = left + b->width;
            bottom = top + b->height;
        }
    }
    background_right_ = right;
    background_bottom_ = bottom;
    const int bg_left = left, bg_top = top;
    if (options_.margin) {
        auto take = [&](int x0, int y0, int x1, int y1) {
            left = std::min(left, x0);
            top = std::min(top, y0);
            right = std::max(right, x1);
            bottom = std::max(bottom, y1);
        };
        auto take_bitmap = [&](const ElementHeader& e, int32_t id) {
            const int x = e.position_x - e.anchor_x, y = e.position_y - e.anchor_y;
            if (const Bitmap* b = bitmap(id)) take(x, y, x + b->width, y + b->height);
        };
        for (size_t i = 1; i < elements.size(); ++i)
            visit_element(*elements[i],
                          overloaded{
                              [&](const StringElement& s) {
                                  const int x = s.header.position_x - s.header.anchor_x,
                                            y = s.header.position_y - s.header.anchor_y;
                                  take(x, y, x + std::clamp(s.width, 0, limits::kTextBox),
                                       y + std::clamp(s.height, 0, limits::kTextBox));
                              },
                              [&](const NeedleElement& n) {
                                  const ElementHeader& e = n.header;
                                  const Bitmap* b = bitmap(e.resource_id);
                                  if (!b) return;
                                  // Whatever way it turns, the needle stays within its longest reach from the pivot.
                                  const double dx = std::max(e.anchor_x + 1.0, b->width - double(e.anchor_x));
                                  const double dy = std::max(e.anchor_y + 1.0, b->height - double(e.anchor_y));
                                  const int reach = static_cast<int>(std::ceil(std::sqrt(dx * dx + dy * dy)));
                                  take(e.position_x - reach, e.position_y - reach, e.position_x + reach + 1,
                                       e.position_y + reach + 1);
                              },
                              [&](const MovingImageElement& m) { take_bitmap(m.header, window_id(m)); },
                              [&](const ElementHeader& e) { take_bitmap(e, e.resource_id); },
                              [&](const auto& other) { take_bitmap(other.header, other.header.resource_id); },
                          });
        left = std::max(left, bg_left - limits::kPictureMargin);
        top = std::max(top, bg_top - limits::kPictureMargin);
        right = std::min(right, background_right_ + limits::kPictureMargin);
        bottom = std::min(bottom, background_bottom_ + limits::kPictureMargin);
    }
    left_ = left;
    top_ = top;
    right_ = std::max(right, left + 1);
    bottom_ = std::max(bottom, top + 1);
    extent_known_ = true;
}

Picture Renderer::render(const Host& host) {
    if (!extent_known_) compute_extent(host);
    Picture picture;
    picture.origin_x = left_;
    picture.origin_y = top_;
    picture.width = right_ - left_;
    picture.height = bottom_ - top_;
    picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, kBlack);
    const std::vector<ElementHeader*> elements = host.elements();
    if (elements.empty()) return picture;
    const ElementHeader* background = elements[0];
    const int bg_left = background->position_x - background->anchor_x;
    const int bg_top = background->position_y - background->anchor_y;
    auto in_background = [&](int gx, int gy) {
        return gx >= bg_left && gy >= bg_top && gx < background_right_ && gy < background_bottom_;
    };
    Canvas canvas(picture);
    for (int gy = top_; gy < bottom_; ++gy)
        for (int gx = left_; gx < right_; ++gx)
            if (!in_background(gx, gy)) {
                const uint8_t shade = ((gx >> 3) + (gy >> 3)) & 1 ? 40 : 28;
                canvas.at(gx, gy) = {shade, shade, shade};
            }
    for (const ElementHeader* element : elements) draw_element(picture, host, element, element == background);
    if (picture.width == background_right_ - bg_left && picture.height == background_bottom_ - bg_top) return picture;
    // Dim what the host would cut away, and mark the background's edge with a dashed line outside it.
    for (int gy = top_; gy < bottom_; ++gy)
        for (int gx = left_; gx < right_; ++gx) {
            if (in_background(gx, gy)) continue;
            Colour& c = canvas.at(gx, gy);
            c = {static_cast<uint8_t>(c.r / 2 + 24), static_cast<uint8_t>(c.g / 2 + 24),
                 static_cast<uint8_t>(c.b / 2 + 24)};
            const bool on_edge =
                ((gx == bg_left - 1 || gx == background_right_) && gy >= bg_top - 1 && gy <= background_bottom_) ||
                ((gy == bg_top - 1 || gy == background_bottom_) && gx >= bg_left - 1 && gx <= background_right_);
            if (on_edge && ((gx + gy) / 3) % 2 == 0) c = {230, 230, 230};
        }
    return picture;
}

void Renderer::draw_element(Picture& picture, const Host& host, const ElementHeader* element, bool is_background) {
    if (element->image_flags & kImageHidden) return;
    Canvas canvas(picture);
    const int x = element->position_x - element->anchor_x, y = element->position_y - element->anchor_y;
    const ElementValues values = host.values(element);
    visit_element(*element, overloaded{
                                [&](const StaticImageElement&) {
                                    if (const Bitmap* b = bitmap(element->resource_id))
                                        canvas.blit(*b, x, y, is_background);
                                },
                                [&](const NeedleElement& needle) { draw_needle(picture, needle, values.value); },
                                [&](const StringElement& string) { draw_string(picture, string, host.text(&string)); },
                                [&](const SliderElement& slider) {
                                    const long dx = std::lround(usable(values.x_value * slider.x_axis.scale));
                                    const long dy = std::lround(usable(values.y_value * slider.y_axis.scale));
                                    if (const Bitmap* b = bitmap(element->resource_id))
                                        canvas.blit(*b, x + static_cast<int>(dx), y + static_cast<int>(dy), false);
                                },
                                [&](const IconElement& icon) {
                                    const double last = icon.image_count > 0 ? icon.image_count - 1.0 : 0.0;
                                    const double index = std::isfinite(values.value)
                                                             ? std::clamp(std::trunc(values.value), 0.0, last)
                                                             : 0.0;
                                    if (const Bitmap* b = bitmap(icon_image_id(icon, static_cast<uint32_t>(index))))
                                        canvas.blit(*b, x, y, false);
                                },
                                [&](const MovingImageElement& moving) { draw_moving(picture, moving, values); },
                                [](const ElementHeader&) {},
                            });
}

void Renderer::draw_needle(Picture& picture, const NeedleElement& needle, double value) {
    const Bitmap* b = bitmap(needle.header.resource_id);
    if (!b) return;
    const double angle = needle_angle(needle, value) * kPi / 180.0;
    // Fixed point from here on, so that every build draws the same pixels.
    const int64_t c = std::llround(std::cos(angle) * 65536), s = std::llround(std::sin(angle) * 65536);
    const int px = needle.header.position_x, py = needle.header.position_y;
    const int ax = needle.header.anchor_x, ay = needle.header.anchor_y;
    // The turned bitmap's bounds, from its four corners about the pivot.
    double min_x = 1e9, min_y = 1e9, max_x = -1e9, max_y = -1e9;
    for (double cx : {-ax - 0.5, b->width - ax - 0.5})
        for (double cy : {-ay - 0.5, b->height - ay - 0.5}) {
            const double gx = (c * cx - s * cy) / 65536.0, gy = (s * cx + c * cy) / 65536.0;
            min_x = std::min(min_x, gx), max_x = std::max(max_x, gx);
            min_y = std::min(min_y, gy), max_y = std::max(max_y, gy);
        }
    Canvas canvas(picture);
    const int x0 = std::max(picture.origin_x, px + static_cast<int>(std::floor(min_x)) - 1);
    const int x1 = std::min(picture.origin_x + picture.width - 1, px + static_cast<int>(std::ceil(max_x)) + 1);
    const int y0 = std::max(picture.origin_y, py + static_cast<int>(std::floor(min_y)) - 1);
    const int y1 = std::min(picture.origin_y + picture.height - 1, py + static_cast<int>(std::ceil(max_y)) + 1);
    auto texel = [&](int64_t i, int64_t j) {
        if (i < 0 || j < 0 || i >= b->width || j >= b->height) return kBlack;
        return b->at(static_cast<int>(i), static_cast<int>(j));
    };
    for (int gy = y0; gy <= y1; ++gy)
        for (int gx = x0; gx <= x1; ++gx) {
            // The gauge pixel's centre taken back into the bitmap, sampled between its four nearest pixels;
            // pure black counts as transparent.
            const int64_t dx = gx - px, dy = gy - py;
            const int64_t u = int64_t{ax} * 65536 + c * dx + s * dy;
            const int64_t v = int64_t{ay} * 65536 - s * dx + c * dy;
            const int64_t i = u >> 16, j = v >> 16;
            if (i < -1 || j < -1 || i >= b->width || j >= b->height) continue;
            const int64_t fx = (u >> 8) & 255, fy = (v >> 8) & 255;
            const int64_t weights[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
            const int64_t taps[4][2] = {{i, j}, {i + 1, j}, {i, j + 1}, {i + 1, j + 1}};
            int64_t alpha = 0, r = 0, g = 0, bl = 0;
            for (int k = 0; k < 4; ++k) {
                const Colour t = texel(taps[k][0], taps[k][1]);
                if (is_black(t) || weights[k] == 0) continue;
                alpha += weights[k];
                r += weights[k] * t.r, g += weights[k] * t.g, bl += weights[k] * t.b;
            }
            if (alpha == 0) continue;
            Colour& d = canvas.at(gx, gy);
            const int64_t rest = 65536 - alpha;
            d = {static_cast<uint8_t>((d.r * rest + r + 32768) >> 16),
                 static_cast<uint8_t>((d.g * rest + g + 32768) >> 16),
                 static_cast<uint8_t>((d.b * rest + bl + 32768) >> 16)};
        }
}

void Renderer::draw_string(Picture& picture, const StringElement& string, const std::string& text) {
    if (string.width <= 0 || string.height <= 0 || string.width > limits::kTextBox ||
        string.height > limits::kTextBox) {
        problem("string element at (" + std::to_string(string.header.position_x) + ", " +
                std::to_string(string.header.position_y) + "): box " + std::to_string(string.width) + " x " +
                std::to_string(string.height) + " is not drawable");
        return;
    }
    const Colour fore = from_colorref(string.fore_colour), back = from_colorref(string.back_colour);
    const TextCoverage& laid = text_.lay_out(string, text);
    if (!text_.problem().empty()) problem(text_.problem());
    Canvas canvas(picture);
    const int bx = string.header.position_x - string.header.anchor_x;
    const int by = string.header.position_y - string.header.anchor_y;
    for (int y = 0; y < laid.height; ++y)
        for (int x = 0; x < laid.width; ++x) {
            if (!canvas.inside(bx + x, by + y)) continue;
            const uint8_t coverage = laid.coverage[static_cast<size_t>(y) * laid.width + x];
            Colour& d = canvas.at(bx + x, by + y);
            // A pure black back colour, like any pure black above the background, lets what is below show.
            if (!is_black(back)) d = back;
            if (coverage == 0 || (is_black(fore) && is_black(back))) continue;
            d = mix(d, fore, coverage);
        }
}

void Renderer::draw_moving(Picture& picture, const MovingImageElement& moving, const ElementValues& values) {
    const Bitmap* strip = bitmap(strip_id(moving));
    const Bitmap* window = bitmap(window_id(moving));
    if (!strip || !window) return;
    const int ox = strip_offset(moving.x_axis, values.x_value, strip->width - window->width);
    const int oy = strip_offset(moving.y_axis, values.y_value, strip->height - window->height);
    const int x = moving.header.position_x - moving.header.anchor_x;
    const int y = moving.header.position_y - moving.header.anchor_y;
    Canvas canvas(picture);
    for (int wy = 0; wy < window->height; ++wy)
        for (int wx = 0; wx < window->width; ++wx) {
            if (is_black(window->at(wx, wy)) || !canvas.inside(x + wx, y + wy)) continue;
            const int sx = wx + ox, sy = wy + oy;
            if (sx < 0 || sy < 0 || sx >= strip->width || sy >= strip->height) continue;
            const Colour c = strip->at(sx, sy);
            if (!is_black(c)) canvas.at(x + wx, y + wy) = c;
        }
}

Picture render(const Host& host, const LoadedModule& module, RenderOptions options) {
    Renderer renderer(module, options);
    return renderer.render(host);
}

}  // namespace bench
