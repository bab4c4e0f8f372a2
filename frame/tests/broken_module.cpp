// Modules that are broken in one way each, for the bench to refuse. They are built without the frame: nothing
// in them may run.
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

namespace {
void GAUGE_CALL nothing() {}
[[maybe_unused]] GaugeHeader header = {.version = BROKEN_VERSION, .name = "Broken"};
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
