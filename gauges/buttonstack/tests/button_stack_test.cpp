// The button stack on the bench, clicked by pixel as a pilot would: the events it sends, the lamps it shows,
// and the clicks it plays through the scripted DirectSound stand-in.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dsound_standin.h"
#include "module_test.h"

namespace {

using bench::SentEvent;
using dsound_standin::Operation;

constexpr uint32_t kHidden = 0x40000000;
constexpr uint32_t kLampFlags = 0x40000007;

struct Button {
    int number;
    int32_t top;  // of its mouse area
    uint32_t event;
};
constexpr Button kButtons[] = {
    {1, 0, 65907}, {2, 47, 65910}, {3, 94, 65908}, {4, 141, 65911}, {5, 188, 65912},
};

size_t count(Operation operation) {
    size_t n = 0;
    for (const auto& call : dsound_standin::calls()) n += call.operation == operation;
    return n;
}

class ButtonStackTest : public ModuleTest {
protected:
    ButtonStackTest() : ModuleTest("fennick") {}

    void SetUp() override {
        dsound_standin::reset();
        // The button states last as long as the module, so every test needs the module loaded afresh.
        void* earlier = dlopen(module_path("fennick").c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (earlier) dlclose(earlier);
        ASSERT_EQ(earlier, nullptr) << "fennick is still loaded from an earlier test";
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        host().install();
        for (int lamp = 1; lamp <= 5; ++lamp) ASSERT_EQ(flags(lamp), kLampFlags) << "lamp " << lamp << " at load";
    }

    // Element 0 is the background, elements 1 to 5 the lamps.
    StaticImageElement* element(int index) {
        return reinterpret_cast<StaticImageElement*>(host().elements().at(index));
    }
    StaticImageElement* lamp(int number) { return element(number); }
    uint32_t flags(int number) { return lamp(number)->header.image_flags; }
    std::vector<bool> shown() {
        std::vector<bool> out;
        for (int number = 1; number <= 5; ++number) out.push_back((flags(number) & kHidden) == 0);
        return out;
    }
    void click(const Button& button) {
        int32_t result = -1;
        ASSERT_TRUE(host().pointer_event(18, button.top + 18, kMouseClick, &result)) << "button " << button.number;
        EXPECT_EQ(result, 0) << "button " << button.number;
    }
    std::vector<uint8_t> own_samples() {
        size_t size = 0;
        const uint8_t* image = host().module().resource(3001, "WAVE", &size);
        EXPECT_EQ(size, 686u);
        return image ? std::vector<uint8_t>(image + 58, image + 58 + 628) : std::vector<uint8_t>{};
    }
    std::string call_log() {
        std::string text;
        for (const auto& call : dsound_standin::calls()) text += "\n  " + dsound_standin::to_string(call);
        return text;
    }
};

TEST_F(ButtonStackTest, EachButtonSendsItsEventAndShowsItsLampWhileOn) {
    for (const Button& button : kButtons) {
        std::vector<bool> lamps(5, false);
        clear_logs();
        click(button);
        lamps[button.number - 1] = true;
        EXPECT_EQ(events(), (std::vector<SentEvent>{{button.event, 1}})) << "button " << button.number;
        EXPECT_EQ(shown(), lamps) << "button " << button.number << " on";
        EXPECT_EQ(flags(button.number), kLampFlags & ~kHidden) << "button " << button.number;

        click(button);
        lamps[button.number - 1] = false;
        EXPECT_EQ(events(), (std::vector<SentEvent>{{button.event, 1}, {button.event, 0}}))
            << "button " << button.number;
        EXPECT_EQ(shown(), lamps) << "button " << button.number << " off";
        EXPECT_EQ(flags(button.number), kLampFlags) << "button " << button.number;
    }
    EXPECT_TRUE(faults().empty());
}

TEST_F(ButtonStackTest, EachButtonKeepsItsOwnState) {
    click(kButtons[0]);
    click(kButtons[1]);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65907, 1}, {65910, 1}}));
    EXPECT_EQ(shown(), (std::vector<bool>{true, true, false, false, false}));
    click(kButtons[0]);
    click(kButtons[4]);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65907, 1}, {65910, 1}, {65907, 0}, {65912, 1}}));
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false, false, true}));
}

