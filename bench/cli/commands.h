// The gaugebench program's commands. Each file here adds one subcommand to the program and says what runs when
// it is chosen; main.cpp parses the command line and reports errors the same way for all of them.
//
// Uses runs, the live page, panels and everything below them; nothing uses it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "host.h"

namespace bench::cli {

// Exit codes, the same in every command.
constexpr int kSuccess = 0;
constexpr int kFailuresFound = 1;  // expectations that did not hold, a module that broke a host rule
constexpr int kBadInput = 2;       // a bad scenario or option, a missing file, a broken module
constexpr int kModuleCrashed = 3;  // the module crashed or hung

struct Command {
    CLI::App* app;
    std::function<int()> run;  // after the command line parsed
};

// Each adds its subcommand to `program`; `argv0` finds the built gauges by name.
Command add_run_command(CLI::App& program, const char* argv0);
Command add_demo_command(CLI::App& program, const char* argv0);
Command add_inspect_command(CLI::App& program, const char* argv0);
Command add_log_command(CLI::App& program, const char* argv0);
Command add_panel_command(CLI::App& program, const char* argv0);
Command add_serve_command(CLI::App& program, const char* argv0);

// Shared by the commands.
// "gaugebench: LINE" on standard error.
void print_error(const std::string& line);
// The MODULE argument's help: a path to a module or the name of a built gauge.
std::string module_help();
// The module at `path`, or null after printing why it cannot be loaded; `status` is then kBadInput, or
// kModuleCrashed when the module's own code failed as it loaded.
std::unique_ptr<LoadedModule> load_module(const std::string& path, int* status);
// The end of a command whose module failed in a call: prints the failure and returns kModuleCrashed. 0 when it
// did not fail.
int module_failure(const Host& host);

}  // namespace bench::cli
