// gaugebench: the stand-in host on the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "host.h"
#include "module_names.h"
#include "serve.h"

namespace {

constexpr int kBadInput = 2;

int usage() {
    std::fprintf(stderr,
                 "usage: gaugebench log MODULE\n"
                 "       gaugebench serve MODULE [--port N]   (a page on 127.0.0.1 to work the gauge by hand)\n"
                 "  MODULE is a path to a built module or one of zorlet, brimmet, quandle, fennick.\n"
                 "  log: install the gauge, run one update, generate and draw, kill it, and print every host call.\n");
    return kBadInput;
}

int log_command(const std::string& module_path) {
    std::string error;
    auto module = bench::LoadedModule::load(module_path, &error);
    if (!module) {
        std::fprintf(stderr, "gaugebench: %s\n", error.c_str());
        return kBadInput;
    }
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

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "serve") == 0) return bench::serve::serve_command(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "log") == 0) return log_command(bench::resolve_module(argv[2], argv[0]));
    return usage();
}
