// Benches that do not run Windows module code: the x86-64 bench, which hands such a module to the 32-bit bench,
// and the Windows bench, which loads it with LoadLibrary.
#include "windows_module.h"

namespace bench::pe {

bool windows_modules_run_here() { return false; }

Module* open_windows_module(const std::string&, ModuleGuard&, ModuleImage*, void**, std::string* error) {
    *error = "a 32-bit Windows module, which only the 32-bit bench runs (GAUGEBENCH_ARCH=i386 ./gaugebench)";
    return nullptr;
}
void close_windows_module(Module*) {}
void* windows_symbol(Module*, const char*) { return nullptr; }
std::vector<std::string> windows_missing_imports(const Module*) { return {}; }
void set_windows_host_time(Module*, uint64_t) {}
void set_windows_debug_output(Module*, std::function<void(const std::string&)>) {}
const uint8_t* windows_resource(const Module*, uint16_t, const char*, size_t*) { return nullptr; }
uint64_t windows_heap_allocations(const Module*) { return 0; }

}  // namespace bench::pe
