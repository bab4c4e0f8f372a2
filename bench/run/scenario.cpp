#include "scenario.h"

#include <charconv>
#include <cmath>

#include "records.h"

namespace bench {
namespace {

std::string_view trim(std::string_view s) {
    const size_t begin = s.find_first_not_of(" \t\r\f\v");
    if (begin == std::string_view::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t\r\f\v") - begin + 1);
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t begin = s.find_first_not_of(" \t\r\f\v", i);
        if (begin == std::string_view::npos) break;
        size_t end = s.find_first_of(" \t\r\f\v", begin);
        if (end == std::string_view::npos) end = s.size();
        out.push_back(s.substr(begin, end - begin));
        i = end;
    }
    return out;
}

template <typename Integer>
bool whole(std::string_view word, Integer* out, int base = 10) {
    const char* end = word.data() + word.size();
    const auto [stop, failure] = std::from_chars(word.data(), end, *out, base);
    return failure == std::errc() && stop == end;
}

bool variable_number(std::string_view word, uint32_t* out) {
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) return whole(word.substr(2), out, 16);
    return whole(word, out);
}

bool number(std::string_view word, double* out) {
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    const char* end = word.data() + word.size();
    const auto [stop, failure] = std::from_chars(word.data(), end, *out);
    return failure == std::errc() && stop == end && std::isfinite(*out);
}

}  // namespace

uint32_t event_flags(CommandKind kind) {
    switch (kind) {
        case CommandKind::kClick: return kMouseClick;
        case CommandKind::kRepeat: return kMouseRepeat;
        case CommandKind::kDrag: return kMouseDrag;
        default: return 0;
    }
}

std::optional<Scenario> parse_scenario(std::string_view text, std::string_view name, std::string* error) {
    Scenario scenario;
    int line_number = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++line_number;
        if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        line = trim(line);
        if (line.empty()) {
            if (end == text.size()) break;
            continue;
        }

        const std::vector<std::string_view> w = words(line);
        auto fail = [&](std::string_view expected, std::string_view why = {}) {
            *error = std::string(name) + ":" + std::to_string(line_number) + ": expected " + std::string(expected) +
                     ", got \"" + std::string(line) + "\"";
            if (!why.empty()) *error += ": " + std::string(why);
            return std::nullopt;
        };
        Command command;
        command.line = line_number;
        command.text = std::string(line);
        const std::string_view verb = w[0];
        if (verb == "set") {
            command.kind = CommandKind::kSet;
            constexpr std::string_view usage = "\"set VAR VALUE\"";
            if (w.size() != 3) return fail(usage);
            if (!variable_number(w[1], &command.variable))
                return fail(usage, "VAR must be a variable number, a whole number from 0 to 4294967295");
            if (!number(w[2], &command.value)) return fail(usage, "VALUE must be a finite number");
        } else if (verb == "click" || verb == "drag" || verb == "repeat") {
            command.kind = verb == "click"  ? CommandKind::kClick
                           : verb == "drag" ? CommandKind::kDrag
                                            : CommandKind::kRepeat;
            const bool repeat = command.kind == CommandKind::kRepeat;
            std::string usage(1, '"');
            usage.append(verb).append(repeat ? " X Y N\"" : " X Y\"");
            if (w.size() != (repeat ? 4u : 3u)) return fail(usage);
            if (!whole(w[1], &command.x) || !whole(w[2], &command.y))
                return fail(usage, "X and Y must be whole numbers of gauge pixels");
            if (repeat && (!whole(w[3], &command.count) || command.count == 0 || command.count > limits::kRepeatEvents))
                return fail(usage, "N must be a whole number from 1 to " + std::to_string(limits::kRepeatEvents));
        } else if (verb == "frame") {
            command.kind = CommandKind::kFrame;
            constexpr std::string_view usage = "\"frame\" or \"frame N\"";
            if (w.size() > 2) return fail(usage);
            if (w.size() == 2 &&
                (!whole(w[1], &command.count) || command.count == 0 || command.count > limits::kScenarioFrames))
                return fail(usage, "N must be a whole number from 1 to " + std::to_string(limits::kScenarioFrames));
            if (command.count > limits::kScenarioFrames - scenario.frames)
                return fail(usage,
                            "the scenario would run more than " + std::to_string(limits::kScenarioFrames) + " frames");
            scenario.frames += command.count;
        } else {
            return fail("one of set, click, repeat, drag, frame");
        }
        scenario.commands.push_back(std::move(command));
        if (end == text.size()) break;
    }
    return scenario;
}

}  // namespace bench
