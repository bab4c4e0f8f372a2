// The clock's four bitmaps: the face (a black 8-day aircraft clock dial in a metal bezel, with its winding knob
// and two panel screws) and the hour, minute and second hands, each pointing along +x from its pivot.
//
// Everything is drawn at four samples a pixel each way, lit by one light from the upper left, averaged down
// and reduced to a 256-colour palette. The hands lie on pure black, which the host leaves out when it draws
// them; nothing inside a hand is pure black.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "canvas.h"

namespace {

using art::Point;
using art::Rgb;

constexpr int kSamples = 4;  // per pixel along each axis
constexpr double kPi = std::numbers::pi;

struct Colour {
    double r, g, b;
};
constexpr Colour colour(Rgb c) { return {double(c.r), double(c.g), double(c.b)}; }
Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Vec3 {
    double x, y, z;
};
Vec3 normalised(Vec3 v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// One light from the upper left, in front of the panel; the eye looks straight at it.
const Vec3 kLight = normalised({-0.5, -0.62, 0.6});
const Vec3 kHalfway = normalised({kLight.x, kLight.y, kLight.z + 1});

struct Finish {
    Colour base;
    double ambient, diffuse, gloss, shininess;
};
// A surface of the given finish whose normal is `normal` (z toward the eye).
Colour lit(const Finish& finish, Vec3 normal) {
    const double diffuse = std::max(0.0, dot(normal, kLight));
    const double gloss = std::pow(std::max(0.0, dot(normal, kHalfway)), finish.shininess);
    const double k = finish.ambient + finish.diffuse * diffuse;
    const double s = finish.gloss * gloss * 255;
    return {finish.base.r * k + s, finish.base.g * k + s, finish.base.b * k + s};
}

// clang-format off
// A bitmap being drawn, in its own pixel coordinates (pixel (i, j) spans [i, i+1) x [j, j+1)).
class Drawing {
public:
    Drawing(int width, int height)
        : width_(width), height_(height),
          samples_(static_cast<size_t>(width) * kSamples * height * kSamples, Colour{0, 0, 0}),
          inked_(samples_.size(), false) {}

    // Paints every sample inside the box whose point satisfies `inside`, with the colour `shade` gives for it,
    // over what lies there by `opacity`.
    template <typename Inside, typename Shade>
    void paint(double left, double top, double right, double bottom, Inside inside, Shade shade,
               double opacity = 1.0) {
        const int x0 = std::max(0, static_cast<int>(std::floor(left * kSamples)));
        const int y0 = std::max(0, static_cast<int>(std::floor(top * kSamples)));
        const int x1 = std::min(width_ * kSamples, static_cast<int>(std::ceil(right * kSamples)) + 1);
        const int y1 = std::min(height_ * kSamples, static_cast<int>(std::ceil(bottom * kSamples)) + 1);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Point p{(x + 0.5) / kSamples, (y + 0.5) / kSamples};
                if (!inside(p)) continue;
                const size_t at = static_cast<size_t>(y) * width_ * kSamples + x;
                samples_[at] = mix(samples_[at], shade(p), opacity);
                inked_[at] = true;
            }
    }
    // clang-format on

    template <typename Shade>
    void disc(Point c, double radius, Shade shade, double opacity = 1.0) {
        ring(c, -1, radius, shade, opacity);
    }
    template <typename Shade>
    void ring(Point c, double inner, double outer, Shade shade, double opacity = 1.0) {
        paint(
            c.x - outer, c.y - outer, c.x + outer, c.y + outer,
            [&](Point p) {
                const double d = std::hypot(p.x - c.x, p.y - c.y);
                return d > inner && d <= outer;
            },
            shade, opacity);
    }
    template <typename Shade>
    void polygon(const std::vector<Point>& points, Shade shade, double opacity = 1.0) {
        double left = points[0].x, right = left, top = points[0].y, bottom = top;
        for (const Point& p : points) {
            left = std::min(left, p.x), right = std::max(right, p.x);
            top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
        paint(
            left, top, right, bottom,
            [&](Point p) {
                bool in = false;
                for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
                    const Point& a = points[i];
                    const Point& b = points[j];
                    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
                }
                return in;
            },
            shade, opacity);
    }
    // Text centred on `centre` horizontally, its capitals centred on it vertically.
    void text(const art::Font& font, double cap_height, Point centre, const std::string& text, Colour ink) {
        // Liberation Sans: capitals stand 0.688 em over the baseline in a 1.117 em ascent-to-descent span.
        const double height = cap_height * 1.117 / 0.688;
        art::Canvas mask(width_ * kSamples, height_ * kSamples, art::kBlack);
        mask.text(font, height * kSamples, centre.x * kSamples, (centre.y + cap_height / 2) * kSamples, text,
                  art::kWhite, art::Align::kCentre);
        paint(
            0, 0, width_, height_,
            [&](Point p) {
                return mask.get(static_cast<int>(p.x * kSamples), static_cast<int>(p.y * kSamples)) == art::kWhite;
            },
            [&](Point) { return ink; });
    }

    // The bitmap: each pixel the mean of its samples, reduced to 256 colours of which pure black is one, kept
    // for the pixels that are pure black and for no other. With `transparent_black`, pixels that the drawing
    // barely touches are left pure black too.
    void write(const std::string& path, bool transparent_black) const;

private:
    int width_, height_;
    std::vector<Colour> samples_;
    std::vector<bool> inked_;
};

uint32_t key_of(Rgb c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }
Rgb rgb_of(uint32_t key) { return {uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)}; }

