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

class Runner : public HostObserver {
public:
    Runner(LoadedModule& module, const fs::path& folder, const RunSettings& settings)
        : module_(module), folder_(folder), settings_(settings), host_(module), renderer_(module, settings.render) {
        host_.add_observer(this);
    }
    ~Runner() override { host_.remove_observer(this); }

    RunResult run(const Scenario& scenario) {
        result_.gauge_name = module_.header()->name;
        if (!prepare_folder(folder_, &result_.error)) return failed();
        events_.open(folder_ / "events.jsonl", std::ios::binary);
        texts_.open(folder_ / "text.jsonl", std::ios::binary);
        calls_.open(folder_ / "calls.jsonl", std::ios::binary);
        if (!events_ || !texts_ || !calls_) {
            result_.error = folder_.string() + ": cannot write the logs";
            return failed();
        }
        pending_.number = 1;
#if GAUGEBENCH_SOUND
        sounds_before_ = dsound_standin::played().size();
#endif
        if (!host_.install_or_refuse(&result_.error)) {
            result_.status = host_.failed() ? 3 : 2;
            return result_;
        }
        host_.initialize();
        definition_ = describe_gauge(host_);
        after_step();
        for (const Command& command : scenario.commands) {
            if (host_.failed()) break;  // the module is never called again
            if (command.kind == CommandKind::kFrame) {
                for (uint32_t i = 0; i < command.count; ++i)
                    if (!frame()) return failed();
                continue;
            }
            if (command.kind == CommandKind::kSet) {
                host_.set_variable(command.variable, command.value);
                pending_.commands.push_back(command.text);
            } else {
                pointer(command);
            }
            after_step();
        }
        host_.kill();
        after_step();
        pending_.drawn = false;
        if (!pending_.commands.empty() || !pending_.events.empty() || !pending_.faults.empty() ||
            !pending_.said.empty())
            result_.frames.push_back(pending_);

        write_sound();
        result_.warnings.insert(result_.warnings.begin(), renderer_.problems().begin(), renderer_.problems().end());
        const std::string module_name = fs::path(module_.path()).filename().string();
        if (!write_text(folder_ / "report.html", report_html(result_, settings_, module_name, definition_),
                        &result_.error))
            return failed();
        events_.close();
        texts_.close();
        calls_.close();
        if (!events_ || !texts_ || !calls_) {
            result_.error = folder_.string() + ": cannot write the logs";
            return failed();
        }
        result_.status = result_.faults.empty() ? 0 : 1;
        if (host_.failed()) {
            result_.status = 3;
            result_.error = module_.path() + ": " + host_.failure();
        }
        return result_;
    }

private:
    void call(const HostCall& call) override { step_calls_.push_back({call, {}}); }
    void debug_output(const std::string& text) override {
        step_calls_.push_back({std::nullopt, text});
        pending_.said.push_back(text);
    }
    void event(const SentEvent& event) override {
        events_ << json_line({{"frame", pending_.number}, {"event", event.id}, {"value", event.value}}) << "\n";
        pending_.events.push_back(event);
        ++result_.events;
    }
    void fault(const std::string& what) override {
        pending_.faults.push_back(what);
        result_.faults.push_back("frame " + std::to_string(pending_.number) + ": " + what);
    }

    RunResult failed() {
        result_.status = 2;
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
        const MouseArea* area = host_.area_at(command.x, command.y, flags);
        std::string reached = "no area";
        if (area) reached = "area " + std::to_string(area - host_.mouse_areas());
        for (uint32_t i = 0; i < command.count; ++i) host_.pointer_event(command.x, command.y, flags);
        pending_.commands.push_back(command.text + " \xE2\x86\x92 " + reached);
    }

    bool frame() {
        const uint32_t number = pending_.number;
        host_.cycle();
        pending_.drawn = true;
        pending_.picture = frame_file(number);
        if (!write_png(renderer_.render(host_), (folder_ / pending_.picture).string(), &result_.error)) return false;
        size_t index = 0;
        for (StringElement* string : host_.strings()) {
            const std::string text = host_.text(string);
            texts_ << json_line({{"frame", number},
                                 {"element", ++index},
                                 {"text", utf8_from_cp1252(text)},
                                 {"fore_colour", colour_code(string->fore_colour)}})
                   << "\n";
            pending_.texts.push_back({index, text, string->fore_colour, string->back_colour});
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
        for (const auto& [logged, said] : step_calls_) {
            if (!logged) {
                calls_ << json_line({{"frame", pending_.number}, {"debug_output", utf8_from_cp1252(said)}}) << "\n";
                continue;
            }
            const HostCall& call = *logged;
            ordered_json arguments = ordered_json::array();
            for (const std::string& argument : describe_arguments(host_, call)) {
                // An address that names no record would differ from run to run.
                const bool address = argument.rfind("0x", 0) == 0;
                arguments.push_back(address ? "an address outside the gauge's records" : argument);
            }
            calls_ << json_line(
                          {{"frame", pending_.number}, {"service", service_name(call.slot)}, {"arguments", arguments}})
                   << "\n";
        }
        step_calls_.clear();
    }

    LoadedModule& module_;
    fs::path folder_;
    const RunSettings& settings_;
    Host host_;
    Renderer renderer_;
    RunResult result_;
    FrameLog pending_;
    std::ofstream events_, texts_, calls_;
    // The host calls of the step and what the module said between them, in order.
    std::vector<std::pair<std::optional<HostCall>, std::string>> step_calls_;
    size_t sounds_before_ = 0;
    std::string definition_;
};

}  // namespace

RunResult run_scenario(LoadedModule& module, const Scenario& scenario, const std::string& out_dir,
                       const RunSettings& settings) {
    Runner runner(module, out_dir, settings);
    return runner.run(scenario);
}

}  // namespace bench
