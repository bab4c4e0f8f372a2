// gaugebench inspect MODULE
#include <cstdio>

#include "commands.h"
#include "foreign_module.h"
#include "describe.h"
#include "gauge_list.h"

namespace bench::cli {
namespace {

int inspect(const std::string& module_path) {
    if (const auto handed = hand_to_32_bit_bench({module_path})) return *handed;
    int status;
    auto module = load_module(module_path, &status);
    if (!module) return status;
    Host host(*module);
    std::string error;
    if (!host.install_or_refuse(&error)) {
        print_error(error);
        return host.failed() ? kModuleCrashed : kBadInput;
    }
    std::fputs(describe_gauge(host).c_str(), stdout);
    host.kill();
    if (const int failure = module_failure(host)) return failure;
    return kSuccess;
}

}  // namespace

Command add_inspect_command(CLI::App& program, const char* argv0) {
    auto module = std::make_shared<std::string>();
    CLI::App* app = program.add_subcommand("inspect", "Print the gauge definition as a tree.");
    app->add_option("MODULE", *module, module_help())->required();
    return {app, [module, argv0] { return inspect(resolve_module(*module, argv0)); }};
}

}  // namespace bench::cli
