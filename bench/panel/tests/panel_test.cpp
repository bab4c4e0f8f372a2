// Gauges on a panel, behind them the simulator: what the gauges send moves the variables every gauge reads, a
// pointer in window pixels reaches the gauge under it whatever its drawn size, and a bad panel file is refused
// with its line.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "module_test.h"
#include "panel.h"

namespace {

namespace fs = std::filesystem;

// The module built with the bench, on its own, with the default simulator behind it.
std::unique_ptr<bench::Panel> single(const std::string& name) {
    std::string error;
    auto module = bench::LoadedModule::load(module_path(name), &error);
    EXPECT_TRUE(module) << error;
    auto panel = bench::Panel::single(std::move(module), &bench::default_model());
    EXPECT_TRUE(panel->install(&error)) << error;
    return panel;
}

// A panel file written into the test's folder; its modules are the bench's own.
std::unique_ptr<bench::Panel> open_panel(const std::string& text, std::string* error) {
    const fs::path folder = fs::path(TEST_OUTPUT_DIR);
    fs::create_directories(folder);
    const std::string path = (folder / "panel.cfg").string();
    std::ofstream(path) << text;
    const auto config = bench::read_panel(path, error);
    if (!config) return nullptr;
    const bench::PanelWindowSection* window = bench::find_window(*config, -1, error);
    if (!window) return nullptr;
    bool crashed = false;
    // The modules are found among the built ones through the bench's own place in the build.
    const std::string argv0 = std::string(TEST_MODULE_DIR) + "/../bench/cli/gaugebench";
    auto panel = bench::Panel::open(*config, *window, "", argv0.c_str(), &bench::default_model(), error, &crashed);
    if (panel && !panel->install(error)) return nullptr;
    return panel;
}

bool click(bench::Panel& panel, int32_t x, int32_t y, uint32_t flags = kMouseClick) {
    return panel.pointer_event(panel.route(x, y, flags), flags);
}

TEST(SimulatorBehindTheGauges, EachTrimStepStartsFromTheTrimTheLastOneLeft) {
    auto quadrant = single("quandle");
    bench::HostRecorder sent;
    quadrant->gauges()[0].host->add_observer(&sent);
    click(*quadrant, 20, 10);
    click(*quadrant, 20, 10);
    ASSERT_EQ(sent.events.size(), 2u);
    EXPECT_EQ(sent.events[0], (bench::SentEvent{65706, -512}));
    EXPECT_EQ(sent.events[1], (bench::SentEvent{65706, -1024}));
    EXPECT_EQ(quadrant->variables().get(318), -1024);
}

TEST(SimulatorBehindTheGauges, ALeverDragMovesItsVariableAndTheLeverDrawn) {
    auto quadrant = single("quandle");
    quadrant->cycle();
    const bench::Picture idle = quadrant->render();
    click(*quadrant, 85, 0, kMouseDrag);  // lever 1's strip, at the top
    EXPECT_EQ(quadrant->variables().get(128), 16191);
    EXPECT_EQ(quadrant->variables().get(163), 0) << "lever 2 stays";
    quadrant->cycle();
    EXPECT_NE(quadrant->render().pixels, idle.pixels) << "the lever is drawn where its variable now puts it";
}

TEST(SimulatorBehindTheGauges, ThreeFlapClicksBringTheFlapsToPositionThree) {
    auto quadrant = single("quandle");
    for (int i = 0; i < 3; ++i) click(*quadrant, 227, 80);
    EXPECT_EQ(quadrant->variables().get(328), 6144);
}

TEST(SimulatorBehindTheGauges, TheClockRunsEighteenCyclesASecondAndItsKnobsSetIt) {
    auto clock = single("brimmet");
    EXPECT_EQ(clock->variables().get(3), 9);
    for (int i = 0; i < 18 * 61; ++i) clock->cycle();
    EXPECT_EQ(clock->variables().get(4), 1) << "61 seconds at 18 cycles a second";
    EXPECT_EQ(clock->variables().get(5), 1);
    click(*clock, 55, 250);   // hour on
    click(*clock, 265, 250);  // minute on
    click(*clock, 260, 25);   // seconds to zero
    EXPECT_EQ(clock->simulator()->time_text(), "10:02:00");
}

constexpr const char* kQuadrantAndChecklist =
    "[Window00]\n"
    "gauge00=zorlet!Checklist, 0, 0\n"
    "gauge01=quandle!Tolvar-Ardent-Quadrant-2k-v1s, 0, 500\n";

TEST(Panel, ALeverDraggedOnTheQuadrantTurnsTheChecklistsTakeOffLine) {
    std::string error;
    auto panel = open_panel(kQuadrantAndChecklist, &error);
    ASSERT_TRUE(panel) << error;
    panel->set_variable(323, 32767);       // parking brake set
    ASSERT_TRUE(click(*panel, 142, 345));  // the checklist's take-off key
    panel->cycle();
    bench::PanelGauge* checklist = panel->gauge("zorlet");
    ASSERT_NE(checklist, nullptr);
    const auto line2 = [&] { return checklist->host->text(checklist->host->strings()[1]); };
    EXPECT_EQ(line2(), "BRAKES - SET");
    // Lever 1's strip, at its top: window y 500 is the quadrant's y 0.
    ASSERT_TRUE(click(*panel, 85, 500, kMouseDrag));
    EXPECT_EQ(panel->variables().get(128), 16191);
    panel->cycle();
    EXPECT_EQ(line2(), "BRAKES - RELEASE");
}

TEST(Panel, PointersGoToTheLastGaugeListedWithAnAreaThere) {
    // The quadrant's areas reach 75 pixels above its bitmap, over the checklist's keys when it is placed close
    // below them; listed last, it takes the point.
    std::string error;
    auto panel = open_panel(
        "[Window00]\n"
        "gauge00=zorlet!Checklist, 0, 0\n"
        "gauge01=quandle!Tolvar-Ardent-Quadrant-2k-v1s, 0, 400\n",
        &error);
    ASSERT_TRUE(panel) << error;
    const bench::PointerRoute route = panel->route(85, 345, kMouseDrag);
    ASSERT_NE(route.gauge, nullptr);
    EXPECT_EQ(route.gauge->name, "quandle");
    EXPECT_EQ(route.point.y, -55) << "the point in the quadrant's own pixels";
    const bench::PointerRoute key = panel->route(205, 345, kMouseClick);
    ASSERT_NE(key.gauge, nullptr);
    EXPECT_EQ(key.gauge->name, "zorlet") << "no quadrant area reaches the checklist's third key";
    EXPECT_EQ(panel->route(300, 390, kMouseClick).gauge, nullptr) << "the gap between the gauges";
}

TEST(Panel, AGaugeDrawnAtTwiceItsSizeAnswersTheSameClicks) {
    std::string error;
    auto plain = open_panel("[Window00]\ngauge00=brimmet!Tolvar-Ardent-Clock-2k-v1s, 10, 20\n", &error);
    ASSERT_TRUE(plain) << error;
    auto twice = open_panel("[Window00]\ngauge00=brimmet!Tolvar-Ardent-Clock-2k-v1s, 10, 20, 612\n", &error);
    ASSERT_TRUE(twice) << error;
    bench::PanelGauge& big = twice->gauges()[0];
    EXPECT_EQ(big.width, 612);
    EXPECT_EQ(big.height, 604) << "W alone keeps the aspect";
    // Every pixel of every area, and the pixels around it, reach the same area at either size.
    for (const MouseArea* area : plain->gauges()[0].host->child_areas())
        for (int32_t gy = area->y - 1; gy <= area->y + area->height; ++gy)
            for (int32_t gx = area->x - 1; gx <= area->x + area->width; ++gx) {
                const bench::PointerRoute small_route = plain->route(10 + gx, 20 + gy, kMouseClick);
                // Both window pixels that show gauge pixel gx, and both rows of gy.
                for (int32_t dy = 0; dy < 2; ++dy)
                    for (int32_t dx = 0; dx < 2; ++dx) {
                        const PixelPoint back = big.to_gauge(10 + 2 * gx + dx, 20 + 2 * gy + dy);
                        ASSERT_EQ(back.x, gx);
                        ASSERT_EQ(back.y, gy);
                        const bench::PointerRoute big_route =
                            twice->route(10 + 2 * gx + dx, 20 + 2 * gy + dy, kMouseClick);
                        const size_t small_index =
                            small_route.area ? small_route.area - plain->gauges()[0].host->mouse_areas() : 0;
                        const size_t big_index = big_route.area ? big_route.area - big.host->mouse_areas() : 0;
                        ASSERT_EQ(big_index, small_index) << "at gauge pixel (" << gx << ", " << gy << ")";
                    }
            }
    // And the picture: the window holds the gauge at its drawn size.
    twice->cycle();
    const bench::Picture window = twice->render();
    EXPECT_EQ(window.width, 10 + 612);
    EXPECT_EQ(window.height, 20 + 604);
}

TEST(Panel, BadPanelFilesAreRefusedWithTheirLine) {
    const struct {
        const char* text;
        const char* error;  // after "PATH:"
    } cases[] = {
        {"[Window00]\ngauge00=nosuch!Gauge, 0, 0\n",
         "2: expected a module nosuch (nosuch.gau, .dll or .so) beside the panel or among the gauges built with the "
         "bench"},
        {"[Window00]\ngauge00=zorlet!Clock, 0, 0\n", "2: expected the gauge of zorlet, \"Checklist\", got \"Clock\""},
        {"[Window00]\ngauge00=zorlet!Checklist, 0, ten\n",
         "2: expected \"gaugeNN=MODULE!GAUGE, X, Y[, W[, H]]\", got \"gauge00=zorlet!Checklist, 0, ten\": X and Y "
         "must be whole numbers of window pixels"},
        {"[Window00]\ngauge00=zorlet!Checklist, 0, 0, 0\n",
         "2: expected \"gaugeNN=MODULE!GAUGE, X, Y[, W[, H]]\", got \"gauge00=zorlet!Checklist, 0, 0, 0\": W and H "
         "must be whole numbers of pixels, above 0"},
        {"[Window00]\ngauge00=zorlet!Checklist, 0, 0\ngauge00=brimmet!Tolvar-Ardent-Clock-2k-v1s, 500, 0\n",
         "3: expected each gaugeNN once in a window, got \"gauge00=brimmet!Tolvar-Ardent-Clock-2k-v1s, 500, 0\": "
         "gauge00 is also on line 2"},
        {"[Window00]\ngauge00=zorlet!Checklist, 0, 0\n// the same module again\ngauge01=zorlet!Checklist, 500, 0\n",
         "4: expected each module once in a window, got \"gauge01=zorlet!Checklist, 500, 0\": zorlet is also on line 2;"
         " its records are static data, so one module shows one gauge at a time"},
        {"[Window00\n", "1: expected a section \"[NAME]\", got \"[Window00\""},
        {"gauge00=zorlet!Checklist, 0, 0\n", " expected a [WindowNN] section with gaugeNN lines, found none"},
        {"[Window00]\ngauge00=zorlet, 0, 0\n",
         "2: expected \"gaugeNN=MODULE!GAUGE, X, Y[, W[, H]]\", got \"gauge00=zorlet, 0, 0\": MODULE!GAUGE names the "
         "module and its gauge"},
    };
    const std::string path = (fs::path(TEST_OUTPUT_DIR) / "panel.cfg").string();
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(open_panel(c.text, &error), nullptr) << c.text;
        EXPECT_EQ(error, path + ":" + c.error) << c.text;
    }
}

