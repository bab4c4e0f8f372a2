#include "foreign_module.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "commands.h"
#include "pe_image.h"
#include "windows_module.h"

namespace bench::cli {
namespace {

std::vector<std::string> command_line;

}  // namespace

void remember_command_line(int argc, char** argv) { command_line.assign(argv, argv + argc); }

std::optional<int> hand_to_32_bit_bench(const std::vector<std::string>& modules) {
#if defined(_WIN32)
    (void)modules;
    return std::nullopt;  // LoadLibrary runs them
#else
    if (pe::windows_modules_run_here()) return std::nullopt;
    const std::string* windows = nullptr;
    for (const std::string& module : modules)
        if (!windows && pe::is_pe_file(module)) windows = &module;
    if (!windows) return std::nullopt;

    std::vector<std::string> arguments;
    std::string program;
    if (const char* wrapper = std::getenv("GAUGEBENCH_WRAPPER"); wrapper && *wrapper) {
        setenv("GAUGEBENCH_ARCH", "i386", 1);
        program = wrapper;
        arguments = {program};
    } else {
        // BUILD/linux-x64/bench/cli/gaugebench has its 32-bit sibling at BUILD/linux-i386/bench/cli/gaugebench.
        std::error_code failure;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
        const auto sibling = self.parent_path().parent_path().parent_path().parent_path() / "linux-i386" / "bench" /
                             "cli" / "gaugebench";
        if (failure || !std::filesystem::is_regular_file(sibling, failure)) {
            print_error(*windows +
                        ": a 32-bit Windows module, which only the 32-bit bench runs, and it is not built: run "
                        "./gaugebench, which builds it, or `cmake --preset linux-i386 && cmake --build --preset "
                        "linux-i386`");
            return kBadInput;
        }
        program = "qemu-i386-static";
        arguments = {program, sibling.string()};
    }
    arguments.insert(arguments.end(), command_line.begin() + (command_line.empty() ? 0 : 1), command_line.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    execvp(program.c_str(), argv.data());
    print_error(*windows + ": a 32-bit Windows module, and the 32-bit bench cannot be started: " + program + ": " +
                std::strerror(errno));
    return kBadInput;
#endif
}

}  // namespace bench::cli
