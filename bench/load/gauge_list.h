// The gauges this build made, as gauge_module() recorded them, and where the bench finds one by name.
#pragma once

#include <string>
#include <vector>

namespace bench {

// The product's modules in the order the build lists them: zorlet, brimmet, quandle, fennick.
const std::vector<std::string>& built_gauges();

// MODULE as the user gives it: a path to a module, or the name of one of the built gauges, found in the modules
// folder of the build that holds the running bench.
std::string resolve_module(const std::string& module, const char* argv0);

// The shipped DLL of a built gauge: the Windows build of the same checkout, build/win32/modules/NAME.dll.
std::string shipped_module(const std::string& name, const char* argv0);

}  // namespace bench
