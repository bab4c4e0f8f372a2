// The click-sound player on its own, over the scripted DirectSound stand-in: its result codes and status
// word, and the device calls behind each. The player finds its sounds through the module handle; here that
// is the handle of the built fennick module, so the sounds are the module's own resources.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dsound_standin.h"
#include "module_frame.h"
#include "module_test.h"
#include "sound_player.h"

ModuleHandle module_instance = nullptr;

namespace {

using dsound_standin::Operation;
using Operations = std::vector<std::string>;

constexpr int32_t kClick = 3001;
constexpr size_t kFormatOffset = 20;  // of the "fmt " data in the module's own sound
constexpr size_t kDataOffset = 58;
constexpr uint32_t kDataSize = 628;

// clang-format off
const Operations kFirstPlay = {"DirectSoundCreate", "SetCooperativeLevel", "CreateSoundBuffer", "Lock", "Unlock",
                               "SetCurrentPosition", "Play"};
const Operations kReplay = {"SetCurrentPosition", "Play"};
const Operations kRecovery = {"SetCurrentPosition", "Play", "Restore", "Restore", "Lock", "Unlock",
                              "SetCurrentPosition", "Play"};
// clang-format on

std::string joined(const Operations& operations) {
    std::string text;
    for (const std::string& name : operations) text += (text.empty() ? "" : ", ") + name;
    return "[" + text + "]";
}

class SoundPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        module_ = bench::LoadedModule::load(module_path("fennick"), &error).release();
        ASSERT_NE(module_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete module_;
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr);
        dsound_standin::reset();
        sound_player = SoundPlayer{};
        module_instance = module_->handle();
    }

    // The module's own sound, as its resources hold it.
    static const uint8_t* own_sound() {
        size_t size = 0;
        const uint8_t* image = module_->resource(kClick, "WAVE", &size);
        EXPECT_EQ(size, 686u);
        return image;
    }
    static std::vector<uint8_t> own_samples() {
        const uint8_t* image = own_sound();
        return std::vector<uint8_t>(image + kDataOffset, image + kDataOffset + kDataSize);
    }

    // The operations called since `from`.
    static Operations operations_since(size_t from) {
        Operations all = dsound_standin::operations();
        return Operations(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
    }
    static std::string call_log() {
        std::string text;
        for (const auto& call : dsound_standin::calls()) text += "\n  " + dsound_standin::to_string(call);
        return text;
    }

    static bench::LoadedModule* module_;
};

bench::LoadedModule* SoundPlayerTest::module_ = nullptr;

struct Outcome {
    const char* name;
    std::function<void()> before;  // earlier requests and the script for the one under test
    int32_t id;
    int32_t result;
    int32_t status;
    Operations operations;  // called by the request under test
    uint32_t live_buffers;
    size_t heard;  // sounds the request under test played
};

