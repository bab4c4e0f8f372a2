// What a host cycle, a handler call and a drawn frame cost, per gauge, through the bench's own services.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "dsound_standin.h"
#include "host.h"
#include "renderer.h"

#ifndef BENCHMARK_MODULE_DIR
#error "BENCHMARK_MODULE_DIR names the folder of the built modules"
#endif

namespace {

struct Gauge {
    std::unique_ptr<bench::LoadedModule> module;
    std::unique_ptr<bench::Host> host;
};

// Loads and installs a module, with variables that keep every line and hand busy, and no observer.
Gauge installed(const std::string& name) {
    Gauge gauge;
    std::string error;
    gauge.module = bench::LoadedModule::load(std::string(BENCHMARK_MODULE_DIR) + "/" + name + ".so", &error);
    if (!gauge.module) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(2);
    }
    gauge.host = std::make_unique<bench::Host>(*gauge.module);
    bench::Host& host = *gauge.host;
    const struct {
        uint32_t id;
        double value;
    } variables[] = {{2, 25600},  {3, 10.5},   {4, 42},     {5, 17},  {61, 205}, {74, 3100}, {128, 9000}, {163, 9000},
                     {303, 3000}, {304, 4000}, {318, 2000}, {323, 1}, {324, 1},  {325, 500}, {328, 3000}, {331, 16383}};
    for (const auto& v : variables) host.set_variable(v.id, v.value);
    host.install();
    if (name == "zorlet") host.pointer_event(260, 345, kMouseClick);  // the approach page: the busiest one
    host.cycle();
    return gauge;
}

void host_cycle(benchmark::State& state, const std::string& name) {
    Gauge gauge = installed(name);
    for (auto _ : state) gauge.host->cycle();
    state.SetLabel("update + generate + draw, drawing excluded");
}

// One call for each child area in turn, at the area's centre, with the events it listens for.
void handler_call(benchmark::State& state, const std::string& name) {
    Gauge gauge = installed(name);
    bench::Host& host = *gauge.host;
    std::vector<std::pair<PixelPoint, uint32_t>> targets;
    for (int32_t y = -100; y < 400; ++y)
        for (int32_t x = -10; x < 420; ++x)
            for (uint32_t flag : {kMouseClick, kMouseDrag})
                if (const MouseArea* area = host.area_at(x, y, flag);
                    area && x == area->x + area->width / 2 && y == area->y + area->height / 2)
                    targets.push_back({{x, y}, flag});
    size_t next = 0, calls = 0;
    for (auto _ : state) {
        const auto& [point, flag] = targets[next];
        host.pointer_event(point.x, point.y, flag);
        next = next + 1 == targets.size() ? 0 : next + 1;
        if (++calls % 4096 == 0) dsound_standin::forget_history();
    }
    state.SetLabel(std::to_string(targets.size()) + " areas in turn");
}

// One host cycle and the picture of it, as the bench draws every frame of a run.
void drawn_frame(benchmark::State& state, const std::string& name) {
    Gauge gauge = installed(name);
    bench::Renderer renderer(*gauge.module, bench::RenderOptions{});
    for (auto _ : state) {
        gauge.host->cycle();
        benchmark::DoNotOptimize(renderer.render(*gauge.host));
    }
    state.SetLabel("host cycle and drawing");
}

}  // namespace

int main(int argc, char** argv) {
    // Every gauge the build made, each measured three ways.
    for (const char* name : {GAUGE_BENCHMARK_MODULES}) {
        const std::string gauge = name;
        benchmark::RegisterBenchmark(("host_cycle/" + gauge).c_str(), host_cycle, gauge)->Unit(benchmark::kNanosecond);
        benchmark::RegisterBenchmark(("handler_call/" + gauge).c_str(), handler_call, gauge)
            ->Unit(benchmark::kNanosecond);
        benchmark::RegisterBenchmark(("drawn_frame/" + gauge).c_str(), drawn_frame, gauge)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
