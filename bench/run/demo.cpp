#include "demo.h"

#include <filesystem>
#include <fstream>

#include "format.h"
#include "gauge_list.h"

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
<h1>The gauges through a short flight</h1>
<p>The bench stands in for the simulator's panel host: it loads each gauge module, serves its host calls,
sends it mouse events and draws every host cycle from the gauge's own records and bitmaps. Behind it a simulator
carries out the events the gauges send: a drag on the quadrant's levers moves the throttles, which the checklist
reads. First the four gauges on one panel, then each through a flight of its own. Each report shows every frame
beside the events sent, the variables that changed and the texts written.</p>
)";
    for (const DemoEntry& entry : entries) {
        out += "<div class=\"gauge\">\n";
        if (!entry.built) {
            out += "<div><h2>" + html_escape(entry.name) + "</h2><p class=\"failed\">Not built: no module at <code>" +
                   html_escape(fs::path(entry.module_path).filename().string()) + "</code>.</p></div>\n</div>\n";
            continue;
        }
        const RunResult& r = entry.result;
        std::string last;
        uint32_t frames = 0;
        for (const FrameLog& frame : r.frames)
            if (frame.drawn) last = frame.picture, ++frames;
        if (!last.empty())
            out += "<a href=\"" + entry.name + "/report.html\"><img src=\"" + entry.name + "/" + last +
                   "\" alt=\"the last frame of " + html_escape(entry.name) + "\"></a>\n";
        out += "<div><h2><a href=\"" + entry.name + "/report.html\">" + html_escape(entry.name) +
               "</a>: " + html_text(r.gauge_name) + "</h2>\n<p>" + html_escape(entry.description) + "</p>\n<p>" +
               std::to_string(frames) + " frames, " + std::to_string(r.events) + " events sent" +
               (r.sound ? ", <a href=\"" + entry.name + "/sound.wav\">the clicks as played</a>" : std::string()) + ". ";
        if (r.status == 0)
            out += "<span class=\"ok\">No host faults.</span>";
        else if (r.status == 1)
            out += "<span class=\"failed\">" + std::to_string(r.faults.size()) + " host faults.</span>";
        else
            out += "<span class=\"failed\">Did not run: " + html_text(r.error) + "</span>";
        out += "</p>\n<p class=\"muted\">Scenario: <a href=\"" + entry.name + "/scenario.txt\">" + entry.name +
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

namespace {

bool write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

DemoEntry run_flight(const std::string& name, std::unique_ptr<Panel> panel, const std::string& error_so_far,
                     const std::string& scenario_file, const std::string& text, const fs::path& folder,
                     const RunSettings& base) {
    DemoEntry entry;
    entry.name = name;
    entry.description = scenario_description(text);
    entry.built = true;
    if (!panel) {
        entry.result.status = 2;
        entry.result.error = error_so_far;
        return entry;
    }
    std::string parse_error;
    const std::optional<Scenario> scenario = parse_scenario(text, scenario_file, &parse_error);
    if (!scenario) {
        entry.result.status = 2;
        entry.result.error = parse_error;
        return entry;
    }
    RunSettings settings = base;
    settings.scenario_name = scenario_file;
    settings.scenario_text = text;
    entry.result = run_scenario(*panel, *scenario, folder.string(), settings);
    write_file(folder / "scenario.txt", text);
    return entry;
}

}  // namespace

int run_demo(const std::string& out_dir, const std::function<std::string(const std::string&)>& resolve,
             const std::string& gauges_dir, const char* argv0, const SimulatorModel* model, const RunSettings& base,
             std::vector<DemoEntry>* entries, std::string* error) {
    std::error_code failure;
    fs::create_directories(fs::path(out_dir) / "panel", failure);
    if (failure || !fs::is_directory(out_dir)) {
        *error = out_dir + ": cannot make the output folder";
        return 2;
    }
    int status = 0;
    auto note = [&](const DemoEntry& entry) {
        if (!entry.built || entry.result.status != 0) status = std::max(status, entry.result.status == 3 ? 3 : 1);
        entries->push_back(entry);
    };

    // The panel: its configuration is written beside the report, and its gauges are the bench's own.
    const fs::path panel_folder = fs::path(out_dir) / "panel";
    const std::string panel_path = (panel_folder / "panel.cfg").string();
    write_file(panel_path, kBuiltinPanel);
    std::string panel_error;
    std::unique_ptr<Panel> panel;
    bool crashed = false;
    if (const std::optional<PanelConfig> config = read_panel(panel_path, &panel_error))
        if (const PanelWindowSection* window = find_window(*config, -1, &panel_error))
            panel = Panel::open(*config, *window, gauges_dir, argv0, model, &panel_error, &crashed);
    RunSettings panel_settings = base;
    panel_settings.render.margin = false;  // a window shows what the host shows
    note(run_flight("panel", std::move(panel), panel_error, "panel.txt", kBuiltinPanelFlight, panel_folder,
                    panel_settings));

    for (const BuiltinScenario& builtin : builtin_scenarios()) {
        const std::string path = resolve(builtin.module);
        if (!fs::exists(path)) {
            DemoEntry missing;
            missing.name = builtin.module;
            missing.module_path = path;
            note(missing);
            continue;
        }
        std::string load_error;
        std::unique_ptr<LoadedModule> module = LoadedModule::load(path, &load_error, &crashed);
        std::unique_ptr<Panel> single;
        if (module) single = Panel::single(std::move(module), model, base.render);
        DemoEntry entry = run_flight(builtin.module, std::move(single), load_error, builtin.file, builtin.text,
                                     fs::path(out_dir) / builtin.module, base);
        entry.module_path = path;
        note(entry);
    }
    if (!write_file(fs::path(out_dir) / "index.html", index_html(*entries))) {
        *error = (fs::path(out_dir) / "index.html").string() + ": cannot write";
        return 2;
    }
    return status;
}

}  // namespace bench
