#include "gauge_list.h"

#include <algorithm>
#include <filesystem>

namespace bench {

std::string resolve_module(const std::string& module, const char* argv0) {
#if defined(_WIN32)
    const char* suffix = ".dll";
#else
    const char* suffix = ".so";
#endif
    const std::vector<std::string>& names = built_gauges();
    if (std::find(names.begin(), names.end(), module) == names.end()) return module;
    std::error_code ignored;
    const std::filesystem::path self = std::filesystem::weakly_canonical(argv0, ignored);
    // The program lies in BUILD/bench/cli/, the modules in BUILD/modules/.
    return (self.parent_path().parent_path().parent_path() / "modules" / (module + suffix)).string();
}

std::string shipped_module(const std::string& name, const char* argv0) {
    std::error_code ignored;
    const std::filesystem::path self = std::filesystem::weakly_canonical(argv0, ignored);
    // The program lies in BUILD/PRESET/bench/cli/, the DLLs in BUILD/win32/modules/.
    const std::filesystem::path build = self.parent_path().parent_path().parent_path().parent_path();
    return (build / "win32" / "modules" / (name + ".dll")).string();
}

}  // namespace bench
