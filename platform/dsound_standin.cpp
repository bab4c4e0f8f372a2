// The DirectSound calls the modules make, for Linux: a device that plays nothing aloud but remembers what it
// was asked to play, and follows the rules of the real one that a module relies on (static buffers that can
// lose their memory, Lock and Unlock in pairs, Restore before the bytes are written again).
#include "dsound_standin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

namespace dsound_standin {
namespace {

constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);
constexpr uint8_t kLostByte = 0xCD;  // what a buffer holds before it is written, and after it lost its memory
constexpr DWORD kBufferBytesMin = 4;
constexpr DWORD kBufferBytesMax = 0x0FFFFFFF;
constexpr DWORD kFrequencyMin = 100;
constexpr DWORD kFrequencyMax = 200000;
constexpr DWORD kPrimaryBuffer = 0x1;
constexpr DWORD kPlayLooping = 0x1;

struct ScriptedFailure {
    HRESULT code;
    int count;
};

class Device;
class Buffer;

struct State {
    std::vector<std::unique_ptr<Device>> devices;
    std::vector<std::unique_ptr<Buffer>> buffers;
    std::vector<Call> calls;
    std::vector<PlayedSound> played;
    std::vector<std::string> faults;
    std::map<Operation, ScriptedFailure> failures;
    uint32_t split_next_lock = 0;
};

State& state() {
    static State* instance = new State;  // never destroyed: a module may call in while the process ends
    return *instance;
}

uint64_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// The scripted failure for this call, if one is due.
bool scripted(Operation operation, HRESULT* code) {
    auto found = state().failures.find(operation);
    if (found == state().failures.end() || found->second.count == 0) return false;
    if (found->second.count > 0) --found->second.count;
    *code = found->second.code;
    return true;
}

HRESULT record(Operation operation, Target target, uint32_t object, std::vector<uint64_t> args, HRESULT result) {
    state().calls.push_back({operation, target, object, std::move(args), result});
    return result;
}

void fault(const std::string& what) { state().faults.push_back(what); }

// A format the stand-in can play: PCM, as DirectSound checks it. Only the 16 bytes of a PCM format are read,
// as the real one does; the extra-size word belongs to other formats.
bool playable(const WAVEFORMATEX* format, WAVEFORMATEX* copy) {
    if (!format) return false;
    *copy = {};
    std::memcpy(copy, format, 16);
    const uint32_t frame = uint32_t{copy->nChannels} * copy->wBitsPerSample / 8;
    return copy->wFormatTag == WAVE_FORMAT_PCM && (copy->nChannels == 1 || copy->nChannels == 2) &&
           (copy->wBitsPerSample == 8 || copy->wBitsPerSample == 16) && copy->nBlockAlign == frame &&
           copy->nSamplesPerSec >= kFrequencyMin && copy->nSamplesPerSec <= kFrequencyMax &&
           copy->nAvgBytesPerSec == copy->nSamplesPerSec * frame;
}

class Buffer final : public IDirectSoundBuffer {
public:
    Buffer(uint32_t number, const WAVEFORMATEX& format, DWORD bytes)
        : number_(number), format_(format), memory_(bytes, kLostByte) {}

