// gaugebench: the stand-in host on the command line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo.h"
#include "host.h"
#include "inspect.h"
#include "module_names.h"
#include "panel.h"
#include "run.h"
#include "scenario.h"
#include "serve.h"

namespace {

constexpr int kBadInput = 2;

int usage() {
    std::fprintf(stderr,
                 "usage: gaugebench run MODULE SCENARIO --out DIR [--clip]\n"
                 "       gaugebench demo --out DIR [--clip]\n"
                 "       gaugebench inspect MODULE\n"
                 "       gaugebench log MODULE\n"
                 "       gaugebench panel MODULE...\n"
                 "       gaugebench serve MODULE [--port N]   (a page on 127.0.0.1 to work the gauge by hand)\n"
                 "  MODULE is a path to a built module or one of zorlet, brimmet, quandle, fennick.\n"
                 "  run: run the scenario file on the gauge and write, into DIR, a picture of every host cycle\n"
                 "       (frame-NNNN.png), events.jsonl, text.jsonl, calls.jsonl and report.html.\n"
                 "  demo: run each of the four gauges through its built-in scenario, a short flight, into\n"
                 "       DIR/NAME/, and write DIR/index.html linking the four reports.\n"
                 "  --clip: pictures of the background's size only; by default they also show, dimmed, what\n"
                 "       lies beyond it.\n"
                 "  inspect: print the gauge definition as a tree.\n"
                 "  log: install the gauge, run one update, generate and draw, kill it, and print every host call.\n"
                 "  panel: print an example panel configuration placing the gauges side by side.\n"
                 "A scenario has one command a line (# starts a comment):\n"
                 "  set VAR VALUE | click X Y | repeat X Y N | drag X Y | frame [N]\n");
    return kBadInput;
}

std::unique_ptr<bench::LoadedModule> load(const std::string& path) {
    std::string error;
    auto module = bench::LoadedModule::load(path, &error);
    if (!module) std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
    return module;
}

int panel_command(const std::vector<std::string>& module_paths) {
    std::string error, text;
    const auto placements = bench::side_by_side(module_paths, &error);
    if (placements.empty() || !bench::panel_example(placements, &text, &error)) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return kBadInput;
    }
    std::fputs(text.c_str(), stdout);
    return 0;
}

int log_command(const std::string& module_path) {
    auto module = load(module_path);
    if (!module) return kBadInput;
    bench::Host host(*module);
    std::printf("gauge \"%s\" from %s\n", module->header()->name, module->path().c_str());
    host.install();
    if (!host.refusal().empty()) {
        std::fprintf(stderr, "gaugebench: %s: %s\n", module->path().c_str(), host.refusal().c_str());
        return kBadInput;
    }
    host.cycle();
    host.kill();
    for (const bench::CallRecord& call : host.calls()) std::printf("%s\n", host.describe(call).c_str());
    for (const std::string& fault : host.faults()) std::fprintf(stderr, "gaugebench: %s\n", fault.c_str());
    return host.faults().empty() ? 0 : 1;
}

int inspect_command(const std::string& module_path) {
    auto module = load(module_path);
    if (!module) return kBadInput;
    bench::Host host(*module);
    host.install();
    if (!host.refusal().empty()) {
        std::fprintf(stderr, "gaugebench: %s: %s\n", module->path().c_str(), host.refusal().c_str());
        return kBadInput;
    }
    std::fputs(bench::describe_gauge(host).c_str(), stdout);
    host.kill();
    return 0;
}

void report_run(const bench::RunResult& result, const std::string& where) {
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "gaugebench: not drawn: %s\n", warning.c_str());
    for (const std::string& fault : result.faults) std::fprintf(stderr, "gaugebench: %s\n", fault.c_str());
    if (result.status == 2) {
        std::fprintf(stderr, "gaugebench: %s\n", result.error.c_str());
        return;
    }
    uint32_t frames = 0;
    for (const bench::FrameLog& frame : result.frames) frames += frame.drawn ? 1 : 0;
    std::printf("%s: %u frames, %zu events sent, %s; report in %s\n", result.gauge_name.c_str(), frames, result.events,
                result.faults.empty() ? "no host faults" : "HOST FAULTS", where.c_str());
}

int run_command(const std::string& module_path, const std::string& scenario_path, const std::string& out_dir,
                bench::RunSettings settings) {
    std::ifstream in(scenario_path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "gaugebench: %s: cannot read the scenario\n", scenario_path.c_str());
        return kBadInput;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "gaugebench: %s: cannot read the scenario\n", scenario_path.c_str());
        return kBadInput;
    }
    std::string error;
    const std::optional<bench::Scenario> scenario = bench::parse_scenario(text, scenario_path, &error);
    if (!scenario) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kBadInput;
    }
    auto module = load(module_path);
    if (!module) return kBadInput;
    settings.scenario_name = scenario_path;
    settings.scenario_text = text;
    const bench::RunResult result = bench::run_scenario(*module, *scenario, out_dir, settings);
    report_run(result, out_dir + "/report.html");
    return result.status;
}

int demo_command(const std::string& out_dir, const bench::RunSettings& settings, const char* argv0) {
    std::vector<bench::DemoEntry> entries;
    std::string error;
    const int status = bench::run_demo(
        out_dir, [&](const std::string& name) { return bench::resolve_module(name, argv0); }, settings, &entries,
        &error);
    for (const bench::DemoEntry& entry : entries) {
        if (!entry.built) {
            std::fprintf(stderr, "gaugebench: %s is not built (no %s)\n", entry.module.c_str(), entry.module_path.c_str());
            continue;
        }
        report_run(entry.result, out_dir + "/" + entry.module + "/report.html");
    }
    if (status == kBadInput) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return status;
    }
    std::printf("demo: %s/index.html\n", out_dir.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) return bench::serve::serve_command(argc, argv);
    std::vector<std::string> words;
    std::string out_dir;
    bench::RunSettings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out") {
            if (i + 1 >= argc) return usage();
            out_dir = argv[++i];
        } else if (arg == "--clip") {
            settings.render.margin = false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "gaugebench: unknown option %s\n", arg.c_str());
            return usage();
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) return usage();
    const std::string& command = words[0];
    if (command == "log" && words.size() == 2 && out_dir.empty())
        return log_command(bench::resolve_module(words[1], argv[0]));
    if (command == "inspect" && words.size() == 2 && out_dir.empty())
        return inspect_command(bench::resolve_module(words[1], argv[0]));
    if (command == "run" && words.size() == 3 && !out_dir.empty())
        return run_command(bench::resolve_module(words[1], argv[0]), words[2], out_dir, settings);
    if (command == "panel" && words.size() >= 2 && out_dir.empty()) {
        std::vector<std::string> paths;
        for (size_t i = 1; i < words.size(); ++i) paths.push_back(bench::resolve_module(words[i], argv[0]));
        return panel_command(paths);
    }
    if (command == "demo" && words.size() == 1 && !out_dir.empty()) return demo_command(out_dir, settings, argv[0]);
    return usage();
}
