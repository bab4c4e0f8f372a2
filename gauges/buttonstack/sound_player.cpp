#include "sound_player.h"

#include <cstring>

#include "module_frame.h"
#include "wave_image.h"

SoundPlayer sound_player;

namespace {

constexpr DWORD kBufferFlags =
    DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kBufferFlags == 0x000100E2);

// The cached buffer for `id`, compared on all 32 bits.
IDirectSoundBuffer* cached_buffer(int32_t id) {
    for (int32_t i = 0; i < sound_player.cache_count; ++i)
        if (sound_player.cache[i].id == id) return sound_player.cache[i].buffer;
    return nullptr;
}

int32_t finish(int32_t status, int32_t result) {
    sound_player.sound_status = status;
    return result;
}

int32_t rewind_and_play(IDirectSoundBuffer* buffer) {
    buffer->SetCurrentPosition(0);
    return buffer->Play(0, 0, 0);
}

}  // namespace

int32_t play_sound(int32_t id) {
    SoundPlayer& player = sound_player;
    if (player.first_use) {
        player.first_use = false;
        const HRESULT created = DirectSoundCreate(nullptr, &player.device, nullptr);
        if (created != DS_OK) {
            player.device = nullptr;  // no later request tries again
            return finish(created, created);
        }
        const HRESULT level = player.device->SetCooperativeLevel(GetForegroundWindow(), DSSCL_NORMAL);
        if (level != DS_OK) return finish(kSoundCooperativeLevelRefused, level);
    } else if (!player.device) {
        return finish(kSoundNoDevice, kSoundNoDevice);
    }

    IDirectSoundBuffer* buffer = cached_buffer(id);
    if (!buffer) {
        // A second sound while the one entry is taken is refused before anything is made, so nothing is
        // written past the cache and no buffer is left without an owner.
        if (player.cache_count >= kSoundCacheCapacity) return finish(kSoundNoBuffer, kSoundNoBuffer);
        buffer = create_sound_buffer(player.device, id & 0xFFFF);
        if (!buffer) return finish(kSoundNoBuffer, kSoundNoBuffer);
        player.cache[player.cache_count] = {buffer, id};
        ++player.cache_count;
    }

    const HRESULT played = rewind_and_play(buffer);
    if (played == DSERR_BUFFERLOST) {
        const HRESULT restored = buffer->Restore();
        if (restored != DS_OK) return finish(restored, restored);
        // Nothing is heard this time, but the request did what it could.
        if (!refill_sound_buffer(buffer, id & 0xFFFF)) return finish(0, 0);
        const HRESULT replayed = rewind_and_play(buffer);
        return finish(replayed, replayed);
    }
    if (played != DS_OK) return finish(kSoundPlayFailed, played);
    return finish(0, 0);
}

IDirectSoundBuffer* create_sound_buffer(IDirectSound* device, int32_t id) {
    const WAVEFORMATEX* format = nullptr;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!find_wave_resource(static_cast<HMODULE>(module_instance), id, &format, &data, &size)) return nullptr;
    // The format is handed over in place, in the resource image that stays loaded with the module.
    DSBUFFERDESC description = {
        .dwSize = sizeof(DSBUFFERDESC),
        .dwFlags = kBufferFlags,
        .dwBufferBytes = size,
        .dwReserved = 0,
        .lpwfxFormat = const_cast<WAVEFORMATEX*>(format),
    };
    IDirectSoundBuffer* buffer = nullptr;
    if (device->CreateSoundBuffer(&description, &buffer, nullptr) < 0 || !buffer) return nullptr;
    if (!fill_sound_buffer(buffer, data, size)) {
        buffer->Release();
        return nullptr;
    }
    return buffer;
}

bool refill_sound_buffer(IDirectSoundBuffer* buffer, int32_t id) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!find_wave_resource(static_cast<HMODULE>(module_instance), id, nullptr, &data, &size)) return false;
    if (buffer->Restore() < 0) return false;
    return fill_sound_buffer(buffer, data, size);
}

bool find_wave_resource(HMODULE module, int32_t id, const WAVEFORMATEX** format, const uint8_t** data, uint32_t* size) {
    if (format) *format = nullptr;
    if (data) *data = nullptr;
    if (size) *size = 0;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "WAVE");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return false;
    const void* image = LockResource(loaded);
    if (!image) return false;
    const uint8_t* format_bytes = nullptr;
    const bool parsed = parse_wave_image(static_cast<const uint8_t*>(image), SizeofResource(module, found),
                                         format ? &format_bytes : nullptr, data, size);
    if (format) *format = reinterpret_cast<const WAVEFORMATEX*>(format_bytes);
    return parsed;
}

bool fill_sound_buffer(IDirectSoundBuffer* buffer, const uint8_t* source, uint32_t count) {
    if (!buffer || !source || count == 0) return false;
    void* first = nullptr;
    DWORD first_length = 0;
    void* second = nullptr;
    DWORD second_length = 0;
    if (buffer->Lock(0, count, &first, &first_length, &second, &second_length, 0) < 0) return false;
    // The two regions cover the range asked for; the copy never reads past the source whatever they say.
    const uint32_t first_copy = first_length < count ? first_length : count;
    if (first_copy != 0) std::memcpy(first, source, first_copy);
    const uint32_t rest = count - first_copy;
    if (second_length != 0 && rest != 0)
        std::memcpy(second, source + first_copy, second_length < rest ? second_length : rest);
    buffer->Unlock(first, first_length, second, second_length);
    return true;
}