    uint32_t number() const { return number_; }
    bool live() const { return references_ > 0; }
    void lose() {
        lost_ = true;
        std::fill(memory_.begin(), memory_.end(), kLostByte);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return other(0, kNoInterface);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        check_live("AddRef");
        call(Operation::kOther, {1}, 0);
        return ++references_;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (!check_live("Release")) return 0;
        --references_;
        call(Operation::kRelease, {}, static_cast<HRESULT>(references_));
        return references_;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(void*) override { return other(3); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD, LPDWORD) override { return other(4); }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return other(5); }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG) override { return other(6); }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG) override { return other(7); }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD) override { return other(8); }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD) override { return other(9); }
    HRESULT STDMETHODCALLTYPE Initialize(IDirectSound*, LPCDSBUFFERDESC) override { return other(10); }

    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* first, LPDWORD first_bytes, LPVOID* second,
                                   LPDWORD second_bytes, DWORD flags) override {
        if (first) *first = nullptr;
        if (first_bytes) *first_bytes = 0;
        if (second) *second = nullptr;
        if (second_bytes) *second_bytes = 0;
        auto done = [&](HRESULT result) {
            std::vector<uint64_t> args = {offset, bytes, flags, 0, 0, 0, 0};
            if (result == DS_OK)
                args = {offset,
                        bytes,
                        flags,
                        address(*first),
                        *first_bytes,
                        address(second ? *second : nullptr),
                        second_bytes ? *second_bytes : 0};
            return call(Operation::kLock, std::move(args), result);
        };
        if (!check_live("Lock")) return done(DSERR_INVALIDPARAM);
        // A lost buffer answers so whatever is scripted; the script waits for a call that gets that far.
        if (lost_) return done(DSERR_BUFFERLOST);
        HRESULT code;
        if (scripted(Operation::kLock, &code)) return done(code);
        if (locked_) {
            fault("buffer " + std::to_string(number_) + ": Lock while a Lock is open");
            return done(DSERR_INVALIDPARAM);
        }
        const size_t size = memory_.size();
        if (!first || !first_bytes || flags != 0 || bytes == 0 || bytes > size || offset >= size)
            return done(DSERR_INVALIDPARAM);
        // The range from offset, wrapping to the buffer's start; a scripted split cuts the first region short.
        size_t first_length = std::min<size_t>(bytes, size - offset);
        const uint32_t split = state().split_next_lock;
        state().split_next_lock = 0;
        if (split > 0 && split < first_length) first_length = split;
        const size_t second_length = bytes - first_length;
        if (second_length > 0 && (!second || !second_bytes)) return done(DSERR_INVALIDPARAM);
        // Each region is memory of its own, copied into the buffer at Unlock, so that a write past a region
        // lands outside any buffer rather than in the next region.
        first_offset_ = offset;
        second_offset_ = (offset + first_length) % size;
        lock_first_.assign(memory_.begin() + offset, memory_.begin() + offset + first_length);
        lock_second_.assign(memory_.begin() + second_offset_, memory_.begin() + second_offset_ + second_length);
        locked_ = true;
        *first = lock_first_.data();
        *first_bytes = static_cast<DWORD>(first_length);
        if (second_length > 0) {
            *second = lock_second_.data();
            *second_bytes = static_cast<DWORD>(second_length);
        }
        return done(DS_OK);
    }

    HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) override {
        std::vector<uint64_t> args = {reserved, priority, flags};
        if (!check_live("Play")) return call(Operation::kPlay, args, DSERR_INVALIDPARAM);
        if (lost_) return call(Operation::kPlay, args, DSERR_BUFFERLOST);
        HRESULT code;
        if (scripted(Operation::kPlay, &code)) return call(Operation::kPlay, args, code);
        if (locked_) fault("buffer " + std::to_string(number_) + ": Play while a Lock is open");
        if (reserved != 0 || priority != 0 || (flags & ~kPlayLooping) != 0)
            return call(Operation::kPlay, args, DSERR_INVALIDPARAM);
        state().played.push_back(
            {number_, format_, position_, std::vector<uint8_t>(memory_.begin() + position_, memory_.end())});
        return call(Operation::kPlay, args, DS_OK);
    }

    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override {
        if (!check_live("SetCurrentPosition"))
            return call(Operation::kSetCurrentPosition, {position}, DSERR_INVALIDPARAM);
        HRESULT code;
        if (scripted(Operation::kSetCurrentPosition, &code))
            return call(Operation::kSetCurrentPosition, {position}, code);
        if (position >= memory_.size()) return call(Operation::kSetCurrentPosition, {position}, DSERR_INVALIDPARAM);
        position_ = position;
        return call(Operation::kSetCurrentPosition, {position}, DS_OK);
    }

    HRESULT STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX*) override { return other(12); }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG) override { return other(13); }
    HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return other(14); }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return other(15); }
    HRESULT STDMETHODCALLTYPE Stop() override { return other(16); }

    HRESULT STDMETHODCALLTYPE Unlock(LPVOID first, DWORD first_bytes, LPVOID second, DWORD second_bytes) override {
        std::vector<uint64_t> args = {address(first), first_bytes, address(second), second_bytes};
        if (!check_live("Unlock")) return call(Operation::kUnlock, args, DSERR_INVALIDPARAM);
        HRESULT code;
        if (scripted(Operation::kUnlock, &code)) return call(Operation::kUnlock, args, code);
        void* const second_region = lock_second_.empty() ? nullptr : lock_second_.data();
        if (!locked_ || first != lock_first_.data() || first_bytes > lock_first_.size() ||
            (second_bytes > 0 && second != second_region) || second_bytes > lock_second_.size()) {
            fault("buffer " + std::to_string(number_) + ": Unlock with values its Lock did not give");
            return call(Operation::kUnlock, args, DSERR_INVALIDPARAM);
        }
        std::copy_n(lock_first_.begin(), first_bytes, memory_.begin() + first_offset_);
        std::copy_n(lock_second_.begin(), second_bytes, memory_.begin() + second_offset_);
        locked_ = false;
        lock_first_.clear();
        lock_second_.clear();
        return call(Operation::kUnlock, args, DS_OK);
    }

    HRESULT STDMETHODCALLTYPE Restore() override {
        if (!check_live("Restore")) return call(Operation::kRestore, {}, DSERR_INVALIDPARAM);
        HRESULT code;
        if (scripted(Operation::kRestore, &code)) return call(Operation::kRestore, {}, code);
        lost_ = false;
        return call(Operation::kRestore, {}, DS_OK);
    }

