// Where the bench finds the modules it knows by name.
#pragma once

#include <string>

namespace bench {

// MODULE as the user gives it: a path to a built module, or one of the names zorlet, brimmet, quandle and
// fennick, found in the modules folder of the build that holds the running bench.
std::string resolve_module(const std::string& module, const char* argv0);

}  // namespace bench
