// The simulator behind the host: it carries out the events the gauges send on the host variables, as its model
// says, and runs the time of day. One simulator serves every gauge of a panel.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "model.h"
#include "observer.h"
#include "variables.h"

namespace bench {

class Simulator {
public:
    // The model is kept by reference; it must outlive the simulator.
    Simulator(const SimulatorModel& model, VariableStore& variables);

    const SimulatorModel& model() const { return model_; }

    // The starting values: every variable with an initial value, and the clock's time.
    void start();
    // An event a gauge sent, carried out now (the variables it moves change with the cause "event N").
    void carry_out(const SentEvent& event);
    // One host cycle: the clock runs on by the cycle's period, 1/18 s.
    void tick();
    // A scenario's `set` of a clock variable sets that part of the time (truncated, wrapped into its range);
    // true when the variable was one of the clock's.
    bool set_clock_part(uint32_t id, double value);

    // The time of day in host cycles after midnight, and as the clock variables show it.
    uint64_t time_ticks() const { return ticks_; }
    std::string time_text() const;  // "09:00:07"
    // The last value of each kept event.
    const std::map<uint32_t, int32_t>& kept() const { return kept_; }

    static constexpr uint32_t kCyclesPerSecond = 18;

private:
    void show_time();
    void set(uint32_t id, double value, const VariableCause& cause);

    const SimulatorModel& model_;
    VariableStore& variables_;
    uint64_t ticks_ = 0;  // host cycles since midnight, within a day
    std::map<uint32_t, int32_t> kept_;
};

// Carries out the events a gauge's host hears on a simulator.
class SimulatorLink : public HostObserver {
public:
    explicit SimulatorLink(Simulator& simulator) : simulator_(simulator) {}
    void event(const SentEvent& event) override { simulator_.carry_out(event); }

private:
    Simulator& simulator_;
};

}  // namespace bench