private:
    bool check_live(const char* method) {
        if (live()) return true;
        fault("buffer " + std::to_string(number_) + ": " + method + " after its last Release");
        return false;
    }
    HRESULT call(Operation operation, std::vector<uint64_t> args, HRESULT result) {
        return record(operation, Target::kBuffer, number_, std::move(args), result);
    }
    HRESULT other(uint64_t slot, HRESULT result = DSERR_UNSUPPORTED) {
        check_live("a method");
        return call(Operation::kOther, {slot}, result);
    }

    uint32_t number_;
    WAVEFORMATEX format_;
    std::vector<uint8_t> memory_;
    ULONG references_ = 1;
    bool lost_ = false;
    DWORD position_ = 0;
    bool locked_ = false;
    size_t first_offset_ = 0;
    size_t second_offset_ = 0;
    std::vector<uint8_t> lock_first_;
    std::vector<uint8_t> lock_second_;
};

class Device final : public IDirectSound {
public:
    explicit Device(uint32_t number) : number_(number) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return other(0, kNoInterface);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        check_live("AddRef");
        call(Operation::kOther, {1}, 0);
        return ++references_;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if (!check_live("Release")) return 0;
        --references_;
        call(Operation::kRelease, {}, static_cast<HRESULT>(references_));
        return references_;
    }

    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                                                LPUNKNOWN outer) override {
        std::vector<uint64_t> args = {0, 0, 0, 0, 0, address(outer), 0};
        if (description)
            args = {description->dwSize,
                    description->dwFlags,
                    description->dwBufferBytes,
                    description->dwReserved,
                    address(description->lpwfxFormat),
                    address(outer),
                    0};
        if (buffer) *buffer = nullptr;
        if (!check_live("CreateSoundBuffer")) return call(Operation::kCreateSoundBuffer, args, DSERR_INVALIDPARAM);
        HRESULT code;
        if (scripted(Operation::kCreateSoundBuffer, &code)) return call(Operation::kCreateSoundBuffer, args, code);
        if (!description || !buffer || outer || description->dwSize != sizeof(DSBUFFERDESC) ||
            (description->dwFlags & kPrimaryBuffer) != 0 || description->dwReserved != 0 ||
            description->dwBufferBytes < kBufferBytesMin || description->dwBufferBytes > kBufferBytesMax)
            return call(Operation::kCreateSoundBuffer, args, DSERR_INVALIDPARAM);
        WAVEFORMATEX format;
        if (!playable(description->lpwfxFormat, &format))
            return call(Operation::kCreateSoundBuffer, args, DSERR_BADFORMAT);
        auto& buffers = state().buffers;
        const uint32_t number = static_cast<uint32_t>(buffers.size() + 1);
        buffers.push_back(std::make_unique<Buffer>(number, format, description->dwBufferBytes));
        *buffer = buffers.back().get();
        args[6] = number;
        return call(Operation::kCreateSoundBuffer, args, DS_OK);
    }

    HRESULT STDMETHODCALLTYPE GetCaps(void*) override { return other(4); }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPDIRECTSOUNDBUFFER* duplicate) override {
        if (duplicate) *duplicate = nullptr;
        return other(5);
    }

    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
        std::vector<uint64_t> args = {address(window), level};
        if (!check_live("SetCooperativeLevel")) return call(Operation::kSetCooperativeLevel, args, DSERR_INVALIDPARAM);
        HRESULT code;
        if (scripted(Operation::kSetCooperativeLevel, &code)) return call(Operation::kSetCooperativeLevel, args, code);
        if (!window || level < 1 || level > 4) return call(Operation::kSetCooperativeLevel, args, DSERR_INVALIDPARAM);
        return call(Operation::kSetCooperativeLevel, args, DS_OK);
    }

    HRESULT STDMETHODCALLTYPE Compact() override { return other(7); }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override { return other(8); }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return other(9); }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return other(10); }

