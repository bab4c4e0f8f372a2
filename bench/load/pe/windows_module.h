// A Windows module (a 32-bit DLL) in the bench: loaded by the bench's own loader where the bench can run its code,
// the 32-bit Linux bench; elsewhere each function says why it cannot be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "guard.h"

namespace bench {
struct ModuleImage;
}

namespace bench::pe {

class Module;

// Whether this bench can run a Windows module's code.
bool windows_modules_run_here();
// Maps, binds and starts the module; null with `error` (without the path) when it cannot be. The module's code
// (its entry point) runs under `guard`, inside a call the caller has entered.
Module* open_windows_module(const std::string& path, ModuleGuard& guard, ModuleImage* image, void** handle,
                            std::string* error);
void close_windows_module(Module* module);
void* windows_symbol(Module* module, const char* name);
std::vector<std::string> windows_missing_imports(const Module* module);
void set_windows_host_time(Module* module, uint64_t microseconds);
void set_windows_debug_output(Module* module, std::function<void(const std::string&)> listener);
const uint8_t* windows_resource(const Module* module, uint16_t id, const char* type, size_t* size);
// Blocks the module's heap handed out since it was loaded.
uint64_t windows_heap_allocations(const Module* module);

}  // namespace bench::pe
