#include "demo.h"

#include <filesystem>
#include <fstream>

#include "format.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

std::string index_html(const std::vector<DemoEntry>& entries) {
    std::string out = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>gaugebench demo</title>
<style>
body { font-family: system-ui, sans-serif; margin: 1.5em; color: #222; background: #fafafa; max-width: 70em; }
.gauge { display: flex; gap: 1.5em; align-items: flex-start; border-top: 1px solid #ccc; padding: 1em 0; }
.gauge img { background: #000; max-width: 420px; }
.ok { color: #17702a; } .failed { color: #b00020; } .muted { color: #888; }
h2 { margin: 0 0 0.3em 0; font-size: 1.2em; }
</style>
</head>
<body>
<h1>Four gauges through a short flight</h1>
<p>The bench stands in for the simulator's panel host: it loads each gauge module, serves its host calls,
sets the simulator's variables as a scenario says, sends it mouse events and draws every host cycle from the
gauge's own records and bitmaps. Each report shows every frame beside the events the gauge sent and the texts
it wrote.</p>
)";
    for (const DemoEntry& entry : entries) {
        out += "<div class=\"gauge\">\n";
        if (!entry.built) {
            out += "<div><h2>" + html_escape(entry.module) + "</h2><p class=\"failed\">Not built: no module at <code>" +
                   html_escape(fs::path(entry.module_path).filename().string()) + "</code>.</p></div>\n</div>\n";
            continue;
        }
        const RunResult& r = entry.result;
        std::string last;
        uint32_t frames = 0;
        for (const FrameLog& frame : r.frames)
            if (frame.drawn) last = frame.picture, ++frames;
        if (!last.empty())
            out += "<a href=\"" + entry.module + "/report.html\"><img src=\"" + entry.module + "/" + last +
                   "\" alt=\"the last frame of " + html_escape(entry.module) + "\"></a>\n";
        out += "<div><h2><a href=\"" + entry.module + "/report.html\">" + html_escape(entry.module) +
               "</a>: " + html_text(r.gauge_name) + "</h2>\n<p>" + html_escape(entry.description) + "</p>\n<p>" +
               std::to_string(frames) + " frames, " + std::to_string(r.events) + " events sent" +
               (r.sound ? ", <a href=\"" + entry.module + "/sound.wav\">the clicks as played</a>" : std::string()) +
               ". ";
        if (r.status == 0)
            out += "<span class=\"ok\">No host faults.</span>";
        else if (r.status == 1)
            out += "<span class=\"failed\">" + std::to_string(r.faults.size()) + " host faults.</span>";
        else
            out += "<span class=\"failed\">Did not run: " + html_text(r.error) + "</span>";
        out += "</p>\n<p class=\"muted\">Scenario: <a href=\"" + entry.module + "/scenario.txt\">" + entry.module +
               "/scenario.txt</a></p></div>\n</div>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace

std::string scenario_description(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] != '#') break;
        line.erase(0, line.find_first_not_of("# "));
        if (line.empty()) break;
        out += (out.empty() ? "" : " ") + line;
    }
    return out;
}

int run_demo(const std::string& out_dir, const std::function<std::string(const std::string&)>& resolve,
             const RunSettings& base, std::vector<DemoEntry>* entries, std::string* error) {
    std::error_code failure;
    fs::create_directories(out_dir, failure);
    if (failure || !fs::is_directory(out_dir)) {
        *error = out_dir + ": cannot make the output folder";
        return 2;
    }
    int status = 0;
    for (const BuiltinScenario& builtin : builtin_scenarios()) {
        DemoEntry entry;
        entry.module = builtin.module;
        entry.module_path = resolve(builtin.module);
        entry.description = scenario_description(builtin.text);
        std::string load_error;
        std::unique_ptr<LoadedModule> module;
        if (fs::exists(entry.module_path)) {
            entry.built = true;
            module = LoadedModule::load(entry.module_path, &load_error);
        }
        if (!entry.built) {
            status = std::max(status, 1);
        } else if (!module) {
            entry.result.status = 2;
            entry.result.error = load_error;
            status = std::max(status, 1);
        } else {
            std::string parse_error;
            const std::optional<Scenario> scenario = parse_scenario(builtin.text, builtin.file, &parse_error);
            const fs::path folder = fs::path(out_dir) / builtin.module;
            RunSettings settings = base;
            settings.scenario_name = builtin.file;
            settings.scenario_text = builtin.text;
            if (!scenario) {
                entry.result.status = 2;
                entry.result.error = parse_error;
            } else {
                entry.result = run_scenario(*module, *scenario, folder.string(), settings);
                std::ofstream copy(folder / "scenario.txt", std::ios::binary);
                copy << builtin.text;
            }
            if (entry.result.status != 0) status = std::max(status, entry.result.status == 3 ? 3 : 1);
        }
        entries->push_back(std::move(entry));
    }
    std::ofstream index(fs::path(out_dir) / "index.html", std::ios::binary);
    index << index_html(*entries);
    if (!index.flush()) {
        *error = (fs::path(out_dir) / "index.html").string() + ": cannot write";
        return 2;
    }
    return status;
}

}  // namespace bench
