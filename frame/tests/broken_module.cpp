// Modules that are broken in one way each, for the bench to refuse. They are built without the frame: nothing
// in them may run, and every record is constant-initialised data.
#include <array>
#include <utility>

#include "module_frame.h"

#ifndef BROKEN_LINKAGE_ID
#define BROKEN_LINKAGE_ID 0x13
#endif
#ifndef BROKEN_IMPORT_ID
#define BROKEN_IMPORT_ID 0x0F
#endif
#ifndef BROKEN_VERSION
#define BROKEN_VERSION 610
#endif
#ifndef BROKEN_ELEMENT_KIND
#define BROKEN_ELEMENT_KIND kString
#endif

namespace {
void GAUGE_CALL nothing() {}
void GAUGE_CALL nothing_installed(ModuleHandle) {}
void GAUGE_CALL nothing_generated(uint32_t) {}

extern GaugeHeader header;

// String elements, since they show no bitmap and these modules carry no resources.
constexpr StringElement text(ElementList children, FailureRecord* failures = nullptr, uint32_t kind = kString) {
    return {.header = {.kind = kind, .resource_id = -1, .gauge = &header, .children = children, .failures = failures}};
}

// `count` copies of one entry, then the end record.
template <typename Entry, size_t count>
constexpr std::array<Entry, count + 1> repeated(Entry entry, Entry end) {
    std::array<Entry, count + 1> list{};
    for (size_t i = 0; i < count; ++i) list[i] = entry;
    list[count] = end;
    return list;
}

#if defined(BROKEN_DEEP_TREE)
// Each element the only child of the one before: one level more than the bench follows.
constexpr size_t kDepth = 33;
extern std::array<StringElement, kDepth> chain;
template <size_t... level>
constexpr std::array<std::array<ElementHeader*, 2>, kDepth - 1> links_down(std::index_sequence<level...>) {
    return {{{&chain[level + 1].header, nullptr}...}};
}
constinit std::array<std::array<ElementHeader*, 2>, kDepth - 1> links =
    links_down(std::make_index_sequence<kDepth - 1>());
template <size_t... level>
constexpr std::array<StringElement, kDepth> chain_of(std::index_sequence<level...>) {
    return {text(links[level].data())..., text(nullptr)};
}
constinit std::array<StringElement, kDepth> chain = chain_of(std::make_index_sequence<kDepth - 1>());
constexpr ElementHeader* background = &chain[0].header;
#elif defined(BROKEN_WIDE_TREE)
// 33 children of 32 children each: more elements than the bench walks in one tree.
constinit StringElement leaf = text(nullptr);
constinit auto leaves = repeated<ElementHeader*, 32>(&leaf.header, nullptr);
constinit StringElement middle = text(leaves.data());
constinit auto middles = repeated<ElementHeader*, 33>(&middle.header, nullptr);
constinit StringElement root = text(middles.data());
constexpr ElementHeader* background = &root.header;
#elif defined(BROKEN_LONG_CHILD_LIST)
// 64 children before the null, one more than a list may hold.
constinit StringElement leaf = text(nullptr);
constinit auto leaves = repeated<ElementHeader*, 64>(&leaf.header, nullptr);
constinit StringElement root = text(leaves.data());
constexpr ElementHeader* background = &root.header;
#elif defined(BROKEN_LONG_FAILURE_LIST)
// 64 failure records before the end record, one more than a list may hold.
constinit auto failures = repeated<FailureRecord, 64>({1, 3}, {0, 0});
constinit StringElement root = text(nullptr, failures.data());
constexpr ElementHeader* background = &root.header;
#else
constinit StringElement root = text(nullptr, nullptr, BROKEN_ELEMENT_KIND);
constexpr ElementHeader* background = &root.header;
#endif

ElementHeader* root_list[] = {background, nullptr};

// clang-format off
[[maybe_unused]] GaugeHeader header = {
    .version = BROKEN_VERSION, .name = "Broken", .elements = root_list, .query = nothing,
    .install = nothing_installed, .initialize = nothing, .update = nothing, .generate = nothing_generated,
    .draw = nothing, .kill = nothing,
};
// clang-format on
[[maybe_unused]] GaugeHeader second_header = {.version = 610, .name = "Second"};
}  // namespace

extern "C" {
ModuleLinkage Linkage = {
    .linkage_id = BROKEN_LINKAGE_ID,
    .module_init = nothing,
    .module_deinit = nothing,
#if defined(BROKEN_NO_GAUGE)
    .gauges = {nullptr, nullptr},
#elif defined(BROKEN_TWO_GAUGES)
    .gauges = {&header, &second_header},
#else
    .gauges = {&header, nullptr},
#endif
};
ImportEntry ImportTable[2] = {{BROKEN_IMPORT_ID, nullptr}, {0, nullptr}};
}
