// The stand-in host: it serves a module's host calls, keeps the host variables, walks the element tree, owns
// every buffer and image record it hands out, dispatches pointer events to mouse areas and logs all of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "module_loader.h"

namespace bench {

struct CallRecord {
    HostSlot slot;
    std::vector<uintptr_t> args;  // in call order; pointers as addresses
};

struct SentEvent {
    uint32_t id;
    int32_t value;
    bool operator==(const SentEvent&) const = default;
};

// The values the host draws an element with, after its callbacks ran in the last update.
struct ElementValues {
    double value = 0;    // needle, icon
    double x_value = 0;  // slider and moving-image axes
    double y_value = 0;
};

const char* service_name(HostSlot slot);

class Host {
public:
    // Writes the services table into the module's ImportTable entry and calls module_init.
    explicit Host(LoadedModule& module);
    // Calls module_deinit. The module keeps pointers to the buffers this host handed out only while installed.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    LoadedModule& module() { return module_; }
    const LoadedModule& module() const { return module_; }
    GaugeHeader* header() const { return module_.header(); }

    // The seven gauge routines, called through the header as the host does.
    void query();
    void install();
    void initialize();
    void update();
    void generate(uint32_t value);
    void draw();
    void kill();
    // One host cycle: update, generate (with the cycle's number), draw.
    void cycle();

    // Host variables: number -> value; unset variables read 0.
    void set_variable(uint32_t id, double value) { variables_[id] = value; }
    double variable(uint32_t id) const;

    // A pointer event at gauge pixel (x, y) with the given event bits. Calls the handler of the first child
    // area, in table order up to the end record, whose box holds the point and whose event_flags share a bit
    // with `flags`. Returns true when a handler ran, with its result in `result`.
    bool pointer_event(int32_t x, int32_t y, uint32_t flags, int32_t* result = nullptr);
    // The child area such an event would reach, or null.
    const MouseArea* area_at(int32_t x, int32_t y, uint32_t flags) const;
    // The child areas such events can reach, in table order; none while the list is not registered.
    std::vector<const MouseArea*> child_areas() const;

    // Elements in tree order: each element, then the elements of its child list, depth first.
    std::vector<ElementHeader*> elements() const;
    std::vector<StringElement*> strings() const;
    ElementValues values(const ElementHeader* element) const;
    // The pixel size of an installed static image's bitmap.
    PixelSize image_size(const ElementHeader* element) const;

    const std::vector<CallRecord>& calls() const { return calls_; }
    const std::vector<SentEvent>& events() const { return events_; }
    // Things the module did that a host must not accept: a text buffer overrun, an unexpected service.
    const std::vector<std::string>& faults() const { return faults_; }
    void clear_logs();
    // Whether host-service calls are logged (on by default); long runs such as benchmarks turn it off.
    void set_call_log(bool on) { call_log_ = on; }
    // Set when the host refused a record the module handed it (a mouse list that does not check out); the
    // gauge is then not usable and the bench stops with this message.
    const std::string& refusal() const { return refusal_; }
    // A readable line for a logged call, naming the records its arguments point to.
    std::string describe(const CallRecord& call) const;
    // The same names, one per argument, for logs that keep them apart.
    std::vector<std::string> describe_arguments(const CallRecord& call) const;
    // The text in a string element's buffer, up to its zero and never past the buffer; empty before install.
    std::string text(const StringElement* string) const;
    // The mouse list the module installed, or null.
    const MouseArea* mouse_areas() const { return mouse_areas_; }

    bool installed() const { return installed_; }
    bool mouse_registered() const { return mouse_registered_; }
    uint32_t cycles() const { return cycles_; }

    // Called from plot_elements, for drawing.
    std::function<void(Host&)> on_plot;
    // Called for every event sent, after it is logged.
    std::function<void(const SentEvent&)> on_event;

    // The bytes kept on each side of a text buffer, to catch writes past it.
    static constexpr size_t kGuardBytes = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

private:
    struct TextBuffer {
        std::vector<char> bytes;  // guard, char_count + 1 bytes, guard
        size_t capacity;
    };

    friend struct HostServiceCalls;
    static Host* active_;

    void log(HostSlot slot, std::initializer_list<uintptr_t> args);
    void install_elements(ElementHeader* root);
    void update_elements(ElementHeader* root);
    void kill_elements();
    void refresh_element_variables(ElementHeader* element);
    void run_callbacks(ElementHeader* element);
    bool guards_intact(const TextBuffer& buffer) const;
    template <typename Visit>
    void walk(ElementHeader* root, Visit&& visit) const;

    LoadedModule& module_;
    std::array<HostServiceAddress, 64> services_{};
    std::map<uint32_t, double> variables_;
    std::vector<CallRecord> calls_;
    std::vector<SentEvent> events_;
    std::vector<std::string> faults_;
    std::map<const ElementHeader*, std::unique_ptr<HostImageRecord>> image_records_;
    std::map<const StringElement*, TextBuffer> text_buffers_;
    std::map<const ElementHeader*, ElementValues> values_;
    MouseArea* mouse_areas_ = nullptr;
    std::string refusal_;
    bool call_log_ = true;
    bool installed_ = false;
    bool mouse_registered_ = false;
    uint32_t cycles_ = 0;
};

}  // namespace bench
