// Mapping a Windows DLL into the 32-bit bench and starting it as the Windows loader does: sections at their
// addresses, base relocations when the preferred base is taken, imports bound to the bench's stand-ins, page
// protections from the section flags, thread-local storage, a thread block in %fs, then the TLS callbacks and
// the entry point.
#include <asm/ldt.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "runtime.h"
#include "stdcall_call.h"

namespace bench::pe {
namespace {

constexpr uint32_t kPage = 4096;
constexpr uint32_t kProcessAttach = 1, kProcessDetach = 0, kThreadAttach = 2;

// Win32 page protections.
constexpr uint32_t kNoAccess = 0x01, kReadOnly = 0x02, kReadWrite = 0x04, kExecute = 0x10, kExecuteRead = 0x20,
                   kExecuteReadWrite = 0x40;

uint32_t win32_protection(uint32_t flags) {
    const bool read = flags & kSectionRead, write = flags & kSectionWrite, execute = flags & kSectionExecute;
    if (execute) return write ? kExecuteReadWrite : (read ? kExecuteRead : kExecute);
    if (write) return kReadWrite;
    return read ? kReadOnly : kNoAccess;
}

int posix_protection(uint32_t protection) {
    switch (protection & 0xFF) {
        case kReadOnly: return PROT_READ;
        case kReadWrite: return PROT_READ | PROT_WRITE;
        case kExecute:
        case kExecuteRead: return PROT_READ | PROT_EXEC;
        case kExecuteReadWrite: return PROT_READ | PROT_WRITE | PROT_EXEC;
        case 0x08: return PROT_READ | PROT_WRITE;              // write-copy
        case 0x80: return PROT_READ | PROT_WRITE | PROT_EXEC;  // execute, write-copy
        default: return PROT_NONE;
    }
}

// ---- The loaded modules, for the stand-ins.

std::mutex registry_mutex;
std::vector<Module*> registry;
std::atomic<uint32_t> next_serial{1};
thread_local Module* current = nullptr;

// Implicit thread-local storage indexes, one a module that has a template.
std::mutex tls_index_mutex;
bool tls_index_taken[kTlsSlots];

// ---- Thread blocks.

// The thread block's fields the bench fills, at their Windows offsets.
constexpr uint32_t kTibExceptionList = 0x00, kTibStackBase = 0x04, kTibStackLimit = 0x08, kTibSelf = 0x18,
                   kTibProcessId = 0x20, kTibThreadId = 0x24, kTibTlsPointer = 0x2C, kTibPeb = 0x30,
                   kTibLastError = 0x34, kTibTlsSlots = 0xE10;

std::mutex ldt_mutex;
std::vector<bool> ldt_taken(8192, false);
std::atomic<uint32_t> thread_count{0};

uint8_t* process_block() {
    // The process environment block: zeros but for what a module may read of it.
    static uint8_t* block = [] {
        void* page = mmap(nullptr, kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return page == MAP_FAILED ? nullptr : static_cast<uint8_t*>(page);
    }();
    return block;
}

bool write_ldt(uint32_t entry, uint32_t base, uint32_t limit, bool present) {
    user_desc descriptor{};
    descriptor.entry_number = entry;
    descriptor.base_addr = base;
    descriptor.limit = limit;
    descriptor.seg_32bit = 1;
    descriptor.read_exec_only = present ? 0 : 1;
    descriptor.seg_not_present = present ? 0 : 1;
    descriptor.useable = present ? 1 : 0;
    return syscall(SYS_modify_ldt, 0x11, &descriptor, sizeof descriptor) == 0;
}

struct ThreadBlock {
    uint8_t* page = nullptr;  // the thread information block, then a page for the TLS pointers
    uint16_t selector = 0;
    uint32_t entry = 0;
    uint32_t id = 0;
    uint32_t last_serial = 0;
    std::vector<uint32_t> met;  // modules this thread has called
    std::vector<void*> tls_blocks;

    void** tls_pointers() const { return reinterpret_cast<void**>(page + kPage); }

    bool make() {
        void* memory = mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return false;
        page = static_cast<uint8_t*>(memory);
        {
            std::lock_guard<std::mutex> lock(ldt_mutex);
            for (uint32_t i = 1; i < ldt_taken.size() && !entry; ++i)
                if (!ldt_taken[i]) ldt_taken[i] = true, entry = i;
        }
        if (!entry || !write_ldt(entry, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(page)), 2 * kPage - 1, true))
            return false;
        selector = static_cast<uint16_t>(entry << 3 | 0x7);  // the LDT, privilege 3
        id = 0x100 + 4 * thread_count.fetch_add(1);
        uintptr_t stack_low = 0, stack_high = 0;
        pthread_attr_t attributes;
        if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
            void* low = nullptr;
            size_t size = 0;
            pthread_attr_getstack(&attributes, &low, &size);
            stack_low = reinterpret_cast<uintptr_t>(low);
            stack_high = stack_low + size;
            pthread_attr_destroy(&attributes);
        }
        auto put = [&](uint32_t offset, uintptr_t value) {
            const auto word = static_cast<uint32_t>(value);
            std::memcpy(page + offset, &word, 4);
        };
        put(kTibExceptionList, 0xFFFFFFFF);  // no handler registered
        put(kTibStackBase, stack_high);
        put(kTibStackLimit, stack_low);
        put(kTibSelf, reinterpret_cast<uintptr_t>(page));
        put(kTibProcessId, kProcessId);
        put(kTibThreadId, id);
        put(kTibTlsPointer, reinterpret_cast<uintptr_t>(tls_pointers()));
        put(kTibPeb, reinterpret_cast<uintptr_t>(process_block()));
        return true;
    }

