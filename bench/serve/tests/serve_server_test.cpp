// The page server on loopback, driven with an HTTP client over the test gauge: what a request does to the gauge,
// what the timeline and the saved scenario then say, and that a bad request is refused and changes nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "module_test.h"
#include "server.h"
#include "session.h"
#include "test_gauge.h"

namespace {

using bench::serve::PageServer;
using bench::serve::ServerOptions;
using bench::serve::Session;
using nlohmann::json;

// A gauge on its own, with no simulator behind it (events are only recorded), served on a free port.
class ServeFixture : public ::testing::Test {
protected:
    explicit ServeFixture(const char* module) : module_(module) {}

    void SetUp() override {
        std::string error;
        auto module = bench::LoadedModule::load(module_path(module_), &error);
        ASSERT_TRUE(module) << error;
        panel_ = bench::Panel::single(std::move(module), nullptr);
        panel_->gauges()[0].host->add_observer(&recorder_);
        ASSERT_TRUE(panel_->install(&error)) << error;
        session_ = std::make_unique<Session>(*panel_, module_);
        start(ServerOptions{.cycle_period = std::chrono::milliseconds(0)});
    }
    void TearDown() override {
        server_.reset();
        session_.reset();
        panel_->kill();
        panel_.reset();
    }
    void start(ServerOptions options) {
        server_.reset();
        server_ = std::make_unique<PageServer>(*session_, options);
        std::string error;
        port_ = server_->bind(0, &error);
        ASSERT_GT(port_, 0) << error;
        server_->start();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }

    httplib::Result post(const std::string& path, const std::string& body,
                         const std::string& type = "application/json") {
        return client_->Post(path.c_str(), body, type.c_str());
    }
    json post_ok(const std::string& path, const json& body) {
        auto res = post(path, body.dump());
        EXPECT_TRUE(res) << path;
        if (!res) return {};
        EXPECT_EQ(res->status, 200) << path << " " << body.dump() << ": " << res->body;
        return json::parse(res->body, nullptr, false);
    }
    json state(uint64_t since = 0) {
        auto res = client_->Get(("/api/state?since=" + std::to_string(since)).c_str());
        EXPECT_TRUE(res && res->status == 200);
        return res ? json::parse(res->body, nullptr, false) : json{};
    }
    std::string scenario() {
        auto res = client_->Get("/api/scenario");
        EXPECT_TRUE(res && res->status == 200);
        return res ? res->body : "";
    }
    // The scenario's command lines, without its comment header.
    std::vector<std::string> scenario_lines() {
        std::vector<std::string> out;
        std::istringstream in(scenario());
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line[0] != '#') out.push_back(line);
        return out;
    }

