// The bench's loader for Windows modules, in the 32-bit bench: a DLL moved off its preferred base runs as it
// does there, every call into it leaves the stack where stdcall says, it allocates nothing once started, the
// stand-ins pop what their conventions say, the host's clock and the module's debug output reach the run, and
// the module's heap keeps its blocks apart.
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "arena.h"
#include "elements.h"
#include "module_test.h"
#include "pe_image.h"
#include "runner.h"
#include "runtime.h"
#include "stdcall_call.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> shipped_modules() {
    std::vector<std::string> names;
    std::stringstream list(GAUGE_SHIPPED_MODULES);
    for (std::string name; std::getline(list, name, ',');) names.push_back(name);
    return names;
}

std::string shipped_path(const std::string& name) { return std::string(GAUGE_WIN32_MODULE_DIR) + "/" + name + ".dll"; }

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t preferred_base(const std::string& path) {
    const std::string file = read_file(path);
    bench::pe::Image layout;
    std::string error;
    if (!bench::pe::read_headers(reinterpret_cast<const uint8_t*>(file.data()), file.size(), &layout, &error)) return 0;
    return layout.preferred_base;
}

// Runs the module's own scenario into `folder`; the module's handle in `base`.
void run_own_scenario(const std::string& name, const fs::path& folder, uintptr_t* base) {
    std::string error;
    auto module = bench::LoadedModule::load(shipped_path(name), &error);
    ASSERT_TRUE(module) << error;
    *base = reinterpret_cast<uintptr_t>(module->handle());
    const std::string text = read_file(std::string(GAUGE_SCENARIO_DIR) + "/" + name + ".txt");
    const auto scenario = bench::parse_scenario(text, name + ".txt", &error);
    ASSERT_TRUE(scenario) << error;
    fs::remove_all(folder);
    // The built-in flights let the simulator carry out what the gauges send.
    auto panel = bench::Panel::single(std::move(module), &bench::default_model());
    const bench::RunResult result = bench::run_scenario(*panel, *scenario, folder.string(), {});
    EXPECT_EQ(result.status, 0) << result.error;
}

class ShippedDll : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (!fs::exists(shipped_path(GetParam()))) {
            GTEST_FAIL() << shipped_path(GetParam()) << " is missing: build the win32 preset first";
        }
    }
};

TEST_P(ShippedDll, RunsTheSameAwayFromItsPreferredBase) {
    const std::string name = GetParam();
    const fs::path out = fs::temp_directory_path() / ("relocated-" + name);
    uintptr_t at_home = 0, moved = 0;
    run_own_scenario(name, out / "home", &at_home);
    const uint32_t preferred = preferred_base(shipped_path(name));
    ASSERT_EQ(at_home, preferred) << "the first load should get the preferred base";

    // Something else holds the preferred range now.
    const size_t span = 0x10000;
    void* taken = mmap(reinterpret_cast<void*>(static_cast<uintptr_t>(preferred)), span, PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(taken), preferred);
    run_own_scenario(name, out / "moved", &moved);
    munmap(taken, span);
    ASSERT_NE(moved, preferred);

    for (const auto& entry : fs::directory_iterator(out / "home")) {
        const std::string file = entry.path().filename().string();
        if (file == "report.html") continue;
        EXPECT_EQ(read_file(entry.path()), read_file(out / "moved" / file)) << name << ": " << file << " differs";
    }
}

// Calls `function` the stdcall way and expects it to pop exactly its arguments.
template <typename Function>
void expect_balanced(Function function, std::initializer_list<uint32_t> arguments, const std::string& what,
                     bool returns_double = false) {
    int32_t off = 99;
    const void* address = reinterpret_cast<const void*>(function);
    if (returns_double)
        bench_call_stdcall_double(address, std::data(arguments), static_cast<uint32_t>(arguments.size()), &off);
    else
        bench_call_stdcall(address, std::data(arguments), static_cast<uint32_t>(arguments.size()), &off);
    EXPECT_EQ(off, 0) << what << " left the stack pointer off";
}

uint32_t word(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }
uint32_t low_word(double value) {
    uint32_t words[2];
    std::memcpy(words, &value, 8);
    return words[0];
}
uint32_t high_word(double value) {
    uint32_t words[2];
    std::memcpy(words, &value, 8);
    return words[1];
}

