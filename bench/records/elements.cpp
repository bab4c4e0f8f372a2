#include "elements.h"

#include "format.h"

namespace bench {
namespace {

struct KindInfo {
    const char* name;
    size_t record_size;
};

constexpr KindInfo kKinds[] = {
    {"static image", sizeof(StaticImageElement)},
    {"needle", sizeof(NeedleElement)},
    {"string", sizeof(StringElement)},
    {"slider", sizeof(SliderElement)},
    {"icon", sizeof(IconElement)},
    {"moving image", sizeof(MovingImageElement)},
};
static_assert(std::size(kKinds) == kMovingImage + 1, "a row for every kind");

}  // namespace

bool known_kind(uint32_t kind) { return kind < std::size(kKinds); }
const char* kind_name(uint32_t kind) { return known_kind(kind) ? kKinds[kind].name : "unknown kind"; }
size_t record_size(uint32_t kind) { return known_kind(kind) ? kKinds[kind].record_size : sizeof(ElementHeader); }

ElementSources element_sources(ElementHeader& element) {
    ElementSources out;
    auto add = [&](const char* role, ModuleVariable& variable, ValueCallback callback) {
        out.items[out.count++] = {role, &variable, callback};
    };
    visit_element(element, overloaded{
                               [&](NeedleElement& e) { add("source", e.source, e.value_callback); },
                               [&](StringElement& e) {
                                   add("source 1", e.sources[0], nullptr);
                                   add("source 2", e.sources[1], nullptr);
                                   add("source 3", e.sources[2], nullptr);
                               },
                               [&](SliderElement& e) {
                                   add("x axis", e.x_axis.source, e.x_axis.callback);
                                   add("y axis", e.y_axis.source, e.y_axis.callback);
                               },
                               [&](IconElement& e) { add("source", e.source, e.value_callback); },
                               [&](MovingImageElement& e) {
                                   add("x axis", e.x_axis.source, e.x_axis.callback);
                                   add("y axis", e.y_axis.source, e.y_axis.callback);
                               },
                               [](auto&) {},
                           });
    return out;
}

std::vector<int32_t> element_bitmaps(const ElementHeader& element) {
    return visit_element(element, overloaded{
                                      [](const StringElement&) { return std::vector<int32_t>{}; },
                                      [](const IconElement& e) {
                                          std::vector<int32_t> ids;
                                          for (uint32_t i = 0; i < e.image_count && i < limits::kIconImages; ++i)
                                              ids.push_back(icon_image_id(e, i));
                                          return ids;
                                      },
                                      [](const MovingImageElement& e) {
                                          return std::vector<int32_t>{strip_id(e), window_id(e)};
                                      },
                                      [](const ElementHeader&) { return std::vector<int32_t>{}; },
                                      [](const auto& e) { return std::vector<int32_t>{e.header.resource_id}; },
                                  });
}

std::vector<const MouseArea*> child_areas(const MouseArea* list) {
    std::vector<const MouseArea*> out;
    if (!list || list[0].kind != kAreaParent) return out;
    for (size_t i = 1; i < limits::kMouseAreas && list[i].kind != kAreaEnd; ++i)
        if (list[i].kind == kAreaChild) out.push_back(&list[i]);
    return out;
}

const char* area_kind_name(uint32_t kind) {
    static const char* const kNames[] = {"after end", "parent", "child", "end"};
    return kind <= kAreaEnd ? kNames[kind] : "unknown kind";
}

std::string event_flag_names(uint32_t flags) {
    std::string out;
    auto add = [&](const std::string& name) { out += (out.empty() ? "" : ", ") + name; };
    if (flags & kMouseClick) add("click");
    if (flags & kMouseRepeat) add("repeat");
    if (flags & kMouseDrag) add("drag");
    const uint32_t rest = flags & ~(kMouseClick | kMouseRepeat | kMouseDrag);
    if (rest) add(hex8(rest));
    return out;
}

std::string format_flag_names(uint32_t flags) {
    std::string out;
    auto add = [&](const std::string& name) { out += (out.empty() ? "" : ", ") + name; };
    if (flags & kTextCentred) add("centred");
    if (flags & kTextRight) add("right");
    if (!(flags & (kTextCentred | kTextRight))) add("left");
    if (flags & kTextSingleLine) {
        add("single line");
        if (flags & kTextCentredVertically)
            add("centred vertically");
        else if (flags & kTextBottom)
            add("at the bottom");
        else
            add("at the top");
    }
    if (flags & ~kTextKnownFlags) add(hex8(flags & ~kTextKnownFlags));
    return out;
}

}  // namespace bench
