#include "panel.h"

#include <algorithm>
#include <filesystem>

#include "elements.h"

namespace bench {
namespace {

// Rounds a / b toward minus infinity.
int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool inside(const MouseArea& area, int32_t x, int32_t y) {
    const int64_t dx = int64_t{x} - area.x, dy = int64_t{y} - area.y;
    return dx >= 0 && dy >= 0 && dx < area.width && dy < area.height;
}

// The background's bitmap size: what the gauge covers on a panel.
bool background_size(const LoadedModule& module, int* width, int* height, std::string* error) {
    Bitmap bitmap;
    if (!module.bitmap(module.header()->elements[0]->resource_id, &bitmap, error)) return false;
    *width = bitmap.width;
    *height = bitmap.height;
    return true;
}

}  // namespace

PixelPoint PanelGauge::to_gauge(int32_t window_x, int32_t window_y) const {
    if (!scaled()) return {window_x - x, window_y - y};
    return {static_cast<int32_t>(floor_div(int64_t{window_x - x} * bitmap_width, width)),
            static_cast<int32_t>(floor_div(int64_t{window_y - y} * bitmap_height, height))};
}

void PanelGauge::to_window(int32_t gx, int32_t gy, int32_t gw, int32_t gh, int32_t out[4]) const {
    auto wx = [&](int64_t g) { return static_cast<int32_t>(x + floor_div(g * width, bitmap_width)); };
    auto wy = [&](int64_t g) { return static_cast<int32_t>(y + floor_div(g * height, bitmap_height)); };
    out[0] = wx(gx);
    out[1] = wy(gy);
    out[2] = wx(int64_t{gx} + gw) - out[0];
    out[3] = wy(int64_t{gy} + gh) - out[1];
}

// Hears one gauge's host and tells the panel's observers, naming the gauge.
class Panel::Tap : public HostObserver {
public:
    Tap(Panel& panel, PanelGauge& gauge) : panel_(panel), gauge_(gauge) {}
    void call(const HostCall& c) override {
        tell([&](PanelObserver& o) { o.call(gauge_, c); });
    }
    void event(const SentEvent& e) override {
        tell([&](PanelObserver& o) { o.event(gauge_, e); });
    }
    void fault(const std::string& f) override {
        tell([&](PanelObserver& o) { o.fault(gauge_, f); });
    }
    void text(const TextChange& t) override {
        tell([&](PanelObserver& o) { o.text(gauge_, t); });
    }
    void module_failed(const std::string& w) override {
        tell([&](PanelObserver& o) { o.module_failed(gauge_, w); });
    }
    void debug_output(const std::string& t) override {
        tell([&](PanelObserver& o) { o.debug_output(gauge_, t); });
    }

private:
    template <typename Notify>
    void tell(Notify&& notify) {
        for (PanelObserver* observer : panel_.observers_) notify(*observer);
    }
    Panel& panel_;
    PanelGauge& gauge_;
};

Panel::~Panel() {
    // Hosts first (module_deinit), then the modules they serve.
    for (PanelGauge& gauge : gauges_) {
        gauge.renderer.reset();
        gauge.host.reset();
    }
}

void Panel::attach(PanelGauge& gauge) {
    gauge.host = std::make_unique<Host>(*gauge.module, &variables_);
    taps_.push_back(std::make_unique<Tap>(*this, gauge));
    gauge.host->add_observer(taps_.back().get());
    if (link_) gauge.host->add_observer(link_.get());
}

std::unique_ptr<Panel> Panel::single(std::unique_ptr<LoadedModule> module, const SimulatorModel* model,
                                     RenderOptions options) {
    std::unique_ptr<Panel> panel(new Panel);
    panel->single_ = true;
    panel->title_ = std::filesystem::path(module->path()).filename().string();
    if (model) {
        panel->simulator_ = std::make_unique<Simulator>(*model, panel->variables_);
        panel->link_ = std::make_unique<SimulatorLink>(*panel->simulator_);
    }
    panel->gauges_.reserve(1);
    PanelGauge& gauge = panel->gauges_.emplace_back();
    gauge.name = std::filesystem::path(module->path()).stem().string();
    std::string ignored;
    background_size(*module, &gauge.bitmap_width, &gauge.bitmap_height, &ignored);
    gauge.width = gauge.bitmap_width;
    gauge.height = gauge.bitmap_height;
    gauge.module = std::move(module);
    gauge.renderer = std::make_unique<Renderer>(*gauge.module, options);
    panel->attach(gauge);
    return panel;
}

std::unique_ptr<Panel> Panel::open(const PanelConfig& config, const PanelWindowSection& window,
                                   const std::string& gauges_dir, const char* argv0, const SimulatorModel* model,
                                   std::string* error, bool* crashed) {
    std::unique_ptr<Panel> panel(new Panel);
    *crashed = false;
    panel->title_ = std::filesystem::path(config.path).filename().string() + " window " + std::to_string(window.number);
    if (model) {
        panel->simulator_ = std::make_unique<Simulator>(*model, panel->variables_);
        panel->link_ = std::make_unique<SimulatorLink>(*panel->simulator_);
    }
    panel->gauges_.reserve(window.gauges.size());  // the taps keep references to the gauges
    for (const PanelGaugeLine& line : window.gauges) {
        const std::string where = config.path + ":" + std::to_string(line.line) + ": ";
        const std::string path = find_panel_module(config, line.module, gauges_dir, argv0);
        if (path.empty()) {
            *error = where + "expected a module " + line.module + " (" + line.module +
                     ".gau, .dll or .so) beside the panel" + (gauges_dir.empty() ? "" : ", in " + gauges_dir) +
                     " or among the gauges built with the bench";
            return nullptr;
        }
        std::string load_error;
        auto module = LoadedModule::load(path, &load_error, crashed);
        if (!module) {
            *error = where + load_error;
            return nullptr;
        }
        if (line.gauge != module->header()->name) {
            *error = where + "expected the gauge of " + line.module + ", \"" + module->header()->name + "\", got \"" +
                     line.gauge + "\"";
            return nullptr;
        }
        PanelGauge& gauge = panel->gauges_.emplace_back();
        gauge.name = line.module;
        gauge.x = line.x;
        gauge.y = line.y;
        gauge.line = line.line;
        if (!background_size(*module, &gauge.bitmap_width, &gauge.bitmap_height, &load_error)) {
            *error = where + path + ": background: " + load_error;
            return nullptr;
        }
        // W alone keeps the gauge's aspect.
        gauge.width = line.width.value_or(gauge.bitmap_width);
        gauge.height = line.height.value_or(
            line.width
                ? std::max(1, static_cast<int>((int64_t{gauge.bitmap_height} * gauge.width + gauge.bitmap_width / 2) /
                                               gauge.bitmap_width))
                : gauge.bitmap_height);
        gauge.module = std::move(module);
        gauge.renderer = std::make_unique<Renderer>(*gauge.module, RenderOptions{.margin = false});
        panel->window_width_ = std::max(panel->window_width_, gauge.x + gauge.width);
        panel->window_height_ = std::max(panel->window_height_, gauge.y + gauge.height);
        panel->attach(gauge);
    }
    return panel;
}

PanelGauge* Panel::gauge(const std::string& name) {
    for (PanelGauge& gauge : gauges_)
        if (gauge.name == name) return &gauge;
    return nullptr;
}

void Panel::add_observer(PanelObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) observers_.push_back(observer);
}

