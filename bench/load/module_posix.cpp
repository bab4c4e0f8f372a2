// Loading a module on Linux: dlopen, and the module's mapped segments from the dynamic loader.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "module.h"
#include "pe_image.h"
#include "windows_module.h"

namespace bench {
namespace {

struct SegmentSearch {
    uintptr_t load_bias;
    ModuleImage* image;
    uintptr_t base;
};

int collect_segments(struct dl_phdr_info* info, size_t, void* context) {
    auto* search = static_cast<SegmentSearch*>(context);
    if (info->dlpi_addr != search->load_bias) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        search->image->ranges.emplace_back(begin, begin + segment.p_memsz);
        if (segment.p_offset == 0) search->base = begin;
    }
    return search->base != 0;
}

}  // namespace

bool LoaderAccess::open(LoadedModule& module, const std::string& path, std::string* error) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        *error = path + ": cannot open module: " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = path + ": cannot open module: not a regular file";
        return false;
    }
    if (pe::is_pe_file(path)) {
        std::string why;
        windows(module) = pe::open_windows_module(path, guard(module), &image(module), &handle(module), &why);
        if (!windows(module)) *error = path + ": " + why;
        return windows(module) != nullptr;
    }
    void* opened = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!opened) {
        const char* why = dlerror();
        *error = path + ": cannot load module: " + (why ? why : "unknown reason");
        return false;
    }
    library(module) = opened;
    struct link_map* map = nullptr;
    if (dlinfo(opened, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        *error = path + ": cannot load module: the loader gives no link map";
        return false;
    }
    SegmentSearch search{map->l_addr, &image(module), 0};
    dl_iterate_phdr(collect_segments, &search);
    handle(module) = reinterpret_cast<ModuleHandle>(search.base);
    return true;
}

void LoaderAccess::close(LoadedModule& module) {
    if (windows(module)) pe::close_windows_module(windows(module));
    windows(module) = nullptr;
    if (library(module)) dlclose(library(module));
    library(module) = nullptr;
}

void* LoaderAccess::symbol(LoadedModule& module, const char* name) {
    if (windows(module)) return pe::windows_symbol(windows(module), name);
    return dlsym(library(module), name);
}

}  // namespace bench
