// The shipped DLLs in the 32-bit bench beside their Linux twins: what loading one costs (the bench's own loader
// against the platform's), and what a host cycle costs through each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host.h"

#ifndef BENCHMARK_MODULE_DIR
#error "BENCHMARK_MODULE_DIR names the folder of the built Linux modules"
#endif
#ifndef BENCHMARK_DLL_DIR
#error "BENCHMARK_DLL_DIR names the folder of the Windows build's DLLs"
#endif

namespace {

std::string module_file(const std::string& name, bool dll) {
    return dll ? std::string(BENCHMARK_DLL_DIR) + "/" + name + ".dll"
               : std::string(BENCHMARK_MODULE_DIR) + "/" + name + ".so";
}

std::unique_ptr<bench::LoadedModule> load(const std::string& path) {
    std::string error;
    auto module = bench::LoadedModule::load(path, &error);
    if (!module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(2);
    }
    return module;
}

// Load and unload: mapping, binding, the entry point (its C runtime's start-up for a DLL), the record checks.
void load_time(benchmark::State& state, const std::string& name, bool dll) {
    const std::string path = module_file(name, dll);
    for (auto _ : state) benchmark::DoNotOptimize(load(path));
    state.SetLabel(dll ? "DLL" : "twin");
}

// A host cycle (update with its callbacks, generate, draw through the bench's services), as in gauge_benchmarks.
void host_cycle(benchmark::State& state, const std::string& name, bool dll) {
    auto module = load(module_file(name, dll));
    bench::Host host(*module);
    const struct {
        uint32_t id;
        double value;
    } variables[] = {{2, 25600},  {3, 10.5},   {4, 42},     {5, 17},  {61, 205}, {74, 3100}, {128, 9000}, {163, 9000},
                     {303, 3000}, {304, 4000}, {318, 2000}, {323, 1}, {324, 1},  {325, 500}, {328, 3000}, {331, 16383}};
    for (const auto& v : variables) host.set_variable(v.id, v.value);
    host.install();
    if (name == "zorlet") host.pointer_event(260, 345, kMouseClick);  // the approach page: the busiest one
    for (auto _ : state) host.cycle();
    state.SetLabel(dll ? "DLL" : "twin");
}

}  // namespace

int main(int argc, char** argv) {
    for (const char* name : {GAUGE_BENCHMARK_MODULES}) {
        const std::string gauge = name;
        for (bool dll : {true, false}) {
            const std::string kind = dll ? "/dll" : "/twin";
            benchmark::RegisterBenchmark(("load" + kind + "/" + gauge).c_str(), load_time, gauge, dll)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("host_cycle" + kind + "/" + gauge).c_str(), host_cycle, gauge, dll)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