void Panel::remove_observer(PanelObserver* observer) { std::erase(observers_, observer); }

bool Panel::install(std::string* error) {
    if (simulator_) simulator_->start();
    for (PanelGauge& gauge : gauges_) {
        if (!gauge.host->install_or_refuse(error)) return false;
        gauge.host->initialize();
        if (gauge.host->failed()) {
            *error = gauge.module->path() + ": " + gauge.host->failure();
            return false;
        }
    }
    return true;
}

void Panel::cycle() {
    ++cycles_;
    for (PanelGauge& gauge : gauges_) gauge.host->cycle();
    if (simulator_) simulator_->tick();
}

void Panel::kill() {
    for (PanelGauge& gauge : gauges_) gauge.host->kill();
}

void Panel::set_variable(uint32_t id, double value) {
    if (simulator_ && simulator_->set_clock_part(id, value)) return;
    variables_.set(id, value, {VariableCause::kScenario});
}

PointerRoute Panel::route(int32_t x, int32_t y, uint32_t flags) {
    PointerRoute out;
    if (single_) {
        out.gauge = &gauges_[0];
        out.point = {x, y};
        out.area = gauges_[0].host->area_at(x, y, flags);
        return out;
    }
    for (auto it = gauges_.rbegin(); it != gauges_.rend(); ++it) {
        const PixelPoint point = it->to_gauge(x, y);
        for (const MouseArea* area : it->host->child_areas())
            if (inside(*area, point.x, point.y)) {
                out.gauge = &*it;
                out.point = point;
                out.area = it->host->area_at(point.x, point.y, flags);
                return out;
            }
    }
    return out;
}

