// The report page of a run: every frame beside what led to it, readable straight from the folder.
#include "format.h"
#include "runner.h"

namespace bench {
namespace {

const char* kStyle = R"css(
body { font-family: system-ui, sans-serif; margin: 1.5em; color: #222; background: #fafafa; }
h1 { font-size: 1.4em; margin-bottom: 0.2em; }
h1 small { font-weight: normal; color: #666; }
.status { font-weight: bold; }
.ok { color: #17702a; } .failed { color: #b00020; }
table { border-collapse: collapse; margin-top: 1em; }
th, td { border-top: 1px solid #ccc; padding: 0.4em 0.8em; vertical-align: top; text-align: left; }
th { background: #eee; position: sticky; top: 0; }
td.picture img { display: block; background: #000; }
ul { margin: 0; padding-left: 1.1em; }
code, pre, .text { font-family: "Liberation Mono", "Courier New", monospace; }
.text { white-space: pre; padding: 0 0.3em; }
.muted { color: #888; }
.fault { color: #b00020; }
details { margin: 0.6em 0; }
pre { background: #f0f0f0; padding: 0.6em; overflow-x: auto; }
)css";

std::string list(const std::vector<std::string>& items, const char* css_class = nullptr) {
    if (items.empty()) return "<span class=\"muted\">&mdash;</span>";
    std::string out = "<ul>";
    for (const std::string& item : items)
        out +=
            std::string("<li") + (css_class ? std::string(" class=\"") + css_class + "\"" : "") + ">" + item + "</li>";
    return out + "</ul>";
}

}  // namespace

std::string report_html(const RunResult& result, const RunSettings& settings, const std::string& module_name,
                        const std::string& definition) {
    uint32_t drawn = 0;
    for (const FrameLog& frame : result.frames) drawn += frame.drawn ? 1 : 0;
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                      html_text(result.gauge_name) + " &mdash; gaugebench</title>\n<style>" + kStyle +
                      "</style>\n</head>\n<body>\n";
    out += "<h1>" + html_text(result.gauge_name) + " <small>" + html_escape(module_name) + "</small></h1>\n";
    out += "<p>Scenario <code>" + html_escape(settings.scenario_name) + "</code>: " + std::to_string(drawn) +
           " frames, " + std::to_string(result.events) + " events sent. ";
    out += result.faults.empty()
               ? "<span class=\"status ok\">No host faults.</span>"
               : "<span class=\"status failed\">" + std::to_string(result.faults.size()) + " host faults.</span>";
    out += "</p>\n";
    if (result.status == 3)
        out += "<p class=\"status failed\">The module stopped the run: " + html_text(result.error) + "</p>\n";
    if (!result.faults.empty()) {
        std::vector<std::string> faults;
        for (const std::string& fault : result.faults) faults.push_back(html_text(fault));
        out += "<h2>Host faults</h2>\n" + list(faults, "fault") + "\n";
    }
    if (!result.warnings.empty()) {
        std::vector<std::string> warnings;
        for (const std::string& warning : result.warnings) warnings.push_back(html_text(warning));
        out += "<h2>Not drawn</h2>\n" + list(warnings) + "\n";
    }
    if (result.sound)
        out +=
            "<p>The clicks as played: <audio controls src=\"sound.wav\"></audio> <a "
            "href=\"sound.wav\">sound.wav</a></p>\n";
    if (settings.render.margin)
        out +=
            "<p class=\"muted\">Pictures show the gauge as the host draws it. Where elements reach beyond the "
            "background, the picture has a dimmed margin outside a dashed line: the host cuts that part away.</p>\n";
    out += "<details><summary>Scenario</summary>\n<pre>" + html_escape(settings.scenario_text) + "</pre>\n</details>\n";
    out += "<details><summary>Gauge definition</summary>\n<pre>" + html_text(definition) + "</pre>\n</details>\n";
    out +=
        "<p>Logs: <a href=\"events.jsonl\">events.jsonl</a>, <a href=\"text.jsonl\">text.jsonl</a>, "
        "<a href=\"calls.jsonl\">calls.jsonl</a></p>\n";

    out +=
        "<table>\n<tr><th>Frame</th><th>Picture</th><th>Scenario lines before it</th><th>Events sent, variables "
        "changed</th>"
        "<th>Texts after the cycle</th></tr>\n";
    for (const FrameLog& frame : result.frames) {
        std::vector<std::string> commands, events, texts;
        for (const std::string& command : frame.commands)
            commands.push_back("<code>" + html_escape(command) + "</code>");
        for (const FrameLog::Event& sent : frame.events)
            events.push_back((sent.gauge.empty() ? "" : html_escape(sent.gauge) + ": ") + "event " +
                             std::to_string(sent.event.id) + ", value " + std::to_string(sent.event.value));
        for (const FrameLog::Change& change : frame.changes)
            events.push_back("<span class=\"muted\">variable " + std::to_string(change.variable) + " = " +
                             shortest(change.value) + " (" + html_escape(change.cause) + ")</span>");
        for (const std::string& fault : frame.faults)
            events.push_back("<span class=\"fault\">" + html_text(fault) + "</span>");
        for (const std::string& said : frame.said)
            events.push_back("<span class=\"muted\">debug output:</span> <span class=\"text\">" + html_text(said) +
                             "</span>");
        for (const FrameLog::Text& text : frame.texts)
            texts.push_back((text.gauge.empty() ? "" : html_escape(text.gauge) + " ") + std::to_string(text.element) +
                            ": <span class=\"text\" style=\"color:" + css_colour(text.fore_colour) +
                            ";background:" + css_colour(text.back_colour) + "\">" + html_text(text.text) +
                            "</span> <span class=\"muted\">" + colour_code(text.fore_colour) + "</span>");
        const std::string id = frame.drawn ? std::to_string(frame.number) : "end";
        out += "<tr id=\"frame-" + id + "\"><td>" +
               (frame.drawn ? std::to_string(frame.number) : "after the last frame") + "</td><td class=\"picture\">" +
               (frame.drawn ? "<img src=\"" + frame.picture + "\" alt=\"frame " + id + "\">" : std::string()) +
               "</td><td>" + list(commands) + "</td><td>" + list(events) + "</td><td>" +
               (texts.empty() ? std::string("<span class=\"muted\">&mdash;</span>") : list(texts)) + "</td></tr>\n";
    }
    out += "</table>\n</body>\n</html>\n";
    return out;
}

}  // namespace bench