private:
    bool check_live(const char* method) {
        if (references_ > 0) return true;
        fault("device " + std::to_string(number_) + ": " + method + " after its last Release");
        return false;
    }
    HRESULT call(Operation operation, std::vector<uint64_t> args, HRESULT result) {
        return record(operation, Target::kDevice, number_, std::move(args), result);
    }
    HRESULT other(uint64_t slot, HRESULT result = DSERR_UNSUPPORTED) {
        check_live("a method");
        return call(Operation::kOther, {slot}, result);
    }

    uint32_t number_;
    ULONG references_ = 1;
};

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}
void put_id(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

bool same_format(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample;
}

}  // namespace

const char* name(Operation operation) {
    switch (operation) {
        case Operation::kDirectSoundCreate: return "DirectSoundCreate";
        case Operation::kSetCooperativeLevel: return "SetCooperativeLevel";
        case Operation::kCreateSoundBuffer: return "CreateSoundBuffer";
        case Operation::kLock: return "Lock";
        case Operation::kUnlock: return "Unlock";
        case Operation::kSetCurrentPosition: return "SetCurrentPosition";
        case Operation::kPlay: return "Play";
        case Operation::kRestore: return "Restore";
        case Operation::kRelease: return "Release";
        case Operation::kOther: return "other method";
    }
    return "unknown";
}

std::string to_string(const Call& call) {
    std::string text = call.operation == Operation::kDirectSoundCreate ? ""
                       : call.target == Target::kDevice                ? "device " + std::to_string(call.object) + " "
                                                                       : "buffer " + std::to_string(call.object) + " ";
    text += name(call.operation);
    text += "(";
    for (size_t i = 0; i < call.args.size(); ++i) {
        char number[24];
        std::snprintf(number, sizeof number, call.args[i] > 0xFFFF ? "0x%llX" : "%llu",
                      static_cast<unsigned long long>(call.args[i]));
        text += (i ? ", " : "") + std::string(number);
    }
    char result[16];
    std::snprintf(result, sizeof result, "0x%X", static_cast<uint32_t>(call.result));
    return text + ") = " + result;
}

