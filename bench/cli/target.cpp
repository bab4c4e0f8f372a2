#include "target.h"

#include "commands.h"
#include "foreign_module.h"
#include "gauge_list.h"

namespace bench::cli {

void add_target_options(CLI::App* app, TargetOptions& options, bool pictures) {
    app->add_option("MODULE", options.module, module_help() + "; or a panel configuration (.cfg)")->required();
    app->add_option("--sim", options.sim,
                    "the simulator model (TOML) that carries out the events the gauges send; \"none\" records them "
                    "only (by default the bench's own model)")
        ->type_name("FILE|none");
    app->add_option("--window", options.window, "the panel's [WindowNN] to show (by default the first)")
        ->check(CLI::Range(0, 99))
        ->type_name("NN");
    app->add_option("--gauges", options.gauges_dir,
                    "a folder where the panel's modules are also looked for (after the panel's own)")
        ->type_name("DIR");
    if (pictures)
        app->add_flag("--clip", options.clip,
                      "pictures of the background's size only; by default they also show, dimmed, what lies beyond it");
}

bool load_model(const std::string& sim, std::unique_ptr<SimulatorModel>* model) {
    if (sim == "none") return true;
    if (sim.empty()) {
        *model = std::make_unique<SimulatorModel>(default_model());
        return true;
    }
    std::string error;
    std::optional<SimulatorModel> read = read_model(sim, &error);
    if (!read) {
        print_error(error);
        return false;
    }
    *model = std::make_unique<SimulatorModel>(std::move(*read));
    return true;
}

Target open_target(const TargetOptions& options, const char* argv0, int* status) {
    Target target;
    std::string error;
    *status = kBadInput;
    if (!load_model(options.sim, &target.model)) return {};
    bool crashed = false;
    if (is_panel_path(options.module)) {
        const std::optional<PanelConfig> config = read_panel(options.module, &error);
        const PanelWindowSection* window = config ? find_window(*config, options.window, &error) : nullptr;
        if (window) {
            // A Windows module on the panel takes the whole command to the 32-bit bench.
            std::vector<std::string> modules;
            for (const PanelGaugeLine& line : window->gauges)
                modules.push_back(find_panel_module(*config, line.module, options.gauges_dir, argv0));
            if (const auto handed = hand_to_32_bit_bench(modules)) {
                *status = *handed;
                return {};
            }
            target.panel =
                Panel::open(*config, *window, options.gauges_dir, argv0, target.model.get(), &error, &crashed);
        }
    } else {
        const std::string path = resolve_module(options.module, argv0);
        if (const auto handed = hand_to_32_bit_bench({path})) {
            *status = *handed;
            return {};
        }
        auto module = LoadedModule::load(path, &error, &crashed);
        if (module) target.panel = Panel::single(std::move(module), target.model.get(), {.margin = !options.clip});
    }
    if (!target.panel) {
        print_error(error);
        if (crashed) *status = kModuleCrashed;
        return {};
    }
    *status = kSuccess;
    return target;
}

}  // namespace bench::cli
