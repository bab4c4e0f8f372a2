#include "server.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "format.h"
#include "page_assets.h"

namespace bench::serve {

namespace {

using nlohmann::json;

constexpr int32_t kFrameRequestLimit = 100000;

void send_error(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(json{{"error", message}}.dump(), "application/json");
}

void send_json(httplib::Response& res, const json& body) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(body.dump(), "application/json");
}

// The body as a JSON object, or false with a message for the 400.
bool parse_body(const httplib::Request& req, json* body, std::string* error) {
    *body = json::parse(req.body, nullptr, false);
    if (body->is_discarded() || !body->is_object()) {
        *error = "the body is not a JSON object";
        return false;
    }
    return true;
}

// A whole number within [low, high] under `key`.
bool get_integer(const json& body, const char* key, int64_t low, int64_t high, int64_t* out, std::string* error) {
    auto found = body.find(key);
    if (found == body.end()) {
        *error = std::string("\"") + key + "\" is missing";
        return false;
    }
    bool fits = false;
    if (found->is_number_unsigned()) {
        const uint64_t value = found->get<uint64_t>();
        fits = value <= static_cast<uint64_t>(high);
        *out = fits ? static_cast<int64_t>(value) : 0;
    } else if (found->is_number_integer()) {
        *out = found->get<int64_t>();
        fits = *out >= low && *out <= high;
    } else {
        *error = std::string("\"") + key + "\" is not a whole number: " + found->dump();
        return false;
    }
    if (!fits || *out < low) {
        *error = std::string("\"") + key + "\" is " + found->dump() + ", outside " + std::to_string(low) + " to " +
                 std::to_string(high);
        return false;
    }
    return true;
}

json entry_json(const TimelineEntry& entry) {
    json out = {{"seq", entry.seq}, {"cycle", entry.cycle}, {"kind", entry.kind}};
    if (!entry.gauge.empty()) out["gauge"] = entry.gauge;
    if (entry.kind == "event") {
        out["id"] = entry.id;
        out["value"] = static_cast<int32_t>(entry.value);
    } else if (entry.kind == "variable") {
        out["id"] = entry.id;
        out["value"] = entry.value;
        out["previous"] = entry.previous;
        out["cause"] = entry.cause;
    } else if (entry.kind == "text") {
        out["line"] = entry.line;
        out["text"] = utf8_from_cp1252(entry.text);  // the module's code page
        out["colour"] = css_colour(entry.colour);
    } else if (entry.kind == "pointer") {
        out["x"] = entry.x;
        out["y"] = entry.y;
        out["action"] = entry.text;
        out["count"] = entry.count;
        out["handled"] = entry.handled;
        out["result"] = entry.result;
    } else if (entry.kind == "sound") {
        out["bytes"] = entry.count;
    } else {
        out["message"] = entry.text;
    }
    return out;
}

json variable_json(const VariableControl& control) {
    return {{"id", control.id},   {"value", control.value}, {"min", control.min},
            {"max", control.max}, {"step", control.step},   {"found_in", control.found_in}};
}

// The Host header of a request to this server: the loopback address or localhost, with or without the port.
// Anything else is a page elsewhere that had a name of its own resolve to 127.0.0.1.
bool host_header_ok(const std::string& host, int port) {
    const std::string suffix = ":" + std::to_string(port);
    for (const char* name : {"127.0.0.1", "localhost"})
        if (host == name || host == name + suffix) return true;
    return false;
}

// The Origin a browser sends from this server's own page: http, the loopback address or localhost, and the
// port, which an origin leaves out when it is http's own 80.
bool origin_ok(const std::string& origin, int port) {
    for (const char* name : {"127.0.0.1", "localhost"}) {
        const std::string own = std::string("http://") + name;
        if (origin == own + ":" + std::to_string(port) || (port == 80 && origin == own)) return true;
    }
    return false;
}

}  // namespace

struct PageServer::Impl {
    Session& session;
    ServerOptions options;
    httplib::Server server;
    int port = -1;
    std::thread listener;
    std::thread cycler;
    std::mutex loop_mutex;
    std::condition_variable loop_wake;
    bool stopping = false;
    std::atomic<bool> running{true};

    Impl(Session& s, ServerOptions o) : session(s), options(o) { routes(); }

    void routes();
    void cycle_loop();
};

