#include "guard.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <mutex>
#include <thread>

namespace bench {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kTimeoutSignal = SIGUSR2;  // sent by the watchdog to a thread whose call does not return
constexpr size_t kSignalStackSize = 64 * 1024;
constexpr size_t kThreadSlots = 64;
constexpr size_t kEntryDepth = 16;  // named entries kept per thread; deeper ones are caught all the same
constexpr auto kWatchdogTick = std::chrono::milliseconds(50);

// Where a thread's outermost call is watched from the watchdog.
struct Slot {
    std::atomic<bool> claimed{false};
    pthread_t thread{};
    std::atomic<uint64_t> serial{0};  // counts outermost calls, so that the watchdog tells one from the next
    std::atomic<bool> inside{false};
    std::atomic<bool> timed_out{false};
};
Slot slots[kThreadSlots];
std::atomic<uint64_t> timeout_ms{5000};

// A thread's guarded calls. Trivially constructed, so that reaching it costs one thread-pointer load.
struct ThreadState {
    sigjmp_buf* outermost;
    const ModuleEntry* entries[kEntryDepth];
    size_t depth;
    const char* stand_in;
    Slot* slot;
    uint64_t serial;
    bool signal_stack;
    // What ended the call, filled by the signal handler or by abandon_module_call.
    int signal;
    int code;
    uintptr_t address;
    uintptr_t pc;
    uintptr_t sp;
    uintptr_t stack_low;  // the lowest address of the thread's own stack
    bool timed_out;
    bool write;
    const std::string* abandoned;
    const char* failed_stand_in;
    // The innermost entry when the call failed, copied: its own frame is abandoned with the rest.
    alignas(ModuleEntry) unsigned char failed_entry[sizeof(ModuleEntry)];
    bool has_failed_entry;
};
static_assert(std::is_trivially_copyable_v<ModuleEntry>);

void keep_failed_entry(ThreadState& s) {
    s.has_failed_entry = s.depth > 0;
    if (s.has_failed_entry)
        std::memcpy(s.failed_entry, s.entries[std::min(s.depth, kEntryDepth) - 1], sizeof(ModuleEntry));
}
thread_local ThreadState state;

struct sigaction previous_actions[32];

void on_signal(int number, siginfo_t* info, void* context);

void watch() {
    // The watchdog takes no signal meant for the process (Ctrl-C, SIGTERM): those go to the bench's threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    uint64_t seen[kThreadSlots] = {};
    uint64_t stalled_ms[kThreadSlots] = {};
    for (;;) {
        std::this_thread::sleep_for(kWatchdogTick);
        const uint64_t limit = timeout_ms.load(std::memory_order_relaxed);
        for (size_t i = 0; i < kThreadSlots; ++i) {
            Slot& slot = slots[i];
            if (!slot.claimed.load(std::memory_order_acquire)) continue;
            const uint64_t serial = slot.serial.load(std::memory_order_relaxed);
            if (!slot.inside.load(std::memory_order_relaxed) || serial != seen[i]) {
                seen[i] = serial;
                stalled_ms[i] = 0;
                continue;
            }
            stalled_ms[i] += static_cast<uint64_t>(kWatchdogTick.count());
            if (stalled_ms[i] >= limit && !slot.timed_out.exchange(true)) pthread_kill(slot.thread, kTimeoutSignal);
        }
    }
}

// Handlers, and the watchdog, once per process.
void install_once() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = on_signal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int number : kFaultSignals) sigaction(number, &action, &previous_actions[number]);
        sigaction(kTimeoutSignal, &action, &previous_actions[kTimeoutSignal]);
        // The watchdog takes no signal: one meant for the process (SIGTERM while serve waits for it with
        // sigwait) must not land on it. It inherits a full mask from here.
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &before);
        std::thread(watch).detach();
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    });
}

// What a thread gave itself at its first guarded call, given back when it ends.
struct ThreadEnd {
    void* signal_stack = nullptr;  // ours, when the thread had none
    ~ThreadEnd() {
        if (state.slot) state.slot->claimed.store(false, std::memory_order_release);
        if (signal_stack) {
            stack_t off{};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
            munmap(signal_stack, kSignalStackSize);
        }
    }
};
thread_local ThreadEnd thread_end;

