#include "record_check.h"

#include <vector>

#include "elements.h"
#include "bench_limits.h"

namespace bench {
namespace {

class RecordCheck {
public:
    explicit RecordCheck(const LoadedModule& module) : module_(module), image_(module.image()) {}

    std::string run() {
        const GaugeHeader* header = module_.header();
        if (!text_inside(header->name)) return "GaugeHeader: name lies outside the module's image";
        const struct {
            const char* name;
            const void* address;
        } routines[] = {
            {"query", reinterpret_cast<const void*>(header->query)},
            {"install", reinterpret_cast<const void*>(header->install)},
            {"initialize", reinterpret_cast<const void*>(header->initialize)},
            {"update", reinterpret_cast<const void*>(header->update)},
            {"generate", reinterpret_cast<const void*>(header->generate)},
            {"draw", reinterpret_cast<const void*>(header->draw)},
            {"kill", reinterpret_cast<const void*>(header->kill)},
        };
        for (const auto& routine : routines)
            if (!code_inside(routine.address))
                return std::string("GaugeHeader: ") + routine.name + " lies outside the module's image";
        if (!image_.contains(header->elements, 2 * sizeof(ElementHeader*)))
            return "GaugeHeader: elements lies outside the module's image";
        if (!header->elements[0]) return "GaugeHeader: elements lists no background element";
        if (header->elements[1]) return "GaugeHeader: elements lists more than one element, expected the background";
        std::vector<const ElementHeader*> path;
        return element(header->elements[0], path);
    }

private:
    bool code_inside(const void* function) const { return function && image_.contains(function, 1); }
    bool text_inside(const char* text) const {
        for (size_t i = 0; i < limits::kNameLength; ++i) {
            if (!image_.contains(text + i, 1)) return false;
            if (text[i] == '\0') return true;
        }
        return false;
    }
    bool callback_ok(const void* callback) const { return !callback || code_inside(callback); }
    template <typename Function>
    std::string callback(const std::string& who, const char* field, Function function) const {
        return callback_ok(reinterpret_cast<const void*>(function))
                   ? ""
                   : who + ": " + field + " lies outside the module's image";
    }

    std::string bitmap(const std::string& who, int32_t id) const {
        Bitmap decoded;
        std::string error;
        if (!module_.bitmap(id, &decoded, &error)) return who + ": resource_id " + std::to_string(id) + ": " + error;
        return "";
    }

    // The fields of each kind that the host follows or sizes by, then every bitmap the element shows.
    std::string kind_fields(const std::string& who, const ElementHeader* e) const {
        std::string error = visit_element(
            *e, overloaded{
                    [&](const NeedleElement& needle) {
                        std::string out = callback(who, "value_callback", needle.value_callback);
                        if (!out.empty()) return out;
                        if (needle.point_count == 0 || needle.point_count > limits::kNeedlePoints)
                            return who + ": point_count is " + std::to_string(needle.point_count) + ", expected 1 to " +
                                   std::to_string(limits::kNeedlePoints);
                        if (!image_.contains(needle.points, sizeof(NonlinearityPoint) * needle.point_count))
                            return who + ": points lies outside the module's image";
                        return std::string();
                    },
                    [&](const StringElement& string) {
                        std::string out = callback(who, "text_callback", string.text_callback);
                        if (!out.empty()) return out;
                        if (string.char_count > limits::kCharCount)
                            return who + ": char_count is " + std::to_string(string.char_count) +
                                   ", expected at most " + std::to_string(limits::kCharCount);
                        return std::string();
                    },
                    [&](const SliderElement& slider) {
                        std::string out = callback(who, "x_axis.callback", slider.x_axis.callback);
                        return out.empty() ? callback(who, "y_axis.callback", slider.y_axis.callback) : out;
                    },
                    [&](const IconElement& icon) {
                        std::string out = callback(who, "value_callback", icon.value_callback);
                        if (out.empty() && (icon.image_count == 0 || icon.image_count > limits::kIconImages))
                            out = who + ": image_count is " + std::to_string(icon.image_count) + ", expected 1 to " +
                                  std::to_string(limits::kIconImages);
                        return out;
                    },
                    [&](const MovingImageElement& moving) {
                        std::string out = callback(who, "x_axis.callback", moving.x_axis.callback);
                        return out.empty() ? callback(who, "y_axis.callback", moving.y_axis.callback) : out;
                    },
                    [](const auto&) { return std::string(); },
                });
        if (!error.empty()) return error;
        const std::vector<int32_t> ids = element_bitmaps(*e);
        for (size_t i = 0; i < ids.size(); ++i) {
            // A moving image's second bitmap is its window.
            const bool window = e->kind == kMovingImage && i == 1;
            error = bitmap(window ? who + " window" : who, ids[i]);
            if (!error.empty()) return error;
        }
        return "";
    }