void PageServer::Impl::routes() {
    // The library's default shares the port with any other listener (SO_REUSEPORT), so that a second bench
    // on the same port would split the page's requests between two gauges. Reusing the address alone lets a
    // restart bind at once and still refuses a port another server holds.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_payload_max_length(options.body_limit);
    server.set_tcp_nodelay(true);  // small replies many times a second: no waiting on Nagle
    server.set_keep_alive_timeout(1);
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (!host_header_ok(req.get_header_value("Host"), port)) {
            send_error(res, 403, "this server answers only requests addressed to 127.0.0.1 or localhost");
            return httplib::Server::HandlerResponse::Handled;
        }
        // A browser names the page a request comes from on every POST and on another site's fetches; only
        // this server's own page may work or read the gauge. Without an Origin (curl, the page's own GETs) the
        // request goes on.
        if (req.has_header("Origin") && !origin_ok(req.get_header_value("Origin"), port)) {
            send_error(res, 403, "this server answers only its own page, not one from another origin");
            return httplib::Server::HandlerResponse::Handled;
        }
        // A JSON body cannot be sent from another site's page without the browser asking first, and this
        // server never says yes: that keeps other pages from working the gauge.
        if (req.method == "POST" && req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
            send_error(res, 400, "a POST takes a JSON body, sent as Content-Type: application/json");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([this](const httplib::Request&, httplib::Response& res) {
            if (res.status == 413) {
                send_error(res, 400, "the body is over " + std::to_string(options.body_limit) + " bytes");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (res.body.empty()) {
                send_error(res, res.status, res.status == 404 ? "no such page" : "request refused");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        send_error(res, 500, "the bench failed on this request");
    });

    for (const PageAsset& asset : page_assets()) {
        server.Get(asset.path, [&asset](const httplib::Request&, httplib::Response& res) {
            res.set_header("Cache-Control", "no-store");
            res.set_content(std::string(asset.bytes, asset.size), asset.content_type);
        });
    }

    server.Get("/api/gauge", [this](const httplib::Request&, httplib::Response& res) {
        json areas = json::array();
        for (const AreaInfo& area : session.areas()) {
            json one = {{"x", area.x},
                        {"y", area.y},
                        {"width", area.width},
                        {"height", area.height},
                        {"event_flags", area.event_flags},
                        {"cursor", area.cursor}};
            if (!area.gauge.empty()) one["gauge"] = area.gauge;
            areas.push_back(one);
        }
        const Session::PictureFrame frame = session.picture_frame();
        json body = {{"name", utf8_from_cp1252(session.gauge_name())},
                     {"width", frame.width},
                     {"height", frame.height},
                     {"origin_x", frame.origin_x},
                     {"origin_y", frame.origin_y},
                     {"cycle_ms", options.cycle_period.count()},
                     {"flags", {{"click", kMouseClick}, {"repeat", kMouseRepeat}, {"drag", kMouseDrag}}},
                     {"areas", areas}};
        // A panel also lists its gauges, in window pixels.
        if (session.is_panel()) {
            json gauges = json::array();
            for (const GaugeInfo& gauge : session.gauges())
                gauges.push_back({{"name", gauge.name},
                                  {"gauge", utf8_from_cp1252(gauge.gauge_name)},
                                  {"x", gauge.x},
                                  {"y", gauge.y},
                                  {"width", gauge.width},
                                  {"height", gauge.height},
                                  {"scaled", gauge.scaled}});
            body["gauges"] = gauges;
        }
        send_json(res, body);
    });

    server.Get("/api/state", [this](const httplib::Request& req, httplib::Response& res) {
        uint64_t since = 0;
        if (req.has_param("since")) {
            const std::string text = req.get_param_value("since");
            char* end = nullptr;
            errno = 0;
            since = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-') {
                send_error(res, 400, "since is \"" + text + "\", not a sequence number");
                return;
            }
        }
        json timeline = json::array();
        uint64_t last = 0;
        for (const TimelineEntry& entry : session.timeline_since(since, &last)) timeline.push_back(entry_json(entry));
        json variables = json::array();
        for (const VariableControl& control : session.variables()) variables.push_back(variable_json(control));
        const SimulatorState simulator = session.simulator_state();
        json kept = json::array();
        for (const SimulatorState::Kept& k : simulator.kept)
            kept.push_back({{"event", k.event}, {"name", k.name}, {"value", k.value}});
        const json simulator_json = simulator.present ? json{{"time", simulator.time}, {"kept", kept}} : json(nullptr);
        send_json(res, {{"cycle", session.cycles()},
                        {"simulator", simulator_json},
                        {"running", running.load()},
                        {"picture", session.picture_version()},
                        {"sound", session.sound_serial()},
                        {"last_seq", last},
                        {"variables", variables},
                        {"timeline", timeline}});
    });

    server.Get("/api/picture.png", [this](const httplib::Request&, httplib::Response& res) {
        uint64_t version = 0;
        std::string png = session.picture_png(&version);
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Picture-Version", std::to_string(version));
        res.set_content(std::move(png), "image/png");
    });

    server.Get("/api/scenario", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_header("Content-Disposition", "attachment; filename=\"scenario.txt\"");
        res.set_content(session.scenario(), "text/plain; charset=utf-8");
    });

    server.Get("/api/sound.wav", [this](const httplib::Request&, httplib::Response& res) {
        uint64_t serial = 0;
        std::string wav = session.latest_sound_wav(&serial);
        if (wav.empty()) return send_error(res, 404, "the gauge has played no sound yet");
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Sound-Serial", std::to_string(serial));
        res.set_content(std::move(wav), "audio/wav");
    });

    server.Post("/api/variable", [this](const httplib::Request& req, httplib::Response& res) {
        json body;
        std::string error;
        int64_t id = 0;
        if (!parse_body(req, &body, &error) ||
            !get_integer(body, "id", 1, std::numeric_limits<uint32_t>::max(), &id, &error))
            return send_error(res, 400, error);
        auto value = body.find("value");
        if (value == body.end() || !value->is_number())
            return send_error(
                res, 400, value == body.end() ? "\"value\" is missing" : "\"value\" is not a number: " + value->dump());
        if (!session.set_variable(static_cast<uint32_t>(id), value->get<double>(), &error))
            return send_error(res, 400, error);
        send_json(res, {{"id", id}, {"value", value->get<double>()}});
    });

    server.Post("/api/pointer", [this](const httplib::Request& req, httplib::Response& res) {
        json body;
        std::string error;
        int64_t x = 0, y = 0, count = 1;
        constexpr int64_t low = std::numeric_limits<int32_t>::min(), high = std::numeric_limits<int32_t>::max();
        if (!parse_body(req, &body, &error) || !get_integer(body, "x", low, high, &x, &error) ||
            !get_integer(body, "y", low, high, &y, &error))
            return send_error(res, 400, error);
        PointerKind kind;
        auto word = body.find("kind");
        if (word == body.end() || !word->is_string() || !parse_pointer_kind(word->get<std::string>(), &kind))
            return send_error(res, 400,
                              "\"kind\" is " + (word == body.end() ? std::string("missing") : word->dump()) +
                                  ", expected \"click\", \"repeat\" or \"drag\"");
        if (body.contains("count") && !get_integer(body, "count", low, high, &count, &error))
            return send_error(res, 400, error);
        PointerOutcome outcome;
        if (!session.pointer(static_cast<int32_t>(x), static_cast<int32_t>(y), kind, static_cast<int32_t>(count),
                             &outcome, &error))
            return send_error(res, 400, error);
        json events = json::array();
        for (const SentEvent& event : outcome.events) events.push_back({{"id", event.id}, {"value", event.value}});
        send_json(res, {{"handled", outcome.handled}, {"result", outcome.result}, {"events", events}});
    });

    server.Post("/api/frame", [this](const httplib::Request& req, httplib::Response& res) {
        json body;
        std::string error;
        int64_t count = 1;
        if (!parse_body(req, &body, &error) ||
            (body.contains("count") && !get_integer(body, "count", 1, kFrameRequestLimit, &count, &error)))
            return send_error(res, 400, error);
        for (int64_t i = 0; i < count; ++i) session.cycle();
        send_json(res, {{"cycle", session.cycles()}});
    });

    server.Post("/api/running", [this](const httplib::Request& req, httplib::Response& res) {
        json body;
        std::string error;
        if (!parse_body(req, &body, &error)) return send_error(res, 400, error);
        auto flag = body.find("running");
        if (flag == body.end() || !flag->is_boolean()) return send_error(res, 400, "\"running\" is not true or false");
        running = flag->get<bool>();
        send_json(res, {{"running", running.load()}});
    });
}

void PageServer::Impl::cycle_loop() {
    using clock = std::chrono::steady_clock;
    auto next = clock::now() + options.cycle_period;
    std::unique_lock lock(loop_mutex);
    while (!stopping) {
        if (loop_wake.wait_until(lock, next, [this] { return stopping; })) break;
        lock.unlock();
        if (running) session.cycle();
        lock.lock();
        next += options.cycle_period;
        // After a stall (a slow request, a debugger) carry on from now rather than catch up in a burst.
        if (next < clock::now()) next = clock::now() + options.cycle_period;
    }
}

PageServer::PageServer(Session& session, ServerOptions options) : impl_(std::make_unique<Impl>(session, options)) {}

PageServer::~PageServer() { stop(); }

int PageServer::bind(int port, std::string* error) {
    const bool bound = port == 0 ? (impl_->port = impl_->server.bind_to_any_port("127.0.0.1")) > 0
                                 : impl_->server.bind_to_port("127.0.0.1", impl_->port = port);
    if (!bound) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(port) + " (" + std::strerror(errno) + ")";
        impl_->port = -1;
    }
    return impl_->port;
}

void PageServer::start() {
    impl_->listener = std::thread([this] { impl_->server.listen_after_bind(); });
    // stop() is heard only once the server runs; wait for that, so that an early stop cannot be lost.
    for (int i = 0; i < 1000 && !impl_->server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (impl_->options.cycle_period.count() > 0) impl_->cycler = std::thread([this] { impl_->cycle_loop(); });
}

void PageServer::stop() {
    {
        std::lock_guard lock(impl_->loop_mutex);
        impl_->stopping = true;
    }
    impl_->loop_wake.notify_all();
    if (impl_->cycler.joinable()) impl_->cycler.join();
    impl_->server.stop();
    if (impl_->listener.joinable()) impl_->listener.join();
}

}  // namespace bench::serve
