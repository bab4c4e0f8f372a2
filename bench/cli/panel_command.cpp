// gaugebench panel MODULE...
#include <cstdio>

#include "commands.h"
#include "gauge_list.h"
#include "panel_example.h"

namespace bench::cli {
namespace {

int panel(const std::vector<std::string>& modules, const char* argv0) {
    std::vector<std::string> paths;
    for (const std::string& module : modules) paths.push_back(resolve_module(module, argv0));
    std::string error, text;
    const auto placements = side_by_side(paths, &error);
    if (placements.empty() || !panel_example(placements, &text, &error)) {
        print_error(error);
        return kBadInput;
    }
    std::fputs(text.c_str(), stdout);
    return kSuccess;
}

}  // namespace

Command add_panel_command(CLI::App& program, const char* argv0) {
    auto modules = std::make_shared<std::vector<std::string>>();
    CLI::App* app =
        program.add_subcommand("panel", "Print an example panel configuration placing the gauges side by side.");
    app->add_option("MODULE", *modules, module_help())->required();
    return {app, [modules, argv0] { return panel(*modules, argv0); }};
}

}  // namespace bench::cli
