// KERNEL32, as far as gauges use it, for Windows modules the bench maps itself. Every function is stdcall and
// behaves as Windows documents it; clocks read the host's time, so that a run replays to the same bytes.
#include <sched.h>
#include <sys/mman.h>

#include <atomic>
#include <cpuid.h>
#include <cstring>
#include <string>

#include "runtime.h"

namespace bench::pe {
namespace {

using BOOL = int32_t;
using DWORD = uint32_t;
using HANDLE = void*;

constexpr uint32_t kPage = 4096;
// FILETIME of 2000-01-01 00:00:00 UTC, in 100 ns steps since 1601: the host's time starts there.
constexpr uint64_t kHostEpoch = 125911584000000000ull;
constexpr uint64_t kPerformanceFrequency = 1000000;  // the counter counts microseconds
const auto kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

Module* calling_module() { return current_module(); }

uint64_t host_microseconds() {
    Module* module = calling_module();
    return module ? module->host_time_us() : 0;
}

// A handle for the host program, which has no image the bench can show: a DOS and PE header that say so.
alignas(16) uint8_t host_image[512] = {'M', 'Z'};
void* host_handle() {
    static bool made = [] {
        host_image[0x3C] = 0x40;
        std::memcpy(host_image + 0x40, "PE\0\0\x4C\x01", 6);
        return true;
    }();
    (void)made;
    return host_image;
}

// Critical sections live in the module's memory, laid out as Windows lays them out.
struct CriticalSection {
    void* debug_info;
    int32_t lock_count;
    int32_t recursion_count;
    uint32_t owning_thread;
    HANDLE lock_semaphore;
    uint32_t spin_count;
};

void PE_STDCALL InitializeCriticalSection(CriticalSection* section) {
    InsideStandIn marker("KERNEL32!InitializeCriticalSection");
    *section = CriticalSection{nullptr, -1, 0, 0, nullptr, 0};
}

void PE_STDCALL EnterCriticalSection(CriticalSection* section) {
    InsideStandIn marker("KERNEL32!EnterCriticalSection");
    const uint32_t self = thread_id();
    if (__atomic_load_n(&section->owning_thread, __ATOMIC_ACQUIRE) == self) {
        ++section->recursion_count;
        return;
    }
    // Module code runs on one thread at a time: a section held by another thread is one it never left, and
    // waiting for it is the hang Windows would show, which the guard's watchdog ends.
    uint32_t free = 0;
    while (
        !__atomic_compare_exchange_n(&section->owning_thread, &free, self, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
        free = 0;
        sched_yield();
    }
    section->recursion_count = 1;
    __atomic_add_fetch(&section->lock_count, 1, __ATOMIC_RELAXED);
}

void PE_STDCALL LeaveCriticalSection(CriticalSection* section) {
    InsideStandIn marker("KERNEL32!LeaveCriticalSection");
    if (section->owning_thread != thread_id() || section->recursion_count <= 0) return;
    if (--section->recursion_count > 0) return;
    __atomic_sub_fetch(&section->lock_count, 1, __ATOMIC_RELAXED);
    __atomic_store_n(&section->owning_thread, 0, __ATOMIC_RELEASE);
}

void PE_STDCALL DeleteCriticalSection(CriticalSection* section) {
    InsideStandIn marker("KERNEL32!DeleteCriticalSection");
    *section = CriticalSection{};
}

DWORD PE_STDCALL GetLastError() {
    InsideStandIn marker("KERNEL32!GetLastError");
    return last_error();
}

void PE_STDCALL SetLastError(DWORD code) {
    InsideStandIn marker("KERNEL32!SetLastError");
    set_last_error(code);
}

// Modules: the DLLs the bench stands in for, the Windows modules it loaded, and the host program.
void* handle_for(const char* name) {
    if (void* handle = stand_in_dll_handle(name)) return handle;
    if (Module* module = module_named(name)) return module->base();
    return nullptr;
}

void* PE_STDCALL GetModuleHandleA(const char* name) {
    InsideStandIn marker("KERNEL32!GetModuleHandleA");
    if (!name) return host_handle();
    void* handle = handle_for(name);
    if (!handle) set_last_error(kErrorModuleNotFound);
    return handle;
}

void* PE_STDCALL LoadLibraryA(const char* name) {
    InsideStandIn marker("KERNEL32!LoadLibraryA");
    // The bench loads no other DLL for a module: one it does not stand in for is not found.
    void* handle = name ? handle_for(name) : nullptr;
    if (!handle) set_last_error(name ? kErrorModuleNotFound : kErrorInvalidParameter);
    return handle;
}

BOOL PE_STDCALL FreeLibrary(void* handle) {
    InsideStandIn marker("KERNEL32!FreeLibrary");
    if (!stand_in_dll_at(handle).empty() || module_at(handle)) return 1;
    set_last_error(kErrorInvalidHandle);
    return 0;
}

void* PE_STDCALL GetProcAddress(void* handle, const char* name) {
    InsideStandIn marker("KERNEL32!GetProcAddress");
    const auto value = reinterpret_cast<uintptr_t>(name);
    const bool by_ordinal = value >> 16 == 0;
    const std::string dll = stand_in_dll_at(handle);
    if (!dll.empty()) {
        const StandIn* found =
            find_stand_in(dll, by_ordinal ? nullptr : name, by_ordinal ? static_cast<uint16_t>(value) : 0);
        if (found) return found->address;
        set_last_error(kErrorProcedureNotFound);
        return nullptr;
    }
    Module* module = module_at(handle);
    if (!module || module->base() != handle) {
        set_last_error(kErrorModuleNotFound);
        return nullptr;
    }
    void* found = by_ordinal ? nullptr : module->symbol(name);
    if (!found) set_last_error(kErrorProcedureNotFound);
    return found;
}

DWORD PE_STDCALL GetModuleFileNameA(void* handle, char* buffer, DWORD size) {
    InsideStandIn marker("KERNEL32!GetModuleFileNameA");
    std::string name;
    if (!handle || handle == host_handle()) {
        name = "gaugebench.exe";
    } else if (Module* module = module_at(handle); module && module->base() == handle) {
        name = module->path();
    } else if (std::string dll = stand_in_dll_at(handle); !dll.empty()) {
        name = "C:\\Windows\\System32\\" + dll;
    } else {
        set_last_error(kErrorModuleNotFound);
        return 0;
    }
    if (size == 0) {
        set_last_error(kErrorInsufficientBuffer);
        return 0;
    }
    // A name that does not fit is cut to size - 1 characters and its zero; the size is returned.
    const size_t copied = std::min<size_t>(name.size(), size - 1);
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    if (copied < name.size()) {
        set_last_error(kErrorInsufficientBuffer);
        return size;
    }
    set_last_error(kErrorSuccess);
    return static_cast<DWORD>(copied);
}

BOOL PE_STDCALL DisableThreadLibraryCalls(void* handle) {
    InsideStandIn marker("KERNEL32!DisableThreadLibraryCalls");
    Module* module = module_at(handle);
    if (!module || module->base() != handle) {
        set_last_error(kErrorInvalidHandle);
        return 0;
    }
    module->disable_thread_calls();
    return 1;
}

void PE_STDCALL Sleep(DWORD) {
    // The host's time moves by cycles only; waiting would only slow the bench.
    InsideStandIn marker("KERNEL32!Sleep");
}

// Memory: what VirtualQuery and VirtualProtect know is the module's own image.
struct MemoryInformation {
    void* base;
    void* allocation_base;
    DWORD allocation_protection;
    size_t region_size;
    DWORD state;
    DWORD protection;
    DWORD type;
};
constexpr DWORD kMemCommit = 0x1000, kMemImage = 0x1000000, kExecuteWriteCopy = 0x80;

size_t PE_STDCALL VirtualQuery(const void* address, MemoryInformation* out, size_t length) {
    InsideStandIn marker("KERNEL32!VirtualQuery");
    if (length < sizeof(MemoryInformation)) {
        set_last_error(24);  // ERROR_BAD_LENGTH
        return 0;
    }
    Module* module = module_at(address);
    if (!module) {
        set_last_error(kErrorInvalidParameter);
        return 0;
    }
    const uint32_t first = static_cast<uint32_t>(static_cast<const uint8_t*>(address) - module->base()) / kPage;
    const uint32_t pages = (module->size() + kPage - 1) / kPage;
    uint32_t end = first;
    while (end < pages && module->page_protection(end) == module->page_protection(first)) ++end;
    *out = {module->base() + first * kPage, module->base(), kExecuteWriteCopy, size_t{end - first} * kPage, kMemCommit,
            module->page_protection(first), kMemImage};
    return sizeof(MemoryInformation);
}

BOOL PE_STDCALL VirtualProtect(void* address, size_t size, DWORD protection, DWORD* old_protection) {
    InsideStandIn marker("KERNEL32!VirtualProtect");
    Module* module = module_at(address);
    if (!module || !old_protection || size == 0 ||
        size > module->size() - static_cast<size_t>(static_cast<uint8_t*>(address) - module->base())) {
        set_last_error(module ? kErrorInvalidParameter : kErrorInvalidAddress);
        return 0;
    }
    const auto offset = static_cast<uint32_t>(static_cast<uint8_t*>(address) - module->base());
    const uint32_t first = offset / kPage, last = (offset + static_cast<uint32_t>(size) - 1) / kPage;
    const DWORD before = module->page_protection(first);
    if (!module->protect(first, last - first + 1, protection & 0xFF)) {
        set_last_error(kErrorInvalidParameter);
        return 0;
    }
    *old_protection = before;
    return 1;
}

// Resources, by the module handle the module passes.
Module* resource_module(void* handle, const void* inside) {
    Module* module = handle ? module_at(handle) : module_at(inside);
    return module && (!handle || module->base() == handle) ? module : nullptr;
}

ResourceKey key_of(const char* name) {
    const auto value = reinterpret_cast<uintptr_t>(name);
    if (value >> 16 == 0) return {true, static_cast<uint16_t>(value), nullptr};
    return {false, 0, name};
}

void* PE_STDCALL FindResourceA(void* handle, const char* name, const char* type) {
    InsideStandIn marker("KERNEL32!FindResourceA");
    Module* module = handle ? resource_module(handle, nullptr) : nullptr;
    Resource found;
    if (!module || !name || !type ||
        !find_resource(module->base(), module->size(), module->layout().resources(), key_of(type), key_of(name),
                       &found)) {
        set_last_error(module ? kErrorResourceNameNotFound : kErrorModuleNotFound);
        return nullptr;
    }
    return module->base() + found.entry;
}

bool resource_of(void* handle, void* found, Module** module, Resource* out) {
    *module = resource_module(handle, found);
    if (!*module || !(*module)->holds(found)) return false;
    const auto entry = static_cast<uint32_t>(static_cast<uint8_t*>(found) - (*module)->base());
    return resource_at((*module)->base(), (*module)->size(), (*module)->layout().resources(), entry, out);
}

void* PE_STDCALL LoadResource(void* handle, void* found) {
    InsideStandIn marker("KERNEL32!LoadResource");
    Module* module;
    Resource resource;
    if (!resource_of(handle, found, &module, &resource)) {
        set_last_error(kErrorInvalidHandle);
        return nullptr;
    }
    return module->base() + resource.data;
}

void* PE_STDCALL LockResource(void* loaded) {
    InsideStandIn marker("KERNEL32!LockResource");
    return loaded;
}

DWORD PE_STDCALL SizeofResource(void* handle, void* found) {
    InsideStandIn marker("KERNEL32!SizeofResource");
    Module* module;
    Resource resource;
    if (!resource_of(handle, found, &module, &resource)) {
        set_last_error(kErrorInvalidHandle);
        return 0;
    }
    return resource.size;
}

// Thread-local storage slots, in each thread's block as Windows keeps them.
std::atomic<uint64_t> tls_taken{0};

DWORD PE_STDCALL TlsAlloc() {
    InsideStandIn marker("KERNEL32!TlsAlloc");
    uint64_t taken = tls_taken.load();
    for (uint32_t i = 0; i < kTlsSlots; ++i) {
        const uint64_t bit = uint64_t{1} << i;
        if (taken & bit) continue;
        if (!tls_taken.compare_exchange_strong(taken, taken | bit)) return TlsAlloc();
        tls_slots()[i] = nullptr;
        return i;
    }
    set_last_error(kErrorNotEnoughMemory);
    return 0xFFFFFFFF;  // TLS_OUT_OF_INDEXES
}

bool tls_index(DWORD index) {
    if (index < kTlsSlots && (tls_taken.load() >> index & 1)) return true;
    set_last_error(kErrorInvalidParameter);
    return false;
}

void* PE_STDCALL TlsGetValue(DWORD index) {
    InsideStandIn marker("KERNEL32!TlsGetValue");
    if (!tls_index(index)) return nullptr;
    set_last_error(kErrorSuccess);  // so that a stored null can be told from a failure
    return tls_slots()[index];
}

BOOL PE_STDCALL TlsSetValue(DWORD index, void* value) {
    InsideStandIn marker("KERNEL32!TlsSetValue");
    if (!tls_index(index)) return 0;
    tls_slots()[index] = value;
    return 1;
}

BOOL PE_STDCALL TlsFree(DWORD index) {
    InsideStandIn marker("KERNEL32!TlsFree");
    if (!tls_index(index)) return 0;
    tls_slots()[index] = nullptr;
    tls_taken.fetch_and(~(uint64_t{1} << index));
    return 1;
}

// The process heap is the calling module's own arena.
int process_heap_object;
constexpr DWORD kHeapZeroMemory = 0x08;

HANDLE PE_STDCALL GetProcessHeap() {
    InsideStandIn marker("KERNEL32!GetProcessHeap");
    return &process_heap_object;
}

void* PE_STDCALL HeapAlloc(HANDLE heap, DWORD flags, size_t size) {
    InsideStandIn marker("KERNEL32!HeapAlloc");
    Module* module = calling_module();
    if (heap != &process_heap_object || !module) {
        set_last_error(kErrorInvalidHandle);
        return nullptr;
    }
    return module->heap().allocate(size, (flags & kHeapZeroMemory) != 0);
}

BOOL PE_STDCALL HeapFree(HANDLE heap, DWORD, void* block) {
    InsideStandIn marker("KERNEL32!HeapFree");
    if (heap != &process_heap_object) {
        set_last_error(kErrorInvalidHandle);
        return 0;
    }
    if (!block) return 1;
    Module* owner = module_with_block(block);
    if (!owner || !owner->heap().release(block)) {
        set_last_error(kErrorInvalidParameter);
        return 0;
    }
    return 1;
}

// Clocks: the host's time, from its cycles.
DWORD PE_STDCALL GetTickCount() {
    InsideStandIn marker("KERNEL32!GetTickCount");
    return static_cast<DWORD>(host_microseconds() / 1000);
}

BOOL PE_STDCALL QueryPerformanceCounter(int64_t* counter) {
    InsideStandIn marker("KERNEL32!QueryPerformanceCounter");
    *counter = static_cast<int64_t>(host_microseconds());
    return 1;
}

BOOL PE_STDCALL QueryPerformanceFrequency(int64_t* frequency) {
    InsideStandIn marker("KERNEL32!QueryPerformanceFrequency");
    *frequency = kPerformanceFrequency;
    return 1;
}

void PE_STDCALL GetSystemTimeAsFileTime(uint32_t* file_time) {
    InsideStandIn marker("KERNEL32!GetSystemTimeAsFileTime");
    const uint64_t value = kHostEpoch + host_microseconds() * 10;
    file_time[0] = static_cast<uint32_t>(value);
    file_time[1] = static_cast<uint32_t>(value >> 32);
}

DWORD PE_STDCALL GetCurrentThreadId() {
    InsideStandIn marker("KERNEL32!GetCurrentThreadId");
    return thread_id();
}

DWORD PE_STDCALL GetCurrentProcessId() {
    InsideStandIn marker("KERNEL32!GetCurrentProcessId");
    return kProcessId;
}

HANDLE PE_STDCALL GetCurrentProcess() {
    InsideStandIn marker("KERNEL32!GetCurrentProcess");
    return kCurrentProcess;
}

// Strings.
int PE_STDCALL lstrlenA(const char* text) {
    InsideStandIn marker("KERNEL32!lstrlenA");
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

char* PE_STDCALL lstrcpyA(char* to, const char* from) {
    InsideStandIn marker("KERNEL32!lstrcpyA");
    if (!to || !from) return nullptr;
    return std::strcpy(to, from);
}

char* PE_STDCALL lstrcpynA(char* to, const char* from, int count) {
    InsideStandIn marker("KERNEL32!lstrcpynA");
    // At most count - 1 characters, and always the zero.
    if (!to || !from || count <= 0) return count == 0 ? to : nullptr;
    int i = 0;
    for (; i < count - 1 && from[i]; ++i) to[i] = from[i];
    to[i] = '\0';
    return to;
}

// Atomics, on 32-bit values in the module's memory.
int32_t PE_STDCALL InterlockedIncrement(volatile int32_t* value) {
    InsideStandIn marker("KERNEL32!InterlockedIncrement");
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t PE_STDCALL InterlockedDecrement(volatile int32_t* value) {
    InsideStandIn marker("KERNEL32!InterlockedDecrement");
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

int32_t PE_STDCALL InterlockedExchange(volatile int32_t* target, int32_t value) {
    InsideStandIn marker("KERNEL32!InterlockedExchange");
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

int32_t PE_STDCALL InterlockedCompareExchange(volatile int32_t* target, int32_t exchange, int32_t comparand) {
    InsideStandIn marker("KERNEL32!InterlockedCompareExchange");
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

// The process: no debugger, the processor's own features, and an end that is the module's failure.
BOOL PE_STDCALL IsDebuggerPresent() {
    InsideStandIn marker("KERNEL32!IsDebuggerPresent");
    return 0;
}

BOOL PE_STDCALL IsProcessorFeaturePresent(DWORD feature) {
    InsideStandIn marker("KERNEL32!IsProcessorFeaturePresent");
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    switch (feature) {
        case 2: return (edx >> 8) & 1;    // PF_COMPARE_EXCHANGE_DOUBLE: cmpxchg8b
        case 3: return (edx >> 23) & 1;   // PF_MMX_INSTRUCTIONS_AVAILABLE
        case 6: return (edx >> 25) & 1;   // PF_XMMI_INSTRUCTIONS_AVAILABLE: SSE
        case 8: return (edx >> 4) & 1;    // PF_RDTSC_INSTRUCTION_AVAILABLE
        case 10: return (edx >> 26) & 1;  // PF_XMMI64_INSTRUCTIONS_AVAILABLE: SSE2
        case 12: return 1;                // PF_NX_ENABLED
        case 13: return ecx & 1;          // PF_SSE3_INSTRUCTIONS_AVAILABLE
        default: return 0;
    }
}

void* unhandled_exception_filter = nullptr;

void* PE_STDCALL SetUnhandledExceptionFilter(void* filter) {
    InsideStandIn marker("KERNEL32!SetUnhandledExceptionFilter");
    void* previous = unhandled_exception_filter;
    unhandled_exception_filter = filter;
    return previous;
}

int32_t PE_STDCALL UnhandledExceptionFilter(uint32_t** pointers) {
    InsideStandIn marker("KERNEL32!UnhandledExceptionFilter");
    // EXCEPTION_POINTERS: the record first, whose first field is the code.
    char code[16] = "unknown";
    if (pointers && pointers[0]) std::snprintf(code, sizeof code, "0x%08X", pointers[0][0]);
    abandon_module_call(std::string("module reported an unhandled exception ") + code +
                        " (KERNEL32!UnhandledExceptionFilter)");
}

BOOL PE_STDCALL TerminateProcess(HANDLE process, uint32_t exit_code) {
    InsideStandIn marker("KERNEL32!TerminateProcess");
    if (process != kCurrentProcess) {
        set_last_error(kErrorInvalidHandle);
        return 0;
    }
    abandon_module_call("module called KERNEL32!TerminateProcess with exit code " + std::to_string(exit_code));
}

void PE_STDCALL OutputDebugStringA(const char* text) {
    InsideStandIn marker("KERNEL32!OutputDebugStringA");
    if (!text) return;
    if (Module* module = calling_module()) module->say(text);
}

template <typename Function>
void* address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

std::vector<StandIn> kernel32_stand_ins() {
    const char* dll = "kernel32.dll";
    return {
        {dll, "DeleteCriticalSection", 0, address(DeleteCriticalSection)},
        {dll, "EnterCriticalSection", 0, address(EnterCriticalSection)},
        {dll, "InitializeCriticalSection", 0, address(InitializeCriticalSection)},
        {dll, "LeaveCriticalSection", 0, address(LeaveCriticalSection)},
        {dll, "GetLastError", 0, address(GetLastError)},
        {dll, "SetLastError", 0, address(SetLastError)},
        {dll, "GetModuleHandleA", 0, address(GetModuleHandleA)},
        {dll, "LoadLibraryA", 0, address(LoadLibraryA)},
        {dll, "FreeLibrary", 0, address(FreeLibrary)},
        {dll, "GetProcAddress", 0, address(GetProcAddress)},
        {dll, "GetModuleFileNameA", 0, address(GetModuleFileNameA)},
        {dll, "DisableThreadLibraryCalls", 0, address(DisableThreadLibraryCalls)},
        {dll, "Sleep", 0, address(Sleep)},
        {dll, "VirtualProtect", 0, address(VirtualProtect)},
        {dll, "VirtualQuery", 0, address(VirtualQuery)},
        {dll, "FindResourceA", 0, address(FindResourceA)},
        {dll, "LoadResource", 0, address(LoadResource)},
        {dll, "LockResource", 0, address(LockResource)},
        {dll, "SizeofResource", 0, address(SizeofResource)},
        {dll, "TlsAlloc", 0, address(TlsAlloc)},
        {dll, "TlsGetValue", 0, address(TlsGetValue)},
        {dll, "TlsSetValue", 0, address(TlsSetValue)},
        {dll, "TlsFree", 0, address(TlsFree)},
        {dll, "GetProcessHeap", 0, address(GetProcessHeap)},
        {dll, "HeapAlloc", 0, address(HeapAlloc)},
        {dll, "HeapFree", 0, address(HeapFree)},
        {dll, "GetTickCount", 0, address(GetTickCount)},
        {dll, "QueryPerformanceCounter", 0, address(QueryPerformanceCounter)},
        {dll, "QueryPerformanceFrequency", 0, address(QueryPerformanceFrequency)},
        {dll, "GetSystemTimeAsFileTime", 0, address(GetSystemTimeAsFileTime)},
        {dll, "GetCurrentThreadId", 0, address(GetCurrentThreadId)},
        {dll, "GetCurrentProcessId", 0, address(GetCurrentProcessId)},
        {dll, "GetCurrentProcess", 0, address(GetCurrentProcess)},
        {dll, "lstrlenA", 0, address(lstrlenA)},
        {dll, "lstrcpyA", 0, address(lstrcpyA)},
        {dll, "lstrcpynA", 0, address(lstrcpynA)},
        {dll, "InterlockedIncrement", 0, address(InterlockedIncrement)},
        {dll, "InterlockedDecrement", 0, address(InterlockedDecrement)},
        {dll, "InterlockedExchange", 0, address(InterlockedExchange)},
        {dll, "InterlockedCompareExchange", 0, address(InterlockedCompareExchange)},
        {dll, "IsDebuggerPresent", 0, address(IsDebuggerPresent)},
        {dll, "IsProcessorFeaturePresent", 0, address(IsProcessorFeaturePresent)},
        {dll, "SetUnhandledExceptionFilter", 0, address(SetUnhandledExceptionFilter)},
        {dll, "UnhandledExceptionFilter", 0, address(UnhandledExceptionFilter)},
        {dll, "TerminateProcess", 0, address(TerminateProcess)},
        {dll, "OutputDebugStringA", 0, address(OutputDebugStringA)},
    };
}

}  // namespace bench::pe
