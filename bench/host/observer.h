// What the host reports as it serves a module: the one way to follow a gauge as it runs. A run writes its logs
// from it, the live page builds its timeline from it, the tests record with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "host_services.h"

namespace bench {

// One argument of a host call, with the type the service gives it.
using CallArgument = std::variant<ElementHeader*, ModuleHandle, MouseArea*, GaugeHeader*, PixelSize*, ModuleVariable*,
                                  uint32_t, int32_t>;

struct HostCall {
    HostSlot slot;
    std::vector<CallArgument> arguments;  // in call order
};

struct SentEvent {
    uint32_t id;
    int32_t value;
    bool operator==(const SentEvent&) const = default;
};

// The text and colours of a string element after its callback ran.
struct TextChange {
    size_t string;  // string elements counted from 1 in tree order
    const StringElement* element;
    std::string text;  // as the module wrote it (code page 1252)
    uint32_t fore_colour;
    uint32_t back_colour;
};

class HostObserver {
public:
    virtual ~HostObserver() = default;
    // Every host service the module called, as it is called (before the service acts).
    virtual void call(const HostCall&) {}
    virtual void event(const SentEvent&) {}
    // Something the module did that a host must not accept: a text buffer overrun, an unexpected service.
    virtual void fault(const std::string&) {}
    // A string element whose text or colours differ from what they were after its previous callback.
    virtual void text(const TextChange&) {}
    // plot_elements: the module asks the host to draw.
    virtual void plot() {}
    // What a Windows module said through OutputDebugStringA or wrote to its standard streams, as it said it.
    virtual void debug_output(const std::string& /*text*/) {}
    // The module crashed, hung or called what the bench does not provide; it is never called again. One line,
    // the gauge's name not included: "the handler of mouse area 1 (click at (5, 5)) crashed: ...".
    virtual void module_failed(const std::string& /*what*/) {}
};

// An observer that keeps what it hears, for the tests and the log command.
class HostRecorder : public HostObserver {
public:
    void call(const HostCall& c) override { calls.push_back(c); }
    void event(const SentEvent& e) override { events.push_back(e); }
    void fault(const std::string& f) override { faults.push_back(f); }
    void clear() {
        calls.clear();
        events.clear();
        faults.clear();
    }
    std::vector<HostCall> calls;
    std::vector<SentEvent> events;
    std::vector<std::string> faults;
};

}  // namespace bench
