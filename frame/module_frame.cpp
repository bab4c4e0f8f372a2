#include "module_frame.h"

#include <windows.h>

ModuleHandle module_instance = nullptr;

extern "C" {
ImportEntry ImportTable[2] = {
    {.import_id = kHostServicesImportId, .target = nullptr},
    {.import_id = 0, .target = nullptr},
};

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reason;
    (void)reserved;
    module_instance = instance;
    return TRUE;
}
}

void GAUGE_CALL module_init() {}
void GAUGE_CALL module_deinit() {}

namespace {
// Every element operation gets the background element, the single entry of the root list.
ElementHeader* root_element() { return gauge_binding.header->elements[0]; }
}  // namespace

void GAUGE_CALL gauge_query() { host::service<ElementsService>(kQueryElements)(root_element()); }

void GAUGE_CALL gauge_install(ModuleHandle module) {
    for (uint32_t i = 0; i < gauge_binding.standalone_count; ++i)
        host::initialize_variable(gauge_binding.standalone_variables[i]);
    ElementHeader* root = root_element();
    host::service<InstallElementsService>(kInstallElements)(root, module);
    // The host has just loaded the background bitmap and set its image record.
    HostImageRecord* image = reinterpret_cast<StaticImageElement*>(root)->image_record;
    host::service<InstallMouseAreasService>(kInstallMouseAreas)(gauge_binding.mouse_areas, gauge_binding.header,
                                                                &image->size);
    host::service<MouseAreasService>(kRegisterMouseAreas)(gauge_binding.mouse_areas, gauge_binding.header);
}

void GAUGE_CALL gauge_initialize() { host::service<ElementsService>(kInitializeElements)(root_element()); }

void GAUGE_CALL gauge_update() {
    for (uint32_t i = 0; i < gauge_binding.standalone_count; ++i) {
        ModuleVariable* variable = gauge_binding.standalone_variables[i];
        host::lookup_variable(variable);
        gauge_binding.truncated_values[i] = truncate_to_s32(variable->value);
    }
    host::service<ElementsService>(kUpdateElements)(root_element());
}

void GAUGE_CALL gauge_generate(uint32_t value) {
    host::service<GenerateElementsService>(kGenerateElements)(root_element(), value);
}

void GAUGE_CALL gauge_draw() { host::service<ElementsService>(kPlotElements)(root_element()); }

void GAUGE_CALL gauge_kill() {
    host::service<MouseAreasService>(kUnregisterMouseAreas)(gauge_binding.mouse_areas, gauge_binding.header);
    host::service<ElementsService>(kKillElements)(root_element());
}
