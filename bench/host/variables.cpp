#include "variables.h"

#include <algorithm>

namespace bench {

std::string VariableCause::describe() const {
    switch (kind) {
        case kEvent: return "event " + std::to_string(event);
        case kClock: return "clock";
        case kScenario: break;
    }
    return "scenario";
}

double VariableStore::get(uint32_t id) const {
    auto found = values_.find(id);
    return found == values_.end() ? 0.0 : found->second;
}

void VariableStore::set(uint32_t id, double value, const VariableCause& cause) {
    const double previous = get(id);
    values_[id] = value;
    if (value == previous) return;
    for (VariableListener* listener : listeners_) listener->variable_changed(id, value, previous, cause);
}

void VariableStore::add_listener(VariableListener* listener) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) listeners_.push_back(listener);
}

void VariableStore::remove_listener(VariableListener* listener) { std::erase(listeners_, listener); }

}  // namespace bench
