// A hand-flown bench session: an installed gauge, or a panel of them, the host variables they read, the user's
// actions on them and a timeline of what came of them. Every entry into the host and the modules goes through
// this object, under one lock, so that no module is entered from two threads at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "click_sound.h"
#include "panel.h"

namespace bench::serve {

// A host variable the gauges read, with where it was found and a range for a slider.
struct VariableControl {
    uint32_t id = 0;
    double value = 0;
    double min = 0;
    double max = 0;
    double step = 1;
    std::string found_in;  // "line 2 source 2", "standalone (lookup_variable)"; on a panel, the gauge's name first
};

// A child mouse area as the page shows it: in the picture's pixels (a panel's window pixels).
struct AreaInfo {
    int32_t x, y, width, height;
    uint32_t event_flags;
    int32_t cursor;
    std::string gauge;  // on a panel
};

// A gauge of a panel, for the page.
struct GaugeInfo {
    std::string name;
    std::string gauge_name;
    int x, y, width, height;
    bool scaled;
};

enum class PointerKind { kClick, kRepeat, kDrag };
// "click", "repeat", "drag"; false for any other word.
bool parse_pointer_kind(const std::string& word, PointerKind* kind);
uint32_t pointer_flags(PointerKind kind);
const char* pointer_word(PointerKind kind);

// One line of the timeline. `kind` is "event", "variable", "text", "pointer", "sound", "fault" or "crash"; the
// fields that kind does not use are left empty.
struct TimelineEntry {
    uint64_t seq = 0;
    uint32_t cycle = 0;
    std::string kind;
    std::string gauge;     // on a panel: the gauge it concerns
    uint32_t id = 0;       // event id, variable number
    double value = 0;      // event value, new variable value
    double previous = 0;   // variable value before a change
    std::string cause;     // why a variable changed: "scenario", "event 65820", "clock"
    int32_t x = 0, y = 0;  // pointer position
    int32_t line = 0;      // string element number, from 1, in tree order
    uint32_t colour = 0;   // text colour, 0x00BBGGRR
    int32_t count = 0;     // repeat events sent by one action
    bool handled = false;  // a handler ran for the pointer action
    int32_t result = 0;    // the handler's result
    std::string text;      // line text, pointer kind, fault message
};

struct PointerOutcome {
    bool handled = false;
    int32_t result = 0;
    std::vector<SentEvent> events;
};

// What the simulator holds besides the variables: its clock, and the last values of the events it keeps.
struct SimulatorState {
    bool present = false;
    std::string time;  // "09:00:07"; empty without a clock
    struct Kept {
        uint32_t event;
        std::string name;
        int32_t value;
    };
    std::vector<Kept> kept;
};

class Session : private PanelObserver, private VariableListener {
public:
    // Takes a panel (or a single gauge) whose gauges are installed. `name` heads the saved scenario.
    Session(Panel& panel, std::string name);
    ~Session() override;

    std::string gauge_name();
    bool is_panel() const { return !panel_.single_gauge(); }
    std::vector<GaugeInfo> gauges();
    std::vector<AreaInfo> areas();
    std::vector<VariableControl> variables();
    SimulatorState simulator_state();

    // One host cycle of every gauge, then the new texts, events and faults go on the timeline.
    void cycle();

    // False with `error` set, and nothing changed, when no gauge reads such a variable or the value is not a
    // finite number.
    bool set_variable(uint32_t id, double value, std::string* error);
    // Sends `count` pointer events of the kind at picture pixel (x, y). Repeat alone takes a count above 1.
    bool pointer(int32_t x, int32_t y, PointerKind kind, int32_t count, PointerOutcome* outcome, std::string* error);

    // Entries with a sequence number above `since`, newest first, and in `last` the newest sequence number,
    // taken together so that an entry added meanwhile is neither lost nor given twice.
    std::vector<TimelineEntry> timeline_since(uint64_t since, uint64_t* last);
    uint32_t cycles();

    // The session so far as a scenario that `gaugebench run` replays to the same events and the same clock
    // time: every action in order, with the host cycles run between them as frame lines.
    std::string scenario();

    // The picture as last drawn, and a number that changes whenever it does.
    uint64_t picture_version();
    // Where the picture lies in gauge pixels: its size, and the gauge pixel its top-left pixel shows (a single
    // gauge's drawing leaves a margin for elements and areas beyond the background; a panel's is its window).
    struct PictureFrame {
        int width, height, origin_x, origin_y;
    };
    PictureFrame picture_frame();
    std::string picture_png(uint64_t* version);

    // The latest sound a module played, as a WAV file; empty when none was played yet. The serial counts the
    // sounds played.
    std::string latest_sound_wav(uint64_t* serial);
    uint64_t sound_serial();

    static constexpr size_t kTimelineLimit = 5000;  // older entries are dropped from what the page can fetch
    static constexpr int32_t kRepeatLimit = 1000;
    // gaugebench run replays at most this many host cycles. A longer session is saved with each idle stretch
    // cut to kIdleFrames, the clock set back to its time after each cut: none of these gauges counts cycles.
    static constexpr uint64_t kReplayFrameLimit = 10000;
    static constexpr uint64_t kIdleFrames = 18;

private:
    void discover_variables();
    void discover_element_variables(const PanelGauge& gauge);
    std::string gauge_of(const PanelGauge& gauge) const { return panel_.single_gauge() ? "" : gauge.name; }
    // What the hosts told since the last harvest, onto the timeline.
    void harvest();
    void event(const PanelGauge& gauge, const SentEvent& event) override;
    void fault(const PanelGauge& gauge, const std::string& what) override;
    void text(const PanelGauge& gauge, const TextChange& change) override;
    void module_failed(const PanelGauge& gauge, const std::string& what) override;
    void variable_changed(uint32_t id, double value, double previous, const VariableCause& cause) override;
    void note_sound();
    void redraw();
    TimelineEntry& add(std::string kind);
    void action(const std::string& line);
    VariableControl* find(uint32_t id);
    void add_variable(uint32_t id, const std::string& found_in, std::optional<std::pair<double, double>> range);

    std::mutex mutex_;
    Panel& panel_;
    std::string name_;
    std::vector<VariableControl> variables_;
    std::vector<size_t> announced_seen_;  // per gauge: standalone variables of the host's list already offered
    std::vector<TimelineEntry> heard_;    // what the hosts told during an action, added to the timeline after it
    std::vector<SentEvent> heard_events_;
    std::vector<TimelineEntry> timeline_;
    uint64_t seq_ = 0;
    struct Step {
        uint64_t frames_before;  // host cycles run since the step before
        uint64_t clock_ticks;    // the simulator's time of day as the step was taken
        std::string line;
    };
    std::vector<Step> actions_;
    uint64_t frames_since_action_ = 0;
    Picture picture_;
    uint64_t picture_version_ = 0;
    std::string png_;
    uint64_t png_version_ = 0;
    ClickSounds sounds_;
};

}  // namespace bench::serve