bool Panel::pointer_event(const PointerRoute& route, uint32_t flags, int32_t* result) {
    return route.gauge && route.gauge->host->pointer_event(route.point.x, route.point.y, flags, result);
}

Picture Panel::render() {
    if (single_) return gauges_[0].renderer->render(*gauges_[0].host);
    Picture window;
    window.width = window_width_;
    window.height = window_height_;
    window.pixels.assign(static_cast<size_t>(window.width) * window.height, Colour{0, 0, 0});
    for (PanelGauge& gauge : gauges_) {
        Picture drawn = gauge.renderer->render(*gauge.host);
        if (gauge.scaled()) drawn = scale_picture(drawn, gauge.width, gauge.height);
        // The gauge's picture starts at its background's corner; a negative window position cuts it.
        for (int y = 0; y < drawn.height; ++y) {
            const int wy = gauge.y + y;
            if (wy < 0 || wy >= window.height) continue;
            for (int x = 0; x < drawn.width; ++x) {
                const int wx = gauge.x + x;
                if (wx >= 0 && wx < window.width)
                    window.pixels[static_cast<size_t>(wy) * window.width + wx] = drawn.at(x, y);
            }
        }
    }
    return window;
}

std::vector<std::string> Panel::drawing_problems() const {
    std::vector<std::string> out;
    for (const PanelGauge& gauge : gauges_)
        for (const std::string& problem : gauge.renderer->problems())
            out.push_back(single_ ? problem : gauge.name + ": " + problem);
    return out;
}

const PanelGauge* Panel::failed_gauge() const {
    for (const PanelGauge& gauge : gauges_)
        if (gauge.host->failed()) return &gauge;
    return nullptr;
}

Picture scale_picture(const Picture& picture, int width, int height) {
    Picture out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * height);
    if (picture.width <= 0 || picture.height <= 0) return out;
    // Each output pixel's centre taken back into the source, sampled between its four nearest pixels; 16.16.
    auto source = [](int i, int from, int to) {
        return ((int64_t{2 * i + 1} * from * 65536) / to - 65536) / 2;  // (i + 0.5) * from / to - 0.5
    };
    for (int y = 0; y < height; ++y) {
        const int64_t sy =
            std::clamp<int64_t>(source(y, picture.height, height), 0, int64_t{picture.height - 1} * 65536);
        const int y0 = static_cast<int>(sy >> 16), y1 = std::min(y0 + 1, picture.height - 1);
        const int64_t fy = sy & 0xFFFF;
        for (int x = 0; x < width; ++x) {
            const int64_t sx =
                std::clamp<int64_t>(source(x, picture.width, width), 0, int64_t{picture.width - 1} * 65536);
            const int x0 = static_cast<int>(sx >> 16), x1 = std::min(x0 + 1, picture.width - 1);
            const int64_t fx = sx & 0xFFFF;
            const Colour a = picture.at(x0, y0), b = picture.at(x1, y0), c = picture.at(x0, y1), d = picture.at(x1, y1);
            auto mix = [&](uint8_t pa, uint8_t pb, uint8_t pc, uint8_t pd) {
                const int64_t top = pa * (65536 - fx) + pb * fx, bottom = pc * (65536 - fx) + pd * fx;
                return static_cast<uint8_t>((top * (65536 - fy) + bottom * fy + (int64_t{1} << 31)) >> 32);
            };
            out.pixels[static_cast<size_t>(y) * width + x] = {mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g),
                                                              mix(a.b, b.b, c.b, d.b)};
        }
    }
    return out;
}

}  // namespace bench
