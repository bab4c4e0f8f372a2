// gaugebench demo --out DIR [--clip]
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "foreign_module.h"
#include "demo.h"
#include "gauge_list.h"
#include "report_run.h"
#include "target.h"

namespace bench::cli {
namespace {

struct DemoOptions {
    std::string out;
    std::string sim;
    bool clip = false;
    bool shipped = false;
};

int demo(const DemoOptions& options, const char* argv0) {
    auto resolve = [&](const std::string& name) {
        return options.shipped ? shipped_module(name, argv0) : resolve_module(name, argv0);
    };
    if (options.shipped) {
        std::vector<std::string> modules;
        for (const std::string& name : built_gauges()) modules.push_back(resolve(name));
        if (const auto handed = hand_to_32_bit_bench(modules)) return *handed;
    }
    RunSettings settings;
    settings.render.margin = !options.clip;
    std::unique_ptr<SimulatorModel> model;
    if (!load_model(options.sim, &model)) return kBadInput;
    std::vector<DemoEntry> entries;
    std::string error;
    // The shipped modules stand in for the panel's gauges too.
    const std::string gauges_dir =
        options.shipped ? std::filesystem::path(resolve(built_gauges().front())).parent_path().string() : "";
    const int status = run_demo(options.out, resolve, gauges_dir, argv0, model.get(), settings, &entries, &error);
    for (const DemoEntry& entry : entries) {
        if (!entry.built) {
            print_error(entry.name + " is not built (no " + entry.module_path + ")");
            continue;
        }
        report_run(entry.result, options.out + "/" + entry.name + "/report.html");
    }
    if (status == kBadInput) {
        print_error(error);
        return status;
    }
    std::printf("demo: %s/index.html\n", options.out.c_str());
    return status;
}

}  // namespace

Command add_demo_command(CLI::App& program, const char* argv0) {
    auto options = std::make_shared<DemoOptions>();
    CLI::App* app = program.add_subcommand(
        "demo",
        "Fly the gauges on one panel through a short flight into DIR/panel/, then each gauge through a flight of "
        "its own into DIR/NAME/, and write DIR/index.html linking the reports.");
    app->add_option("--out", options->out, "the folder to write into")->required()->type_name("DIR");
    app->add_flag("--shipped", options->shipped,
                  "run the shipped DLLs (build/win32/modules of this checkout) in the 32-bit bench rather than the "
                  "Linux modules");
    app->add_option("--sim", options->sim, "the simulator model (TOML), or \"none\" (by default the bench's own)")
        ->type_name("FILE|none");
    app->add_flag("--clip", options->clip,
                  "pictures of the background's size only; by default they also show, dimmed, what lies beyond it");
    return {app, [options, argv0] { return demo(*options, argv0); }};
}

}  // namespace bench::cli
