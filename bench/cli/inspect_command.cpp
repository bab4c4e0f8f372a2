// gaugebench inspect MODULE
#include <cstdio>

#include "commands.h"
#include "foreign_module.h"
#include "describe.h"
#include "gauge_list.h"
#include "target.h"

namespace bench::cli {
namespace {

int inspect(const TargetOptions& options, const char* argv0) {
    int status = kSuccess;
    Target target = open_target(options, argv0, &status);
    if (!target.panel) return status;
    Panel& panel = *target.panel;
    std::string error;
    if (!panel.install(&error)) {
        print_error(error);
        return panel.failed_gauge() ? kModuleCrashed : kBadInput;
    }
    for (const PanelGauge& gauge : panel.gauges()) {
        if (!panel.single_gauge())
            std::printf("%s at (%d, %d), %d x %d%s (line %d):\n", gauge.name.c_str(), gauge.x, gauge.y, gauge.width,
                        gauge.height, gauge.scaled() ? ", scaled" : "", gauge.line);
        std::fputs(describe_gauge(*gauge.host).c_str(), stdout);
    }
    panel.kill();
    return kSuccess;
}

}  // namespace

Command add_inspect_command(CLI::App& program, const char* argv0) {
    auto options = std::make_shared<TargetOptions>();
    CLI::App* app =
        program.add_subcommand("inspect", "Print the gauge definition as a tree (each gauge's, for a panel).");
    add_target_options(app, *options, false);
    return {app, [options, argv0] { return inspect(*options, argv0); }};
}

}  // namespace bench::cli