TEST_P(ShippedDll, EveryCallIntoItLeavesTheStackWhereStdcallSays) {
    std::string error;
    auto module = bench::LoadedModule::load(shipped_path(GetParam()), &error);
    ASSERT_TRUE(module) << error;
    bench::Host host(*module);
    GaugeHeader* header = module->header();
    const bool returned = module->guard().enter({bench::ModuleEntry::kRoutine, "the test's calls"}, [&] {
        expect_balanced(module->linkage()->module_deinit, {}, "module_deinit");
        expect_balanced(module->linkage()->module_init, {}, "module_init");
        expect_balanced(header->query, {}, "gauge_query");
        expect_balanced(header->install, {word(module->handle())}, "gauge_install");
        expect_balanced(header->initialize, {}, "gauge_initialize");
        expect_balanced(header->update, {}, "gauge_update");
        expect_balanced(header->generate, {1}, "gauge_generate");
        expect_balanced(header->draw, {}, "gauge_draw");
        size_t number = 0;
        for (ElementHeader* element : host.elements()) {
            ++number;
            if (element->kind == kString) {
                auto* string = reinterpret_cast<StringElement*>(element);
                const double value = string->sources[0].value;
                if (string->text_callback)
                    expect_balanced(string->text_callback, {low_word(value), high_word(value)},
                                    "the text callback of element " + std::to_string(number), true);
                continue;
            }
            for (const bench::ElementSource& source : bench::element_sources(*element))
                if (source.callback)
                    expect_balanced(source.callback, {word(source.variable)},
                                    "a value callback of element " + std::to_string(number), true);
        }
        PixelPoint point{1, 1};
        for (const MouseArea* area : host.child_areas())
            expect_balanced(area->handler, {word(&point), area->event_flags},
                            "the handler of mouse area " + std::to_string(area - host.mouse_areas()));
        expect_balanced(header->kill, {}, "gauge_kill");
    });
    EXPECT_TRUE(returned) << host.failure();
}

TEST_P(ShippedDll, AllocatesNothingOnceStarted) {
    std::string error;
    auto module = bench::LoadedModule::load(shipped_path(GetParam()), &error);
    ASSERT_TRUE(module) << error;
    // Its C runtime may allocate while it starts (the entry point); from module_init on, nothing may.
    const uint64_t at_start = module->heap_allocations();
    bench::Host host(*module);
    for (uint32_t id : {2u, 3u, 4u, 5u, 61u, 74u, 128u, 163u, 303u, 304u, 318u, 323u, 324u, 325u, 328u, 331u})
        host.set_variable(id, 12000.0);
    host.install();
    host.cycle();
    for (int32_t y = -100; y < 400; y += 7)
        for (int32_t x = -10; x < 420; x += 7)
            for (uint32_t flag : {kMouseClick, kMouseRepeat, kMouseDrag}) host.pointer_event(x, y, flag);
    host.set_variable(61, 250.0);
    host.cycle();
    host.kill();
    EXPECT_FALSE(host.failed()) << host.failure();
    EXPECT_EQ(module->heap_allocations(), at_start) << GetParam() << " allocated while the bench drove it";
}

INSTANTIATE_TEST_SUITE_P(Dlls, ShippedDll, ::testing::ValuesIn(shipped_modules()));

// The stand-ins a module calls pop what their convention says: stdcall all of its arguments, cdecl none.
TEST(StandIns, PopWhatTheirConventionSays) {
    struct Case {
        const char* dll;
        const char* name;
        bool stdcall;
        std::vector<uint32_t> arguments;
    };
    static char text[] = "gauge", buffer[64];
    static int32_t counter = 0;
    static int64_t large = 0;
    static uint32_t file_time[2];
    static const char format[] = "%d-%s";
    const std::vector<Case> cases = {
        {"kernel32.dll", "GetTickCount", true, {}},
        {"kernel32.dll", "SetLastError", true, {5}},
        {"kernel32.dll", "GetLastError", true, {}},
        {"kernel32.dll", "Sleep", true, {10}},
        {"kernel32.dll", "lstrlenA", true, {word(text)}},
        {"kernel32.dll", "lstrcpynA", true, {word(buffer), word(text), 4}},
        {"kernel32.dll", "InterlockedIncrement", true, {word(&counter)}},
        {"kernel32.dll", "InterlockedCompareExchange", true, {word(&counter), 7, 1}},
        {"kernel32.dll", "QueryPerformanceCounter", true, {word(&large)}},
        {"kernel32.dll", "GetSystemTimeAsFileTime", true, {word(file_time)}},
        {"kernel32.dll", "GetModuleHandleA", true, {word("KERNEL32.DLL")}},
        {"kernel32.dll", "IsProcessorFeaturePresent", true, {10}},
        {"kernel32.dll", "TlsGetValue", true, {0}},
        {"msvcrt.dll", "strlen", false, {word(text)}},
        {"msvcrt.dll", "memset", false, {word(buffer), 0, 8}},
        {"msvcrt.dll", "sprintf", false, {word(buffer), word(format), 42, word(text)}},
        {"user32.dll", "wsprintfA", false, {word(buffer), word(format), 42, word(text)}},
        {"user32.dll", "GetForegroundWindow", true, {}},
    };
    for (const Case& c : cases) {
        const bench::pe::StandIn* stand_in = bench::pe::find_stand_in(c.dll, c.name, 0);
        ASSERT_TRUE(stand_in) << c.dll << "!" << c.name;
        int32_t off = 99;
        bench_call_stdcall(stand_in->address, c.arguments.data(), static_cast<uint32_t>(c.arguments.size()), &off);
        const int32_t expected = c.stdcall ? 0 : -4 * static_cast<int32_t>(c.arguments.size());
        EXPECT_EQ(off, expected) << c.dll << "!" << c.name;
    }
    EXPECT_STREQ(buffer, "42-gauge");
}

