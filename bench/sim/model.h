// The simulator behind the host, as data: the variables that events move (with their ranges, starting values and
// detents), what each event does to them, and the time of day. The bench carries a default model that carries
// out every event the project's gauges send (default.toml); a user may give another in the same format.
//
// Uses nothing of the bench but the formatting; the simulator and the commands use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bench {

struct ModelVariable {
    uint32_t id = 0;
    std::string name;
    double min = 0, max = 0;  // events that set the variable are held in this range
    std::optional<double> initial;
    std::vector<double> detents;  // ascending; for step events
};

enum class ClockKnob { kHourBack, kHourOn, kMinuteBack, kMinuteOn, kSecondsToZero };

struct ModelEvent {
    enum Kind { kSet, kStep, kConst, kClock, kRecord, kKeep };
    uint32_t id = 0;
    std::string name;
    Kind kind = kRecord;
    uint32_t variable = 0;                               // kSet, kStep
    int direction = 0;                                   // kStep: +1 up (the next larger detent), -1 down
    std::vector<std::pair<uint32_t, double>> constants;  // kConst: variable, value
    ClockKnob knob = ClockKnob::kHourBack;               // kClock
};

struct ModelClock {
    bool present = false;
    uint32_t hours = 0, minutes = 0, seconds = 0;  // the variables that show the time of day
    uint32_t start = 0;                            // seconds after midnight
};

struct SimulatorModel {
    std::string source;  // the file it came from, or "the default model"
    std::vector<ModelVariable> variables;
    std::vector<ModelEvent> events;
    ModelClock clock;

    const ModelVariable* variable(uint32_t id) const;
    const ModelEvent* event(uint32_t id) const;
};

// The model the bench carries.
const SimulatorModel& default_model();

// A model from TOML text. On a fault returns nothing and sets `error` to "NAME:LINE: expected ..., got ...".
std::optional<SimulatorModel> parse_model(std::string_view text, const std::string& name, std::string* error);
// The same from a file; a file that cannot be read is said so.
std::optional<SimulatorModel> read_model(const std::string& path, std::string* error);

}  // namespace bench
