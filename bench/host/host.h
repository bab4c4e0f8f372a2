// The stand-in host: it serves a module's host calls, keeps the host variables, walks the element tree to keep
// element variables current and run their callbacks, owns every buffer and image record it hands out, and
// dispatches pointer events to mouse areas. What happens is told to its observers.
//
// Uses loading (the module, its resources) and the bench's reading of the records; drawing, runs, the live page
// and the commands use it. It draws nothing itself.
#pragma once

#include <array>
#include <initializer_list>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "module.h"
#include "observer.h"
#include "variables.h"

namespace bench {

// The values the host draws an element with, after its callbacks ran in the last update.
struct ElementValues {
    double value = 0;    // needle, icon
    double x_value = 0;  // slider and moving-image axes
    double y_value = 0;
};

const char* service_name(HostSlot slot);

class Host {
public:
    // Writes the services table into the module's ImportTable entry and calls module_init. The host reads and
    // writes `variables`, shared with the other gauges of a panel; without one it keeps its own.
    explicit Host(LoadedModule& module, VariableStore* variables = nullptr);
    // Calls module_deinit. The module keeps pointers to the buffers this host handed out only while installed.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    LoadedModule& module() { return module_; }
    const LoadedModule& module() const { return module_; }
    GaugeHeader* header() const { return module_.header(); }

    // Observers hear everything from the moment they are added; the host does not own them.
    void add_observer(HostObserver* observer);
    void remove_observer(HostObserver* observer);

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
    // install, then false with `error` ("PATH: what") when the host refused a record the module handed it.
    bool install_or_refuse(std::string* error);

    // Host variables: number -> value; unset variables read 0. set_variable is the scenario's word.
    void set_variable(uint32_t id, double value) { variables_->set(id, value, {VariableCause::kScenario}); }
    double variable(uint32_t id) const { return variables_->get(id); }
    VariableStore& variables() { return *variables_; }

    // A pointer event at gauge pixel (x, y) with the given event bits. Calls the handler of the first child
    // area, in table order up to the end record, whose box holds the point and whose event_flags share a bit
    // with `flags`. Returns true when a handler ran, with its result in `result`.
    bool pointer_event(int32_t x, int32_t y, uint32_t flags, int32_t* result = nullptr);
    // The child area such an event would reach, or null.
    const MouseArea* area_at(int32_t x, int32_t y, uint32_t flags) const;
    // The child areas with a handler, in table order; none while the list is not registered.
    std::vector<const MouseArea*> child_areas() const;

    // Elements in tree order: each element, then the elements of its child list, depth first.
    std::vector<ElementHeader*> elements() const;
    std::vector<StringElement*> strings() const;
    ElementValues values(const ElementHeader* element) const;
    // The pixel size of an installed static image's bitmap.
    PixelSize image_size(const ElementHeader* element) const;
    // The image record handed to a static image at install, or null.
    const HostImageRecord* image_record(const ElementHeader* element) const;

    // Set when the host refused a record the module handed it (a mouse list that does not check out); the
    // gauge is then not usable and the bench stops with this message.
    const std::string& refusal() const { return refusal_; }
    // The text in a string element's buffer, up to its zero and never past the buffer; empty before install.
    std::string text(const StringElement* string) const;
    // The standalone variables the module handed the host (initialize_variable, lookup_variable), each once, in
    // the order first seen, with the service that first had it.
    struct AnnouncedVariable {
        const ModuleVariable* variable;
        HostSlot first_seen_by;
    };
    const std::vector<AnnouncedVariable>& announced_variables() const { return announced_; }
    // The mouse list the module installed, or null.
    const MouseArea* mouse_areas() const { return mouse_areas_; }

    // Whether the module failed in a call (crashed, hung, called an import the bench lacks), and how. The host
    // then calls it no more: routines, handlers and the like do nothing.
    bool failed() const { return module_.guard().failed(); }
    const std::string& failure() const { return module_.guard().failure(); }

    // The host runs this many cycles a second; its time, which a Windows module's clocks read, moves by cycles.
    static constexpr uint32_t kCyclesPerSecond = 18;

    bool installed() const { return installed_; }
    bool mouse_registered() const { return mouse_registered_; }
    uint32_t cycles() const { return cycles_; }

    // The bytes kept on each side of a text buffer, to catch writes past it.
    static constexpr size_t kGuardBytes = 16;
    static constexpr uint8_t kGuardByte = 0xA5;

private:
    struct TextBuffer {
        std::vector<char> bytes;  // guard, char_count + 1 bytes, guard
        size_t capacity;
        std::string last_text;  // as the previous callback left it, to tell a change
        uint32_t last_fore = 0, last_back = 0;
    };

    friend struct HostServiceCalls;
    static Host* active_;

    template <typename Notify>
    void tell(Notify&& notify) {
        for (HostObserver* observer : observers_) notify(*observer);
    }
    // Calls into the module under its guard; false when the module failed, now or before.
    template <typename Call>
    bool guarded(const ModuleEntry& entry, Call&& call);
    bool routine(const char* name, void (*call)(GaugeHeader*, ModuleHandle, uint32_t), uint32_t value = 0);
    void log(HostSlot slot, std::initializer_list<CallArgument> arguments);
    void fault(const std::string& what);
    void announce(const ModuleVariable* variable, HostSlot slot);
    void install_elements(ElementHeader* root);
    void update_elements(ElementHeader* root);
    void kill_elements();
    void run_callbacks(ElementHeader* element, size_t element_number, size_t* string_number);
    void run_text_callback(StringElement& string, size_t string_number);
    bool guards_intact(const TextBuffer& buffer) const;

    LoadedModule& module_;
    std::array<HostServiceAddress, 64> services_{};
    std::vector<HostObserver*> observers_;
    VariableStore own_variables_;
    VariableStore* variables_;
    std::map<const ElementHeader*, std::unique_ptr<HostImageRecord>> image_records_;
    std::map<const StringElement*, TextBuffer> text_buffers_;
    std::map<const ElementHeader*, ElementValues> values_;
    MouseArea* mouse_areas_ = nullptr;
    std::vector<AnnouncedVariable> announced_;
    std::string refusal_;
    bool installed_ = false;
    bool told_failure_ = false;
    bool mouse_registered_ = false;
    uint32_t cycles_ = 0;
};

}  // namespace bench
