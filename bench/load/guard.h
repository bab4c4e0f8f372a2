// Calls into module code, guarded. A gauge still being written may crash (a null pointer, a division by zero, a
// stack that overflows), loop for ever, or call an import the bench does not provide; none of that may take the
// bench down. Every entry into a module goes through its ModuleGuard: the outermost entry of a thread catches
// what goes wrong anywhere below it and returns to the bench with one line saying what happened; an entry inside
// it (a callback the host runs while a routine is under way) only names itself, for that line. A module that
// failed is never called again: its state is unknown.
//
// The catching is done in the process: a signal handler on a stack of its own takes the fault and jumps back to
// the outermost entry, and a watchdog thread interrupts a call that does not return within the limit. What lay
// between (the module's frames, the host's frames inside it) is abandoned, not unwound.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <string>
#include <type_traits>

namespace bench {

// What the bench is calling, for messages: "the handler of mouse area 1 (click at (5, 5))".
struct ModuleEntry {
    enum Kind : uint8_t {
        kEntryPoint,   // the library entry point, while the module loads or unloads
        kTlsCallback,  // a thread-local storage callback, while the module loads
        kModuleInit,
        kModuleDeinit,
        kRoutine,        // one of the seven gauge routines; `routine` names it
        kValueCallback,  // of element `index` (tree order, from 1)
        kTextCallback,   // of string element `index` (from 1)
        kMouseHandler,   // of mouse area `index` (its record in the list), at (x, y) with event bits `flags`
    };
    Kind kind;
    const char* routine = nullptr;
    int32_t index = 0;
    int32_t x = 0, y = 0;
    uint32_t flags = 0;

    // "the handler of mouse area 1 (click at (5, 5))"; `brief` leaves out the pointer: "the handler of mouse area 1".
    std::string describe(bool brief = false) const;
};

// How long one outermost call may take before it counts as hung; 5 s unless the user says otherwise.
void set_call_timeout(double seconds);
double call_timeout();

// While one of the bench's stand-ins for a platform function runs on a module's behalf, a crash is said to
// happen inside it: "crashed inside msvcrt!strlen called from the text callback of string 2".
class InsideStandIn {
public:
    explicit InsideStandIn(const char* name);  // "msvcrt!strlen"; a literal, kept by address
    ~InsideStandIn();
    InsideStandIn(const InsideStandIn&) = delete;
    InsideStandIn& operator=(const InsideStandIn&) = delete;

private:
    const char* outer_;
};

// Ends the current call into module code, from anywhere below the outermost entry, as a failure described by
// `what`, to which the entry it happened in is added: "module called KERNEL32!GetComputerNameA, which the bench
// does not provide (in the handler of mouse area 1)". Used by the stubs of imports the bench does not provide.
[[noreturn]] void abandon_module_call(const std::string& what);

class ModuleGuard {
public:
    // The module's image, for "at module+0x1a2b": addresses in it are told from its start.
    void set_image(uintptr_t begin, uintptr_t end);
    // Runs `prepare(context)` at the start of every outermost entry, inside it (what fails there ends the call):
    // for a module that needs each calling thread set up, as a Windows module needs its thread block in %fs.
    void set_thread_entry(void (*prepare)(void*), void* context) {
        prepare_ = prepare;
        prepare_context_ = context;
    }

    // Runs `call` as an entry into the module. Returns true when it returned; false when the module failed in it
    // or had failed before (then nothing is called).
    template <typename Call>
    bool enter(const ModuleEntry& entry, Call&& call) {
        using Target = std::remove_reference_t<Call>;
        return run(
            entry, [](void* context) { (*static_cast<Target*>(context))(); },
            const_cast<void*>(static_cast<const void*>(&call)));
    }

    bool failed() const { return !failure_.empty(); }
    // One line: "the handler of mouse area 1 (click at (5, 5)) crashed: SIGSEGV writing address 0x00000000 at
    // module+0x1a2b", "gauge_update did not return within 5 s".
    const std::string& failure() const { return failure_; }

private:
    bool run(const ModuleEntry& entry, void (*call)(void*), void* context);
    std::string where(uintptr_t address) const;

    uintptr_t begin_ = 0, end_ = 0;
    std::string failure_;
    void (*prepare_)(void*) = nullptr;
    void* prepare_context_ = nullptr;
};

}  // namespace bench
