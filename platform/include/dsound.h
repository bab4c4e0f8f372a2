// Stand-in for the part of <dsound.h> that the gauge modules use, for builds where DirectSound is not at hand.
// The interfaces keep the real method order (IUnknown's three first), so a module calls the same vtable slots
// as on Windows; on i386 the methods use the standard calling convention, `this` pushed first, as COM does.
// The functions live in the DirectSound stand-in library, which a module links against as a DLL imports
// DSOUND.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#define STDMETHODCALLTYPE WINAPI
#define DSOUND_STANDIN_API extern "C" __attribute__((visibility("default")))

using ULONG = uint32_t;
using LPDWORD = DWORD*;
using LPLONG = LONG*;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using LPCGUID = const GUID*;
using REFIID = const GUID&;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "size of WAVEFORMATEX");
static_assert(offsetof(WAVEFORMATEX, nBlockAlign) == 12, "offset of WAVEFORMATEX::nBlockAlign");
using LPWAVEFORMATEX = WAVEFORMATEX*;
#define WAVE_FORMAT_PCM 1

// The description in its first, 20-byte form (a 32-bit build's size; only the pointer widens elsewhere).
struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
};
static_assert(sizeof(DSBUFFERDESC) == 20 + (sizeof(void*) - 4), "size of DSBUFFERDESC");
static_assert(offsetof(DSBUFFERDESC, lpwfxFormat) == 16, "offset of DSBUFFERDESC::lpwfxFormat");
using LPCDSBUFFERDESC = const DSBUFFERDESC*;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
using LPUNKNOWN = IUnknown*;

struct IDirectSound;

// Methods the modules never call keep their slots with untyped arguments.
struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCaps(void* caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play_cursor, LPDWORD write_cursor) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX format, DWORD size_allocated, LPDWORD size_written) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPan(LPLONG pan) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD frequency) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(IDirectSound* device, LPCDSBUFFERDESC description) = 0;
    virtual HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* first, LPDWORD first_bytes,
                                           LPVOID* second, LPDWORD second_bytes, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPan(LONG pan) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFrequency(DWORD frequency) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Unlock(LPVOID first, DWORD first_bytes, LPVOID second, DWORD second_bytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE Restore() = 0;
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

struct IDirectSound : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                                                        LPUNKNOWN outer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(void* caps) = 0;
    virtual HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                           LPDIRECTSOUNDBUFFER* duplicate) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compact() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD config) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD config) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LPCGUID device) = 0;
};
using LPDIRECTSOUND = IDirectSound*;

DSOUND_STANDIN_API HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* created, LPUNKNOWN outer);

#define DS_OK 0
#define DSERR_ALLOCATED static_cast<HRESULT>(0x8878000A)
#define DSERR_BADFORMAT static_cast<HRESULT>(0x88780064)
#define DSERR_NODRIVER static_cast<HRESULT>(0x88780078)
#define DSERR_BUFFERLOST static_cast<HRESULT>(0x88780096)
#define DSERR_INVALIDPARAM static_cast<HRESULT>(0x80070057)
#define DSERR_GENERIC static_cast<HRESULT>(0x80004005)
#define DSERR_UNSUPPORTED static_cast<HRESULT>(0x80004001)

#define DSSCL_NORMAL 1

#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000
