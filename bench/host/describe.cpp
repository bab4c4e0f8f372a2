#include "describe.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "elements.h"
#include "format.h"
#include "bench_limits.h"

namespace bench {
namespace {

class Describer {
public:
    explicit Describer(const Host& host) : host_(host), module_(host.module()) {}

    std::string run() {
        const GaugeHeader* header = module_.header();
        line(0, "gauge \"" + printable(header->name) + "\" in " +
                    std::filesystem::path(module_.path()).filename().string());
        line(1,
             "version " + std::to_string(header->version) + ", nominal_size " + std::to_string(header->nominal_size));
        line(0, "elements, in tree order:");
        element(header->elements[0], 1);
        line(0, "mouse areas:");
        mouse_list();
        // Only a Windows module can lack an import; a call to one ends the call.
        const std::vector<std::string> missing = module_.missing_imports();
        if (!missing.empty()) {
            line(0, "imports the bench does not provide (a call to one stops the gauge):");
            for (const std::string& name : missing) line(1, name);
        }
        return out_;
    }

private:
    // Names and texts are printed as the module holds them, control characters aside.
    static std::string printable(const char* text) {
        std::string out;
        for (size_t i = 0; text[i] && i < limits::kNameLength; ++i)
            out += (static_cast<unsigned char>(text[i]) < 0x20) ? '?' : text[i];
        return out;
    }

    void line(size_t depth, const std::string& text) { out_ += std::string(2 * depth, ' ') + text + "\n"; }

    std::string bitmap_size(int32_t id) {
        Bitmap b;
        std::string error;
        if (!module_.bitmap(id, &b, &error)) return " (" + error + ")";
        return " (" + std::to_string(b.width) + " x " + std::to_string(b.height) + ")";
    }
    std::string resource(int32_t id) { return "resource " + std::to_string(id) + bitmap_size(id); }

    static std::string variable(const ModuleVariable& v) {
        return v.id == 0 ? std::string("none") : "variable " + std::to_string(v.id);
    }
    template <typename Function>
    static std::string callback(Function f) {
        return f ? "a callback" : "no callback";
    }

    // The head line: kind, the resource of a kind whose bitmap is its resource_id, placement and flags.
    std::string head(const ElementHeader& e) {
        std::string out = "element " + std::to_string(count_) + ": " + kind_name(e.kind);
        const std::vector<int32_t> bitmaps = element_bitmaps(e);
        if (e.kind == kIcon || e.kind == kMovingImage)
            out += ", resource " + std::to_string(e.resource_id);  // its bitmaps are listed below
        else if (!bitmaps.empty())
            out += ", " + resource(e.resource_id);
        return out + ", position (" + std::to_string(e.position_x) + ", " + std::to_string(e.position_y) +
               "), anchor (" + std::to_string(e.anchor_x) + ", " + std::to_string(e.anchor_y) + "), image_flags " +
               hex8(e.image_flags) + ((e.image_flags & kImageHidden) ? " (hidden)" : "");
    }

    void details(const ElementHeader& e, size_t d) {
        visit_element(e, overloaded{
                             [&](const NeedleElement& n) {
                                 line(d, "source " + variable(n.source) + ", " + callback(n.value_callback) +
                                             ", turn_limit " + std::to_string(n.turn_limit));
                                 line(d, "calibration, " + std::to_string(n.point_count) + " rows (value: point):");
                                 for (uint32_t i = 0; i < n.point_count && i < limits::kNeedlePoints; ++i)
                                     line(d + 1, shortest(n.points[i].value) + ": (" + std::to_string(n.points[i].x) +
                                                     ", " + std::to_string(n.points[i].y) + ")");
                             },
                             [&](const StringElement& s) {
                                 line(d, "sources " + variable(s.sources[0]) + ", " + variable(s.sources[1]) + ", " +
                                             variable(s.sources[2]) + "; " + callback(s.text_callback));
                                 line(d, "box " + std::to_string(s.width) + " x " + std::to_string(s.height) +
                                             ", char_count " + std::to_string(s.char_count) + ", format_flags " +
                                             hex8(s.format_flags) + " (" + format_flag_names(s.format_flags) + ")");
                                 char face[33] = {};
                                 for (size_t i = 0; i < 32 && s.font_face[i]; ++i) face[i] = s.font_face[i];
                                 line(d, "font \"" + printable(face) + "\", weight " + std::to_string(s.font_weight) +
                                             ", charset " + std::to_string(s.charset));
                                 line(d, "fore_colour " + colour_code(s.fore_colour) + ", back_colour " +
                                             colour_code(s.back_colour) + ", third_colour " +
                                             colour_code(s.third_colour));
                             },
                             [&](const SliderElement& s) {
                                 for (const auto& [axis, a] : {std::pair{"x", &s.x_axis}, std::pair{"y", &s.y_axis}})
                                     line(d, std::string(axis) + " axis: source " + variable(a->source) + ", " +
                                                 callback(a->callback) + ", scale " + shortest(a->scale));
                             },
                             [&](const IconElement& icon) {
                                 line(d, "source " + variable(icon.source) + ", " + callback(icon.value_callback) +
                                             ", image_count " + std::to_string(icon.image_count));
                                 const std::vector<int32_t> images = element_bitmaps(e);
                                 for (size_t i = 0; i < images.size(); ++i)
                                     line(d + 1, "image " + std::to_string(i) + ": " + resource(images[i]));
                             },
                             [&](const MovingImageElement& m) {
                                 line(d, "strip: " + resource(strip_id(m)) + ", window: " + resource(window_id(m)));
                                 for (const auto& [axis, a] : {std::pair{"x", &m.x_axis}, std::pair{"y", &m.y_axis}})
                                     line(d, std::string(axis) + " axis: source " + variable(a->source) + ", " +
                                                 callback(a->callback) + ", range " + shortest(a->range_from) + " to " +
                                                 shortest(a->range_to));
                             },
                             [](const auto&) {},
                         });
    }