// clang-format off
// Median cut: splits the colours, weighted by use, into at most `count` boxes and gives each pixel the mean of
// its box. Ties are broken by colour, so the result does not depend on anything but the input.
std::map<uint32_t, Rgb> reduce_colours(const std::map<uint32_t, size_t>& histogram, size_t count) {
    struct Entry {
        Rgb colour;
        size_t uses;
    };
    using Box = std::vector<Entry>;
    std::vector<Box> boxes(1);
    for (const auto& [key, uses] : histogram) boxes[0].push_back({rgb_of(key), uses});
    auto channel = [](const Rgb& c, int i) { return i == 0 ? c.r : i == 1 ? c.g : c.b; };
    auto widest = [&](const Box& box, int* axis) {
        int best = -1;
        for (int i = 0; i < 3; ++i) {
            int lo = 255, hi = 0;
            for (const Entry& e : box) lo = std::min<int>(lo, channel(e.colour, i)), hi = std::max<int>(hi, channel(e.colour, i));
            if (hi - lo > best) best = hi - lo, *axis = i;
        }
        return best;
    };
    while (boxes.size() < count) {
        // Split the box whose spread, weighted by the pixels it holds, is largest.
        double best_score = 0;
        size_t best = boxes.size();
        int axis = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].size() < 2) continue;
            int box_axis = 0;
            size_t uses = 0;
            for (const Entry& e : boxes[i]) uses += e.uses;
            const double score = widest(boxes[i], &box_axis) * std::sqrt(double(uses));
            if (score > best_score) best_score = score, best = i, axis = box_axis;
        }
        if (best == boxes.size()) break;
        Box& box = boxes[best];
        std::sort(box.begin(), box.end(), [&](const Entry& a, const Entry& b) {
            const int ca = channel(a.colour, axis), cb = channel(b.colour, axis);
            return ca != cb ? ca < cb : key_of(a.colour) < key_of(b.colour);
        });
        size_t total = 0, running = 0, cut = 1;
        for (const Entry& e : box) total += e.uses;
        for (size_t i = 0; i + 1 < box.size(); ++i) {
            running += box[i].uses;
            cut = i + 1;
            if (running * 2 >= total) break;
        }
        Box upper(box.begin() + static_cast<std::ptrdiff_t>(cut), box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }
    std::map<uint32_t, Rgb> out;
    for (const Box& box : boxes) {
        double r = 0, g = 0, b = 0, uses = 0;
        for (const Entry& e : box) r += e.colour.r * e.uses, g += e.colour.g * e.uses, b += e.colour.b * e.uses, uses += e.uses;
        Rgb mean{uint8_t(std::lround(r / uses)), uint8_t(std::lround(g / uses)), uint8_t(std::lround(b / uses))};
        for (const Entry& e : box) out[key_of(e.colour)] = mean;
    }
    return out;
}