// A thread's first guarded call: a stack for the handler (a module that overflows its stack leaves none to
// run on) unless the thread has one (the sanitizer gives each thread its own), a watchdog slot, and where the
// thread's stack ends.
void prepare_thread() {
    install_once();
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
        void* stack = mmap(nullptr, kSignalStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (stack != MAP_FAILED) {
            stack_t alternate{};
            alternate.ss_sp = stack;
            alternate.ss_size = kSignalStackSize;
            sigaltstack(&alternate, nullptr);
            thread_end.signal_stack = stack;
        }
    }
    for (Slot& slot : slots) {
        bool free = false;
        if (slot.claimed.load() || !slot.claimed.compare_exchange_strong(free, true)) continue;
        slot.thread = pthread_self();
        slot.inside.store(false);
        state.slot = &slot;
        break;
    }
    (void)thread_end;
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        void* low = nullptr;
        size_t size = 0;
        pthread_attr_getstack(&attributes, &low, &size);
        state.stack_low = reinterpret_cast<uintptr_t>(low);
        pthread_attr_destroy(&attributes);
    }
    state.signal_stack = true;
}

uintptr_t register_of(void* context, bool pc) {
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[pc ? REG_RIP : REG_RSP]);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[pc ? REG_EIP : REG_ESP]);
#else
    (void)uc;
    (void)pc;
    return 0;
#endif
}

bool writing(void* context) {
#if defined(__x86_64__) || defined(__i386__)
    // The page-fault error code: bit 1 is set for a write.
    return (static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)context;
    return false;
#endif
}

void on_signal(int number, siginfo_t* info, void* context) {
    ThreadState& s = state;
    if (!s.outermost) {
        if (number == kTimeoutSignal) return;  // the call returned before the watchdog's word arrived
        // A fault in the bench itself: give it back to whoever handled it before (the sanitizer, or the default).
        sigaction(number, &previous_actions[number], nullptr);
        return;
    }
    if (number == kTimeoutSignal) {
        if (!s.slot || !s.slot->timed_out.load()) return;
        s.timed_out = true;
    } else {
        s.signal = number;
        s.code = info->si_code;
        s.address = reinterpret_cast<uintptr_t>(info->si_addr);
        s.pc = register_of(context, true);
        s.sp = register_of(context, false);
        s.write = number == SIGSEGV && writing(context);
    }
    s.failed_stand_in = s.stand_in;
    keep_failed_entry(s);
    siglongjmp(*s.outermost, 1);
}

std::string hex32(uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(value));
    return text;
}

std::string signal_text(const ThreadState& s) {
    switch (s.signal) {
        case SIGFPE:
            return s.code == FPE_INTDIV   ? "SIGFPE (integer division by zero)"
                   : s.code == FPE_INTOVF ? "SIGFPE (integer overflow)"
                                          : "SIGFPE";
        case SIGILL: return "SIGILL (an illegal instruction)";
        case SIGBUS: return "SIGBUS at address " + hex32(s.address);
        default: break;
    }
    // A fault just below the stack, or with the stack pointer already there, is the stack running out.
    const bool overflow = s.stack_low && s.address < s.stack_low && s.address + 256 * 1024 >= s.stack_low;
    if (overflow || (s.stack_low && s.sp < s.stack_low + 4096)) return "stack overflow (SIGSEGV)";
    return std::string("SIGSEGV ") + (s.write ? "writing" : "reading") + " address " + hex32(s.address);
}

}  // namespace

std::string ModuleEntry::describe(bool brief) const {
    switch (kind) {
        case kEntryPoint: return "the entry point";
        case kTlsCallback: return "a thread-local storage callback";
        case kModuleInit: return "module_init";
        case kModuleDeinit: return "module_deinit";
        case kRoutine: return routine ? routine : "a gauge routine";
        case kValueCallback: return "the value callback of element " + std::to_string(index);
        case kTextCallback: return "the text callback of string " + std::to_string(index);
        case kMouseHandler: {
            std::string out = "the handler of mouse area " + std::to_string(index);
            if (brief) return out;
            const char* action = (flags & 0x20000000) ? "click" : (flags & 0x00800000) ? "drag" : "repeat";
            return out + " (" + action + " at (" + std::to_string(x) + ", " + std::to_string(y) + "))";
        }
    }
    return "module code";
}

