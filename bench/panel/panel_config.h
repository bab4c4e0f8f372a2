// The host's panel configuration: [WindowNN] sections whose gaugeNN lines place a module's gauge on the window,
//   gauge00=zorlet!Checklist, X, Y[, W[, H]]
// `//` starts a comment; other sections and keys are kept out of the way and ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct PanelGaugeLine {
    std::string key;     // "gauge00", as written
    std::string module;  // the module's file name without extension
    std::string gauge;   // the gauge's name in the module
    int x = 0, y = 0;
    std::optional<int> width, height;  // width alone keeps the gauge's aspect
    int line = 0;
};

struct PanelWindowSection {
    int number = 0;  // NN of [WindowNN]
    std::string title;
    int line = 0;
    std::vector<PanelGaugeLine> gauges;
};

struct PanelConfig {
    std::string path;
    std::vector<PanelWindowSection> windows;  // in file order
};

// Whether a command's MODULE argument names a panel configuration rather than a module: a .cfg file.
bool is_panel_path(const std::string& path);

// Parses a panel configuration. On the first fault returns nothing, with `error` "NAME:LINE: expected ..., got ...".
std::optional<PanelConfig> parse_panel(std::string_view text, const std::string& name, std::string* error);
std::optional<PanelConfig> read_panel(const std::string& path, std::string* error);

// The window to show: [WindowNN] for `number`, or the first one when `number` is negative.
const PanelWindowSection* find_window(const PanelConfig& config, int number, std::string* error);

// Where a panel's MODULE is: MODULE.gau, .dll or .so beside the panel file, then in `gauges_dir`, then among the
// gauges built with the bench (their Linux twins, found through `argv0`). Empty when nowhere.
std::string find_panel_module(const PanelConfig& config, const std::string& module, const std::string& gauges_dir,
                              const char* argv0);

}  // namespace bench