void Drawing::write(const std::string& path, bool transparent_black) const {
    constexpr int kPerPixel = kSamples * kSamples;
    std::vector<Rgb> pixels(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            Colour sum{0, 0, 0};
            int inked = 0;
            for (int j = 0; j < kSamples; ++j)
                for (int i = 0; i < kSamples; ++i) {
                    const size_t at = static_cast<size_t>(y * kSamples + j) * width_ * kSamples + x * kSamples + i;
                    sum.r += samples_[at].r, sum.g += samples_[at].g, sum.b += samples_[at].b;
                    inked += inked_[at];
                }
            auto channel = [](double v) { return uint8_t(std::clamp(std::lround(v / kPerPixel), 0L, 255L)); };
            Rgb c{channel(sum.r), channel(sum.g), channel(sum.b)};
            if (transparent_black) {
                if (inked * 8 < kPerPixel) c = art::kBlack;  // a fringe too faint to keep
                else if (c == art::kBlack) c = {1, 1, 1};
            }
            pixels[static_cast<size_t>(y) * width_ + x] = c;
        }
    std::map<uint32_t, size_t> histogram;
    for (const Rgb& c : pixels)
        if (c != art::kBlack) ++histogram[key_of(c)];
    const auto palette = reduce_colours(histogram, 255);
    art::Canvas out(width_, height_, art::kBlack);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Rgb c = pixels[static_cast<size_t>(y) * width_ + x];
            if (c == art::kBlack) continue;
            Rgb reduced = palette.at(key_of(c));
            if (reduced == art::kBlack) reduced = {1, 1, 1};
            out.set(x, y, reduced);
        }
    out.write_bmp(path);
}
// clang-format on

// Shades.
auto flat(Colour c) {
    return [c](Point) { return c; };
}
// A dome over a disc: the normal tilts outward with the distance from the centre.
auto dome(Point c, double radius, Finish finish, double curvature = 1.0) {
    return [=](Point p) {
        const double dx = (p.x - c.x) / radius, dy = (p.y - c.y) / radius;
        return lit(finish, normalised({dx * curvature, dy * curvature, 1}));
    };
}
// A surface of revolution about `c` whose height at distance r is height(r).
template <typename Height>
auto turned(Point c, Finish finish, Height height) {
    return [=](Point p) {
        const double dx = p.x - c.x, dy = p.y - c.y;
        const double r = std::max(1e-9, std::hypot(dx, dy));
        const double slope = (height(r + 0.05) - height(r - 0.05)) / 0.1;
        return lit(finish, normalised({-slope * dx / r, -slope * dy / r, 1}));
    };
}

// Directions on the dial: clockwise from twelve o'clock.
Point on_dial(Point centre, double turn, double radius) {
    const double a = turn * 2 * kPi;
    return {centre.x + radius * std::sin(a), centre.y - radius * std::cos(a)};
}
// A bar along the dial's radius at `turn`, from `inner` to `outer`, `width` wide.
std::vector<Point> radial_bar(Point centre, double turn, double inner, double outer, double width) {
    const double a = turn * 2 * kPi;
    const double tx = std::cos(a) * width / 2, ty = std::sin(a) * width / 2;
    const Point p = on_dial(centre, turn, inner), q = on_dial(centre, turn, outer);
    return {{p.x - tx, p.y - ty}, {q.x - tx, q.y - ty}, {q.x + tx, q.y + ty}, {p.x + tx, p.y + ty}};
}

constexpr Colour kDial{11, 11, 12};
constexpr Colour kInk{244, 244, 238};  // marks, numerals, legend and hands

