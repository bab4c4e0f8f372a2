#include "runner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "describe.h"
#include "format.h"
#include "png.h"

#if GAUGEBENCH_SOUND
#include "dsound_standin.h"
#endif

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSoundGapMs = 250;

std::string frame_file(uint32_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04u.png", number);
    return name;
}

bool write_text(const fs::path& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush()) {
        *error = path.string() + ": cannot write";
        return false;
    }
    return true;
}

// Everything a run writes, and nothing else, is cleared from the folder first: a shorter run must not leave
// an earlier run's pictures behind.
bool prepare_folder(const fs::path& folder, std::string* error) {
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure || !fs::is_directory(folder)) {
        *error = folder.string() + ": cannot make the output folder" + (failure ? ": " + failure.message() : "");
        return false;
    }
    static const std::regex kOurs("frame-[0-9]{4,5}\\.png|sound\\.wav");
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure))
        if (entry.is_regular_file() && std::regex_match(entry.path().filename().string(), kOurs))
            fs::remove(entry.path(), failure);
    return true;
}

// The report's definition of what ran: each gauge's tree, headed by its place on the panel.
std::string definition_of(const Panel& panel) {
    if (panel.single_gauge()) return describe_gauge(*panel.gauges()[0].host);
    std::string out;
    for (const PanelGauge& gauge : panel.gauges())
        out += gauge.name + " at (" + std::to_string(gauge.x) + ", " + std::to_string(gauge.y) + "), " +
               std::to_string(gauge.width) + " x " + std::to_string(gauge.height) + ":\n" +
               describe_gauge(*gauge.host) + "\n";
    return out;
}

class Runner : public PanelObserver, public VariableListener {
public:
    Runner(Panel& panel, const fs::path& folder, const RunSettings& settings)
        : panel_(panel), folder_(folder), settings_(settings) {
        panel_.add_observer(this);
    }
    ~Runner() override {
        panel_.remove_observer(this);
        panel_.variables().remove_listener(this);
    }

    RunResult run(const Scenario& scenario) {
        result_.gauge_name = panel_.single_gauge() ? panel_.gauges()[0].module->header()->name : panel_.title();
        if (!prepare_folder(folder_, &result_.error)) return failed();
        for (auto [stream, name] : {std::pair{&events_, "events.jsonl"}, std::pair{&texts_, "text.jsonl"},
                                    std::pair{&calls_, "calls.jsonl"}, std::pair{&variables_, "variables.jsonl"}})
            stream->open(folder_ / name, std::ios::binary);
        if (!logs_good()) return failed();
        pending_.number = 1;
#if GAUGEBENCH_SOUND
        sounds_before_ = dsound_standin::played().size();
#endif
        if (!panel_.install(&result_.error)) return panel_.failed_gauge() ? crashed() : failed();
        // The starting values are not changes; what moves them from here on is.
        panel_.variables().add_listener(this);
        definition_ = definition_of(panel_);
        after_step();
        for (const Command& command : scenario.commands) {
            if (command.kind == CommandKind::kFrame) {
                for (uint32_t i = 0; i < command.count && !panel_.failed_gauge(); ++i)
                    if (!frame()) return failed();
            } else {
                if (command.kind == CommandKind::kSet) {
                    panel_.set_variable(command.variable, command.value);
                    pending_.commands.push_back(command.text);
                } else {
                    pointer(command);
                }
                after_step();
            }
            if (panel_.failed_gauge()) break;
        }
        const bool crashed_now = panel_.failed_gauge() != nullptr;
        if (!crashed_now) panel_.kill();  // a module that failed is never called again
        after_step();
        pending_.drawn = false;
        if (!pending_.commands.empty() || !pending_.events.empty() || !pending_.faults.empty() ||
            !pending_.changes.empty() || !pending_.said.empty())
            result_.frames.push_back(pending_);
        return finish();
    }

private:
    bool logs_good() {
        if (events_ && texts_ && calls_ && variables_) return true;
        result_.error = folder_.string() + ": cannot write the logs";
        return false;
    }

    // Every event line names its gauge on a panel; a single gauge's lines keep their shape.
    ordered_json line_start(const PanelGauge& gauge) const {
        ordered_json out = {{"frame", pending_.number}};
        if (!panel_.single_gauge()) out["gauge"] = gauge.name;
        return out;
    }
    std::string gauge_name(const PanelGauge& gauge) const { return panel_.single_gauge() ? "" : gauge.name; }

    void call(const PanelGauge& gauge, const HostCall& call) override { step_calls_.push_back({&gauge, call, ""}); }
    void debug_output(const PanelGauge& gauge, const std::string& text) override {
        step_calls_.push_back({&gauge, std::nullopt, text});
        pending_.said.push_back(panel_.single_gauge() ? text : gauge.name + ": " + text);
    }
    void event(const PanelGauge& gauge, const SentEvent& event) override {
        ordered_json line = line_start(gauge);
        line["event"] = event.id;
        line["value"] = event.value;
        events_ << json_line(line) << "\n";
        pending_.events.push_back({gauge_name(gauge), event});
        ++result_.events;
    }
    void fault(const PanelGauge& gauge, const std::string& what) override {
        const std::string said = panel_.single_gauge() ? what : gauge.name + ": " + what;
        pending_.faults.push_back(said);
        result_.faults.push_back("frame " + std::to_string(pending_.number) + ": " + said);
    }
    void module_failed(const PanelGauge& gauge, const std::string& what) override {
        result_.error = std::string(gauge.module->header()->name) + ": " + what;
        pending_.faults.push_back(result_.error);
    }
    void variable_changed(uint32_t id, double value, double, const VariableCause& cause) override {
        const std::string why = cause.describe();
        variables_ << json_line(
                          {{"frame", pending_.number}, {"variable", id}, {"value", json_number(value)}, {"cause", why}})
                   << "\n";
        pending_.changes.push_back({id, value, why});
    }

