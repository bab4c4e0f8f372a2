// Gauges on a panel, as the host shows them: each module served by a host of its own, all of them reading one
// store of host variables that one simulator moves, drawn together in one window and worked by pointer events in
// the window's pixels. A single gauge is a panel of one, drawn and worked in its own pixels.
//
// Uses loading, the host, the simulator and drawing; runs, the live page and the commands use it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host.h"
#include "panel_config.h"
#include "renderer.h"
#include "simulator.h"

namespace bench {

struct PanelGauge {
    std::string name;                         // the module as the panel names it: "zorlet"
    int x = 0, y = 0;                         // where the gauge's top-left corner lies in the window
    int width = 0, height = 0;                // its size there
    int bitmap_width = 0, bitmap_height = 0;  // its background's own size
    int line = 0;                             // its line in the panel file
    std::unique_ptr<LoadedModule> module;
    std::unique_ptr<Host> host;
    std::unique_ptr<Renderer> renderer;

    bool scaled() const { return width != bitmap_width || height != bitmap_height; }
    // The gauge pixel under a window pixel, rounded down, so that a scaled gauge answers as its own bitmap would.
    PixelPoint to_gauge(int32_t window_x, int32_t window_y) const;
    // The window box that a box of gauge pixels covers, for showing mouse areas on the window.
    void to_window(int32_t gx, int32_t gy, int32_t gw, int32_t gh, int32_t out[4]) const;
};

// What a panel's hosts report, with the gauge that made it.
class PanelObserver {
public:
    virtual ~PanelObserver() = default;
    virtual void call(const PanelGauge&, const HostCall&) {}
    virtual void event(const PanelGauge&, const SentEvent&) {}
    virtual void fault(const PanelGauge&, const std::string&) {}
    virtual void text(const PanelGauge&, const TextChange&) {}
    virtual void module_failed(const PanelGauge&, const std::string&) {}
    virtual void debug_output(const PanelGauge&, const std::string&) {}
};

// Where a pointer event went.
struct PointerRoute {
    PanelGauge* gauge = nullptr;  // null when no gauge has an area there
    PixelPoint point{};           // in the gauge's pixels
    const MouseArea* area = nullptr;
};

class Panel {
public:
    ~Panel();

    // One gauge on its own. `model` runs the simulator behind it; null for none (events only recorded).
    static std::unique_ptr<Panel> single(std::unique_ptr<LoadedModule> module, const SimulatorModel* model,
                                         RenderOptions options = {});
    // The window of a panel configuration: every gauge's module found (find_panel_module) and loaded. On a
    // fault returns null with `error` "FILE:LINE: ..."; `crashed` tells a module whose code failed as it loaded.
    static std::unique_ptr<Panel> open(const PanelConfig& config, const PanelWindowSection& window,
                                       const std::string& gauges_dir, const char* argv0, const SimulatorModel* model,
                                       std::string* error, bool* crashed);

    bool single_gauge() const { return single_; }
    // "zorlet.so", or "panel.cfg window 0"
    const std::string& title() const { return title_; }
    std::vector<PanelGauge>& gauges() { return gauges_; }
    const std::vector<PanelGauge>& gauges() const { return gauges_; }
    PanelGauge* gauge(const std::string& name);
    VariableStore& variables() { return variables_; }
    Simulator* simulator() { return simulator_.get(); }

    // Observers hear every gauge's host from the moment they are added; not owned.
    void add_observer(PanelObserver* observer);
    void remove_observer(PanelObserver* observer);

    // Starts the simulator, then installs and initialises every gauge in panel order. False with `error` when a
    // host refused a gauge's records or a module failed.
    bool install(std::string* error);
    // One host cycle of every gauge, in panel order, then the simulator's clock runs on.
    void cycle();
    void kill();
    uint64_t cycles() const { return cycles_; }

    // A scenario's (or the page's) word on a variable: not held in any range; a clock variable sets that part of
    // the time.
    void set_variable(uint32_t id, double value);

    // The gauge a pointer event at window pixel (x, y) goes to: from the last gauge listed to the first, the first
    // with a child mouse area under the point. A single gauge takes every event, in its own pixels.
    PointerRoute route(int32_t x, int32_t y, uint32_t flags);
    // Sends the event there; true when a handler ran.
    bool pointer_event(const PointerRoute& route, uint32_t flags, int32_t* result = nullptr);

    // The picture the host would show now: a single gauge as its renderer draws it; a panel's window with each
    // gauge cut to its background, placed and scaled, from (0, 0) to the far corner of the last gauge.
    Picture render();
    // What could not be drawn, from every gauge.
    std::vector<std::string> drawing_problems() const;

    // The gauge whose module failed, if any.
    const PanelGauge* failed_gauge() const;

private:
    Panel() = default;
    void attach(PanelGauge& gauge);

    class Tap;
    bool single_ = false;
    std::string title_;
    VariableStore variables_;
    std::unique_ptr<Simulator> simulator_;
    std::unique_ptr<SimulatorLink> link_;
    std::vector<PanelGauge> gauges_;
    std::vector<std::unique_ptr<Tap>> taps_;
    std::vector<PanelObserver*> observers_;
    uint64_t cycles_ = 0;
    int window_width_ = 1, window_height_ = 1;
};

// Scales a picture to `width` x `height` by bilinear sampling in fixed point, the same pixels in every build.
Picture scale_picture(const Picture& picture, int width, int height);

}  // namespace bench
