#include "session.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "elements.h"
#include "format.h"
#include "png.h"

namespace bench::serve {

namespace {

using Range = std::pair<double, double>;

// The host's own knowledge of the usual span of the variables these gauges read, for those whose records give
// no range (string sources, slider scales). A value outside the span can still be typed in.
struct RangeHint {
    uint32_t id;
    double min, max, step;
};
constexpr RangeHint kRangeHints[] = {
    {2, 0, 1280000, 1},       // ground altitude, 256ths of a metre
    {61, 0, 400, 1},          // airspeed
    {74, 0, 40000, 1},        // altitude
    {128, -4096, 16384, 1},   // throttle lever 1
    {163, -4096, 16384, 1},   // throttle lever 2
    {303, 0, 20000, 1},       // fuel
    {304, 0, 20000, 1},       // fuel
    {318, -16383, 16383, 1},  // elevator trim
    {323, 0, 32767, 1},       // parking brake
    {324, 0, 1, 1},           // spoilers armed
    {325, 0, 16383, 1},       // spoilers
    {328, 0, 16383, 1},       // flaps
    {331, 0, 16383, 1},       // gear
};
constexpr Range kDefaultRange{0, 16384};
constexpr uint32_t kTableRowLimit = 1024;

std::optional<Range> needle_range(const NeedleElement& needle) {
    if (!needle.points || needle.point_count == 0 || needle.point_count > kTableRowLimit) return std::nullopt;
    // Records are packed to 4 bytes: copy each double out before std::min binds a reference to it.
    Range range{needle.points[0].value, needle.points[0].value};
    for (uint32_t i = 1; i < needle.point_count; ++i) {
        const double value = needle.points[i].value;
        range.first = std::min(range.first, value);
        range.second = std::max(range.second, value);
    }
    if (!(range.first < range.second)) return std::nullopt;
    return range;
}

std::optional<Range> axis_range(const MovingAxis& axis) {
    const double from = axis.range_from, to = axis.range_to;
    const double low = std::min(from, to), high = std::max(from, to);
    if (!(low < high)) return std::nullopt;
    return Range{low, high};
}

double default_step(double min, double max) {
    const double span = max - min;
    return span >= 1000 ? 1 : span >= 10 ? 0.1 : 0.01;
}

}  // namespace

bool parse_pointer_kind(const std::string& word, PointerKind* kind) {
    if (word == "click")
        *kind = PointerKind::kClick;
    else if (word == "repeat")
        *kind = PointerKind::kRepeat;
    else if (word == "drag")
        *kind = PointerKind::kDrag;
    else
        return false;
    return true;
}

uint32_t pointer_flags(PointerKind kind) {
    switch (kind) {
        case PointerKind::kClick: return kMouseClick;
        case PointerKind::kRepeat: return kMouseRepeat;
        case PointerKind::kDrag: return kMouseDrag;
    }
    return 0;
}

const char* pointer_word(PointerKind kind) {
    switch (kind) {
        case PointerKind::kClick: return "click";
        case PointerKind::kRepeat: return "repeat";
        case PointerKind::kDrag: return "drag";
    }
    return "";
}

Session::Session(Panel& panel, std::string name) : panel_(panel), name_(std::move(name)) {
    std::lock_guard lock(mutex_);
    panel_.add_observer(this);
    panel_.variables().add_listener(this);
    announced_seen_.assign(panel_.gauges().size(), 0);
    discover_variables();
    harvest();  // the standalone variables announced at install
    redraw();
}

Session::~Session() {
    std::lock_guard lock(mutex_);
    panel_.remove_observer(this);
    panel_.variables().remove_listener(this);
}

std::string Session::gauge_name() {
    std::lock_guard lock(mutex_);
    if (is_panel()) return panel_.title();
    const char* name = panel_.gauges()[0].module->header()->name;
    return name ? name : "";
}

std::vector<GaugeInfo> Session::gauges() {
    std::lock_guard lock(mutex_);
    std::vector<GaugeInfo> out;
    for (const PanelGauge& gauge : panel_.gauges())
        out.push_back(
            {gauge.name, gauge.module->header()->name, gauge.x, gauge.y, gauge.width, gauge.height, gauge.scaled()});
    return out;
}

std::vector<AreaInfo> Session::areas() {
    std::lock_guard lock(mutex_);
    std::vector<AreaInfo> out;
    for (const PanelGauge& gauge : panel_.gauges())
        for (const MouseArea* area : gauge.host->child_areas()) {
            if (!is_panel()) {
                out.push_back({area->x, area->y, area->width, area->height, area->event_flags, area->cursor, ""});
                continue;
            }
            int32_t box[4];
            gauge.to_window(area->x, area->y, area->width, area->height, box);
            out.push_back({box[0], box[1], box[2], box[3], area->event_flags, area->cursor, gauge.name});
        }
    return out;
}

std::vector<VariableControl> Session::variables() {
    std::lock_guard lock(mutex_);
    std::vector<VariableControl> out = variables_;
    for (VariableControl& control : out) control.value = panel_.variables().get(control.id);
    return out;
}

SimulatorState Session::simulator_state() {
    std::lock_guard lock(mutex_);
    SimulatorState out;
    const Simulator* simulator = panel_.simulator();
    if (!simulator) return out;
    out.present = true;
    if (simulator->model().clock.present) out.time = simulator->time_text();
    for (const auto& [event, value] : simulator->kept()) {
        const ModelEvent* known = simulator->model().event(event);
        out.kept.push_back({event, known ? known->name : "", value});
    }
    return out;
}

VariableControl* Session::find(uint32_t id) {
    for (VariableControl& control : variables_)
        if (control.id == id) return &control;
    return nullptr;
}

void Session::add_variable(uint32_t id, const std::string& found_in, std::optional<Range> range) {
    if (id == 0) return;
    VariableControl* control = find(id);
    if (!control) {
        VariableControl fresh;
        fresh.id = id;
        // The records' own range first, then the simulator's, then what the host knows of the variable.
        const ModelVariable* modelled = panel_.simulator() ? panel_.simulator()->model().variable(id) : nullptr;
        const RangeHint* hint = nullptr;
        for (const RangeHint& candidate : kRangeHints)
            if (candidate.id == id) hint = &candidate;
        const Range chosen = range      ? *range
                             : modelled ? Range{modelled->min, modelled->max}
                             : hint     ? Range{hint->min, hint->max}
                                        : kDefaultRange;
        fresh.min = chosen.first;
        fresh.max = chosen.second;
        fresh.step = !range && !modelled && hint ? hint->step : default_step(chosen.first, chosen.second);
        if (!range && modelled && chosen.second - chosen.first >= 1000) fresh.step = 1;
        fresh.found_in = found_in;
        auto at = std::lower_bound(variables_.begin(), variables_.end(), id,
                                   [](const VariableControl& c, uint32_t v) { return c.id < v; });
        variables_.insert(at, fresh);
        return;
    }
    if (control->found_in.find(found_in) == std::string::npos) control->found_in += ", " + found_in;
    if (range) {
        control->min = std::min(control->min, range->first);
        control->max = std::max(control->max, range->second);
    }
}

void Session::discover_variables() {
    for (const PanelGauge& gauge : panel_.gauges()) discover_element_variables(gauge);
}

void Session::discover_element_variables(const PanelGauge& gauge) {
    const std::string prefix = is_panel() ? gauge.name + " " : "";
    int index = 0, line = 0;
    for (ElementHeader* element : gauge.host->elements()) {
        const std::string name = prefix + "element " + std::to_string(index++);
        // The records' own ranges where they give one: a needle's calibration, a moving image's axis.
        auto range_of = [&](const ElementSource& source) -> std::optional<Range> {
            return visit_element(*element, overloaded{
                                               [](const NeedleElement& needle) { return needle_range(needle); },
                                               [&](const MovingImageElement& moving) {
                                                   return axis_range(source.variable == &moving.x_axis.source
                                                                         ? moving.x_axis
                                                                         : moving.y_axis);
                                               },
                                               [](const auto&) -> std::optional<Range> { return std::nullopt; },
                                           });
        };
        if (element->kind == kString) ++line;
        for (const ElementSource& source : element_sources(*element)) {
            // "line 2 source 1"; "element 3 (needle)", "element 5 (moving x)"
            const std::string role = source.role;
            const std::string kind = element->kind == kMovingImage ? "moving" : kind_name(element->kind);
            const std::string axis = role == "x axis" ? " x" : role == "y axis" ? " y" : "";
            const std::string where = element->kind == kString ? prefix + "line " + std::to_string(line) + " " + role
                                                               : name + " (" + kind + axis + ")";
            add_variable(source.variable->id, where, range_of(source));
        }
    }
}

TimelineEntry& Session::add(std::string kind) {
    if (timeline_.size() >= kTimelineLimit) timeline_.erase(timeline_.begin(), timeline_.begin() + kTimelineLimit / 10);
    TimelineEntry& entry = timeline_.emplace_back();
    entry.seq = ++seq_;
    entry.cycle = static_cast<uint32_t>(panel_.cycles());
    entry.kind = std::move(kind);
    return entry;
}

void Session::event(const PanelGauge& gauge, const SentEvent& event) {
    TimelineEntry entry;
    entry.kind = "event";
    entry.gauge = gauge_of(gauge);
    entry.id = event.id;
    entry.value = event.value;
    heard_.push_back(entry);
    heard_events_.push_back(event);
}

void Session::fault(const PanelGauge& gauge, const std::string& what) {
    TimelineEntry entry;
    entry.kind = "fault";
    entry.gauge = gauge_of(gauge);
    entry.text = what;
    heard_.push_back(entry);
}

void Session::text(const PanelGauge& gauge, const TextChange& change) {
    TimelineEntry entry;
    entry.kind = "text";
    entry.gauge = gauge_of(gauge);
    entry.line = static_cast<int32_t>(change.string);
    entry.text = change.text;
    entry.colour = change.fore_colour;
    heard_.push_back(entry);
}

void Session::module_failed(const PanelGauge& gauge, const std::string& what) {
    TimelineEntry entry;
    entry.kind = "crash";
    entry.gauge = gauge_of(gauge);
    entry.text = std::string(gauge.module->header()->name) + ": " + what;
    heard_.push_back(entry);
}

void Session::variable_changed(uint32_t id, double value, double previous, const VariableCause& cause) {
    TimelineEntry entry;
    entry.kind = "variable";
    entry.id = id;
    entry.value = value;
    entry.previous = previous;
    entry.cause = cause.describe();
    heard_.push_back(entry);
}

void Session::harvest() {
    for (size_t g = 0; g < panel_.gauges().size(); ++g) {
        const PanelGauge& gauge = panel_.gauges()[g];
        const auto& announced = gauge.host->announced_variables();
        for (size_t& seen = announced_seen_[g]; seen < announced.size(); ++seen) {
            const Host::AnnouncedVariable& found = announced[seen];
            const VariableControl* known = find(found.variable->id);
            if (known && known->found_in.find("standalone") != std::string::npos) continue;
            add_variable(
                found.variable->id,
                (is_panel() ? gauge.name + " " : "") + "standalone (" + service_name(found.first_seen_by) + ")",
                std::nullopt);
        }
    }
    for (TimelineEntry& heard : heard_) {
        TimelineEntry& entry = add(heard.kind);
        const uint64_t seq = entry.seq;
        const uint32_t cycle = entry.cycle;
        entry = std::move(heard);
        entry.seq = seq;
        entry.cycle = cycle;
    }
    heard_.clear();
    heard_events_.clear();
}

void Session::note_sound() {
    if (!sounds_.take()) return;
    TimelineEntry& entry = add("sound");
    entry.count = static_cast<int32_t>(sounds_.wav().size());
}

void Session::redraw() {
    Picture fresh = panel_.render();
    if (fresh.width == picture_.width && fresh.height == picture_.height && fresh.origin_x == picture_.origin_x &&
        fresh.origin_y == picture_.origin_y && fresh.pixels == picture_.pixels)
        return;
    picture_ = std::move(fresh);
    ++picture_version_;
}

void Session::action(const std::string& line) {
    const uint64_t ticks = panel_.simulator() ? panel_.simulator()->time_ticks() : 0;
    actions_.push_back({frames_since_action_, ticks, line});
    frames_since_action_ = 0;
}

void Session::cycle() {
    std::lock_guard lock(mutex_);
    if (panel_.failed_gauge()) return;  // a gauge that crashed is never called again
    panel_.cycle();
    ++frames_since_action_;
    harvest();
    redraw();
}

bool Session::set_variable(uint32_t id, double value, std::string* error) {
    std::lock_guard lock(mutex_);
    if (!find(id)) {
        *error = "variable " + std::to_string(id) + " is not read by " +
                 (is_panel() ? "any gauge of the panel" : "this gauge");
        return false;
    }
    if (!std::isfinite(value)) {
        *error = "variable " + std::to_string(id) + ": the value is not a finite number";
        return false;
    }
    action("set " + std::to_string(id) + " " + shortest(value));
    panel_.set_variable(id, value);
    harvest();
    return true;
}

bool Session::pointer(int32_t x, int32_t y, PointerKind kind, int32_t count, PointerOutcome* outcome,
                      std::string* error) {
    std::lock_guard lock(mutex_);
    if (count < 1 || count > kRepeatLimit || (kind != PointerKind::kRepeat && count != 1)) {
        *error = kind == PointerKind::kRepeat
                     ? "count " + std::to_string(count) + " lies outside 1 to " + std::to_string(kRepeatLimit)
                     : std::string("only repeat takes a count");
        return false;
    }
    const std::string where = std::to_string(x) + " " + std::to_string(y);
    action(std::string(pointer_word(kind)) + " " + where +
           (kind == PointerKind::kRepeat ? " " + std::to_string(count) : ""));
    *outcome = {};
    const PointerRoute route = panel_.route(x, y, pointer_flags(kind));
    for (int32_t i = 0; i < count && !panel_.failed_gauge(); ++i) {
        int32_t result = 0;
        if (panel_.pointer_event(route, pointer_flags(kind), &result)) {
            outcome->handled = true;
            outcome->result = result;
        }
    }
    outcome->events = heard_events_;
    TimelineEntry& entry = add("pointer");
    if (route.gauge) entry.gauge = gauge_of(*route.gauge);
    entry.x = x;
    entry.y = y;
    entry.text = pointer_word(kind);
    entry.count = count;
    entry.handled = outcome->handled;
    entry.result = outcome->result;
    harvest();
    note_sound();
    redraw();
    return true;
}

std::vector<TimelineEntry> Session::timeline_since(uint64_t since, uint64_t* last) {
    std::lock_guard lock(mutex_);
    *last = seq_;
    std::vector<TimelineEntry> out;
    for (auto it = timeline_.rbegin(); it != timeline_.rend() && it->seq > since; ++it) out.push_back(*it);
    return out;
}

uint32_t Session::cycles() {
    std::lock_guard lock(mutex_);
    return static_cast<uint32_t>(panel_.cycles());
}

std::string Session::scenario() {
    std::lock_guard lock(mutex_);
    std::string out = "# gaugebench serve session: " + name_ + ", " +
                      (is_panel() ? "panel " + panel_.title()
                                  : "gauge \"" + std::string(panel_.gauges()[0].module->header()->name) + "\"") +
                      ", " + std::to_string(panel_.cycles()) + " host cycles\n";
    uint64_t total = frames_since_action_;
    for (const Step& step : actions_) total += step.frames_before;
    const bool shorten = total > kReplayFrameLimit;
    const Simulator* simulator = panel_.simulator();
    const bool clock = simulator && simulator->model().clock.present;
    if (shorten)
        out += "# idle stretches of more than " + std::to_string(kIdleFrames) + " host cycles are cut to " +
               std::to_string(kIdleFrames) + ", so that gaugebench run (at most " + std::to_string(kReplayFrameLimit) +
               " cycles) replays it" + (clock ? "; the clock is set back to its time after each cut" : "") + "\n";
    // Idle cycles before a step; after a cut stretch, the clock's time as it was when the step was taken.
    auto frames = [&](uint64_t count, std::optional<uint64_t> ticks) {
        if (count == 0) return;
        const bool cut = shorten && count > kIdleFrames;
        out += "frame " + std::to_string(cut ? kIdleFrames : count) + "\n";
        if (!cut || !clock || !ticks) return;
        const uint64_t seconds = *ticks / Simulator::kCyclesPerSecond;
        const ModelClock& c = simulator->model().clock;
        out += "set " + std::to_string(c.hours) + " " + std::to_string(seconds / 3600) + "\n";
        out += "set " + std::to_string(c.minutes) + " " + std::to_string(seconds / 60 % 60) + "\n";
        out += "set " + std::to_string(c.seconds) + " " + std::to_string(seconds % 60) + "\n";
    };
    for (const Step& step : actions_) {
        frames(step.frames_before, step.clock_ticks);
        out += step.line + "\n";
    }
    frames(frames_since_action_, simulator ? std::optional<uint64_t>(simulator->time_ticks()) : std::nullopt);
    return out;
}

uint64_t Session::picture_version() {
    std::lock_guard lock(mutex_);
    return picture_version_;
}

Session::PictureFrame Session::picture_frame() {
    std::lock_guard lock(mutex_);
    return {picture_.width, picture_.height, picture_.origin_x, picture_.origin_y};
}

std::string Session::picture_png(uint64_t* version) {
    std::lock_guard lock(mutex_);
    if (png_.empty() || png_version_ != picture_version_) {
        const std::vector<uint8_t> png = encode_png(picture_);
        png_.assign(png.begin(), png.end());
        png_version_ = picture_version_;
    }
    *version = picture_version_;
    return png_;
}

std::string Session::latest_sound_wav(uint64_t* serial) {
    std::lock_guard lock(mutex_);
    *serial = sounds_.serial();
    return sounds_.wav();
}

uint64_t Session::sound_serial() {
    std::lock_guard lock(mutex_);
    return sounds_.serial();
}

}  // namespace bench::serve