    // The status of a request sent as written, so that a header the client library would add can be left out.
    int status_of(const std::string& request) {
        const int sock = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            send(sock, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            for (ssize_t got; (got = recv(sock, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, got);
        }
        close(sock);
        int status = 0;
        return std::sscanf(reply.c_str(), "HTTP/1.%*d %d", &status) == 1 ? status : -1;
    }

    std::string module_;
    const std::vector<bench::SentEvent>& events() const { return recorder_.events; }

    bench::HostRecorder recorder_;
    std::unique_ptr<bench::Panel> panel_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<PageServer> server_;
    std::unique_ptr<httplib::Client> client_;
    int port_ = 0;
};

class ServeServer : public ServeFixture {
protected:
    ServeServer() : ServeFixture("test_gauge") {}
};

TEST_F(ServeServer, ListsElementAndStandaloneVariablesWithRanges) {
    json variables = state()["variables"];
    std::vector<uint32_t> ids;
    for (const json& v : variables) ids.push_back(v["id"]);
    // 3: the needle; 1 and 500: the string's sources; 304 and 303: standalone, seen only through
    // initialize_variable at install.
    EXPECT_EQ(ids, (std::vector<uint32_t>{1, 3, 303, 304, 500}));
    for (const json& v : variables) {
        if (v["id"] == 3) {
            EXPECT_EQ(v["min"], 0.0) << v.dump();  // the needle's calibration table runs from 0 to 10
            EXPECT_EQ(v["max"], 10.0) << v.dump();
        }
        if (v["id"] == 304) {
            EXPECT_NE(v["found_in"].get<std::string>().find("standalone"), std::string::npos) << v.dump();
        }
        EXPECT_LT(v["min"].get<double>(), v["max"].get<double>()) << v.dump();
    }
}

TEST_F(ServeServer, SetVariableClickAndReadTheTimeline) {
    post_ok("/api/variable", {{"id", 304}, {"value", 7.9}});
    post_ok("/api/variable", {{"id", 303}, {"value", -2.9}});
    post_ok("/api/variable", {{"id", 500}, {"value", 3}});
    post_ok("/api/frame", {{"count", 1}});
    json click = post_ok("/api/pointer", {{"x", 5}, {"y", 5}, {"kind", "click"}});
    EXPECT_EQ(click["handled"], true);
    EXPECT_EQ(click["result"], 7);
    EXPECT_EQ(click["events"], json::parse(R"([{"id":20481,"value":7},{"id":20481,"value":-2}])"));

    json timeline = state()["timeline"];
    std::vector<std::string> seen;
    for (const json& entry : timeline) {
        const std::string kind = entry["kind"];
        if (kind == "event") seen.push_back("event " + std::to_string(entry["value"].get<int>()));
        if (kind == "variable") seen.push_back("variable " + std::to_string(entry["id"].get<int>()));
        if (kind == "text") seen.push_back("text " + entry["text"].get<std::string>());
        if (kind == "pointer") seen.push_back("pointer " + entry["action"].get<std::string>());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"event -2", "event 7", "pointer click", "text xxx", "variable 500",
                                              "variable 303", "variable 304"}))
        << timeline.dump(1);
    for (size_t i = 1; i < timeline.size(); ++i)
        EXPECT_GT(timeline[i - 1]["seq"].get<uint64_t>(), timeline[i]["seq"].get<uint64_t>()) << "newest first";

    // Asking from the last sequence number gives only what came after it.
    const uint64_t last = state()["last_seq"];
    post_ok("/api/pointer", {{"x", 8}, {"y", 12}, {"kind", "drag"}});
    json fresh = state(last)["timeline"];
    ASSERT_EQ(fresh.size(), 2u) << fresh.dump(1);
    EXPECT_EQ(fresh[0]["kind"], "event");
    EXPECT_EQ(fresh[0]["id"], test_gauge::kDragEvent);
    EXPECT_EQ(fresh[0]["value"], 12);
}

TEST_F(ServeServer, TimelineShowsTextWrittenPastItsBufferAsAFault) {
    post_ok("/api/variable", {{"id", 500}, {"value", 9}});  // the label's buffer holds 4 characters
    post_ok("/api/frame", {{"count", 1}});
    bool fault = false;
    const json timeline = state()["timeline"];
    for (const json& entry : timeline)
        fault = fault || (entry["kind"] == "fault" &&
                          entry["message"].get<std::string>().find("past its buffer") != std::string::npos);
    EXPECT_TRUE(fault) << timeline.dump(1);
}

TEST_F(ServeServer, ScenarioHoldsEveryActionWithTheCyclesBetween) {
    post_ok("/api/frame", {{"count", 2}});
    post_ok("/api/variable", {{"id", 304}, {"value", 7.9}});
    post_ok("/api/variable", {{"id", 303}, {"value", 0.1}});
    post_ok("/api/frame", {{"count", 1}});
    post_ok("/api/pointer", {{"x", 5}, {"y", 5}, {"kind", "click"}});
    post_ok("/api/pointer", {{"x", 8}, {"y", 12}, {"kind", "repeat"}, {"count", 3}});
    post_ok("/api/pointer", {{"x", 8}, {"y", -3}, {"kind", "drag"}});
    post_ok("/api/frame", {{"count", 4}});
    EXPECT_EQ(scenario_lines(), (std::vector<std::string>{"frame 2", "set 304 7.9", "set 303 0.1", "frame 1",
                                                          "click 5 5", "repeat 8 12 3", "drag 8 -3", "frame 4"}));
    const std::string text = scenario();
    EXPECT_EQ(text.rfind("# ", 0), 0u) << "the scenario opens with a comment naming the session: " << text;
}

