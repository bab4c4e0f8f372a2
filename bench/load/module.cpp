#include "module.h"

#include <windows.h>

#include <algorithm>

#include "format.h"
#include "bench_limits.h"
#include "record_check.h"
#include "windows_module.h"

namespace bench {

bool ModuleImage::contains(const void* address, size_t size) const {
    const uintptr_t begin = reinterpret_cast<uintptr_t>(address);
    for (const auto& [lo, hi] : ranges)
        if (begin >= lo && begin <= hi && size <= hi - begin) return true;
    return false;
}

std::unique_ptr<LoadedModule> LoadedModule::load(const std::string& path, std::string* error, bool* crashed) {
    std::unique_ptr<LoadedModule> module(new LoadedModule);
    module->path_ = path;
    if (crashed) *crashed = false;
    auto refuse = [&](const std::string& what) {
        *error = path + ": " + what;
        return nullptr;
    };
    // The platform's loader runs the module's entry point.
    bool opened = false;
    if (!module->guard_.enter({ModuleEntry::kEntryPoint}, [&] { opened = LoaderAccess::open(*module, path, error); })) {
        if (crashed) *crashed = true;
        *error = path + ": " + module->guard_.failure();
        module.release();  // its code failed half-way: leave it mapped, never call it again
        return nullptr;
    }
    if (!opened) return nullptr;
    uintptr_t begin = UINTPTR_MAX, end = 0;
    for (const auto& [lo, hi] : module->image_.ranges) begin = std::min(begin, lo), end = std::max(end, hi);
    module->guard_.set_image(begin, end);

    auto* linkage = static_cast<ModuleLinkage*>(LoaderAccess::symbol(*module, "Linkage"));
    auto* imports = static_cast<ImportEntry*>(LoaderAccess::symbol(*module, "ImportTable"));
    if (!linkage) return refuse("not a gauge module: it exports no Linkage");
    if (!imports) return refuse("not a gauge module: it exports no ImportTable");
    const ModuleImage& image = module->image_;
    if (!image.contains(linkage, sizeof *linkage)) return refuse("Linkage lies outside the module's image");
    if (linkage->linkage_id != kLinkageId)
        return refuse("Linkage.linkage_id is " + hex(linkage->linkage_id) + ", expected " + hex(kLinkageId));
    if (!linkage->gauges[0]) return refuse("Linkage.gauges lists no gauge header, expected exactly one");
    if (linkage->gauges[1]) return refuse("Linkage.gauges lists more than one gauge header, expected exactly one");
    if (!image.contains(linkage->gauges[0], sizeof(GaugeHeader)))
        return refuse("Linkage.gauges[0] points outside the module's image");
    if (linkage->gauges[0]->version != kGaugeVersion)
        return refuse("GaugeHeader.version is " + std::to_string(linkage->gauges[0]->version) + ", expected " +
                      std::to_string(kGaugeVersion));
    for (uint32_t i = 0; i < limits::kImportEntries; ++i) {
        ImportEntry* entry = imports + i;
        if (!image.contains(entry, sizeof *entry)) break;
        if (entry->import_id == 0 && entry->target == nullptr) break;
        if (entry->import_id == kHostServicesImportId) {
            module->services_entry_ = entry;
            break;
        }
    }
    if (!module->services_entry_)
        return refuse("ImportTable has no entry " + hex(kHostServicesImportId) + " for the host services");
    module->linkage_ = linkage;
    const std::string records = check_gauge_records(*module);
    if (!records.empty()) return refuse(records);
    return module;
}

LoadedModule::~LoadedModule() {
    // Unloading runs module code (its entry point, its destructors); a module that failed is left mapped.
    if (!guard_.failed()) guard_.enter({ModuleEntry::kEntryPoint}, [&] { LoaderAccess::close(*this); });
}

const uint8_t* LoadedModule::resource(uint16_t id, const char* type, size_t* size) const {
    if (windows_) return pe::windows_resource(windows_, id, type, size);
    HMODULE module = static_cast<HMODULE>(handle_);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const uint8_t*>(LockResource(loaded));
}

const uint8_t* LoadedModule::resource(uint16_t id, uint16_t type, size_t* size) const {
    return resource(id, MAKEINTRESOURCEA(type), size);
}

std::vector<std::string> LoadedModule::missing_imports() const {
    return windows_ ? pe::windows_missing_imports(windows_) : std::vector<std::string>{};
}

void LoadedModule::set_host_time(uint64_t microseconds) {
    if (windows_) pe::set_windows_host_time(windows_, microseconds);
}

void LoadedModule::set_debug_output(std::function<void(const std::string&)> listener) {
    if (windows_) pe::set_windows_debug_output(windows_, std::move(listener));
}

uint64_t LoadedModule::heap_allocations() const { return windows_ ? pe::windows_heap_allocations(windows_) : 0; }

bool LoadedModule::bitmap(int32_t id, Bitmap* out, std::string* error) const {
    size_t size = 0;
    const uint8_t* bytes =
        (id >= 0 && id <= 0xFFFF) ? resource(static_cast<uint16_t>(id), uint16_t{2}, &size) : nullptr;
    if (!bytes) {
        *error = "no bitmap resource " + std::to_string(id);
        return false;
    }
    std::string why;
    if (!read_dib(bytes, size, out, &why)) {
        *error = "bitmap " + std::to_string(id) + ": " + why;
        return false;
    }
    return true;
}

}  // namespace bench
