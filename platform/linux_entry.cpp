// The loader's part for a Linux module: call the library entry point with the module's handle when the shared
// object is loaded and unloaded, as the Windows loader does for the DLL.
#include <windows.h>

#include <dlfcn.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

HINSTANCE own_handle() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&own_handle), &info);
    return info.dli_fbase;
}

__attribute__((constructor)) void loader_attach() { DllMain(own_handle(), DLL_PROCESS_ATTACH, nullptr); }
__attribute__((destructor)) void loader_detach() { DllMain(own_handle(), DLL_PROCESS_DETACH, nullptr); }

}  // namespace