    std::string element(const ElementHeader* e, std::vector<const ElementHeader*>& path) {
        const size_t index = ++count_;
        const std::string where = "element " + std::to_string(index);
        if (count_ > limits::kElements)
            return "the element tree holds more than " + std::to_string(limits::kElements) + " elements";
        if (!image_.contains(e, sizeof(ElementHeader))) return where + ": lies outside the module's image";
        if (!known_kind(e->kind)) return where + ": kind is " + std::to_string(e->kind) + ", expected 0 to 5";
        const std::string who = where + " (" + kind_name(e->kind) + ")";
        if (!image_.contains(e, record_size(e->kind))) return who + ": record runs past the module's image";
        if (e->gauge != module_.header()) return who + ": gauge is not the module's gauge header";
        if (e->failures) {
            for (size_t n = 0;; ++n) {
                if (n == limits::kListLength || !image_.contains(e->failures + n, sizeof(FailureRecord)))
                    return who + ": failures has no end record (0, 0) inside the module's image";
                if (e->failures[n].failure_key == 0 && e->failures[n].failure_action == 0) break;
            }
        }
        std::string error = kind_fields(who, e);
        if (!error.empty()) return error;
        if (!e->children) return "";
        if (path.size() + 1 >= limits::kTreeDepth)
            return who + ": children nest deeper than " + std::to_string(limits::kTreeDepth) + " levels";
        path.push_back(e);
        for (size_t i = 0;; ++i) {
            if (i == limits::kListLength || !image_.contains(e->children + i, sizeof(ElementHeader*)))
                return who + ": children has no null end inside the module's image";
            const ElementHeader* child = e->children[i];
            if (!child) break;
            for (const ElementHeader* above : path)
                if (above == child) return who + ": children leads back to an element above it (a cycle)";
            error = element(child, path);
            if (!error.empty()) return error;
        }
        path.pop_back();
        return "";
    }

    const LoadedModule& module_;
    const ModuleImage& image_;
    size_t count_ = 0;
};

}  // namespace

std::string check_gauge_records(const LoadedModule& module) { return RecordCheck(module).run(); }

std::string check_mouse_list(const LoadedModule& module, const MouseArea* areas) {
    const ModuleImage& image = module.image();
    if (!image.contains(areas, sizeof(MouseArea))) return "mouse list: lies outside the module's image";
    if (areas[0].kind != kAreaParent)
        return "mouse list record 0: kind is " + std::to_string(areas[0].kind) + ", expected 1 (parent)";
    for (size_t i = 1; i < limits::kMouseAreas; ++i) {
        const std::string where = "mouse list record " + std::to_string(i);
        if (!image.contains(areas + i, sizeof(MouseArea))) return where + ": lies outside the module's image";
        const MouseArea& area = areas[i];
        if (area.kind == kAreaEnd) return "";
        if (area.kind != kAreaChild)
            return where + ": kind is " + std::to_string(area.kind) +
                   " before any end record, expected 2 (child) or 3 (end)";
        if (area.handler && !image.contains(reinterpret_cast<const void*>(area.handler), 1))
            return where + ": handler lies outside the module's image";
    }
    return "mouse list: no end record (kind 3) within " + std::to_string(limits::kMouseAreas) + " records";
}

}  // namespace bench
