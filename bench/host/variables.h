// The host variables: numbered values the simulator keeps and the gauges read. One store serves every gauge on
// a panel; whoever changes a variable says why, and the store tells its listeners of every change.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Why a variable changed: a scenario line (or the user on the live page), an event the simulator carried out,
// or the simulator's clock.
struct VariableCause {
    enum Kind : uint8_t { kScenario, kEvent, kClock };
    Kind kind = kScenario;
    uint32_t event = 0;  // for kEvent

    // "scenario", "event 65820", "clock"
    std::string describe() const;
};

class VariableListener {
public:
    virtual ~VariableListener() = default;
    virtual void variable_changed(uint32_t id, double value, double previous, const VariableCause& cause) = 0;
};

class VariableStore {
public:
    // Unset variables read 0.
    double get(uint32_t id) const;
    // Sets the variable; listeners hear of it when the value differs from the one before.
    void set(uint32_t id, double value, const VariableCause& cause = {});
    const std::map<uint32_t, double>& values() const { return values_; }

    // Listeners are not owned; they hear every change from the moment they are added.
    void add_listener(VariableListener* listener);
    void remove_listener(VariableListener* listener);

private:
    std::map<uint32_t, double> values_;
    std::vector<VariableListener*> listeners_;
};

}  // namespace bench
