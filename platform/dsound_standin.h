// Scripting the DirectSound stand-in, for the tests and the bench; modules never include this header.
//
// The stand-in keeps one sound device per DirectSoundCreate and the buffers made on it, logs every call a
// module makes, remembers each sound it started, and fails the calls it is told to. Objects are owned by the
// stand-in and live until reset(), so a module that drops or forgets them leaves nothing dangling.
#pragma once

#include <dsound.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dsound_standin {

enum class Operation {
    kDirectSoundCreate,
    kSetCooperativeLevel,
    kCreateSoundBuffer,
    kLock,
    kUnlock,
    kSetCurrentPosition,
    kPlay,
    kRestore,
    kRelease,
    kOther,  // any other method: logged and answered with DSERR_UNSUPPORTED
};
const char* name(Operation operation);

enum class Target { kDevice, kBuffer };

// One call, in the order the stand-in got them. `object` numbers the device or buffer the method was called on
// (each kind counts from 1 since reset); for DirectSoundCreate it is the device made, 0 when none was.
// `args`, by operation:
//   kDirectSoundCreate    device GUID address, outer address
//   kSetCooperativeLevel  window, level
//   kCreateSoundBuffer    dwSize, dwFlags, dwBufferBytes, dwReserved, format address, outer address,
//                         the new buffer's number (0 when none was made)
//   kLock                 offset, bytes, flags, then what it gave: first pointer, first length, second pointer,
//                         second length
//   kUnlock               first pointer, first length, second pointer, second length
//   kSetCurrentPosition   position
//   kPlay                 reserved, priority, flags
//   kRestore              (none)
//   kRelease              (none); `result` is the count of references left
//   kOther                the method's vtable slot
struct Call {
    Operation operation;
    Target target;
    uint32_t object;
    std::vector<uint64_t> args;
    HRESULT result;
};
// "buffer 1 Play(0, 0, 0) = 0x0", for failure messages.
std::string to_string(const Call& call);

// A sound that Play started: the buffer's wave format as created, and its bytes from the current position on.
struct PlayedSound {
    uint32_t buffer;
    WAVEFORMATEX format;
    uint32_t start;
    std::vector<uint8_t> samples;
};

// Forgets every object, call, sound, fault and scripted failure. The objects are freed: call it only while no
// loaded module holds a device or buffer (before a module is loaded, or after it is unloaded).
void reset();

// Forgets the calls and sounds recorded so far and keeps the objects: for long sessions.
void forget_history();

// The next `count` calls of `operation` return `code` and do nothing else; a negative count fails every call
// from now on. A failed DirectSoundCreate leaves no device: that is "no sound device". A lost buffer's Play
// and Lock answer DSERR_BUFFERLOST first and leave the script for a later call; scripting DSERR_BUFFERLOST
// is not the same as losing the buffer: use lose_buffers() for that.
void fail(Operation operation, HRESULT code, int count = 1);
// Every live buffer loses its memory now, as when another application takes the sound card: Play and Lock
// return DSERR_BUFFERLOST until Restore, and after Restore the bytes must be written again.
void lose_buffers();
// The next Lock hands out its range as two regions, the first `first_length` bytes long, as a Lock that wraps
// around the end of a streaming buffer does.
void split_next_lock(uint32_t first_length);

const std::vector<Call>& calls();
// The operation names of calls(), for comparing sequences.
std::vector<std::string> operations();
const std::vector<PlayedSound>& played();
// Misuse the real DirectSound would refuse or that would corrupt memory: a call on a released object, an
// Unlock with other values than its Lock gave, a Play while a Lock is open, ...
const std::vector<std::string>& faults();
// Buffers created and not released.
uint32_t live_buffers();

// The played sounds as one WAV file, in order, with `gap_ms` of silence between two sounds. Every sound must
// share the first one's format; the result is empty when none was played or the formats differ.
std::vector<uint8_t> wav_track(const std::vector<PlayedSound>& sounds, uint32_t gap_ms);
// Writes wav_track(played(), gap_ms) to `path`. False, and nothing written, when the track is empty or the
// file cannot be written.
bool write_wav_track(const std::string& path, uint32_t gap_ms);

}  // namespace dsound_standin