TEST_F(ServeServer, ScenarioOverTheReplayLimitHasItsIdleStretchesCut) {
    post_ok("/api/frame", {{"count", 6000}});
    post_ok("/api/variable", {{"id", 304}, {"value", 2}});
    post_ok("/api/frame", {{"count", 3}});
    post_ok("/api/pointer", {{"x", 5}, {"y", 5}, {"kind", "click"}});
    post_ok("/api/frame", {{"count", 4500}});
    EXPECT_EQ(scenario_lines(),
              (std::vector<std::string>{"frame 18", "set 304 2", "frame 3", "click 5 5", "frame 18"}));
    EXPECT_NE(scenario().find("are cut to 18"), std::string::npos) << "the scenario says why: " << scenario();
}

TEST_F(ServeServer, BadRequestsGet400AndChangeNothing) {
    post_ok("/api/variable", {{"id", 304}, {"value", 5}});
    post_ok("/api/frame", {{"count", 1}});
    const json before = state();
    const std::string scenario_before = scenario();

    struct Case {
        const char* path;
        std::string body;
        const char* message;  // a part of the error the reply must carry
        std::string type = "application/json";
    };
    const Case cases[] = {
        {"/api/variable", R"({"id": 999, "value": 1})", "variable 999 is not read by this gauge"},
        {"/api/variable", R"({"id": 304})", "\"value\" is missing"},
        {"/api/variable", R"({"id": "304", "value": 1})", "\"id\" is not a whole number"},
        {"/api/variable", R"({"id": 304, "value": "7"})", "\"value\" is not a number"},
        {"/api/variable", R"({"id": -4, "value": 1})", "outside"},
        {"/api/pointer", R"({"x": "five", "y": 5, "kind": "click"})", "\"x\" is not a whole number"},
        {"/api/pointer", R"({"x": 5, "y": 2.5, "kind": "click"})", "\"y\" is not a whole number"},
        {"/api/pointer", R"({"x": 5, "y": 99999999999, "kind": "click"})", "outside"},
        {"/api/pointer", R"({"y": 5, "kind": "click"})", "\"x\" is missing"},
        {"/api/pointer", R"({"x": 5, "y": 5, "kind": "poke"})", "expected \"click\", \"repeat\" or \"drag\""},
        {"/api/pointer", R"({"x": 5, "y": 5, "kind": "click", "count": 2})", "only repeat takes a count"},
        {"/api/pointer", R"({"x": 5, "y": 5, "kind": "repeat", "count": 0})", "outside 1 to 1000"},
        {"/api/pointer", "x=5&y=5", "not a JSON object"},
        {"/api/pointer", "[5, 5]", "not a JSON object"},
        {"/api/pointer", R"({"x": 5, "y": 5, "kind": "click", "pad": ")" + std::string(5000, ' ') + "\"}",
         "over 4096 bytes"},
        {"/api/pointer", R"({"x": 5, "y": 5, "kind": "click"})", "Content-Type: application/json", "text/plain"},
        {"/api/frame", R"({"count": 0})", "outside 1 to"},
        {"/api/running", R"({"running": "no"})", "not true or false"},
    };
    for (const Case& c : cases) {
        auto res = post(c.path, c.body, c.type);
        ASSERT_TRUE(res) << c.path << " " << c.body.substr(0, 80);
        EXPECT_EQ(res->status, 400) << c.path << " " << c.body.substr(0, 80) << ": " << res->body;
        json reply = json::parse(res->body, nullptr, false);
        EXPECT_NE(reply.value("error", std::string()).find(c.message), std::string::npos)
            << c.path << " " << c.body.substr(0, 80) << ": " << res->body;
    }
    auto bad_since = client_->Get("/api/state?since=abc");
    ASSERT_TRUE(bad_since);
    EXPECT_EQ(bad_since->status, 400) << bad_since->body;

    const json after = state();
    EXPECT_EQ(after["last_seq"], before["last_seq"]) << after["timeline"].dump(1);
    EXPECT_EQ(after["cycle"], before["cycle"]);
    EXPECT_EQ(after["variables"], before["variables"]);
    EXPECT_EQ(after["running"], true);
    EXPECT_EQ(scenario(), scenario_before);
    EXPECT_TRUE(events().empty()) << "a refused pointer request reached a handler";
}

