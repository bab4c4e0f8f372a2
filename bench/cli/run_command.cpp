// gaugebench run MODULE SCENARIO --out DIR [--clip]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands.h"
#include "foreign_module.h"
#include "gauge_list.h"
#include "report_run.h"
#include "runner.h"
#include "scenario.h"

namespace bench::cli {
namespace {

struct RunOptions {
    std::string module, scenario, out;
    bool clip = false;
};

// The scenario file parsed, or nothing after printing why it cannot be.
std::optional<Scenario> read_scenario(const std::string& path, std::string* text) {
    std::error_code ignored;
    std::ifstream in(path, std::ios::binary);
    if (!in || !std::filesystem::is_regular_file(path, ignored)) {
        print_error(path + ": cannot read the scenario");
        return std::nullopt;
    }
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::string error;
    std::optional<Scenario> scenario = parse_scenario(*text, path, &error);
    if (!scenario) std::fprintf(stderr, "%s\n", error.c_str());
    return scenario;
}

int run(const RunOptions& options, const char* argv0) {
    const std::string module_path = resolve_module(options.module, argv0);
    if (const auto handed = hand_to_32_bit_bench({module_path})) return *handed;
    std::string text;
    const std::optional<Scenario> scenario = read_scenario(options.scenario, &text);
    if (!scenario) return kBadInput;
    int status;
    auto module = load_module(module_path, &status);
    if (!module) return status;
    RunSettings settings;
    settings.render.margin = !options.clip;
    settings.scenario_name = options.scenario;
    settings.scenario_text = text;
    const RunResult result = run_scenario(*module, *scenario, options.out, settings);
    report_run(result, options.out + "/report.html");
    return result.status;
}

}  // namespace

Command add_run_command(CLI::App& program, const char* argv0) {
    auto options = std::make_shared<RunOptions>();
    CLI::App* app =
        program.add_subcommand("run",
                               "Run the scenario file on the gauge and write, into DIR, a picture of every host cycle "
                               "(frame-NNNN.png), events.jsonl, text.jsonl, calls.jsonl and report.html.");
    app->add_option("MODULE", options->module, module_help())->required();
    app->add_option("SCENARIO", options->scenario,
                    "a scenario file: one command a line (# starts a comment): set VAR VALUE | click X Y | "
                    "repeat X Y N | drag X Y | frame [N]")
        ->required();
    app->add_option("--out", options->out, "the folder to write into")->required()->type_name("DIR");
    app->add_flag("--clip", options->clip,
                  "pictures of the background's size only; by default they also show, dimmed, what lies beyond it");
    return {app, [options, argv0] { return run(*options, argv0); }};
}

}  // namespace bench::cli