    ~ThreadBlock() {
        for (void* block : tls_blocks) std::free(block);
        if (entry) {
            write_ldt(entry, 0, 0, false);
            std::lock_guard<std::mutex> lock(ldt_mutex);
            ldt_taken[entry] = false;
        }
        if (page) munmap(page, 2 * kPage);
    }
};

thread_local ThreadBlock thread_block;

ThreadBlock& own_thread_block() {
    if (!thread_block.page && !thread_block.make()) {
        // Without a thread block the module's first read of %fs would fault: say why instead.
        abandon_module_call("the bench could not give this thread a Windows thread block");
    }
    return thread_block;
}

void load_fs(const ThreadBlock& block) {
    uint16_t loaded;
    asm volatile("movw %%fs, %0" : "=r"(loaded));
    if (loaded != block.selector) asm volatile("movw %0, %%fs" : : "r"(block.selector));
}

// ---- Calls into the module.

// A stdcall call with the stack checked; a callee that pops the wrong count ends the call.
uint32_t call_checked(const void* function, std::initializer_list<uint32_t> arguments, const char* what) {
    int32_t off = 0;
    const uint32_t result =
        bench_call_stdcall(function, std::data(arguments), static_cast<uint32_t>(arguments.size()), &off);
    if (off != 0)
        abandon_module_call(std::string(what) + " returned with the stack pointer " + std::to_string(off) +
                            " bytes off where stdcall leaves it");
    return result;
}

// Tells the module of an attach or detach: its thread-local storage callbacks, then its entry point, whose
// answer is returned (true when it has none).
bool notify(Module& module, uint32_t reason, ModuleGuard& guard) {
    const auto handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module.base()));
    for (uint32_t callback : module.layout().tls.callbacks)
        guard.enter({ModuleEntry::kTlsCallback}, [&] {
            call_checked(module.base() + callback, {handle, reason, 0}, "a thread-local storage callback");
        });
    uint32_t answer = 1;
    if (!guard.failed() && module.layout().entry_point)
        guard.enter({ModuleEntry::kEntryPoint}, [&] {
            answer = call_checked(module.base() + module.layout().entry_point, {handle, reason, 0}, "the entry point");
        });
    return answer != 0;
}

// ---- Imports the bench does not provide.

// Each stub pushes its message and calls here; the call never returns.
extern "C" PE_CDECL void bench_pe_missing_import(const char* message) { abandon_module_call(message); }

constexpr size_t kStubSize = 16;

}  // namespace

struct Loader {
    static bool map(Module& module, const std::vector<uint8_t>& file, std::string* error) {
        Image& layout = module.layout_;
        if (!read_headers(file.data(), file.size(), &layout, error)) return false;
        void* preferred = reinterpret_cast<void*>(static_cast<uintptr_t>(layout.preferred_base));
        void* memory = mmap(preferred, layout.size, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (memory == MAP_FAILED)
            memory = mmap(nullptr, layout.size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            *error = std::string("cannot map ") + std::to_string(layout.size) + " bytes: " + std::strerror(errno);
            return false;
        }
        module.base_ = static_cast<uint8_t*>(memory);
        lay_out(file.data(), layout, module.base_);
        if (!read_directories(module.base_, &layout, error)) return false;
        if (memory != preferred) {
            if (!layout.relocatable) {
                *error = "its preferred base " + hex_address(layout.preferred_base) +
                         " is taken and it carries no base relocations";
                return false;
            }
            relocate(module.base_, layout, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(memory)));
        }
        return true;
    }

