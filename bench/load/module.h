// Loading a gauge module the way the host does: map the library, find its two exported records, and check
// them before anything in the module runs on the bench's behalf; the module's resources and bitmaps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dib.h"
#include "guard.h"
#include "module_frame.h"

namespace bench {

namespace pe {
class Module;
}

// The address ranges the loaded module occupies; every pointer read out of its records must lie inside.
struct ModuleImage {
    std::vector<std::pair<uintptr_t, uintptr_t>> ranges;  // [begin, end)
    bool contains(const void* address, size_t size) const;
};

class LoadedModule {
public:
    // Loads the module at `path`. On failure returns null and sets `error` to one line naming the file and
    // what is wrong with it; `crashed`, when given, tells a module whose own code failed while it loaded (its
    // entry point) from one that could not be loaded at all.
    static std::unique_ptr<LoadedModule> load(const std::string& path, std::string* error, bool* crashed = nullptr);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& path() const { return path_; }
    ModuleLinkage* linkage() const { return linkage_; }
    ImportEntry* services_entry() const { return services_entry_; }
    GaugeHeader* header() const { return linkage_->gauges[0]; }
    ModuleHandle handle() const { return handle_; }
    const ModuleImage& image() const { return image_; }
    // Every call into the module's code goes through its guard.
    ModuleGuard& guard() const { return guard_; }

    // A resource of the module's own, by integer id and type (an integer type such as 2 for bitmaps, or a
    // name such as "WAVE"). Null when there is none.
    const uint8_t* resource(uint16_t id, const char* type, size_t* size) const;
    const uint8_t* resource(uint16_t id, uint16_t type, size_t* size) const;
    // A bitmap resource, decoded; `error` says why when it cannot be.
    bool bitmap(int32_t id, Bitmap* out, std::string* error) const;

    // A Windows module (a DLL the bench maps itself rather than the platform's loader).
    bool windows_module() const { return windows_ != nullptr; }
    // The imports of a Windows module that the bench does not provide, as "KERNEL32!GetComputerNameA". The
    // module loads all the same; calling one ends the call.
    std::vector<std::string> missing_imports() const;
    // The host's time, which a Windows module's clocks read; the host sets it every cycle.
    void set_host_time(uint64_t microseconds);
    // Who hears what a Windows module says (OutputDebugStringA, its standard streams); null: standard error.
    void set_debug_output(std::function<void(const std::string&)> listener);
    // Blocks a Windows module's heap handed out since it was loaded; 0 for other modules.
    uint64_t heap_allocations() const;

private:
    LoadedModule() = default;
    std::string path_;
    void* library_ = nullptr;
    ModuleHandle handle_ = nullptr;
    ModuleLinkage* linkage_ = nullptr;
    ImportEntry* services_entry_ = nullptr;
    ModuleImage image_;
    mutable ModuleGuard guard_;
    pe::Module* windows_ = nullptr;

    friend struct LoaderAccess;
};

// The two names are the module's only exports; resolving them and the module's image is the platform's part.
struct LoaderAccess {
    static bool open(LoadedModule& module, const std::string& path, std::string* error);
    static void close(LoadedModule& module);
    static void* symbol(LoadedModule& module, const char* name);
    static void*& library(LoadedModule& module) { return module.library_; }
    static ModuleHandle& handle(LoadedModule& module) { return module.handle_; }
    static ModuleImage& image(LoadedModule& module) { return module.image_; }
    static ModuleGuard& guard(LoadedModule& module) { return module.guard_; }
    static pe::Module*& windows(LoadedModule& module) { return module.windows_; }
};

}  // namespace bench
