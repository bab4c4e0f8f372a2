// What a command runs on: a module, or a panel configuration naming several, with the simulator behind them.
// The options for choosing them are the same in every command that takes a MODULE.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "panel.h"

namespace bench::cli {

struct TargetOptions {
    std::string module;      // a module, a built gauge's name, or a panel file (.cfg)
    std::string sim;         // a model file, "none", or empty for the default model
    int window = -1;         // a panel's [WindowNN]; the first when negative
    std::string gauges_dir;  // where else a panel's modules are looked for
    bool clip = false;
};

// A panel ready to install, and the model its simulator follows (kept as long as the panel).
struct Target {
    std::unique_ptr<SimulatorModel> model;
    std::unique_ptr<Panel> panel;
};

// MODULE and the options that go with it: --sim, --window, --gauges; --clip where pictures are drawn.
void add_target_options(CLI::App* app, TargetOptions& options, bool pictures);

// The model --sim names: a file, "none" (no simulator: `model` stays empty), or the bench's own when empty. False
// after printing why when the file is bad.
bool load_model(const std::string& sim, std::unique_ptr<SimulatorModel>* model);

// Loads what the options name. On failure prints one line and returns an empty target with `status` set: 2 for
// bad input (a missing file, a bad panel or model file, a broken module), 3 when a module's code failed as it
// loaded.
Target open_target(const TargetOptions& options, const char* argv0, int* status);

}  // namespace bench::cli
