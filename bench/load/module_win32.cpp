// Loading a module on Windows: LoadLibrary, and the module's image from its PE headers.
#include <windows.h>

#include "module.h"

namespace bench {

bool LoaderAccess::open(LoadedModule& module, const std::string& path, std::string* error) {
    HMODULE opened = LoadLibraryA(path.c_str());
    if (!opened) {
        *error = path + ": cannot load module: error " + std::to_string(GetLastError());
        return false;
    }
    library(module) = opened;
    handle(module) = opened;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(opened);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(opened) + dos->e_lfanew);
    const uintptr_t base = reinterpret_cast<uintptr_t>(opened);
    image(module).ranges.emplace_back(base, base + nt->OptionalHeader.SizeOfImage);
    return true;
}

void LoaderAccess::close(LoadedModule& module) {
    if (library(module)) FreeLibrary(static_cast<HMODULE>(library(module)));
    library(module) = nullptr;
}

void* LoaderAccess::symbol(LoadedModule& module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library(module)), name));
}

}  // namespace bench
