#include "inspect.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>

#include "json.h"

namespace bench {
namespace {

constexpr size_t kDepthLimit = 64;
constexpr size_t kElementLimit = 1024;

const char* kind_name(uint32_t kind) {
    static const char* const names[] = {"static image", "needle", "string", "slider", "icon", "moving image"};
    return kind <= kMovingImage ? names[kind] : "unknown kind";
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The shortest text that reads back as the same double.
std::string number(double value) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string format_flag_names(uint32_t flags) {
    std::string out;
    auto add = [&](const char* name) { out += (out.empty() ? "" : ", ") + std::string(name); };
    if (flags & 0x1) add("centred");
    if (flags & 0x2) add("right");
    if (!(flags & 0x3)) add("left");
    if (flags & 0x20) {
        add("single line");
        if (flags & 0x4) add("centred vertically");
        else if (flags & 0x8) add("at the bottom");
        else add("at the top");
    }
    if (flags & ~0x2Fu) add(hex(flags & ~0x2Fu).c_str());
    return out;
}

class Describer {
public:
    explicit Describer(const Host& host) : host_(host), module_(host.module()) {}

    std::string run() {
        const GaugeHeader* header = module_.header();
        line(0, "gauge \"" + printable(header->name) + "\" in " +
                    std::filesystem::path(module_.path()).filename().string());
        line(1, "version " + std::to_string(header->version) + ", nominal_size " +
                    std::to_string(header->nominal_size));
        line(0, "elements, in tree order:");
        element(header->elements[0], 1);
        line(0, "mouse areas:");
        mouse_list();
        return out_;
    }

private:
    // Names and texts are printed as the module holds them, control characters aside.
    static std::string printable(const char* text) {
        std::string out;
        for (size_t i = 0; text[i] && i < 256; ++i) out += (static_cast<unsigned char>(text[i]) < 0x20) ? '?' : text[i];
        return out;
    }

    void line(size_t depth, const std::string& text) { out_ += std::string(2 * depth, ' ') + text + "\n"; }

    std::string bitmap_size(int32_t id) {
        Bitmap b;
        std::string error;
        if (!module_.bitmap(id, &b, &error)) return " (" + error + ")";
        return " (" + std::to_string(b.width) + " x " + std::to_string(b.height) + ")";
    }

    static std::string variable(const ModuleVariable& v) {
        return v.id == 0 ? std::string("none") : "variable " + std::to_string(v.id);
    }
    static std::string callback(const void* f) { return f ? "a callback" : "no callback"; }

    void element(const ElementHeader* e, size_t depth) {
        if (!e || depth > kDepthLimit || ++count_ > kElementLimit) return;
        std::string head = "element " + std::to_string(count_) + ": " + kind_name(e->kind);
        if (e->kind != kString && e->kind <= kMovingImage)
            head += ", resource " + std::to_string(e->resource_id) +
                    (e->kind == kIcon || e->kind == kMovingImage ? "" : bitmap_size(e->resource_id));
        head += ", position (" + std::to_string(e->position_x) + ", " + std::to_string(e->position_y) + "), anchor (" +
                std::to_string(e->anchor_x) + ", " + std::to_string(e->anchor_y) + "), image_flags " +
                hex(e->image_flags) + ((e->image_flags & kImageHidden) ? " (hidden)" : "");
        line(depth, head);
        const size_t d = depth + 2;
        if (e->failures) {
            std::string list;
            for (size_t i = 0; i < 64 && (e->failures[i].failure_key || e->failures[i].failure_action); ++i)
                list += (list.empty() ? "" : ", ") + std::string("(") + std::to_string(e->failures[i].failure_key) +
                        ", " + std::to_string(e->failures[i].failure_action) + ")";
            line(d, "failures: " + (list.empty() ? std::string("an empty list") : list));
        }
        switch (e->kind) {
            case kNeedle: {
                auto* n = reinterpret_cast<const NeedleElement*>(e);
                line(d, "source " + variable(n->source) + ", " +
                            callback(reinterpret_cast<const void*>(n->value_callback)) + ", turn_limit " +
                            std::to_string(n->turn_limit));
                line(d, "calibration, " + std::to_string(n->point_count) + " rows (value: point):");
                for (uint32_t i = 0; i < n->point_count && i < 1024; ++i)
                    line(d + 1, number(n->points[i].value) + ": (" + std::to_string(n->points[i].x) + ", " +
                                    std::to_string(n->points[i].y) + ")");
                break;
            }
            case kString: {
                auto* s = reinterpret_cast<const StringElement*>(e);
                line(d, "sources " + variable(s->sources[0]) + ", " + variable(s->sources[1]) + ", " +
                            variable(s->sources[2]) + "; " +
                            callback(reinterpret_cast<const void*>(s->text_callback)));
                line(d, "box " + std::to_string(s->width) + " x " + std::to_string(s->height) + ", char_count " +
                            std::to_string(s->char_count) + ", format_flags " + hex(s->format_flags) + " (" +
                            format_flag_names(s->format_flags) + ")");
                char face[33] = {};
                for (size_t i = 0; i < 32 && s->font_face[i]; ++i) face[i] = s->font_face[i];
                line(d, "font \"" + printable(face) + "\", weight " + std::to_string(s->font_weight) + ", charset " +
                            std::to_string(s->charset));
                line(d, "fore_colour " + colour_code(s->fore_colour) + ", back_colour " +
                            colour_code(s->back_colour) + ", third_colour " + colour_code(s->third_colour));
                break;
            }
            case kSlider: {
                auto* s = reinterpret_cast<const SliderElement*>(e);
                for (const auto& [axis, a] : {std::pair{"x", &s->x_axis}, std::pair{"y", &s->y_axis}})
                    line(d, std::string(axis) + " axis: source " + variable(a->source) + ", " +
                                callback(reinterpret_cast<const void*>(a->callback)) + ", scale " + number(a->scale));
                break;
            }
            case kIcon: {
                auto* icon = reinterpret_cast<const IconElement*>(e);
                line(d, "source " + variable(icon->source) + ", " +
                            callback(reinterpret_cast<const void*>(icon->value_callback)) + ", image_count " +
                            std::to_string(icon->image_count));
                for (uint32_t i = 0; i < icon->image_count && i < 64; ++i) {
                    const int32_t id = e->resource_id + 3 * static_cast<int32_t>(i);
                    line(d + 1, "image " + std::to_string(i) + ": resource " + std::to_string(id) + bitmap_size(id));
                }
                break;
            }
            case kMovingImage: {
                auto* m = reinterpret_cast<const MovingImageElement*>(e);
                line(d, "strip: resource " + std::to_string(e->resource_id) + bitmap_size(e->resource_id) +
                            ", window: resource " + std::to_string(e->resource_id + 3) +
                            bitmap_size(e->resource_id + 3));
                for (const auto& [axis, a] : {std::pair{"x", &m->x_axis}, std::pair{"y", &m->y_axis}})
                    line(d, std::string(axis) + " axis: source " + variable(a->source) + ", " +
                                callback(reinterpret_cast<const void*>(a->callback)) + ", range " +
                                number(a->range_from) + " to " + number(a->range_to));
                break;
            }
            default: break;
        }
        if (!e->children) return;
        size_t n = 0;
        while (n < 64 && e->children[n]) ++n;
        line(d, "children: " + std::to_string(n));
        for (size_t i = 0; i < n; ++i) element(e->children[i], depth + 1);
    }

    void mouse_list() {
        const MouseArea* areas = host_.mouse_areas();
        if (!areas) {
            line(1, "none installed");
            return;
        }
        std::map<const void*, size_t> handlers;
        for (size_t i = 0; i < 256; ++i) {
            const MouseArea& a = areas[i];
            if (i > 0 && areas[i - 1].kind == kAreaEnd) {
                // The record after the end record describes no area; show it only when it lies in the module.
                if (!module_.image().contains(&a, sizeof a)) break;
                line(1, std::to_string(i) + ": after the end, kind " + std::to_string(a.kind) + ", cursor " +
                            std::to_string(a.cursor));
                break;
            }
            static const char* const kinds[] = {"after end", "parent", "child", "end"};
            std::string text = std::to_string(i) + ": " + (a.kind <= kAreaEnd ? kinds[a.kind] : "unknown kind");
            if (a.kind == kAreaChild || a.x || a.y || a.width || a.height)
                text += ", box (" + std::to_string(a.x) + ", " + std::to_string(a.y) + ") " + std::to_string(a.width) +
                        " x " + std::to_string(a.height);
            text += ", cursor " + std::to_string(a.cursor);
            if (a.help_id) text += ", help_id " + std::to_string(a.help_id);
            if (a.event_flags) text += ", event_flags " + hex(a.event_flags) + " (" + event_flag_names(a.event_flags) + ")";
            if (a.handler) {
                auto [found, added] = handlers.emplace(reinterpret_cast<const void*>(a.handler), handlers.size() + 1);
                text += ", handler #" + std::to_string(found->second);
            }
            line(1, text);
        }
    }

    const Host& host_;
    const LoadedModule& module_;
    std::string out_;
    size_t count_ = 0;
};

}  // namespace

std::string event_flag_names(uint32_t flags) {
    std::string out;
    auto add = [&](const std::string& name) { out += (out.empty() ? "" : ", ") + name; };
    if (flags & kMouseClick) add("click");
    if (flags & kMouseRepeat) add("repeat");
    if (flags & kMouseDrag) add("drag");
    const uint32_t rest = flags & ~(kMouseClick | kMouseRepeat | kMouseDrag);
    if (rest) add(hex(rest));
    return out;
}

std::string describe_gauge(const Host& host) { return Describer(host).run(); }

}  // namespace bench