void set_call_timeout(double seconds) {
    timeout_ms.store(static_cast<uint64_t>(std::llround(std::max(seconds, 0.05) * 1000)));
}
double call_timeout() { return static_cast<double>(timeout_ms.load()) / 1000; }

InsideStandIn::InsideStandIn(const char* name) : outer_(state.stand_in) { state.stand_in = name; }
InsideStandIn::~InsideStandIn() { state.stand_in = outer_; }

void abandon_module_call(const std::string& what) {
    ThreadState& s = state;
    if (!s.outermost) {
        std::fprintf(stderr, "gaugebench: %s, outside any call into the module\n", what.c_str());
        std::abort();
    }
    s.abandoned = new std::string(what);
    keep_failed_entry(s);
    siglongjmp(*s.outermost, 1);
}

void ModuleGuard::set_image(uintptr_t begin, uintptr_t end) {
    begin_ = begin;
    end_ = end;
}

std::string ModuleGuard::where(uintptr_t address) const {
    char text[64];
    if (address >= begin_ && address < end_) {
        std::snprintf(text, sizeof text, "module+0x%llx", static_cast<unsigned long long>(address - begin_));
        return text;
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(address), &info) && info.dli_fname) {
        std::string name = info.dli_fname;
        name = name.substr(name.rfind('/') + 1);
        std::snprintf(text, sizeof text, "+0x%llx",
                      static_cast<unsigned long long>(address - reinterpret_cast<uintptr_t>(info.dli_fbase)));
        return (info.dli_sname ? std::string(info.dli_sname) + " in " : std::string()) + name + text;
    }
    return hex32(address);
}

bool ModuleGuard::run(const ModuleEntry& entry, void (*call)(void*), void* context) {
    if (failed()) return false;
    ThreadState& s = state;
    if (s.outermost) {
        // Inside a call already: name this entry for any message, and let the outermost one catch.
        if (s.depth < kEntryDepth) s.entries[s.depth] = &entry;
        ++s.depth;
        call(context);
        --s.depth;
        return !failed();
    }
    if (!s.signal_stack) prepare_thread();
    sigjmp_buf jump;
    s.entries[0] = &entry;
    s.depth = 1;
    s.stand_in = nullptr;
    s.signal = 0;
    s.timed_out = false;
    s.abandoned = nullptr;
    s.failed_stand_in = nullptr;
    s.has_failed_entry = false;
    if (s.slot) {
        s.slot->timed_out.store(false, std::memory_order_relaxed);
        s.slot->serial.store(++s.serial, std::memory_order_relaxed);
        s.slot->inside.store(true, std::memory_order_relaxed);
    }
    // The mask is not saved here, to keep the common path cheap; the way back from a signal restores it below.
    if (sigsetjmp(jump, 0) == 0) {
        s.outermost = &jump;
        if (prepare_) prepare_(prepare_context_);
        call(context);
        s.outermost = nullptr;
        s.depth = 0;
        if (s.slot) s.slot->inside.store(false, std::memory_order_relaxed);
        return true;
    }
    s.outermost = nullptr;
    s.depth = 0;
    s.stand_in = nullptr;
    if (s.slot) s.slot->inside.store(false, std::memory_order_relaxed);
    sigset_t unblock;
    sigemptyset(&unblock);
    for (int number : kFaultSignals) sigaddset(&unblock, number);
    sigaddset(&unblock, kTimeoutSignal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);

    ModuleEntry failed_in = entry;
    if (s.has_failed_entry) std::memcpy(&failed_in, s.failed_entry, sizeof failed_in);
    if (s.abandoned) {
        failure_ = *s.abandoned + " (in " + failed_in.describe(true) + ")";
        delete s.abandoned;
        s.abandoned = nullptr;
    } else if (s.timed_out) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", call_timeout());
        failure_ = failed_in.describe() + " did not return within " + limit + " s";
    } else if (s.failed_stand_in) {
        failure_ = "crashed inside " + std::string(s.failed_stand_in) + " called from " + failed_in.describe() + ": " +
                   signal_text(s);
    } else {
        failure_ = failed_in.describe() + " crashed: " + signal_text(s) + " at " + where(s.pc);
    }
    return false;
}

}  // namespace bench
