// A scenario run on the test gauge, read back from the files it writes: events with the number of the frame
// they precede, texts after each cycle, a call log naming records, a fault that fails the run.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "format.h"
#include "module_test.h"
#include "runner.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class Run : public ::testing::Test {
protected:
    // The test gauge on its own, with no simulator behind it: events are only recorded.
    bench::RunResult run(const std::string& text, const fs::path& folder) {
        std::string error;
        const auto scenario = bench::parse_scenario(text, "test.txt", &error);
        EXPECT_TRUE(scenario) << error;
        auto module = bench::LoadedModule::load(module_path("test_gauge"), &error);
        EXPECT_TRUE(module) << error;
        auto panel = bench::Panel::single(std::move(module), nullptr);
        bench::RunSettings settings;
        settings.scenario_name = "test.txt";
        settings.scenario_text = text;
        return bench::run_scenario(*panel, *scenario, folder.string(), settings);
    }
    fs::path folder(const std::string& name) {
        const fs::path path = fs::path(TEST_OUTPUT_DIR) / name;
        fs::remove_all(path);
        fs::create_directories(path);
        return path;
    }
};

TEST_F(Run, WritesEventsTextsAndCallsFrameByFrame) {
    const fs::path out = folder("run_writes");
    std::ofstream(out / "frame-0009.png") << "left from an earlier, longer run";
    std::ofstream(out / "notes.txt") << "the user's own file";
    const bench::RunResult result =
        run("set 304 2.9\n"
            "set 303 -2.9\n"
            "frame\n"
            "click 5 5      # sends what the frame truncated in the last update\n"
            "drag 10 20\n"
            "set 500 3\n"
            "frame 2\n"
            "click 30 25    # only the area after the end record lies here: nothing\n",
            out);
    EXPECT_EQ(result.status, 0) << result.error;
    EXPECT_EQ(lines_of(out / "events.jsonl"), (std::vector<std::string>{
                                                  R"x({"frame": 2, "event": 20481, "value": 2})x",
                                                  R"x({"frame": 2, "event": 20481, "value": -2})x",
                                                  R"x({"frame": 2, "event": 20482, "value": 20})x",
                                              }));
    EXPECT_EQ(lines_of(out / "text.jsonl"),
              (std::vector<std::string>{
                  R"x({"frame": 1, "element": 1, "text": "", "fore_colour": "0x00FFFFFF"})x",
                  R"x({"frame": 2, "element": 1, "text": "xxx", "fore_colour": "0x00FFFFFF"})x",
                  R"x({"frame": 3, "element": 1, "text": "xxx", "fore_colour": "0x00FFFFFF"})x",
              }));
    EXPECT_EQ(lines_of(out / "variables.jsonl"),
              (std::vector<std::string>{
                  R"x({"frame": 1, "variable": 304, "value": 2.9, "cause": "scenario"})x",
                  R"x({"frame": 1, "variable": 303, "value": -2.9, "cause": "scenario"})x",
                  R"x({"frame": 2, "variable": 500, "value": 3, "cause": "scenario"})x",
              }));
    const std::vector<std::string> calls = lines_of(out / "calls.jsonl");
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls[0], R"x({"frame": 1, "service": "initialize_variable", "arguments": ["variable 304"]})x");
    EXPECT_EQ(
        calls[2],
        R"x({"frame": 1, "service": "install_elements", "arguments": ["background (kind 0)", "module handle"]})x");
    EXPECT_EQ(calls.back(), R"x({"frame": 4, "service": "kill_elements", "arguments": ["background (kind 0)"]})x");
    for (const std::string& call : calls) EXPECT_EQ(call.find("0x"), std::string::npos) << "an address: " << call;

    for (const char* picture : {"frame-0001.png", "frame-0002.png", "frame-0003.png"})
        EXPECT_TRUE(fs::exists(out / picture)) << picture;
    EXPECT_FALSE(fs::exists(out / "frame-0004.png"));
    EXPECT_FALSE(fs::exists(out / "frame-0009.png")) << "an earlier run's picture stays behind";
    EXPECT_TRUE(fs::exists(out / "notes.txt")) << "a file the run did not write is gone";

    std::ifstream report(out / "report.html");
    const std::string html((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    EXPECT_NE(html.find("<img src=\"frame-0003.png\""), std::string::npos);
    EXPECT_NE(html.find("<code>click 5 5 \xE2\x86\x92 area 1</code>"), std::string::npos);
    EXPECT_NE(html.find("<code>click 30 25 \xE2\x86\x92 no area</code>"), std::string::npos)
        << "the last click comes after the last frame";
}

TEST_F(Run, TextWrittenPastItsBufferFailsTheRun) {
    const fs::path out = folder("run_fault");
    const bench::RunResult result = run("set 500 6\nframe\nframe\n", out);
    EXPECT_EQ(result.status, 1);
    ASSERT_FALSE(result.faults.empty());
    EXPECT_EQ(result.faults[0], "frame 1: string element at (2, 20): text written past its buffer of 5 bytes");
    EXPECT_TRUE(fs::exists(out / "report.html")) << "a failed run still leaves its report";
}

}  // namespace