TEST(Panel, OtherSectionsAndKeysAreKeptOutOfTheWay) {
    std::string error;
    const auto config = bench::parse_panel(
        "// a comment\n[Window Titles]\nWindow00=Main\nWindow01=Radios\n\n[Views]\nVIEW_FORWARD_WINDOWS=MAIN\n"
        "[Window00]\nsize_mm=640,480\nposition=7\ngauge00=zorlet!Checklist, 1, 2  // trailing comment\n"
        "[WINDOW01]\nGAUGE00=brimmet!Tolvar-Ardent-Clock-2k-v1s, 3, 4, 100, 90\n",
        "p.cfg", &error);
    ASSERT_TRUE(config) << error;
    ASSERT_EQ(config->windows.size(), 2u);
    EXPECT_EQ(config->windows[0].title, "Main");
    ASSERT_EQ(config->windows[0].gauges.size(), 1u);
    EXPECT_EQ(config->windows[0].gauges[0].gauge, "Checklist");
    EXPECT_EQ(config->windows[0].gauges[0].y, 2);
    const bench::PanelGaugeLine& clock = config->windows[1].gauges.at(0);
    EXPECT_EQ(clock.module, "brimmet");
    EXPECT_EQ(clock.width, 100);
    EXPECT_EQ(clock.height, 90);
    EXPECT_EQ(bench::find_window(*config, 1, &error), &config->windows[1]);
    EXPECT_EQ(bench::find_window(*config, 7, &error), nullptr);
    EXPECT_EQ(error, "p.cfg: expected a window 7, the panel has 0, 1");
}

}  // namespace
