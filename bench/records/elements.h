// What the bench knows about the frame's records, in one place: each element kind's name and record size, a
// visitor that hands an element over as its own record type, the variables an element reads with the callbacks
// that turn them into the values drawn, the bitmaps it shows, the tree walk and the mouse list's child areas.
// Every part of the bench that needs to know a kind asks here; nothing else switches on the kind.
//
// Uses the frame's record types and the bench's limits; loading, the host, drawing and the live page use it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "bench_limits.h"
#include "records.h"

namespace bench {

// Lambdas side by side as one visitor: visit_element(e, overloaded{[](NeedleElement& n) {...}, [](auto&) {}}).
template <class... Ts>
struct overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
overloaded(Ts...) -> overloaded<Ts...>;

bool known_kind(uint32_t kind);
// "static image", "needle", "string", "slider", "icon", "moving image"; "unknown kind" for any other value.
const char* kind_name(uint32_t kind);
// The size of the kind's record; that of the header alone for an unknown kind.
size_t record_size(uint32_t kind);

// Calls `visitor` with the element as its own record type (StaticImageElement&, NeedleElement&, ...), or as the
// bare ElementHeader& when the kind is unknown. Constness follows the element's.
template <typename Header, typename Visitor>
requires std::is_same_v<std::remove_const_t<Header>, ElementHeader>
decltype(auto) visit_element(Header& element, Visitor&& visitor) {
    auto as = [&]<typename Record>(Record*) -> auto& {
        using Target = std::conditional_t<std::is_const_v<Header>, const Record, Record>;
        return *reinterpret_cast<Target*>(&element);
    };
    switch (element.kind) {
        case kStaticImage: return visitor(as(static_cast<StaticImageElement*>(nullptr)));
        case kNeedle: return visitor(as(static_cast<NeedleElement*>(nullptr)));
        case kString: return visitor(as(static_cast<StringElement*>(nullptr)));
        case kSlider: return visitor(as(static_cast<SliderElement*>(nullptr)));
        case kIcon: return visitor(as(static_cast<IconElement*>(nullptr)));
        case kMovingImage: return visitor(as(static_cast<MovingImageElement*>(nullptr)));
        default: return visitor(element);
    }
}

// A variable an element reads, and the callback that turns its value into the value drawn (null: the value
// itself). A string's sources have none: its text callback is the string's own.
struct ElementSource {
    const char* role;  // "source", "x axis", "y axis", "source 1" to "source 3"
    ModuleVariable* variable;
    ValueCallback callback;
};

// The variables of an element in the order the host refreshes them, empty slots included.
struct ElementSources {
    std::array<ElementSource, 3> items{};
    size_t count = 0;
    const ElementSource* begin() const { return items.data(); }
    const ElementSource* end() const { return items.data() + count; }
};
ElementSources element_sources(ElementHeader& element);

// The bitmaps an element shows, by resource id: its resource_id for a static image, needle or slider, each
// image of an icon (at most limits::kIconImages), a moving image's strip then its window, none for a string.
std::vector<int32_t> element_bitmaps(const ElementHeader& element);

// Each element from `root` in tree order (the element, then the elements of its child list, depth first) with
// its depth (0 for the root), never deeper than limits::kTreeDepth nor further along a list than
// limits::kListLength.
template <typename Visit>
void walk_tree(ElementHeader* root, Visit&& visit) {
    auto step = [&](auto& self, ElementHeader* element, size_t depth) -> void {
        if (!element || depth > limits::kTreeDepth) return;
        visit(element, depth);
        if (!element->children) return;
        for (size_t i = 0; i < limits::kListLength && element->children[i]; ++i)
            self(self, element->children[i], depth + 1);
    };
    step(step, root, 0);
}

// The child areas of a mouse list in table order, up to its end record; empty when the list does not start with
// a parent record.
std::vector<const MouseArea*> child_areas(const MouseArea* list);
// "after end", "parent", "child", "end"; "unknown kind" otherwise.
const char* area_kind_name(uint32_t kind);
// Names for the event bits of a mouse area ("click, drag"); any other bits in hex.
std::string event_flag_names(uint32_t flags);
// Names for a string element's format_flags ("centred, single line, centred vertically"); any other bits in hex.
std::string format_flag_names(uint32_t flags);

}  // namespace bench
