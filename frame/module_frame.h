// The frame every module is built on: the two exported records, the module routines, the seven gauge
// routines, and the calls into the host that module code makes.
#pragma once

#include "host_services.h"

GAUGE_RECORDS_BEGIN

struct ModuleLinkage {
    uint32_t linkage_id;  // 0x13
    void(GAUGE_CALL* module_init)();
    void(GAUGE_CALL* module_deinit)();
    uint32_t reserved_0c[3];
    GaugeHeader* gauges[2];  // one header, then null
};
GAUGE_PIN_SIZE(ModuleLinkage, 32, 4);
GAUGE_PIN_FIELD(ModuleLinkage, linkage_id, 0x00, 0);
GAUGE_PIN_FIELD(ModuleLinkage, module_init, 0x04, 0);
GAUGE_PIN_FIELD(ModuleLinkage, module_deinit, 0x08, 1);
GAUGE_PIN_FIELD(ModuleLinkage, reserved_0c, 0x0C, 2);
GAUGE_PIN_FIELD(ModuleLinkage, gauges, 0x18, 2);

struct ImportEntry {
    uint32_t import_id;
    HostServiceAddress* target;  // written by the host: the address of its services array
};
GAUGE_PIN_SIZE(ImportEntry, 8, 1);
GAUGE_PIN_FIELD(ImportEntry, import_id, 0x00, 0);
GAUGE_PIN_FIELD(ImportEntry, target, 0x04, 0);

GAUGE_RECORDS_END

constexpr uint32_t kLinkageId = 0x13;
constexpr uint32_t kHostServicesImportId = 0x0F;
constexpr uint32_t kGaugeVersion = 610;

#if defined(_WIN32)
#define GAUGE_EXPORT __declspec(dllexport)
#else
#define GAUGE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
GAUGE_EXPORT extern ModuleLinkage Linkage;
GAUGE_EXPORT extern ImportEntry ImportTable[2];
}

void GAUGE_CALL module_init();
void GAUGE_CALL module_deinit();

void GAUGE_CALL gauge_query();
void GAUGE_CALL gauge_install(ModuleHandle module);
void GAUGE_CALL gauge_initialize();
void GAUGE_CALL gauge_update();
void GAUGE_CALL gauge_generate(uint32_t value);
void GAUGE_CALL gauge_draw();
void GAUGE_CALL gauge_kill();

// The module's Linkage record, listing its one gauge. Each gauge defines `Linkage` with this, so that the
// record stays constant-initialised data: `ModuleLinkage Linkage = module_linkage(&clock_header);`
constexpr ModuleLinkage module_linkage(GaugeHeader* header) {
    return {kLinkageId, module_init, module_deinit, {0, 0, 0}, {header, nullptr}};
}

// A gauge's header: version 610, the frame's seven routines in header order, host-owned stretches zero.
constexpr GaugeHeader gauge_header(const char* name, ElementList elements, uint32_t nominal_size) {
    return {.version = kGaugeVersion,
            .name = name,
            .elements = elements,
            .query = gauge_query,
            .install = gauge_install,
            .initialize = gauge_initialize,
            .update = gauge_update,
            .generate = gauge_generate,
            .draw = gauge_draw,
            .kill = gauge_kill,
            .nominal_size = nominal_size};
}

// What a gauge hands the frame's routines. Each module defines exactly one of these.
struct GaugeBinding {
    GaugeHeader* header;
    MouseArea* mouse_areas;
    // Standalone variables the frame announces at install and looks up at every update, keeping each value
    // truncated to a signed 32-bit integer in the matching slot of `truncated_values`. Most gauges have none.
    ModuleVariable* const* standalone_variables;
    int32_t* truncated_values;
    uint32_t standalone_count;
};
extern const GaugeBinding gauge_binding;

// The instance handle the library entry point received.
extern ModuleHandle module_instance;

// A host value as a signed 32-bit integer: truncated toward zero; a value outside the 32-bit range keeps the
// low 32 bits of its 64-bit truncation, and one beyond that range (or not a number) gives 0, as the x87
// conversion's "integer indefinite" does.
inline int32_t truncate_to_s32(double value) {
    if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value))));
}

// Calls into the host. Each one reads the services address from ImportTable afresh.
namespace host {
template <typename Service>
inline Service service(HostSlot slot) {
    return reinterpret_cast<Service>(ImportTable[0].target[slot]);
}
inline void send_event(uint32_t event, int32_t value) { service<SendEventService>(kSendEvent)(event, value); }
inline void initialize_variable(ModuleVariable* variable) { service<VariableService>(kInitializeVariable)(variable); }
inline void lookup_variable(ModuleVariable* variable) { service<VariableService>(kLookupVariable)(variable); }
}  // namespace host

// A mouse handler that sends one fixed event with the value 0 and returns 0; a gauge names each one it uses:
// `constexpr MouseHandler flaps_up_click = send_fixed_event<65759>;`
template <uint32_t Event>
int32_t GAUGE_CALL send_fixed_event(PixelPoint*, uint32_t) {
    host::send_event(Event, 0);
    return 0;
}