    static bool bind(Module& module, std::string* error) {
        std::vector<std::pair<uint32_t, std::string>> missing;  // slot, name
        for (const Import& import : module.layout_.imports) {
            const StandIn* stand_in =
                find_stand_in(import.dll, import.by_ordinal() ? nullptr : import.name.c_str(), import.ordinal);
            if (stand_in) {
                const auto address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stand_in->address));
                std::memcpy(module.base_ + import.slot, &address, 4);
                continue;
            }
            missing.emplace_back(import.slot, import.describe());
        }
        for (const auto& [slot, name] : missing) module.missing_.push_back(name);
        if (missing.empty()) return true;
        // One stub a missing import: push its message, call the handler.
        module.messages_.reserve(missing.size());
        for (const auto& [slot, name] : missing)
            module.messages_.push_back("module called " + name + ", which the bench does not provide");
        module.stubs_size_ = (missing.size() * kStubSize + kPage - 1) / kPage * kPage;
        void* memory = mmap(nullptr, module.stubs_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            *error = "cannot map the stubs of its missing imports";
            return false;
        }
        module.stubs_ = static_cast<uint8_t*>(memory);
        const auto handler = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&bench_pe_missing_import));
        for (size_t i = 0; i < missing.size(); ++i) {
            uint8_t* stub = module.stubs_ + i * kStubSize;
            const auto message = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module.messages_[i].c_str()));
            stub[0] = 0x68;  // push message
            std::memcpy(stub + 1, &message, 4);
            stub[5] = 0xB8;  // mov handler, %eax
            std::memcpy(stub + 6, &handler, 4);
            stub[10] = 0xFF;  // call *%eax
            stub[11] = 0xD0;
            std::memset(stub + 12, 0xCC, kStubSize - 12);
            const auto address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stub));
            std::memcpy(module.base_ + missing[i].first, &address, 4);
        }
        mprotect(module.stubs_, module.stubs_size_, PROT_READ | PROT_EXEC);
        return true;
    }

    static void protect(Module& module) {
        const Image& layout = module.layout_;
        const uint32_t pages = (layout.size + kPage - 1) / kPage;
        module.pages_.assign(pages, kNoAccess);
        for (uint32_t page = 0; page < (layout.header_size + kPage - 1) / kPage; ++page)
            module.pages_[page] = kReadOnly;
        // Sections that share a page (an alignment below the page size) share its protections.
        std::vector<uint32_t> flags(pages, 0);
        for (const Section& section : layout.sections)
            for (uint32_t page = section.rva / kPage; page < (section.rva + section.size + kPage - 1) / kPage; ++page)
                flags[page] |= section.flags;
        for (uint32_t page = 0; page < pages; ++page)
            if (flags[page]) module.pages_[page] = win32_protection(flags[page]);
        for (uint32_t page = 0; page < pages; ++page)
            mprotect(module.base_ + page * kPage, kPage, posix_protection(module.pages_[page]));
    }

    static bool thread_storage(Module& module, std::string* error) {
        if (!module.layout_.tls.present) return true;
        std::lock_guard<std::mutex> lock(tls_index_mutex);
        for (uint32_t i = 0; i < kTlsSlots && module.tls_slot_ < 0; ++i)
            if (!tls_index_taken[i]) tls_index_taken[i] = true, module.tls_slot_ = static_cast<int32_t>(i);
        if (module.tls_slot_ < 0) {
            *error = "no thread-local storage index is left for it";
            return false;
        }
        const auto index = static_cast<uint32_t>(module.tls_slot_);
        std::memcpy(module.base_ + module.layout_.tls.index_slot, &index, 4);
        return true;
    }

    static std::string hex_address(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", value);
        return text;
    }
};

Module::~Module() {
    {
        std::lock_guard<std::mutex> lock(registry_mutex);
        std::erase(registry, this);
    }
    if (current == this) current = nullptr;
    if (tls_slot_ >= 0) {
        std::lock_guard<std::mutex> lock(tls_index_mutex);
        tls_index_taken[tls_slot_] = false;
    }
    if (stubs_) munmap(stubs_, stubs_size_);
    if (base_) munmap(base_, layout_.size);
}

void* Module::symbol(const char* name) const {
    const uint32_t rva = layout_.export_rva(name);
    return rva ? base_ + rva : nullptr;
}

