#include "panel_example.h"

#include <cstdio>
#include <filesystem>

#include "module.h"

namespace bench {
namespace {

bool background_size(const std::string& path, std::string* gauge_name, PixelSize* size, std::string* error) {
    auto module = LoadedModule::load(path, error);
    if (!module) return false;
    Bitmap bitmap;
    const ElementHeader* background = module->header()->elements[0];
    if (!module->bitmap(background->resource_id, &bitmap, error)) {
        *error = path + ": background: " + *error;
        return false;
    }
    *gauge_name = module->header()->name;
    *size = {bitmap.width, bitmap.height};
    return true;
}

}  // namespace

bool panel_example(const std::vector<PanelPlacement>& placements, std::string* text, std::string* error) {
    std::string out =
        "// Example panel configuration: add the gauge lines to a window section of the aircraft's panel.cfg.\n"
        "[Window Titles]\n"
        "Window00=Tolvar-Ardent gauges\n"
        "\n"
        "[Window00]\n";
    int right = 0, bottom = 0;
    std::string lines;
    for (size_t i = 0; i < placements.size(); ++i) {
        const PanelPlacement& p = placements[i];
        std::string name;
        PixelSize size;
        if (!background_size(p.module_path, &name, &size, error)) return false;
        char line[512];
        std::snprintf(line, sizeof line, "gauge%02zu=%s!%s, %d, %d, %d, %d\n", i,
                      std::filesystem::path(p.module_path).stem().string().c_str(), name.c_str(), p.x, p.y, size.width,
                      size.height);
        lines += line;
        right = std::max(right, p.x + size.width);
        bottom = std::max(bottom, p.y + size.height);
    }
    out += "size_mm=" + std::to_string(right) + "," + std::to_string(bottom) + "\n";
    out += "position=7\nvisible=1\n\n" + lines;
    *text = out;
    return true;
}

std::vector<PanelPlacement> side_by_side(const std::vector<std::string>& module_paths, std::string* error) {
    std::vector<PanelPlacement> placements;
    int x = 0;
    for (const std::string& path : module_paths) {
        std::string name;
        PixelSize size;
        if (!background_size(path, &name, &size, error)) return {};
        placements.push_back({path, x, 0});
        x += size.width + 10;
    }
    return placements;
}

}  // namespace bench
