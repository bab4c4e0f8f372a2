// The click-sound player: plays the module's own "WAVE" resources through DirectSound. The device is made on
// the first request, a static buffer on the first request for a sound and kept, and every request rewinds
// and starts that buffer. Each request returns a result code and leaves it in `sound_status`.
#pragma once

#define DIRECTSOUND_VERSION 0x0500  // the interfaces as the host's own era knew them: a 20-byte DSBUFFERDESC
#include <windows.h>
#include <dsound.h>

#include <cstdint>

struct SoundCacheEntry {
    IDirectSoundBuffer* buffer;
    int32_t id;  // exactly as requested, all 32 bits
};

// The module plays one sound, so one entry is all the cache ever fills.
constexpr int32_t kSoundCacheCapacity = 1;

// play_sound's own result and status codes, beside the device's.
constexpr int32_t kSoundCooperativeLevelRefused = -1;  // status only: the result is the device's code
constexpr int32_t kSoundPlayFailed = -3;               // status only: the result is Play's code
constexpr int32_t kSoundNoDevice = -4;
constexpr int32_t kSoundNoBuffer = -5;

struct SoundPlayer {
    bool first_use = true;  // cleared by the first request: the device is made at most once
    IDirectSound* device = nullptr;
    SoundCacheEntry cache[kSoundCacheCapacity] = {};
    int32_t cache_count = 0;
    int32_t sound_status = 0;  // outcome of the last request; nothing reads it back
};
extern SoundPlayer sound_player;

// Plays the "WAVE" resource `id` (its low 16 bits name the resource) from its start: 0 when it started.
int32_t play_sound(int32_t id);

// A static buffer made and filled for the resource, or null.
IDirectSoundBuffer* create_sound_buffer(IDirectSound* device, int32_t id);
// Restores a lost buffer and writes the resource's sample bytes into it again.
bool refill_sound_buffer(IDirectSoundBuffer* buffer, int32_t id);
// The resource's wave format, sample bytes and their count, in place in the module's resources; each output
// may be null.
bool find_wave_resource(HMODULE module, int32_t id, const WAVEFORMATEX** format, const uint8_t** data, uint32_t* size);
bool fill_sound_buffer(IDirectSoundBuffer* buffer, const uint8_t* source, uint32_t count);