void Module::say(const std::string& text) const {
    if (debug_output_)
        debug_output_(text);
    else
        std::fprintf(stderr, "%s", text.c_str());
}

bool Module::protect(uint32_t first_page, uint32_t count, uint32_t protection) {
    if (first_page + count > pages_.size()) return false;
    if (mprotect(base_ + first_page * kPage, size_t{count} * kPage, posix_protection(protection)) != 0) return false;
    std::fill_n(pages_.begin() + first_page, count, protection);
    return true;
}

std::unique_ptr<Module> load_module(const std::string& path, ModuleGuard& guard, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = std::string("cannot open module: ") + std::strerror(errno);
        return nullptr;
    }
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<Module> module(new Module);
    module->path_ = path;
    if (!Loader::map(*module, file, error) || !Loader::bind(*module, error) || !Loader::thread_storage(*module, error))
        return nullptr;
    Loader::protect(*module);
    module->serial_ = next_serial.fetch_add(1);
    module->guard_ = &guard;
    {
        std::lock_guard<std::mutex> lock(registry_mutex);
        registry.push_back(module.get());
    }
    guard.set_image(reinterpret_cast<uintptr_t>(module->base_),
                    reinterpret_cast<uintptr_t>(module->base_) + module->layout_.size);
    prepare_thread(module.get());
    module->loading_thread_ = thread_id();
    if (!notify(*module, kProcessAttach, guard)) {
        // As LoadLibrary: an entry point that refuses is told of the detach, and the module is not loaded.
        notify(*module, kProcessDetach, guard);
        *error = "its entry point refused to load (it returned FALSE)";
        return nullptr;
    }
    module->attached_ = true;
    guard.set_thread_entry(prepare_thread, module.get());
    return module;
}

void unload_module(std::unique_ptr<Module> module) {
    ModuleGuard& guard = *module->guard_;
    guard.set_thread_entry(nullptr, nullptr);
    if (module->attached_ && !guard.failed()) {
        prepare_thread(module.get());
        notify(*module, kProcessDetach, guard);
    }
    if (guard.failed()) module.release();
}

void prepare_thread(void* context) {
    auto* module = static_cast<Module*>(context);
    ThreadBlock& block = own_thread_block();
    load_fs(block);
    current = module;
    if (block.last_serial == module->serial_) return;
    block.last_serial = module->serial_;
    if (std::find(block.met.begin(), block.met.end(), module->serial_) != block.met.end()) return;
    block.met.push_back(module->serial_);
    const Tls& tls = module->layout_.tls;
    if (module->tls_slot_ >= 0) {
        const size_t template_size = tls.data_end - tls.data_begin;
        void* data = std::calloc(1, template_size + tls.zero_fill + 1);
        if (!data) abandon_module_call("the bench could not give this thread the module's thread-local storage");
        if (template_size) std::memcpy(data, module->base_ + tls.data_begin, template_size);
        block.tls_blocks.push_back(data);
        block.tls_pointers()[module->tls_slot_] = data;
    }
    // A thread other than the one that loaded the module is announced to it, unless it asked not to be.
    if (module->attached_ && module->thread_calls_ && block.id != module->loading_thread_)
        notify(*module, kThreadAttach, *module->guard_);
}

Module* current_module() { return current; }

Module* module_at(const void* address) {
    std::lock_guard<std::mutex> lock(registry_mutex);
    for (Module* module : registry)
        if (module->holds(address)) return module;
    return nullptr;
}

Module* module_named(const std::string& name) {
    const std::string wanted = normal_dll_name(name);
    std::lock_guard<std::mutex> lock(registry_mutex);
    for (Module* module : registry) {
        const std::string& path = module->path();
        if (normal_dll_name(path.substr(path.find_last_of("/\\") + 1)) == wanted) return module;
    }
    return nullptr;
}

Module* module_with_block(const void* block) {
    std::lock_guard<std::mutex> lock(registry_mutex);
    for (Module* module : registry)
        if (module->heap().holds(block)) return module;
    return nullptr;
}

uint32_t last_error() {
    uint32_t value;
    std::memcpy(&value, own_thread_block().page + kTibLastError, 4);
    return value;
}

void set_last_error(uint32_t code) { std::memcpy(own_thread_block().page + kTibLastError, &code, 4); }

uint32_t thread_id() { return own_thread_block().id; }

void** tls_slots() { return reinterpret_cast<void**>(own_thread_block().page + kTibTlsSlots); }

}  // namespace bench::pe
