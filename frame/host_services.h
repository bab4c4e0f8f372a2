// The host's operations, as the module sees them: an array of function addresses whose address the host
// writes into ImportTable before any routine runs. Module code calls slot n through entry n of the array.
#pragma once

#include "records.h"

using HostServiceAddress = void(GAUGE_CALL*)();

enum HostSlot : uint32_t {
    kQueryElements = 24,
    kInstallElements = 25,
    kInitializeElements = 26,
    kUpdateElements = 27,
    kGenerateElements = 28,
    kPlotElements = 29,
    kKillElements = 31,
    kInstallMouseAreas = 32,
    kRegisterMouseAreas = 33,
    kUnregisterMouseAreas = 34,
    kSendEvent = 36,
    kInitializeVariable = 38,
    kLookupVariable = 40,
};

// Slots 0 to 40 are the ones a module may name; a host's table holds at least this many.
constexpr uint32_t kHostServiceSlots = 41;

// The signature of each slot that modules call.
using ElementsService = void(GAUGE_CALL*)(ElementHeader* root);
using InstallElementsService = void(GAUGE_CALL*)(ElementHeader* root, ModuleHandle module);
using GenerateElementsService = void(GAUGE_CALL*)(ElementHeader* root, uint32_t value);
using InstallMouseAreasService = void(GAUGE_CALL*)(MouseArea* areas, GaugeHeader* header, PixelSize* size);
using MouseAreasService = void(GAUGE_CALL*)(MouseArea* areas, GaugeHeader* header);
using SendEventService = void(GAUGE_CALL*)(uint32_t event, int32_t value);
using VariableService = void(GAUGE_CALL*)(ModuleVariable* variable);
