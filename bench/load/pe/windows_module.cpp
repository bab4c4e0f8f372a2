// The 32-bit Linux bench runs a Windows module's code itself.
#include "windows_module.h"

#include <cstdint>

#include "module.h"
#include "runtime.h"

namespace bench::pe {

bool windows_modules_run_here() { return true; }

Module* open_windows_module(const std::string& path, ModuleGuard& guard, ModuleImage* image, void** handle,
                            std::string* error) {
    std::unique_ptr<Module> module = load_module(path, guard, error);
    if (!module) return nullptr;
    const auto base = reinterpret_cast<uintptr_t>(module->base());
    image->ranges.emplace_back(base, base + module->size());
    *handle = module->base();
    return module.release();
}

void close_windows_module(Module* module) { unload_module(std::unique_ptr<Module>(module)); }

void* windows_symbol(Module* module, const char* name) { return module->symbol(name); }

std::vector<std::string> windows_missing_imports(const Module* module) { return module->missing_imports(); }

void set_windows_host_time(Module* module, uint64_t microseconds) { module->set_host_time_us(microseconds); }

void set_windows_debug_output(Module* module, std::function<void(const std::string&)> listener) {
    module->set_debug_output(std::move(listener));
}

const uint8_t* windows_resource(const Module* module, uint16_t id, const char* type, size_t* size) {
    const auto type_value = reinterpret_cast<uintptr_t>(type);
    const ResourceKey type_key = type_value >> 16 == 0 ? ResourceKey{true, static_cast<uint16_t>(type_value), nullptr}
                                                       : ResourceKey{false, 0, type};
    Resource found;
    if (!find_resource(module->base(), module->size(), module->layout().resources(), type_key, {true, id, nullptr},
                       &found))
        return nullptr;
    *size = found.size;
    return module->base() + found.data;
}

uint64_t windows_heap_allocations(const Module* module) { return const_cast<Module*>(module)->heap().allocations(); }

}  // namespace bench::pe