TEST_F(ServeServer, AnswersOnlyRequestsForItselfFromItsOwnPage) {
    // A page elsewhere whose own name was made to resolve to 127.0.0.1 sends that name as the Host; a page
    // elsewhere that reaches 127.0.0.1 directly sends its own Origin.
    const std::string port = ":" + std::to_string(port_);
    const std::string click = R"({"x": 5, "y": 5, "kind": "click"})";
    const std::string frame = R"({"count": 1})";
    struct Case {
        const char* method;
        const char* path;
        std::optional<std::string> host, origin;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"POST", "/api/pointer", "rebound.example" + port, {}, click, 403},
        {"GET", "/", "rebound.example" + port, {}, "", 403},
        {"GET", "/api/state", "rebound.example", {}, "", 403},
        {"GET", "/api/gauge", "localhost.evil" + port, {}, "", 403},
        {"GET", "/api/scenario", "localhost.evil", {}, "", 403},
        {"GET", "/api/picture.png", "127.0.0.1.rebound.example" + port, {}, "", 403},
        {"GET", "/api/state", "localhost:1", {}, "", 403},
        {"GET", "/api/state", {}, {}, "", 403},
        {"POST", "/api/pointer", "127.0.0.1" + port, "http://rebound.example", click, 403},
        {"POST", "/api/pointer", "127.0.0.1" + port, "http://localhost:1", click, 403},
        {"POST", "/api/pointer", "127.0.0.1" + port, "https://127.0.0.1" + port, click, 403},
        {"POST", "/api/pointer", "127.0.0.1" + port, "http://localhost.evil" + port, click, 403},
        {"POST", "/api/pointer", "127.0.0.1" + port, "null", click, 403},
        {"GET", "/api/scenario", "127.0.0.1" + port, "http://rebound.example", "", 403},
        {"GET", "/", "localhost" + port, {}, "", 200},
        {"GET", "/api/state", "localhost", {}, "", 200},
        {"GET", "/api/gauge", "127.0.0.1", {}, "", 200},
        {"GET", "/api/state", "127.0.0.1" + port, "http://127.0.0.1" + port, "", 200},
        {"POST", "/api/frame", "127.0.0.1" + port, {}, frame, 200},
        {"POST", "/api/frame", "127.0.0.1" + port, "http://127.0.0.1" + port, frame, 200},
        {"POST", "/api/frame", "localhost" + port, "http://localhost" + port, frame, 200},
    };
    for (const Case& c : cases) {
        std::string request = std::string(c.method) + " " + c.path + " HTTP/1.1\r\n";
        if (c.host) request += "Host: " + *c.host + "\r\n";
        if (c.origin) request += "Origin: " + *c.origin + "\r\n";
        if (!c.body.empty())
            request += "Content-Type: application/json\r\nContent-Length: " + std::to_string(c.body.size()) + "\r\n";
        request += "Connection: close\r\n\r\n" + c.body;
        EXPECT_EQ(status_of(request), c.status) << request;
    }
    EXPECT_TRUE(events().empty()) << "a refused click reached a handler";
}