// The host's clock moves by cycles, and what the module says reaches the run's log and report.
TEST(WindowsCalls, TheClockIsTheHostsAndDebugOutputIsLogged) {
    std::string error;
    auto module = bench::LoadedModule::load(std::string(TEST_MODULE_DIR) + "/windows_calls_gauge.dll", &error);
    ASSERT_TRUE(module) << error;
    const auto scenario = bench::parse_scenario("frame\nframe\nframe\ndrag 6 6\nclick 5 5\n", "calls.txt", &error);
    ASSERT_TRUE(scenario) << error;
    const fs::path out = fs::temp_directory_path() / "windows-calls";
    fs::remove_all(out);
    auto panel = bench::Panel::single(std::move(module), nullptr);
    const bench::RunResult result = bench::run_scenario(*panel, *scenario, out.string(), {});
    ASSERT_EQ(result.status, 0) << result.error;
    // Three cycles at 18 a second: 166 ms.
    EXPECT_NE(read_file(out / "events.jsonl").find("\"event\": 20482, \"value\": 166}"), std::string::npos)
        << read_file(out / "events.jsonl");
    EXPECT_NE(read_file(out / "calls.jsonl").find("{\"frame\": 4, \"debug_output\": \"clicked\"}"), std::string::npos)
        << read_file(out / "calls.jsonl");
    EXPECT_NE(read_file(out / "report.html").find("clicked"), std::string::npos);
}

// The module's heap: blocks never overlap, keep their bytes, come back after free, and a bad free is refused.
TEST(ModuleHeap, KeepsBlocksApartAndRefusesBadFrees) {
    bench::pe::Arena arena(1 << 20);
    std::mt19937 random(7);
    struct Live {
        uint8_t* block;
        size_t size;
        uint8_t fill;
    };
    std::vector<Live> live;
    for (int step = 0; step < 4000; ++step) {
        const bool grow = live.empty() || random() % 3 != 0;
        if (grow) {
            const size_t size = random() % 700;
            auto* block = static_cast<uint8_t*>(arena.allocate(size, false));
            ASSERT_TRUE(block) << "step " << step;
            ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
            const auto fill = static_cast<uint8_t>(step);
            std::memset(block, fill, size);
            live.push_back({block, size, fill});
        } else {
            const size_t index = random() % live.size();
            Live& victim = live[index];
            if (random() % 2) {
                void* moved;
                const size_t size = random() % 900;
                ASSERT_TRUE(arena.reallocate(victim.block, size, &moved));
                ASSERT_TRUE(moved || size == 0);
                if (!moved) {
                    live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
                    continue;
                }
                for (size_t i = 0; i < std::min(size, victim.size); ++i) {
                    ASSERT_EQ(static_cast<uint8_t*>(moved)[i], victim.fill) << "realloc lost a byte";
                }
                victim.block = static_cast<uint8_t*>(moved);
                victim.size = size;
                std::memset(victim.block, victim.fill, size);
                continue;
            }
            ASSERT_TRUE(arena.release(victim.block));
            EXPECT_FALSE(arena.release(victim.block)) << "a second free must be refused";
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(index));
        }
        if (step % 500 != 0) continue;
        for (const Live& block : live) {
            for (size_t i = 0; i < block.size; ++i) {
                ASSERT_EQ(block.block[i], block.fill) << "a block was overwritten by another";
            }
        }
    }
    int outside = 0;
    EXPECT_FALSE(arena.release(&outside));
    EXPECT_EQ(arena.allocate(2 << 20, false), nullptr) << "more than the arena holds";
}

}  // namespace
