// gaugebench: the stand-in host on the command line.
#include <cstdio>
#include <vector>

#include "commands.h"
#include "foreign_module.h"
#include "gauge_list.h"
#include "version.h"

namespace bench::cli {

void print_error(const std::string& line) { std::fprintf(stderr, "gaugebench: %s\n", line.c_str()); }

std::string module_help() {
    std::string names;
    for (const std::string& name : built_gauges()) names += (names.empty() ? "" : ", ") + name;
    return "a path to a module (a Linux .so, or a Windows .dll or .gau, which the 32-bit bench runs), or one of the "
           "gauges built with the bench: " +
           names;
}

std::unique_ptr<LoadedModule> load_module(const std::string& path, int* status) {
    std::string error;
    bool crashed = false;
    auto module = LoadedModule::load(path, &error, &crashed);
    if (!module) print_error(error);
    *status = crashed ? kModuleCrashed : kBadInput;
    return module;
}

int module_failure(const Host& host) {
    if (!host.failed()) return 0;
    print_error(host.module().path() + ": " + host.failure());
    return kModuleCrashed;
}

namespace {

int parse_and_run(int argc, char** argv) {
    CLI::App program(
        "The stand-in host for gauge modules: it loads a module, serves its host calls, keeps its "
        "variables, draws it, feeds it mouse events and records what it sends.",
        "gaugebench");
    program.set_version_flag("--version", version_text());
    program.require_subcommand(1);
    program.footer(
        "Exit codes: 0 success, 1 failures found (a module that broke a host rule), 2 bad input, "
        "3 the module crashed or hung.");
    const std::vector<Command> commands = {
        add_run_command(program, argv[0]), add_demo_command(program, argv[0]),  add_inspect_command(program, argv[0]),
        add_log_command(program, argv[0]), add_panel_command(program, argv[0]), add_serve_command(program, argv[0]),
    };
    // A word where the command belongs that names none: say so, rather than that a command is missing.
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        std::string names;
        for (const Command& command : commands) {
            known = known || command.app->get_name() == argv[1];
            names += (names.empty() ? "" : ", ") + command.app->get_name();
        }
        if (!known) {
            print_error(std::string("unknown command \"") + argv[1] + "\", expected one of " + names);
            return kBadInput;
        }
    }
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(program.help().c_str(), stdout);
        return kSuccess;
    } catch (const CLI::CallForAllHelp&) {
        std::fputs(program.help("", CLI::AppFormatMode::All).c_str(), stdout);
        return kSuccess;
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return kSuccess;
    } catch (const CLI::ParseError& error) {
        // One line, and the same code as every other bad input; CLI11's own codes and advice are not ours.
        std::string what = error.what();
        for (char& c : what)
            if (c == '\n') c = ' ';
        print_error(what + " (gaugebench --help lists the commands)");
        return kBadInput;
    }
    for (const Command& command : commands)
        if (command.app->parsed()) return command.run();
    return kBadInput;
}

}  // namespace
}  // namespace bench::cli

int main(int argc, char** argv) {
    bench::cli::remember_command_line(argc, argv);
    return bench::cli::parse_and_run(argc, argv);
}