TEST_F(ServeServer, ServesThePageAndAPictureOfTheBackgroundsSize) {
    auto page = client_->Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("/app.js"), std::string::npos);
    for (const char* path : {"/app.js", "/style.css"}) {
        auto asset = client_->Get(path);
        ASSERT_TRUE(asset) << path;
        EXPECT_EQ(asset->status, 200) << path;
        EXPECT_FALSE(asset->body.empty()) << path;
    }
    auto picture = client_->Get("/api/picture.png");
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->status, 200);
    ASSERT_GE(picture->body.size(), 24u);
    EXPECT_EQ(picture->body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    auto be32 = [&](size_t at) {
        const auto* b = reinterpret_cast<const unsigned char*>(picture->body.data() + at);
        return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    };
    EXPECT_EQ(be32(16), 40u);  // IHDR: the test gauge's background is 40 x 30
    EXPECT_EQ(be32(20), 30u);
    auto missing = client_->Get("/api/nothing");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(ServeServer, ConcurrentRequestsWhileCyclingReachTheModuleOneAtATime) {
    start(ServerOptions{.cycle_period = std::chrono::milliseconds(1)});
    post_ok("/api/variable", {{"id", 304}, {"value", 4}});
    constexpr int kThreads = 4, kClicks = 20;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            httplib::Client client("127.0.0.1", port_);
            for (int i = 0; i < kClicks; ++i) {
                auto res = t % 2
                               ? client.Post("/api/pointer", R"({"x": 5, "y": 5, "kind": "click"})", "application/json")
                               : client.Post("/api/variable", R"({"id": 500, "value": 2})", "application/json");
                if (!res || res->status != 200) ++failures;
                if (!client.Get("/api/state")) ++failures;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    int events = 0, clicks = 0;
    for (const std::string& line : scenario_lines()) clicks += line == "click 5 5";
    const json timeline = state()["timeline"];
    for (const json& entry : timeline) events += entry["kind"] == "event";
    EXPECT_EQ(clicks, kThreads / 2 * kClicks);
    EXPECT_EQ(events, 2 * clicks) << "each click sends two events";
}

TEST_F(ServeServer, AReaderFollowingTheTimelineSeesEveryEntryOnce) {
    // The page asks for what came after the last sequence number it was given, while clicks add entries.
    std::atomic<bool> done{false};
    std::thread clicker([&] {
        httplib::Client client("127.0.0.1", port_);
        for (int i = 0; i < 150; ++i)
            client.Post("/api/pointer", R"({"x": 5, "y": 5, "kind": "click"})", "application/json");
        done = true;
    });
    std::vector<uint64_t> seen;
    uint64_t last = 0;
    httplib::Client reader("127.0.0.1", port_);
    for (bool final_pass = false; !final_pass;) {
        final_pass = done;
        auto res = reader.Get(("/api/state?since=" + std::to_string(last)).c_str());
        ASSERT_TRUE(res && res->status == 200);
        json reply = json::parse(res->body);
        for (auto it = reply["timeline"].rbegin(); it != reply["timeline"].rend(); ++it) seen.push_back((*it)["seq"]);
        last = reply["last_seq"];
    }
    clicker.join();
    ASSERT_EQ(seen.size(), 450u) << "each click gives a pointer entry and two events";
    for (size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], i + 1) << "entry " << i;
}

class ServeButtonStack : public ServeFixture {
protected:
    ServeButtonStack() : ServeFixture("fennick") {}
};

TEST_F(ServeButtonStack, AClickPlaysItsSoundForThePage) {
    auto none = client_->Get("/api/sound.wav");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 404) << "no sound before the first click";

    json click = post_ok("/api/pointer", {{"x", 10}, {"y", 10}, {"kind", "click"}});  // button 1
    EXPECT_EQ(click["events"], json::parse(R"([{"id":65907,"value":1}])"));
    const json s = state();
    EXPECT_EQ(s["sound"], 1);
    EXPECT_EQ(s["timeline"][0]["kind"], "sound") << s["timeline"].dump(1);

    auto wav = client_->Get("/api/sound.wav");
    ASSERT_TRUE(wav);
    ASSERT_EQ(wav->status, 200);
    EXPECT_EQ(wav->get_header_value("Content-Type"), "audio/wav");
    const std::string& b = wav->body;
    ASSERT_GE(b.size(), 44u);
    auto le16 = [&](size_t at) { return uint32_t{uint8_t(b[at])} | uint32_t{uint8_t(b[at + 1])} << 8; };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(b.substr(8, 4), "WAVE");
    const size_t data = b.find("data");
    ASSERT_NE(data, std::string::npos);
    const size_t fmt = b.find("fmt ");
    ASSERT_NE(fmt, std::string::npos);
    // The click resource: PCM, 2 channels, 22050 samples a second, 8 bits; 314 frames of 2 bytes.
    EXPECT_EQ(le16(fmt + 8), 1u);
    EXPECT_EQ(le16(fmt + 10), 2u);
    EXPECT_EQ(le32(fmt + 12), 22050u);
    EXPECT_EQ(le16(fmt + 22), 8u);
    EXPECT_EQ(le32(data + 4), 628u);
    EXPECT_EQ(b.size(), data + 8 + 628);

    post_ok("/api/pointer", {{"x", 10}, {"y", 10}, {"kind", "click"}});
    EXPECT_EQ(state()["sound"], 2) << "every click plays, whatever the new state";
}

}  // namespace
