// A hand-flown bench session: one installed gauge, the host variables it reads, the user's actions on it and a
// timeline of what came of them. Every entry into the host and the module goes through this object, under one
// lock, so the module is never entered from two threads at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "click_sound.h"
#include "host.h"
#include "renderer.h"

namespace bench::serve {

// A host variable the gauge reads, with where it was found and a range for a slider.
struct VariableControl {
    uint32_t id = 0;
    double value = 0;
    double min = 0;
    double max = 0;
    double step = 1;
    std::string found_in;  // "string 2 source 2", "standalone (lookup_variable)"
};

struct AreaInfo {
    int32_t x, y, width, height;
    uint32_t event_flags;
    int32_t cursor;
};

enum class PointerKind { kClick, kRepeat, kDrag };
// "click", "repeat", "drag"; false for any other word.
bool parse_pointer_kind(const std::string& word, PointerKind* kind);
uint32_t pointer_flags(PointerKind kind);
const char* pointer_word(PointerKind kind);

// One line of the timeline. `kind` is "event", "variable", "text", "pointer", "sound" or "fault"; the fields
// that kind does not use are left empty.
struct TimelineEntry {
    uint64_t seq = 0;
    uint32_t cycle = 0;
    std::string kind;
    uint32_t id = 0;       // event id, variable number
    double value = 0;      // event value, new variable value
    double previous = 0;   // variable value before a change
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

class Session : private HostObserver {
public:
    // Takes a host whose gauge is installed. `module_name` heads the saved scenario.
    Session(Host& host, std::string module_name);
    ~Session() override;

    std::string gauge_name();
    std::vector<AreaInfo> areas();
    std::vector<VariableControl> variables();

    // One host cycle (update, generate, draw), then the new texts, events and faults go on the timeline.
    void cycle();

    // False with `error` set, and nothing changed, when the gauge reads no such variable or the value is not a
    // finite number.
    bool set_variable(uint32_t id, double value, std::string* error);
    // Sends `count` pointer events of the kind at gauge pixel (x, y). Repeat alone takes a count above 1.
    bool pointer(int32_t x, int32_t y, PointerKind kind, int32_t count, PointerOutcome* outcome, std::string* error);

    // Entries with a sequence number above `since`, newest first, and in `last` the newest sequence number,
    // taken together so that an entry added meanwhile is neither lost nor given twice.
    std::vector<TimelineEntry> timeline_since(uint64_t since, uint64_t* last);
    uint32_t cycles();

    // The session so far as a scenario that `gaugebench run` replays: every action in order, with the host
    // cycles run between them as frame lines.
    std::string scenario();

    // The picture as last drawn, and a number that changes whenever it does.
    uint64_t picture_version();
    // Where the picture lies in gauge pixels: its size, and the gauge pixel its top-left pixel shows (the
    // drawing leaves a margin for elements and areas beyond the background).
    struct PictureFrame {
        int width, height, origin_x, origin_y;
    };
    PictureFrame picture_frame();
    std::string picture_png(uint64_t* version);

    // The latest sound the module played, as a WAV file; empty when none was played yet. The serial counts the
    // sounds played.
    std::string latest_sound_wav(uint64_t* serial);
    uint64_t sound_serial();

    static constexpr size_t kTimelineLimit = 5000;  // older entries are dropped from what the page can fetch
    static constexpr int32_t kRepeatLimit = 1000;
    // gaugebench run replays at most this many host cycles. A longer session is saved with each idle stretch
    // cut to kIdleFrames, which keeps what the gauge shows and sends: none of these gauges counts cycles.
    static constexpr uint64_t kReplayFrameLimit = 10000;
    static constexpr uint64_t kIdleFrames = 18;

private:
    void discover_element_variables();
    // What the host told since the last harvest, onto the timeline.
    void harvest();
    void event(const SentEvent& event) override { heard_events_.push_back(event); }
    void fault(const std::string& what) override { heard_faults_.push_back(what); }
    void note_texts();
    void note_sound();
    void redraw();
    TimelineEntry& add(std::string kind);
    void action(const std::string& line);
    VariableControl* find(uint32_t id);
    void add_variable(uint32_t id, const std::string& found_in, std::optional<std::pair<double, double>> range);

    std::mutex mutex_;
    Host& host_;
    std::string module_name_;
    std::vector<VariableControl> variables_;
    size_t announced_seen_ = 0;  // standalone variables of the host's list already offered
    std::vector<SentEvent> heard_events_;
    std::vector<std::string> heard_faults_;
    std::vector<TimelineEntry> timeline_;
    uint64_t seq_ = 0;
    struct LineState {
        std::string text;
        uint32_t colour;
    };
    std::vector<LineState> lines_;
    struct Step {
        uint64_t frames_before;  // host cycles run since the step before
        std::string line;
    };
    std::vector<Step> actions_;
    uint64_t frames_since_action_ = 0;
    Renderer renderer_;
    Picture picture_;
    uint64_t picture_version_ = 0;
    std::string png_;
    uint64_t png_version_ = 0;
    ClickSounds sounds_;
};

}  // namespace bench::serve