void reset() {
    State& s = state();
    s.devices.clear();
    s.buffers.clear();
    s.calls.clear();
    s.played.clear();
    s.faults.clear();
    s.failures.clear();
    s.split_next_lock = 0;
}

void forget_history() {
    State& s = state();
    s.calls.clear();
    s.played.clear();
}

void fail(Operation operation, HRESULT code, int count) { state().failures[operation] = {code, count}; }

void lose_buffers() {
    for (auto& buffer : state().buffers)
        if (buffer->live()) buffer->lose();
}

void split_next_lock(uint32_t first_length) { state().split_next_lock = first_length; }

const std::vector<Call>& calls() { return state().calls; }

std::vector<std::string> operations() {
    std::vector<std::string> names;
    for (const Call& call : state().calls) names.push_back(name(call.operation));
    return names;
}

const std::vector<PlayedSound>& played() { return state().played; }
const std::vector<std::string>& faults() { return state().faults; }

uint32_t live_buffers() {
    return static_cast<uint32_t>(std::count_if(state().buffers.begin(), state().buffers.end(),
                                               [](const auto& buffer) { return buffer->live(); }));
}

std::vector<uint8_t> wav_track(const std::vector<PlayedSound>& sounds, uint32_t gap_ms) {
    if (sounds.empty()) return {};
    const WAVEFORMATEX& format = sounds.front().format;
    for (const PlayedSound& sound : sounds)
        if (!same_format(sound.format, format)) return {};
    const uint8_t silence = format.wBitsPerSample == 8 ? 0x80 : 0x00;
    const uint64_t gap_bytes = uint64_t{format.nSamplesPerSec} * gap_ms / 1000 * format.nBlockAlign;
    std::vector<uint8_t> data;
    for (size_t i = 0; i < sounds.size(); ++i) {
        if (i > 0) data.insert(data.end(), gap_bytes, silence);
        data.insert(data.end(), sounds[i].samples.begin(), sounds[i].samples.end());
    }
    std::vector<uint8_t> file;
    put_id(file, "RIFF");
    put_u32(file, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size() + (data.size() & 1)));
    put_id(file, "WAVE");
    put_id(file, "fmt ");
    put_u32(file, 16);
    put_u16(file, format.wFormatTag);
    put_u16(file, format.nChannels);
    put_u32(file, format.nSamplesPerSec);
    put_u32(file, format.nAvgBytesPerSec);
    put_u16(file, format.nBlockAlign);
    put_u16(file, format.wBitsPerSample);
    put_id(file, "data");
    put_u32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    if (data.size() & 1) file.push_back(0);
    return file;
}

bool write_wav_track(const std::string& path, uint32_t gap_ms) {
    const std::vector<uint8_t> track = wav_track(state().played, gap_ms);
    if (track.empty()) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(track.data()), static_cast<std::streamsize>(track.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace dsound_standin

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* created, LPUNKNOWN outer) {
    using namespace dsound_standin;
    auto done = [&](uint32_t number, HRESULT result) {
        return record(Operation::kDirectSoundCreate, Target::kDevice, number, {address(device), address(outer)},
                      result);
    };
    if (created) *created = nullptr;
    HRESULT code;
    if (scripted(Operation::kDirectSoundCreate, &code)) return done(0, code);
    if (!created || outer) return done(0, DSERR_INVALIDPARAM);
    if (device) return done(0, DSERR_NODRIVER);  // only the default device is there
    auto& devices = state().devices;
    const uint32_t number = static_cast<uint32_t>(devices.size() + 1);
    devices.push_back(std::make_unique<Device>(number));
    *created = devices.back().get();
    return done(number, DS_OK);
}
