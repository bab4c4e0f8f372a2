// What a Windows module mapped by the bench lives in: its record (image, heap, clock, what it says), the thread
// block each thread that calls it needs in %fs, its last-error value, and the stand-ins it imports.
//
// 32-bit Linux only: the module's code runs as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "arena.h"
#include "guard.h"
#include "pe_image.h"

namespace bench::pe {

// Win32 calling conventions, for the stand-ins. Functions a module calls realign the stack: Windows code keeps
// it 4-byte aligned, the bench's own code expects 16.
#define PE_STDCALL __attribute__((stdcall, force_align_arg_pointer))
#define PE_CDECL __attribute__((cdecl, force_align_arg_pointer))

// Win32 error codes the stand-ins set.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcedureNotFound = 127;
constexpr uint32_t kErrorResourceNameNotFound = 1814;
constexpr uint32_t kErrorInvalidAddress = 487;

class Module;
std::unique_ptr<Module> load_module(const std::string& path, ModuleGuard& guard, std::string* error);
void unload_module(std::unique_ptr<Module> module);

class Module {
public:
    ~Module();

    uint8_t* base() const { return base_; }
    uint32_t size() const { return layout_.size; }
    const Image& layout() const { return layout_; }
    const std::string& path() const { return path_; }
    bool holds(const void* address) const {
        const auto* p = static_cast<const uint8_t*>(address);
        return p >= base_ && p < base_ + layout_.size;
    }
    void* symbol(const char* name) const;
    const std::vector<std::string>& missing_imports() const { return missing_; }

    Arena& heap() { return heap_; }
    // The host's time, which the module's clocks read.
    uint64_t host_time_us() const { return host_time_us_; }
    void set_host_time_us(uint64_t microseconds) { host_time_us_ = microseconds; }
    void say(const std::string& text) const;
    void set_debug_output(std::function<void(const std::string&)> listener) { debug_output_ = std::move(listener); }
    void disable_thread_calls() { thread_calls_ = false; }

    // The page protections as VirtualQuery tells them and VirtualProtect changes them: one Win32 PAGE_ value a page.
    uint32_t page_protection(uint32_t page) const { return pages_[page]; }
    bool protect(uint32_t first_page, uint32_t count, uint32_t protection);

private:
    friend struct Loader;
    friend void prepare_thread(void* module);
    friend std::unique_ptr<Module> load_module(const std::string& path, ModuleGuard& guard, std::string* error);
    friend void unload_module(std::unique_ptr<Module> module);
    Module() : heap_(64u << 20) {}

    std::string path_;
    Image layout_;
    uint8_t* base_ = nullptr;
    std::vector<uint32_t> pages_;
    std::vector<std::string> missing_;
    std::vector<std::string> messages_;  // what each missing import's stub says
    uint8_t* stubs_ = nullptr;           // the code that ends a call to a missing import
    size_t stubs_size_ = 0;
    Arena heap_;
    uint64_t host_time_us_ = 0;
    std::function<void(const std::string&)> debug_output_;
    bool thread_calls_ = true;
    bool attached_ = false;
    uint32_t serial_ = 0;    // tells a thread which modules it has met
    int32_t tls_slot_ = -1;  // its implicit thread-local storage index, when it has a template
    ModuleGuard* guard_ = nullptr;
    uint32_t loading_thread_ = 0;
};

// Maps, binds and starts the module at `path`; null with `error` (one line, without the path) when it is
// refused. Runs module code (thread-local storage callbacks and the entry point), under `guard`.
std::unique_ptr<Module> load_module(const std::string& path, ModuleGuard& guard, std::string* error);
// Tells the module it is unloaded, then unmaps it.
void unload_module(std::unique_ptr<Module> module);

// Gives the calling thread its thread block and loads it into %fs, and tells the module of a thread it has not
// met; makes `module` the thread's current one. Runs before every outermost call into the module.
void prepare_thread(void* module);

// The module the calling thread is running, for the stand-ins: its heap, its clock, who hears what it says.
// Null outside any module.
Module* current_module();
// The loaded module whose image holds `address`, or whose handle (base) it is.
Module* module_at(const void* address);
// The loaded module by file name, without regard to case; null when there is none.
Module* module_named(const std::string& name);
// The loaded module whose heap holds `block`.
Module* module_with_block(const void* block);

// The calling thread's Win32 last-error value, kept in its thread block as Windows keeps it.
uint32_t last_error();
void set_last_error(uint32_t code);
// A small number for the calling thread, the same in every run: 0x100 for the first thread that calls a module.
uint32_t thread_id();
constexpr uint32_t kProcessId = 0x40;
// Implicit thread-local storage pointers, in the thread block, for TlsAlloc.
void** tls_slots();
constexpr uint32_t kTlsSlots = 64;

// The stand-ins a module's imports are bound to.
struct StandIn {
    const char* dll;  // lower case, with its extension: "kernel32.dll"
    const char* name;
    uint16_t ordinal;  // 0 when it has none the bench knows
    void* address;     // a function, or the data itself for a data import
};
const std::vector<StandIn>& stand_ins();
// DLL names as Windows compares them: lower case, ".dll" added when there is no extension.
std::string normal_dll_name(const std::string& name);
const StandIn* find_stand_in(const std::string& dll, const char* name, uint16_t ordinal);
// The handle LoadLibraryA and GetModuleHandleA give for a DLL the bench stands in for; null for others.
void* stand_in_dll_handle(const std::string& dll);
// The DLL whose handle that is, or empty.
std::string stand_in_dll_at(const void* handle);

// The stand-in tables, one a DLL.
std::vector<StandIn> kernel32_stand_ins();
std::vector<StandIn> msvcrt_stand_ins();
std::vector<StandIn> user32_stand_ins();
std::vector<StandIn> dsound_stand_ins();

}  // namespace bench::pe
