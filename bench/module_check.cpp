#include "module_check.h"

#include <vector>

namespace bench {
namespace {

constexpr size_t kTreeDepthLimit = 32;
constexpr size_t kElementLimit = 1024;
constexpr size_t kListLimit = 64;
constexpr size_t kMouseAreaLimit = 256;
constexpr size_t kNameLimit = 256;
constexpr uint32_t kPointLimit = 1024;
constexpr uint32_t kImageCountLimit = 64;
constexpr uint32_t kCharCountLimit = 4096;

const char* kind_name(uint32_t kind) {
    static const char* const names[] = {"static image", "needle", "string", "slider", "icon", "moving image"};
    return kind <= kMovingImage ? names[kind] : "unknown kind";
}

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
        for (size_t i = 0; i < kNameLimit; ++i) {
            if (!image_.contains(text + i, 1)) return false;
            if (text[i] == '\0') return true;
        }
        return false;
    }
    bool callback_ok(const void* callback) const { return !callback || code_inside(callback); }

    std::string name(size_t index, const ElementHeader* e) const {
        return "element " + std::to_string(index) + " (" + kind_name(e->kind) + ")";
    }

    std::string bitmap(const std::string& who, int32_t id) const {
        Bitmap decoded;
        std::string error;
        if (!module_.bitmap(id, &decoded, &error)) return who + ": resource_id " + std::to_string(id) + ": " + error;
        return "";
    }

    static size_t record_size(uint32_t kind) {
        switch (kind) {
            case kStaticImage: return sizeof(StaticImageElement);
            case kNeedle: return sizeof(NeedleElement);
            case kString: return sizeof(StringElement);
            case kSlider: return sizeof(SliderElement);
            case kIcon: return sizeof(IconElement);
            default: return sizeof(MovingImageElement);
        }
    }

    std::string kind_fields(const std::string& who, const ElementHeader* e) const {
        switch (e->kind) {
            case kStaticImage: return bitmap(who, e->resource_id);
            case kNeedle: {
                auto* needle = reinterpret_cast<const NeedleElement*>(e);
                if (!callback_ok(reinterpret_cast<const void*>(needle->value_callback)))
                    return who + ": value_callback lies outside the module's image";
                if (needle->point_count == 0 || needle->point_count > kPointLimit)
                    return who + ": point_count is " + std::to_string(needle->point_count) + ", expected 1 to " +
                           std::to_string(kPointLimit);
                if (!image_.contains(needle->points, sizeof(NonlinearityPoint) * needle->point_count))
                    return who + ": points lies outside the module's image";
                return bitmap(who, e->resource_id);
            }
            case kString: {
                auto* string = reinterpret_cast<const StringElement*>(e);
                if (!callback_ok(reinterpret_cast<const void*>(string->text_callback)))
                    return who + ": text_callback lies outside the module's image";
                if (string->char_count > kCharCountLimit)
                    return who + ": char_count is " + std::to_string(string->char_count) + ", expected at most " +
                           std::to_string(kCharCountLimit);
                return "";
            }
            case kSlider: {
                auto* slider = reinterpret_cast<const SliderElement*>(e);
                if (!callback_ok(reinterpret_cast<const void*>(slider->x_axis.callback)))
                    return who + ": x_axis.callback lies outside the module's image";
                if (!callback_ok(reinterpret_cast<const void*>(slider->y_axis.callback)))
                    return who + ": y_axis.callback lies outside the module's image";
                return bitmap(who, e->resource_id);
            }
            case kIcon: {
                auto* icon = reinterpret_cast<const IconElement*>(e);
                if (!callback_ok(reinterpret_cast<const void*>(icon->value_callback)))
                    return who + ": value_callback lies outside the module's image";
                if (icon->image_count == 0 || icon->image_count > kImageCountLimit)
                    return who + ": image_count is " + std::to_string(icon->image_count) + ", expected 1 to " +
                           std::to_string(kImageCountLimit);
                for (uint32_t i = 0; i < icon->image_count; ++i) {
                    std::string error = bitmap(who, e->resource_id + 3 * static_cast<int32_t>(i));
                    if (!error.empty()) return error;
                }
                return "";
            }
            default: {
                auto* moving = reinterpret_cast<const MovingImageElement*>(e);
                if (!callback_ok(reinterpret_cast<const void*>(moving->x_axis.callback)))
                    return who + ": x_axis.callback lies outside the module's image";
                if (!callback_ok(reinterpret_cast<const void*>(moving->y_axis.callback)))
                    return who + ": y_axis.callback lies outside the module's image";
                std::string error = bitmap(who, e->resource_id);
                return error.empty() ? bitmap(who + " window", e->resource_id + 3) : error;
            }
        }
    }

    std::string element(const ElementHeader* e, std::vector<const ElementHeader*>& path) {
        const size_t index = ++count_;
        const std::string where = "element " + std::to_string(index);
        if (count_ > kElementLimit) return "the element tree holds more than " + std::to_string(kElementLimit) + " elements";
        if (!image_.contains(e, sizeof(ElementHeader))) return where + ": lies outside the module's image";
        if (e->kind > kMovingImage)
            return where + ": kind is " + std::to_string(e->kind) + ", expected 0 to 5";
        const std::string who = name(index, e);
        if (!image_.contains(e, record_size(e->kind))) return who + ": record runs past the module's image";
        if (e->gauge != module_.header()) return who + ": gauge is not the module's gauge header";
        if (e->failures) {
            size_t n = 0;
            for (;; ++n) {
                if (n == kListLimit || !image_.contains(e->failures + n, sizeof(FailureRecord)))
                    return who + ": failures has no end record (0, 0) inside the module's image";
                if (e->failures[n].failure_key == 0 && e->failures[n].failure_action == 0) break;
            }
        }
        std::string error = kind_fields(who, e);
        if (!error.empty()) return error;
        if (!e->children) return "";
        if (path.size() + 1 >= kTreeDepthLimit)
            return who + ": children nest deeper than " + std::to_string(kTreeDepthLimit) + " levels";
        path.push_back(e);
        for (size_t i = 0;; ++i) {
            if (i == kListLimit || !image_.contains(e->children + i, sizeof(ElementHeader*)))
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
    for (size_t i = 1; i < kMouseAreaLimit; ++i) {
        const std::string where = "mouse list record " + std::to_string(i);
        if (!image.contains(areas + i, sizeof(MouseArea))) return where + ": lies outside the module's image";
        const MouseArea& area = areas[i];
        if (area.kind == kAreaEnd) return "";
        if (area.kind != kAreaChild)
            return where + ": kind is " + std::to_string(area.kind) + " before any end record, expected 2 (child) or 3 (end)";
        if (area.handler && !image.contains(reinterpret_cast<const void*>(area.handler), 1))
            return where + ": handler lies outside the module's image";
    }
    return "mouse list: no end record (kind 3) within " + std::to_string(kMouseAreaLimit) + " records";
}

}  // namespace bench
