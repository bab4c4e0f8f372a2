#include "module_names.h"

#include <array>
#include <filesystem>

namespace bench {

std::string resolve_module(const std::string& module, const char* argv0) {
    static constexpr std::array<const char*, 4> kNames = {"zorlet", "brimmet", "quandle", "fennick"};
#if defined(_WIN32)
    const char* suffix = ".dll";
#else
    const char* suffix = ".so";
#endif
    for (const char* name : kNames) {
        if (module != name) continue;
        std::error_code ignored;
        std::filesystem::path self = std::filesystem::weakly_canonical(argv0, ignored);
        return (self.parent_path().parent_path() / "modules" / (module + suffix)).string();
    }
    return module;
}

}  // namespace bench
