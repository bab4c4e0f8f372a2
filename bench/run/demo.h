// The demo: the project's gauges on one panel through one flight, worked by clicks and drags that the simulator
// carries out; then each gauge through a flight of its own; and one page linking the reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runner.h"

namespace bench {

// A scenario the bench carries, from bench/scenarios/: each gauge's own flight, NAME.txt.
struct BuiltinScenario {
    const char* module;  // zorlet, brimmet, quandle, fennick
    const char* file;    // its file name there
    const char* text;
};
const std::vector<BuiltinScenario>& builtin_scenarios();
// The panel flight: bench/scenarios/panel.cfg, the window, and panel.txt, the flight.
extern const char* const kBuiltinPanel;
extern const char* const kBuiltinPanelFlight;

struct DemoEntry {
    std::string name;         // "panel", or the gauge's module
    std::string module_path;  // for a gauge: where the bench looked for it
    bool built = false;
    RunResult result;
    std::string description;  // the scenario's opening comment
};

// Runs the panel flight into OUT/panel/ and every gauge's own flight into OUT/NAME/, with `model` behind them.
// Each gauge's module is where `resolve` says; the panel's are looked for in `gauges_dir` first, then among the
// built gauges (found through `argv0`, as the commands find them). Writes each scenario beside its report as
// scenario.txt (and the panel as panel.cfg), and OUT/index.html. A module that is not built is listed as such
// and skipped. Returns 0 when all ran without fault, 1 otherwise, 2 when OUT cannot be written, 3 when a module
// crashed.
int run_demo(const std::string& out_dir, const std::function<std::string(const std::string&)>& resolve,
             const std::string& gauges_dir, const char* argv0, const SimulatorModel* model, const RunSettings& base,
             std::vector<DemoEntry>* entries, std::string* error);

// The opening comment of a scenario, its lines joined.
std::string scenario_description(const std::string& text);

}  // namespace bench
