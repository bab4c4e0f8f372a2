// The demo: each of the four gauges through its built-in scenario, a short flight, and one page linking the
// four reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runner.h"

namespace bench {

// A scenario the bench carries, from bench/scenarios/.
struct BuiltinScenario {
    const char* module;  // zorlet, brimmet, quandle, fennick
    const char* file;    // its file name there
    const char* text;
};
const std::vector<BuiltinScenario>& builtin_scenarios();

struct DemoEntry {
    std::string module;       // the name
    std::string module_path;  // where the bench looked for it
    bool built = false;
    RunResult result;
    std::string description;  // the scenario's opening comment
};

// Runs every built-in scenario on its module (found through `resolve`) into OUT/NAME/, writes the scenario
// text beside each report as scenario.txt, and OUT/index.html. A module that is not built is listed as such
// and skipped. Returns 0 when all four ran without fault, 1 otherwise, 2 when OUT cannot be written.
int run_demo(const std::string& out_dir, const std::function<std::string(const std::string&)>& resolve,
             const RunSettings& base, std::vector<DemoEntry>* entries, std::string* error);

// The opening comment of a scenario, its lines joined.
std::string scenario_description(const std::string& text);

}  // namespace bench
