#include "simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {
namespace {

constexpr uint64_t kTicksPerDay = 24ull * 3600 * Simulator::kCyclesPerSecond;

// The whole number a clock part takes from a value, wrapped into 0 .. count-1.
int64_t wrapped(double value, int64_t count) {
    if (!std::isfinite(value)) return 0;
    const auto whole = static_cast<int64_t>(std::fmod(std::trunc(value), static_cast<double>(count)));
    return (whole + count) % count;
}

}  // namespace

Simulator::Simulator(const SimulatorModel& model, VariableStore& variables) : model_(model), variables_(variables) {}

void Simulator::set(uint32_t id, double value, const VariableCause& cause) { variables_.set(id, value, cause); }

void Simulator::start() {
    for (const ModelVariable& variable : model_.variables)
        if (variable.initial) set(variable.id, *variable.initial, {VariableCause::kScenario});
    if (!model_.clock.present) return;
    ticks_ = uint64_t{model_.clock.start} * kCyclesPerSecond;
    show_time();
}

void Simulator::show_time() {
    if (!model_.clock.present) return;
    const uint64_t seconds = ticks_ / kCyclesPerSecond;
    const VariableCause cause{VariableCause::kClock};
    set(model_.clock.hours, static_cast<double>(seconds / 3600), cause);
    set(model_.clock.minutes, static_cast<double>(seconds / 60 % 60), cause);
    set(model_.clock.seconds, static_cast<double>(seconds % 60), cause);
}

void Simulator::tick() {
    if (!model_.clock.present) return;
    ticks_ = (ticks_ + 1) % kTicksPerDay;
    show_time();
}

std::string Simulator::time_text() const {
    const uint64_t seconds = ticks_ / kCyclesPerSecond;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

bool Simulator::set_clock_part(uint32_t id, double value) {
    const ModelClock& clock = model_.clock;
    if (!clock.present || (id != clock.hours && id != clock.minutes && id != clock.seconds)) return false;
    const int64_t seconds = static_cast<int64_t>(ticks_ / kCyclesPerSecond);
    int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (id == clock.hours) h = wrapped(value, 24);
    if (id == clock.minutes) m = wrapped(value, 60);
    if (id == clock.seconds) s = wrapped(value, 60);
    // The part of a second already run is kept, so that the time runs on evenly.
    ticks_ = static_cast<uint64_t>(h * 3600 + m * 60 + s) * kCyclesPerSecond + ticks_ % kCyclesPerSecond;
    // The variable set is the scenario's; the others keep their values.
    const VariableCause scenario{VariableCause::kScenario};
    const double shown = static_cast<double>(id == clock.hours ? h : id == clock.minutes ? m : s);
    set(id, shown, scenario);
    show_time();
    return true;
}

void Simulator::carry_out(const SentEvent& event) {
    const ModelEvent* found = model_.event(event.id);
    if (!found) return;  // recorded only
    const VariableCause cause{VariableCause::kEvent, event.id};
    switch (found->kind) {
        case ModelEvent::kSet: {
            const ModelVariable* variable = model_.variable(found->variable);
            set(found->variable, std::clamp(static_cast<double>(event.value), variable->min, variable->max), cause);
            break;
        }
        case ModelEvent::kStep: {
            const std::vector<double>& detents = model_.variable(found->variable)->detents;
            const double now = variables_.get(found->variable);
            double next = now;
            if (found->direction > 0) {
                auto above = std::upper_bound(detents.begin(), detents.end(), now);
                next = above == detents.end() ? now : *above;
            } else {
                auto below = std::lower_bound(detents.begin(), detents.end(), now);
                next = below == detents.begin() ? now : *(below - 1);
            }
            set(found->variable, next, cause);
            break;
        }
        case ModelEvent::kConst:
            for (const auto& [id, value] : found->constants) set(id, value, cause);
            break;
        case ModelEvent::kClock: {
            const uint64_t seconds = ticks_ / kCyclesPerSecond, part = ticks_ % kCyclesPerSecond;
            int64_t h = static_cast<int64_t>(seconds / 3600), m = static_cast<int64_t>(seconds / 60 % 60),
                    s = static_cast<int64_t>(seconds % 60);
            uint64_t fraction = part;
            switch (found->knob) {
                case ClockKnob::kHourBack: h = (h + 23) % 24; break;
                case ClockKnob::kHourOn: h = (h + 1) % 24; break;
                case ClockKnob::kMinuteBack: m = (m + 59) % 60; break;
                case ClockKnob::kMinuteOn: m = (m + 1) % 60; break;
                case ClockKnob::kSecondsToZero:
                    s = 0;
                    fraction = 0;
                    break;
            }
            ticks_ = static_cast<uint64_t>(h * 3600 + m * 60 + s) * kCyclesPerSecond + fraction;
            // The knob's change is the event's; the seconds running on are the clock's.
            const ModelClock& clock = model_.clock;
            set(clock.hours, static_cast<double>(h), cause);
            set(clock.minutes, static_cast<double>(m), cause);
            set(clock.seconds, static_cast<double>(s), cause);
            break;
        }
        case ModelEvent::kKeep: kept_[event.id] = event.value; break;
        case ModelEvent::kRecord: break;
    }
}

}  // namespace bench
