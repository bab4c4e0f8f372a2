#include "panel_config.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "gauge_list.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

std::string_view trim(std::string_view s) {
    const size_t begin = s.find_first_not_of(" \t\r\f\v");
    if (begin == std::string_view::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t\r\f\v") - begin + 1);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool whole(std::string_view word, int* out) {
    word = trim(word);
    const auto [end, failure] = std::from_chars(word.data(), word.data() + word.size(), *out);
    return failure == std::errc() && end == word.data() + word.size();
}

// "NN" after a prefix such as "window" or "gauge", case aside; -1 when it is not there.
int numbered(std::string_view word, std::string_view prefix) {
    const std::string low = lower(word);
    if (low.rfind(prefix, 0) != 0 || low.size() == prefix.size()) return -1;
    int number = -1;
    return whole(std::string_view(low).substr(prefix.size()), &number) && number >= 0 ? number : -1;
}

}  // namespace

bool is_panel_path(const std::string& path) { return lower(fs::path(path).extension().string()) == ".cfg"; }

std::optional<PanelConfig> parse_panel(std::string_view text, const std::string& name, std::string* error) {
    PanelConfig config;
    config.path = name;
    PanelWindowSection* window = nullptr;  // the section the lines belong to, when it is a window
    std::map<int, std::string> titles;
    bool in_titles = false;
    int line_number = 0;
    std::map<std::string, int> keys_seen, modules_seen;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++line_number;
        const std::string written(trim(line));
        if (const size_t comment = line.find("//"); comment != std::string_view::npos) line = line.substr(0, comment);
        line = trim(line);
        auto fail = [&](const std::string& expected, const std::string& why = "") {
            *error = name + ":" + std::to_string(line_number) + ": expected " + expected + ", got \"" + written + "\"";
            if (!why.empty()) *error += ": " + why;
            return std::nullopt;
        };
        if (!line.empty()) {
            if (line.front() == '[') {
                if (line.back() != ']') return fail("a section \"[NAME]\"");
                const std::string_view section = trim(line.substr(1, line.size() - 2));
                in_titles = lower(section) == "window titles";
                const int number = numbered(section, "window");
                window = nullptr;
                if (number >= 0) {
                    for (const PanelWindowSection& other : config.windows)
                        if (other.number == number)
                            return fail("each window once",
                                        "[" + std::string(section) + "] is also on line " + std::to_string(other.line));
                    config.windows.push_back({number, "", line_number, {}});
                    window = &config.windows.back();
                    keys_seen.clear();
                    modules_seen.clear();
                }
            } else {
                const size_t equals = line.find('=');
                if (equals == std::string_view::npos) return fail("\"KEY=VALUE\" or a section \"[NAME]\"");
                const std::string_view key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
                if (in_titles && numbered(key, "window") >= 0) titles[numbered(key, "window")] = std::string(value);
                if (window && numbered(key, "gauge") >= 0) {
                    constexpr const char* usage = "\"gaugeNN=MODULE!GAUGE, X, Y[, W[, H]]\"";
                    const std::string key_name = lower(key);
                    if (auto seen = keys_seen.find(key_name); seen != keys_seen.end())
                        return fail("each gaugeNN once in a window",
                                    std::string(key) + " is also on line " + std::to_string(seen->second));
                    std::vector<std::string_view> fields;
                    for (size_t from = 0;;) {
                        const size_t comma = value.find(',', from);
                        fields.push_back(trim(value.substr(from, comma - from)));
                        if (comma == std::string_view::npos) break;
                        from = comma + 1;
                    }
                    if (fields.size() < 3 || fields.size() > 5) return fail(usage);
                    const size_t bang = fields[0].find('!');
                    if (bang == std::string_view::npos || bang == 0 || bang + 1 == fields[0].size())
                        return fail(usage, "MODULE!GAUGE names the module and its gauge");
                    PanelGaugeLine gauge;
                    gauge.key = std::string(key);
                    gauge.module = std::string(trim(fields[0].substr(0, bang)));
                    gauge.gauge = std::string(trim(fields[0].substr(bang + 1)));
                    gauge.line = line_number;
                    if (!whole(fields[1], &gauge.x) || !whole(fields[2], &gauge.y))
                        return fail(usage, "X and Y must be whole numbers of window pixels");
                    for (size_t i = 3; i < fields.size(); ++i) {
                        int size = 0;
                        if (!whole(fields[i], &size) || size <= 0)
                            return fail(usage, "W and H must be whole numbers of pixels, above 0");
                        (i == 3 ? gauge.width : gauge.height) = size;
                    }
                    const std::string module_name = lower(gauge.module);
                    if (auto seen = modules_seen.find(module_name); seen != modules_seen.end())
                        return fail("each module once in a window",
                                    gauge.module + " is also on line " + std::to_string(seen->second) +
                                        "; its records are static data, so one module shows one gauge at a time");
                    keys_seen[key_name] = line_number;
                    modules_seen[module_name] = line_number;
                    window->gauges.push_back(std::move(gauge));
                }
            }
        }
        if (end == text.size()) break;
    }
    for (PanelWindowSection& w : config.windows)
        if (auto title = titles.find(w.number); title != titles.end()) w.title = title->second;
    if (config.windows.empty()) {
        *error = name + ": expected a [WindowNN] section with gaugeNN lines, found none";
        return std::nullopt;
    }
    return config;
}

std::optional<PanelConfig> read_panel(const std::string& path, std::string* error) {
    std::error_code ignored;
    std::ifstream in(path, std::ios::binary);
    if (!in || !fs::is_regular_file(path, ignored)) {
        *error = path + ": cannot read the panel configuration";
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse_panel(text, path, error);
}

const PanelWindowSection* find_window(const PanelConfig& config, int number, std::string* error) {
    for (const PanelWindowSection& window : config.windows)
        if (number < 0 || window.number == number) {
            if (window.gauges.empty()) {
                *error = config.path + ":" + std::to_string(window.line) + ": expected gaugeNN lines in [Window" +
                         (window.number < 10 ? "0" : "") + std::to_string(window.number) + "], found none";
                return nullptr;
            }
            return &window;
        }
    std::string have;
    for (const PanelWindowSection& window : config.windows)
        have += (have.empty() ? "" : ", ") + std::to_string(window.number);
    *error = config.path + ": expected a window " + std::to_string(number) + ", the panel has " + have;
    return nullptr;
}

std::string find_panel_module(const PanelConfig& config, const std::string& module, const std::string& gauges_dir,
                              const char* argv0) {
    std::error_code ignored;
    const fs::path beside = fs::path(config.path).parent_path();
    std::vector<fs::path> folders = {beside.empty() ? fs::path(".") : beside};
    if (!gauges_dir.empty()) folders.push_back(gauges_dir);
    for (const fs::path& folder : folders)
        for (const char* extension : {".gau", ".dll", ".so"}) {
            const fs::path candidate = folder / (module + extension);
            if (fs::is_regular_file(candidate, ignored)) return candidate.string();
        }
    const std::vector<std::string>& built = built_gauges();
    if (std::find(built.begin(), built.end(), module) != built.end()) {
        const std::string path = resolve_module(module, argv0);
        if (fs::is_regular_file(path, ignored)) return path;
    }
    return "";
}

}  // namespace bench
