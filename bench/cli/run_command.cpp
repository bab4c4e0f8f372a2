// gaugebench run MODULE SCENARIO --out DIR [--clip]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands.h"
#include "gauge_list.h"
#include "report_run.h"
#include "runner.h"
#include "scenario.h"
#include "target.h"

namespace bench::cli {
namespace {

struct RunOptions {
    TargetOptions target;
    std::string scenario, out;
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
    std::string text;
    const std::optional<Scenario> scenario = read_scenario(options.scenario, &text);
    if (!scenario) return kBadInput;
    int status = kSuccess;
    Target target = open_target(options.target, argv0, &status);
    if (!target.panel) return status;
    RunSettings settings;
    settings.render.margin = !options.target.clip;
    settings.scenario_name = options.scenario;
    settings.scenario_text = text;
    const RunResult result = run_scenario(*target.panel, *scenario, options.out, settings);
    report_run(result, options.out + "/report.html");
    return result.status;
}

}  // namespace

Command add_run_command(CLI::App& program, const char* argv0) {
    auto options = std::make_shared<RunOptions>();
    CLI::App* app = program.add_subcommand(
        "run",
        "Run the scenario file on the gauge and write, into DIR, a picture of every host cycle "
        "(frame-NNNN.png), events.jsonl, text.jsonl, variables.jsonl, calls.jsonl and report.html.");
    add_target_options(app, options->target, true);
    app->add_option("SCENARIO", options->scenario,
                    "a scenario file: one command a line (# starts a comment): set VAR VALUE | click X Y | "
                    "repeat X Y N | drag X Y | frame [N]")
        ->required();
    app->add_option("--out", options->out, "the folder to write into")->required()->type_name("DIR");
    return {app, [options, argv0] { return run(*options, argv0); }};
}

}  // namespace bench::cli