// clang-format off
TEST_F(SoundPlayerTest, EveryOutcomeGivesItsResultAndStatus) {
    using dsound_standin::fail;
    auto play = [](int32_t id) { return [id] { play_sound(id); }; };
    auto then = [](std::function<void()> first, std::function<void()> second) {
        return [=] {
            first();
            second();
        };
    };
    auto lost = [] {
        play_sound(kClick);
        dsound_standin::lose_buffers();
    };
    const Outcome outcomes[] = {
        {"the sound starts", [] {}, kClick, 0, 0, kFirstPlay, 1, 1},
        {"the device cannot be made", [] { fail(Operation::kDirectSoundCreate, DSERR_NODRIVER); }, kClick,
         DSERR_NODRIVER, DSERR_NODRIVER, {"DirectSoundCreate"}, 0, 0},
        {"a request after the device could not be made",
         then([] { fail(Operation::kDirectSoundCreate, DSERR_NODRIVER); }, play(kClick)),
         kClick, -4, -4, {}, 0, 0},
        {"the cooperative level is refused", [] { fail(Operation::kSetCooperativeLevel, DSERR_ALLOCATED); }, kClick,
         DSERR_ALLOCATED, -1, {"DirectSoundCreate", "SetCooperativeLevel"}, 0, 0},
        {"a request after the level was refused uses the device",
         then([] { fail(Operation::kSetCooperativeLevel, DSERR_ALLOCATED); }, play(kClick)), kClick, 0, 0,
         {"CreateSoundBuffer", "Lock", "Unlock", "SetCurrentPosition", "Play"}, 1, 1},
        {"the buffer is refused", [] { fail(Operation::kCreateSoundBuffer, DSERR_ALLOCATED); }, kClick, -5, -5,
         {"DirectSoundCreate", "SetCooperativeLevel", "CreateSoundBuffer"}, 0, 0},
        {"a refused buffer is tried again by the next request",
         then([] { fail(Operation::kCreateSoundBuffer, DSERR_ALLOCATED); }, play(kClick)), kClick, 0, 0,
         {"CreateSoundBuffer", "Lock", "Unlock", "SetCurrentPosition", "Play"}, 1, 1},
        {"the new buffer cannot be locked, and is released", [] { fail(Operation::kLock, DSERR_INVALIDPARAM); },
         kClick, -5, -5, {"DirectSoundCreate", "SetCooperativeLevel", "CreateSoundBuffer", "Lock", "Release"}, 0, 0},
        {"no such resource", [] {}, 3002, -5, -5, {"DirectSoundCreate", "SetCooperativeLevel"}, 0, 0},
        {"the second request finds the cached buffer", play(kClick), kClick, 0, 0, kReplay, 1, 1},
        {"Play fails", then(play(kClick), [] { fail(Operation::kPlay, DSERR_GENERIC); }), kClick, DSERR_GENERIC, -3,
         kReplay, 1, 0},
        {"Play fails on the first request", [] { fail(Operation::kPlay, DSERR_INVALIDPARAM); }, kClick,
         DSERR_INVALIDPARAM, -3, kFirstPlay, 1, 0},
        {"the buffer is lost and Restore fails", then(lost, [] { fail(Operation::kRestore, DSERR_BUFFERLOST); }),
         kClick, DSERR_BUFFERLOST, DSERR_BUFFERLOST, {"SetCurrentPosition", "Play", "Restore"}, 1, 0},
        {"the buffer is lost, restored, and cannot be refilled",
         then(lost, [] { fail(Operation::kLock, DSERR_INVALIDPARAM); }), kClick, 0, 0,
         {"SetCurrentPosition", "Play", "Restore", "Restore", "Lock"}, 1, 0},
        {"the buffer is lost, restored, refilled and played", lost, kClick, 0, 0, kRecovery, 1, 1},
        {"the buffer is lost, restored, refilled, and the replay fails",
         then(lost, [] { fail(Operation::kPlay, DSERR_GENERIC); }), kClick, DSERR_GENERIC, DSERR_GENERIC, kRecovery,
         1, 0},
        // The look-up takes the low 16 bits of the id; the cache compares all 32.
        {"an id whose low 16 bits name the sound", [] {}, kClick + 0x10000, 0, 0, kFirstPlay, 1, 1},
        {"a second sound while the cache entry is taken is refused", play(kClick), 3002, -5, -5, {}, 1, 0},
        {"the same resource under another 32-bit id is a second sound", play(kClick), kClick + 0x10000, -5, -5, {}, 1,
         0},
    };
    for (const Outcome& outcome : outcomes) {
        SCOPED_TRACE(outcome.name);
        SetUp();
        outcome.before();
        const size_t from = dsound_standin::calls().size();
        const size_t heard_before = dsound_standin::played().size();
        const SoundPlayer cached = sound_player;
        const int32_t result = play_sound(outcome.id);
        EXPECT_EQ(result, outcome.result) << outcome.name << call_log();
        EXPECT_EQ(sound_player.sound_status, outcome.status) << outcome.name;
        EXPECT_EQ(joined(operations_since(from)), joined(outcome.operations)) << outcome.name << call_log();
        EXPECT_EQ(dsound_standin::live_buffers(), outcome.live_buffers) << outcome.name;
        ASSERT_EQ(dsound_standin::played().size(), heard_before + outcome.heard) << outcome.name;
        if (outcome.heard) {
            EXPECT_EQ(dsound_standin::played().back().samples, own_samples()) << outcome.name;
        }
        // An entry, once made, keeps its buffer and id whatever befalls the buffer: a lost one is refilled.
        for (int32_t i = 0; i < cached.cache_count; ++i) {
            EXPECT_EQ(sound_player.cache[i].buffer, cached.cache[i].buffer) << outcome.name;
            EXPECT_EQ(sound_player.cache[i].id, cached.cache[i].id) << outcome.name;
        }
        EXPECT_LE(sound_player.cache_count, kSoundCacheCapacity) << outcome.name;
        EXPECT_EQ(dsound_standin::faults(), std::vector<std::string>{}) << outcome.name;
    }
}
// clang-format on

TEST_F(SoundPlayerTest, TheBufferIsMadeFromTheResourceInPlace) {
    ASSERT_EQ(play_sound(kClick), 0) << call_log();
    const auto& calls = dsound_standin::calls();
    ASSERT_EQ(calls.size(), kFirstPlay.size()) << call_log();

    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{0, 0})) << "default device, no aggregation";
    const uint64_t window = reinterpret_cast<uintptr_t>(GetForegroundWindow());
    EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{window, DSSCL_NORMAL}));

    const uint64_t format = reinterpret_cast<uintptr_t>(own_sound() + kFormatOffset);
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{sizeof(DSBUFFERDESC), 0x000100E2, kDataSize, 0, format, 0, 1}))
        << dsound_standin::to_string(calls[2]);

    EXPECT_EQ(std::vector<uint64_t>(calls[3].args.begin(), calls[3].args.begin() + 3),
              (std::vector<uint64_t>{0, kDataSize, 0}))
        << "Lock(offset, bytes, flags)";
    EXPECT_EQ(calls[4].args, std::vector<uint64_t>(calls[3].args.begin() + 3, calls[3].args.end()))
        << "Unlock gets what Lock gave";
    EXPECT_EQ(calls[5].args, std::vector<uint64_t>{0}) << "rewound";
    EXPECT_EQ(calls[6].args, (std::vector<uint64_t>{0, 0, 0})) << "played once, no looping";

    ASSERT_EQ(dsound_standin::played().size(), 1u);
    const dsound_standin::PlayedSound& sound = dsound_standin::played()[0];
    EXPECT_EQ(sound.samples, own_samples());
    EXPECT_EQ(sound.format.nChannels, 2);
    EXPECT_EQ(sound.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(sound.format.wBitsPerSample, 8);
    EXPECT_EQ(sound_player.cache_count, 1);
    EXPECT_EQ(sound_player.cache[0].id, kClick);
}

TEST_F(SoundPlayerTest, BothRegionsOfALockAreFilled) {
    dsound_standin::split_next_lock(100);
    ASSERT_EQ(play_sound(kClick), 0) << call_log();
    const auto& lock = dsound_standin::calls()[3];
    ASSERT_EQ(lock.operation, Operation::kLock);
    EXPECT_EQ(lock.args[4], 100u) << "first length";
    EXPECT_EQ(lock.args[6], kDataSize - 100) << "second length";
    ASSERT_EQ(dsound_standin::played().size(), 1u);
    EXPECT_EQ(dsound_standin::played()[0].samples, own_samples());
}

}  // namespace