TEST_F(ButtonStackTest, AClickChangesTheLampsHideBitAndNothingElse) {
    // Whatever else the host keeps in the lamp's flags stays as it is.
    const uint32_t other_bits[] = {0x7, 0x0, 0xBFFFFFFF, 0x80000001};
    for (uint32_t bits : other_bits) {
        lamp(3)->header.image_flags = bits | kHidden;
        std::vector<uint8_t> before(sizeof(StaticImageElement) * 6);
        for (int i = 0; i < 6; ++i)
            std::memcpy(&before[i * sizeof(StaticImageElement)], element(i), sizeof(StaticImageElement));

        click(kButtons[2]);
        EXPECT_EQ(flags(3), bits) << std::hex << "other bits 0x" << bits << ", on";
        click(kButtons[2]);
        EXPECT_EQ(flags(3), bits | kHidden) << std::hex << "other bits 0x" << bits << ", off";
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(std::memcmp(&before[i * sizeof(StaticImageElement)], element(i), sizeof(StaticImageElement)), 0)
                << "element " << i << " changed, other bits 0x" << std::hex << bits;
    }
}

TEST_F(ButtonStackTest, ClicksOutsideTheButtonsCallNoHandler) {
    struct Point {
        int32_t x, y;
        int button;  // the button reached, 0 for none
    };
    const Point points[] = {
        {0, 0, 1},    {35, 35, 1},  {18, 36, 0},  {18, 40, 0},  {18, 46, 0},  {0, 47, 2},   {18, 83, 0},
        {18, 93, 0},  {18, 94, 3},  {18, 135, 0}, {18, 140, 0}, {18, 141, 4}, {18, 180, 0}, {18, 187, 0},
        {35, 188, 5}, {18, 223, 5}, {18, 224, 0}, {36, 18, 0},  {-1, 18, 0},  {18, -1, 0},
    };
    for (const Point& point : points) {
        clear_logs();
        const size_t calls_before = dsound_standin::calls().size();
        const bool handled = host().pointer_event(point.x, point.y, kMouseClick);
        EXPECT_EQ(handled, point.button != 0) << "(" << point.x << ", " << point.y << ")";
        if (point.button == 0) {
            EXPECT_TRUE(events().empty()) << "(" << point.x << ", " << point.y << ")";
            EXPECT_EQ(dsound_standin::calls().size(), calls_before) << "(" << point.x << ", " << point.y << ")";
        } else {
            ASSERT_EQ(events().size(), 1u) << "(" << point.x << ", " << point.y << ")";
            EXPECT_EQ(events()[0].id, kButtons[point.button - 1].event) << "(" << point.x << ", " << point.y << ")";
        }
    }
}

TEST_F(ButtonStackTest, WithoutASoundDeviceEveryClickStillSendsAndShows) {
    dsound_standin::fail(Operation::kDirectSoundCreate, DSERR_NODRIVER, -1);
    click(kButtons[2]);
    click(kButtons[0]);
    click(kButtons[2]);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65908, 1}, {65907, 1}, {65908, 0}}));
    EXPECT_EQ(shown(), (std::vector<bool>{true, false, false, false, false}));
    EXPECT_EQ(count(Operation::kDirectSoundCreate), 1u) << "no later click tries again" << call_log();
    EXPECT_EQ(dsound_standin::calls().size(), 1u) << call_log();
}

