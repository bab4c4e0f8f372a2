#include "report_run.h"

#include <cstdio>

#include "commands.h"

namespace bench::cli {

void report_run(const RunResult& result, const std::string& report_path) {
    for (const std::string& warning : result.warnings) print_error("not drawn: " + warning);
    for (const std::string& fault : result.faults) print_error(fault);
    if (result.status == kBadInput || result.status == kModuleCrashed) {
        print_error(result.error);
        return;
    }
    uint32_t frames = 0;
    for (const FrameLog& frame : result.frames) frames += frame.drawn ? 1 : 0;
    std::printf("%s: %u frames, %zu events sent, %s; report in %s\n", result.gauge_name.c_str(), frames, result.events,
                result.faults.empty() ? "no host faults" : "HOST FAULTS", report_path.c_str());
}

}  // namespace bench::cli
