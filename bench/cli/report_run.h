// What a run says on the terminal: what could not be drawn, the host faults, and a line for the run.
#pragma once

#include <string>

#include "runner.h"

namespace bench::cli {

void report_run(const RunResult& result, const std::string& report_path);

}  // namespace bench::cli