void draw_screw(Drawing& face, Point c, double slot_angle) {
    const Finish steel{{150, 150, 156}, 0.45, 0.75, 0.55, 30};
    face.disc(c, 12.2, flat({6, 6, 6}));  // the countersink's shadow
    face.disc(c, 10.5, dome(c, 10.5, steel, 0.9));
    const double a = slot_angle * kPi / 180, ux = std::cos(a), uy = std::sin(a);
    const double half = 9.4, w = 1.4;
    face.polygon({{c.x - ux * half - uy * w, c.y - uy * half + ux * w},
                  {c.x + ux * half - uy * w, c.y + uy * half + ux * w},
                  {c.x + ux * half + uy * w, c.y + uy * half - ux * w},
                  {c.x - ux * half + uy * w, c.y - uy * half - ux * w}},
                 flat({24, 24, 26}));
}

// clang-format off
void draw_knob(Drawing& face, Point c) {
    // A knurled winding knob standing in front of the bezel, casting a soft shadow down and to the right.
    for (int i = 0; i < 4; ++i) face.disc({c.x + 1.5 + i * 0.5, c.y + 2 + i * 0.6}, 20.5 - i * 0.5, flat({0, 0, 0}), 0.35);
    const Finish knurl{{88, 89, 94}, 0.35, 0.9, 0.45, 18};
    constexpr int kRidges = 40;
    face.ring(c, 14.6, 19.5, [=](Point p) {
        const double dx = p.x - c.x, dy = p.y - c.y, r = std::hypot(dx, dy);
        const double phase = std::atan2(dy, dx) * kRidges;
        const double tilt = 0.9 * std::sin(phase);  // each ridge's two flanks face opposite ways
        const double out = 0.35 + 0.9 * (r - 14.6) / 4.9;
        return lit(knurl, normalised({(dx * out - dy * tilt) / r, (dy * out + dx * tilt) / r, 1}));
    });
    const Finish cap{{112, 113, 118}, 0.4, 0.8, 0.6, 40};
    face.disc(c, 14.6, dome(c, 14.6, cap, 0.55));
    face.ring(c, 9.0, 9.8, flat({52, 52, 56}));  // a turned groove
    face.disc(c, 2.2, flat({40, 40, 44}));
}
// clang-format on

void draw_face(const std::string& path) {
    Drawing face(306, 302);
    const Point centre{155.5, 150.5};  // the middle of pixel (155, 150), about which the hands turn

    // clang-format off
    // The bezel: a rounded metal ring that steps down onto the dial through a short chamfer.
    const Finish bezel{{64, 66, 71}, 0.42, 0.85, 0.5, 22};
    face.ring(centre, 113, 142, turned(centre, bezel, [](double r) {
        if (r < 117) return (r - 113) * 1.4;                              // the chamfer up from the dial
        if (r < 140) return 5.6 + 5.0 * std::sin(kPi * (r - 117) / 23);  // the rounded rim
        return 5.6 - (r - 140) * 2.8;                                     // the outer edge
    }));
    face.ring(centre, 112.2, 113.2, flat({30, 30, 33}));
    face.disc(centre, 112.2, flat(kDial));
    // clang-format on

    // The minute track: a mark every minute, longer every five, broad at three, six and nine, and a
    // triangular index at twelve.
    for (int minute = 0; minute < 60; ++minute) {
        const double turn = minute / 60.0;
        if (minute == 0) {
            const Point tip = on_dial(centre, 0, 95.5);
            face.polygon({tip, {centre.x - 7, centre.y - 110.5}, {centre.x + 7, centre.y - 110.5}}, flat(kInk));
        } else if (minute % 15 == 0) {
            face.polygon(radial_bar(centre, turn, 97, 110.5, 4.6), flat(kInk));
        } else if (minute % 5 == 0) {
            face.polygon(radial_bar(centre, turn, 99, 110.5, 2.8), flat(kInk));
        } else {
            face.polygon(radial_bar(centre, turn, 104, 110.5, 1.3), flat(kInk));
        }
    }

    const art::Font bold(art::font_path("LiberationSans-Bold.ttf"));
    const double numeral_radius = 82.5;
    face.text(bold, 18, on_dial(centre, 0.0, numeral_radius), "12", kInk);
    face.text(bold, 18, on_dial(centre, 0.25, numeral_radius), "3", kInk);
    face.text(bold, 18, on_dial(centre, 0.5, numeral_radius), "6", kInk);
    face.text(bold, 18, on_dial(centre, 0.75, numeral_radius), "9", kInk);
    face.text(bold, 8.5, {centre.x, centre.y - 50}, "CLOCK", kInk);
    face.text(bold, 6.5, {centre.x, centre.y - 36}, "8 DAY", {205, 205, 200});

    // The centre boss the hands sit on.
    face.disc(centre, 7.2, flat({20, 20, 22}));
    face.disc(centre, 6.2, dome(centre, 6.2, {{140, 140, 146}, 0.4, 0.8, 0.6, 30}, 0.8));

    draw_screw(face, {24.5, 24.5}, 35);
    draw_screw(face, {306 - 24.5, 302 - 24.5}, -20);
    draw_knob(face, {50.5, 260.5});
    face.write(path, false);
}

