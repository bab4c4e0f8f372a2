// The Windows bench calls module code unguarded: what a module does wrong there is Windows' to report.
#include "guard.h"

#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {
double timeout_seconds = 5;
}

std::string ModuleEntry::describe(bool) const { return "module code"; }
void set_call_timeout(double seconds) { timeout_seconds = seconds; }
double call_timeout() { return timeout_seconds; }
InsideStandIn::InsideStandIn(const char* name) : outer_(name) {}
InsideStandIn::~InsideStandIn() = default;

void abandon_module_call(const std::string& what) {
    std::fprintf(stderr, "gaugebench: %s\n", what.c_str());
    std::exit(3);
}

void ModuleGuard::set_image(uintptr_t begin, uintptr_t end) {
    begin_ = begin;
    end_ = end;
}

bool ModuleGuard::run(const ModuleEntry&, void (*call)(void*), void* context) {
    call(context);
    return true;
}

}  // namespace bench