TEST_F(ButtonStackTest, TheFirstClickPlaysTheModulesOwnSound) {
    click(kButtons[3]);
    EXPECT_EQ(dsound_standin::operations(),
              (std::vector<std::string>{"DirectSoundCreate", "SetCooperativeLevel", "CreateSoundBuffer", "Lock",
                                        "Unlock", "SetCurrentPosition", "Play"}))
        << call_log();
    ASSERT_EQ(dsound_standin::played().size(), 1u);
    const dsound_standin::PlayedSound& sound = dsound_standin::played()[0];
    EXPECT_EQ(sound.format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(sound.format.nChannels, 2);
    EXPECT_EQ(sound.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(sound.format.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(sound.format.nBlockAlign, 2);
    EXPECT_EQ(sound.format.wBitsPerSample, 8);
    EXPECT_EQ(sound.samples, own_samples());
    EXPECT_TRUE(dsound_standin::faults().empty());
}

TEST_F(ButtonStackTest, LaterClicksRewindAndReplayTheOneBuffer) {
    click(kButtons[0]);
    const size_t after_first = dsound_standin::calls().size();
    click(kButtons[1]);
    click(kButtons[1]);  // while the sound may still be playing
    click(kButtons[4]);
    const auto& calls = dsound_standin::calls();
    ASSERT_EQ(calls.size(), after_first + 6) << call_log();
    for (size_t i = after_first; i < calls.size(); i += 2) {
        EXPECT_EQ(calls[i].operation, Operation::kSetCurrentPosition) << call_log();
        EXPECT_EQ(calls[i].args, std::vector<uint64_t>{0}) << call_log();
        EXPECT_EQ(calls[i + 1].operation, Operation::kPlay) << call_log();
        EXPECT_EQ(calls[i + 1].object, 1u) << "every click plays the one buffer" << call_log();
    }
    EXPECT_EQ(count(Operation::kDirectSoundCreate), 1u);
    EXPECT_EQ(count(Operation::kCreateSoundBuffer), 1u);
    EXPECT_EQ(dsound_standin::played().size(), 4u);
}

// The recovery's device calls are checked in the sound player's tests; here, that a click in the module gets it.
TEST_F(ButtonStackTest, ALostBufferIsRefilledFromTheModulesResource) {
    click(kButtons[0]);
    dsound_standin::lose_buffers();  // the buffer's bytes are gone
    click(kButtons[0]);
    ASSERT_EQ(dsound_standin::played().size(), 2u) << call_log();
    EXPECT_EQ(dsound_standin::played()[1].buffer, 1u);
    EXPECT_EQ(dsound_standin::played()[1].samples, own_samples());
    EXPECT_EQ(count(Operation::kCreateSoundBuffer), 1u);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65907, 1}, {65907, 0}}));
}

TEST_F(ButtonStackTest, AFailedBufferIsTriedAgainOnTheNextClick) {
    dsound_standin::fail(Operation::kCreateSoundBuffer, DSERR_ALLOCATED);
    click(kButtons[1]);
    EXPECT_TRUE(dsound_standin::played().empty());
    click(kButtons[1]);
    EXPECT_EQ(count(Operation::kDirectSoundCreate), 1u);
    EXPECT_EQ(count(Operation::kCreateSoundBuffer), 2u) << call_log();
    EXPECT_EQ(dsound_standin::played().size(), 1u);
    EXPECT_EQ(dsound_standin::live_buffers(), 1u);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65910, 1}, {65910, 0}}));
}

TEST_F(ButtonStackTest, StateOutlastsAKillAndANewInstall) {
    click(kButtons[2]);
    host().kill();
    host().install();
    click(kButtons[2]);
    EXPECT_EQ(events(), (std::vector<SentEvent>{{65908, 1}, {65908, 0}}));
    EXPECT_EQ(flags(3), kLampFlags);
    EXPECT_EQ(count(Operation::kDirectSoundCreate), 1u);
    EXPECT_EQ(dsound_standin::played().size(), 2u);
}

TEST_F(ButtonStackTest, ASessionsClicksMakeOneTrack) {
    for (const Button& button : {kButtons[0], kButtons[1], kButtons[0]}) click(button);
    const std::string path = ::testing::TempDir() + "fennick-track.wav";
    ASSERT_TRUE(dsound_standin::write_wav_track(path, 100));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> track((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());

    const size_t gap = 22050 / 10 * 2;  // 100 ms of 2-byte frames
    ASSERT_EQ(track.size(), 44 + 3 * 628 + 2 * gap);
    EXPECT_EQ(std::string(track.begin(), track.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(track.begin() + 36, track.begin() + 40), "data");
    const std::vector<uint8_t> samples = own_samples();
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), track.begin() + 44));
    auto silent = [](uint8_t b) { return b == 0x80; };
    EXPECT_TRUE(std::all_of(track.begin() + 44 + 628, track.begin() + 44 + 628 + gap, silent))
        << "8-bit silence between the clicks";
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), track.end() - 628));

    dsound_standin::reset();
    EXPECT_FALSE(dsound_standin::write_wav_track(path, 100)) << "no track without a sound";
}

}  // namespace