// A hand's hub: a dark domed collar round the pivot with a small bright pin.
void draw_hub(Drawing& hand, Point pivot, double radius, double pin) {
    hand.disc(pivot, radius, dome(pivot, radius, {{46, 46, 50}, 0.55, 0.6, 0.35, 20}, 0.7));
    hand.ring(pivot, radius - 0.8, radius, flat({92, 92, 98}));
    hand.disc(pivot, pin, dome(pivot, pin, {{150, 150, 156}, 0.45, 0.7, 0.6, 30}, 0.8));
}

// An hour or minute hand: a tapered white baton from the hub to a point `length` from the pivot.
void draw_baton_hand(const std::string& path, int width, double length, double base_half, double shoulder_half) {
    Drawing hand(width, 23);
    const Point p{11.5, 11.5};  // the middle of pixel (11, 11)
    const double shoulder = length - 18;
    hand.polygon({{p.x + 4, p.y - base_half},
                  {p.x + shoulder, p.y - shoulder_half},
                  {p.x + length, p.y},
                  {p.x + shoulder, p.y + shoulder_half},
                  {p.x + 4, p.y + base_half}},
                 flat(kInk));
    draw_hub(hand, p, 9, 3);
    hand.write(path, true);
}

// clang-format off
void draw_second_hand(const std::string& path) {
    Drawing hand(155, 15);
    const Point p{51.5, 7.5};  // the middle of pixel (51, 7)
    const Colour dark{24, 24, 26}, edge{112, 112, 118};
    // The counterweight tail: a dark bar ending in an arrowhead, edged in grey so it shows on the dial.
    auto tail = [&](double grow) {
        hand.polygon({{p.x, p.y - 1.7 - grow}, {19, p.y - 1.7 - grow}, {19, p.y - 6.3 - grow}, {2 - grow * 1.5, p.y},
                      {19, p.y + 6.3 + grow}, {19, p.y + 1.7 + grow}, {p.x, p.y + 1.7 + grow}},
                     flat(grow > 0 ? edge : dark));
    };
    tail(0.7);
    tail(0);
    hand.polygon({{p.x, p.y - 1.1}, {p.x + 100, p.y - 0.5}, {p.x + 103, p.y}, {p.x + 100, p.y + 0.5},
                  {p.x, p.y + 1.1}},
                 flat(kInk));
    draw_hub(hand, p, 4.6, 2);
    hand.write(path, true);
}
// clang-format on

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = art::output_folder(argc, argv);
    draw_face(folder + "/clock_face.bmp");
    draw_baton_hand(folder + "/hour_hand.bmp", 88, 74.5, 3.6, 3.2);
    draw_baton_hand(folder + "/minute_hand.bmp", 116, 103.5, 3.0, 2.6);
    draw_second_hand(folder + "/second_hand.bmp");
}