    void element(const ElementHeader* e, size_t depth) {
        if (!e || depth > limits::kTreeDepth + 1 || ++count_ > limits::kElements) return;
        line(depth, head(*e));
        const size_t d = depth + 2;
        if (e->failures) {
            std::string list;
            for (size_t i = 0; i < limits::kListLength && (e->failures[i].failure_key || e->failures[i].failure_action);
                 ++i)
                list += (list.empty() ? "" : ", ") + std::string("(") + std::to_string(e->failures[i].failure_key) +
                        ", " + std::to_string(e->failures[i].failure_action) + ")";
            line(d, "failures: " + (list.empty() ? std::string("an empty list") : list));
        }
        details(*e, d);
        if (!e->children) return;
        size_t n = 0;
        while (n < limits::kListLength && e->children[n]) ++n;
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
        for (size_t i = 0; i < limits::kMouseAreas; ++i) {
            const MouseArea& a = areas[i];
            if (i > 0 && areas[i - 1].kind == kAreaEnd) {
                // The record after the end record describes no area; show it only when it lies in the module.
                if (!module_.image().contains(&a, sizeof a)) break;
                line(1, std::to_string(i) + ": after the end, kind " + std::to_string(a.kind) + ", cursor " +
                            std::to_string(a.cursor));
                break;
            }
            std::string text = std::to_string(i) + ": " + area_kind_name(a.kind);
            if (a.kind == kAreaChild || a.x || a.y || a.width || a.height)
                text += ", box (" + std::to_string(a.x) + ", " + std::to_string(a.y) + ") " + std::to_string(a.width) +
                        " x " + std::to_string(a.height);
            text += ", cursor " + std::to_string(a.cursor);
            if (a.help_id) text += ", help_id " + std::to_string(a.help_id);
            if (a.event_flags)
                text += ", event_flags " + hex8(a.event_flags) + " (" + event_flag_names(a.event_flags) + ")";
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

std::string describe_gauge(const Host& host) { return Describer(host).run(); }

std::vector<std::string> describe_arguments(const Host& host, const HostCall& call) {
    // Every record the module could hand the host, by address.
    std::map<const void*, std::string> names;
    GaugeHeader* gauge = host.header();
    names[gauge] = "header";
    names[gauge->elements] = "root list";
    names[host.module().handle()] = "module handle";
    if (host.mouse_areas()) names[host.mouse_areas()] = "mouse list";
    int index = 0;
    for (ElementHeader* element : host.elements()) {
        const std::string name = index == 0 ? "background" : "element " + std::to_string(index);
        names[element] = name + " (kind " + std::to_string(element->kind) + ")";
        if (const HostImageRecord* record = host.image_record(element)) {
            names[record] = name + " image record";
            names[&record->size] = name + " image size";
        }
        ++index;
    }
    auto name_of = [&](const void* address) {
        auto found = names.find(address);
        if (found != names.end()) return found->second;
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
        return std::string(text);
    };
    std::vector<std::string> out;
    for (const CallArgument& argument : call.arguments)
        out.push_back(
            std::visit(overloaded{
                           [](uint32_t value) { return std::to_string(value); },
                           [](int32_t value) { return std::to_string(value); },
                           [](ModuleVariable* variable) { return "variable " + std::to_string(variable->id); },
                           [&](const auto* address) { return name_of(address); },
                       },
                       argument));
    return out;
}

std::string describe_call(const Host& host, const HostCall& call) {
    std::string out = service_name(call.slot);
    out += "(";
    const std::vector<std::string> arguments = describe_arguments(host, call);
    for (size_t i = 0; i < arguments.size(); ++i) out += (i ? ", " : "") + arguments[i];
    return out + ")";
}

}  // namespace bench
