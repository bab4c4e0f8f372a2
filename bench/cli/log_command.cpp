// gaugebench log MODULE
#include <cstdio>

#include "commands.h"
#include "foreign_module.h"
#include "describe.h"
#include "gauge_list.h"

namespace bench::cli {
namespace {

int log(const std::string& module_path) {
    if (const auto handed = hand_to_32_bit_bench({module_path})) return *handed;
    int status;
    auto module = load_module(module_path, &status);
    if (!module) return status;
    Host host(*module);
    HostRecorder recorder;
    host.add_observer(&recorder);
    std::printf("gauge \"%s\" from %s\n", module->header()->name, module->path().c_str());
    std::string error;
    if (!host.install_or_refuse(&error)) {
        print_error(error);
        return host.failed() ? kModuleCrashed : kBadInput;
    }
    host.cycle();
    host.kill();
    for (const HostCall& call : recorder.calls) std::printf("%s\n", describe_call(host, call).c_str());
    for (const std::string& fault : recorder.faults) print_error(fault);
    if (const int failure = module_failure(host)) return failure;
    return recorder.faults.empty() ? kSuccess : kFailuresFound;
}

}  // namespace

Command add_log_command(CLI::App& program, const char* argv0) {
    auto module = std::make_shared<std::string>();
    CLI::App* app = program.add_subcommand(
        "log", "Install the gauge, run one update, generate and draw, kill it, and print every host call.");
    app->add_option("MODULE", *module, module_help())->required();
    return {app, [module, argv0] { return log(resolve_module(*module, argv0)); }};
}

}  // namespace bench::cli
