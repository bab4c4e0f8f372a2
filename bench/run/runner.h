// Running a scenario on a gauge or a panel and writing what it shows: one PNG per host cycle, the events sent,
// the texts after each cycle, the variables that changed, the host-service log, and a report that puts them side
// by side.
//
// Uses panels (and through them the host, the simulator and drawing) and the gauge description; the commands and
// the demo use it.
#pragma once

#include <string>
#include <vector>

#include "panel.h"
#include "scenario.h"

namespace bench {

// What happened before and during one frame; the last entry of a run may gather what came after its last frame.
struct FrameLog {
    struct Text {
        std::string gauge;  // the module as the panel names it; empty for a single gauge
        size_t element;     // string elements counted from 1 in tree order
        std::string text;
        uint32_t fore_colour;
        uint32_t back_colour;
    };
    struct Event {
        std::string gauge;
        SentEvent event;
    };
    struct Change {
        uint32_t variable;
        double value;
        std::string cause;  // "scenario", "event 65820", "clock"
    };
    uint32_t number = 0;                // the frame drawn, from 1
    bool drawn = false;                 // false for the entry after the last frame
    std::string picture;                // its file name
    std::vector<std::string> commands;  // scenario lines run since the frame before, with what they reached
    std::vector<Event> events;          // sent since the frame before, up to and during this cycle
    std::vector<Change> changes;        // variables that changed since the frame before
    std::vector<Text> texts;            // after the cycle
    std::vector<std::string> faults;
    std::vector<std::string> said;  // what the module said (a Windows module's debug output)
};

struct RunSettings {
    RenderOptions render;
    std::string scenario_name;  // as the user gave it, for the report
    std::string scenario_text;
};

struct RunResult {
    // 0 the run went through; 1 it ran but the host saw faults; 2 it could not run (the host refused the
    // gauge's records, the output folder cannot be written); 3 a module crashed, hung or called what the bench
    // does not provide.
    int status = 0;
    std::string error;       // for status 2 and 3: one line
    std::string gauge_name;  // a single gauge's name, or the panel's title
    std::vector<FrameLog> frames;
    std::vector<std::string> faults;
    std::vector<std::string> warnings;  // what the drawing could not show
    size_t events = 0;
    bool sound = false;
};

// Installs the panel's gauges (or the single gauge), runs the scenario and kills them, writing into `out_dir`:
// frame-NNNN.png, events.jsonl, text.jsonl, variables.jsonl, calls.jsonl, report.html and, where the bench serves
// DirectSound through its stand-in and a module played anything, sound.wav: the sounds in the order played.
// Frame pictures and the sound left there by an earlier run are removed first. The panel is used up.
RunResult run_scenario(Panel& panel, const Scenario& scenario, const std::string& out_dir, const RunSettings& settings);

// The report page for a finished run.
std::string report_html(const RunResult& result, const RunSettings& settings, const std::string& module_name,
                        const std::string& definition);

}  // namespace bench
