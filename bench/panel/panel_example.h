// The simulator's panel configuration places a gauge by module file and gauge name:
//   gauge00=zorlet!Checklist, X, Y, W, H
// This writes an example that places built modules side by side, each at its background bitmap's size.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct PanelPlacement {
    std::string module_path;  // a built module; its file name without extension names it in the panel
    int x, y;
};

// The lines of a [Window00] section placing each module's gauge, or false with `error` naming the module that
// cannot be read.
bool panel_example(const std::vector<PanelPlacement>& placements, std::string* text, std::string* error);

// Places the modules left to right, 10 pixels apart, their tops at 0.
std::vector<PanelPlacement> side_by_side(const std::vector<std::string>& module_paths, std::string* error);

}  // namespace bench
