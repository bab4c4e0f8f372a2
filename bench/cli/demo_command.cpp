// gaugebench demo --out DIR [--clip]
#include <cstdio>

#include "commands.h"
#include "foreign_module.h"
#include "demo.h"
#include "gauge_list.h"
#include "report_run.h"

namespace bench::cli {
namespace {

struct DemoOptions {
    std::string out;
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
    std::vector<DemoEntry> entries;
    std::string error;
    const int status = run_demo(options.out, resolve, settings, &entries, &error);
    for (const DemoEntry& entry : entries) {
        if (!entry.built) {
            print_error(entry.module + " is not built (no " + entry.module_path + ")");
            continue;
        }
        report_run(entry.result, options.out + "/" + entry.module + "/report.html");
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
        "Run each gauge through its built-in scenario, a short flight, into DIR/NAME/, and write "
        "DIR/index.html linking the reports.");
    app->add_option("--out", options->out, "the folder to write into")->required()->type_name("DIR");
    app->add_flag("--shipped", options->shipped,
                  "run the shipped DLLs (build/win32/modules of this checkout) in the 32-bit bench rather than the "
                  "Linux modules");
    app->add_flag("--clip", options->clip,
                  "pictures of the background's size only; by default they also show, dimmed, what lies beyond it");
    return {app, [options, argv0] { return demo(*options, argv0); }};
}

}  // namespace bench::cli