    RunResult failed() {
        result_.status = 2;
        return result_;
    }

    RunResult crashed() {
        const PanelGauge* gauge = panel_.failed_gauge();
        result_.error = std::string(gauge->module->header()->name) + ": " + gauge->host->failure();
        result_.status = 3;
        return result_;
    }

    RunResult finish() {
        write_sound();
        const std::vector<std::string> problems = panel_.drawing_problems();
        result_.warnings.insert(result_.warnings.begin(), problems.begin(), problems.end());
        if (panel_.failed_gauge()) crashed();
        if (!write_text(folder_ / "report.html", report_html(result_, settings_, panel_.title(), definition_),
                        &result_.error))
            return failed();
        for (std::ofstream* stream : {&events_, &texts_, &calls_, &variables_}) stream->close();
        if (!logs_good()) return failed();
        if (result_.status == 0) result_.status = result_.faults.empty() ? 0 : 1;
        return result_;
    }

    // The sounds this run played, one after another with a short silence between two: a click a line.
    void write_sound() {
#if GAUGEBENCH_SOUND
        const auto& played = dsound_standin::played();
        // Someone who had the stand-in forget its history since the start leaves this run's sounds alone.
        const size_t first = sounds_before_ <= played.size() ? sounds_before_ : 0;
        const std::vector<dsound_standin::PlayedSound> ours(played.begin() + static_cast<std::ptrdiff_t>(first),
                                                            played.end());
        const std::vector<uint8_t> track = dsound_standin::wav_track(ours, kSoundGapMs);
        if (track.empty()) return;
        std::ofstream out(folder_ / "sound.wav", std::ios::binary);
        out.write(reinterpret_cast<const char*>(track.data()), static_cast<std::streamsize>(track.size()));
        result_.sound = static_cast<bool>(out.flush());
        if (!result_.sound) result_.warnings.push_back((folder_ / "sound.wav").string() + ": cannot write");
#endif
    }

    void pointer(const Command& command) {
        const uint32_t flags = event_flags(command.kind);
        const PointerRoute route = panel_.route(command.x, command.y, flags);
        std::string reached = "no area";
        if (route.area) {
            reached = "area " + std::to_string(route.area - route.gauge->host->mouse_areas());
            if (!panel_.single_gauge()) reached = route.gauge->name + " " + reached;
        }
        for (uint32_t i = 0; i < command.count && !panel_.failed_gauge(); ++i) panel_.pointer_event(route, flags);
        pending_.commands.push_back(command.text + " \xE2\x86\x92 " + reached);
    }

    bool frame() {
        const uint32_t number = pending_.number;
        panel_.cycle();
        if (panel_.failed_gauge()) return true;  // no picture of a gauge whose state is unknown
        pending_.drawn = true;
        pending_.picture = frame_file(number);
        if (!write_png(panel_.render(), (folder_ / pending_.picture).string(), &result_.error)) return false;
        for (const PanelGauge& gauge : panel_.gauges()) {
            size_t index = 0;
            for (StringElement* string : gauge.host->strings()) {
                const std::string text = gauge.host->text(string);
                ordered_json line = line_start(gauge);
                line["element"] = ++index;
                line["text"] = utf8_from_cp1252(text);
                line["fore_colour"] = colour_code(string->fore_colour);
                texts_ << json_line(line) << "\n";
                pending_.texts.push_back({gauge_name(gauge), index, text, string->fore_colour, string->back_colour});
            }
        }
        after_step();
        result_.frames.push_back(std::move(pending_));
        pending_ = FrameLog{};
        pending_.number = number + 1;
        return true;
    }

    // The calls of the last step, described once the step is over (a mouse list has its name only once the host
    // took it), go to the frame that comes next.
    void after_step() {
        for (const auto& [gauge, logged, said] : step_calls_) {
            if (!logged) {
                ordered_json line = line_start(*gauge);
                line["debug_output"] = utf8_from_cp1252(said);
                calls_ << json_line(line) << "\n";
                continue;
            }
            const HostCall& call = *logged;
            ordered_json arguments = ordered_json::array();
            for (const std::string& argument : describe_arguments(*gauge->host, call)) {
                // An address that names no record would differ from run to run.
                const bool address = argument.rfind("0x", 0) == 0;
                arguments.push_back(address ? "an address outside the gauge's records" : argument);
            }
            ordered_json line = line_start(*gauge);
            line["service"] = service_name(call.slot);
            line["arguments"] = arguments;
            calls_ << json_line(line) << "\n";
        }
        step_calls_.clear();
    }

    Panel& panel_;
    fs::path folder_;
    const RunSettings& settings_;
    RunResult result_;
    FrameLog pending_;
    std::ofstream events_, texts_, calls_, variables_;
    // The host calls of the step and what the modules said between them, in order.
    struct Logged {
        const PanelGauge* gauge;
        std::optional<HostCall> call;
        std::string said;
    };
    std::vector<Logged> step_calls_;
    size_t sounds_before_ = 0;
    std::string definition_;
};

}  // namespace

RunResult run_scenario(Panel& panel, const Scenario& scenario, const std::string& out_dir,
                       const RunSettings& settings) {
    Runner runner(panel, out_dir, settings);
    return runner.run(scenario);
}

}  // namespace bench
