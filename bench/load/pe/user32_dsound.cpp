// USER32 and DSOUND, as far as gauges use them, for Windows modules the bench maps itself: wsprintfA as the
// Linux stand-in formats it, and the bench's DirectSound stand-in, whose sounds go to the run's sound track.
#include <dsound.h>
#include <windows.h>

#include "runtime.h"

namespace bench::pe {
namespace {

int foreground_window;

void* PE_STDCALL GetForegroundWindow_call() {
    InsideStandIn marker("USER32!GetForegroundWindow");
    return &foreground_window;
}

int PE_CDECL wsprintfA_call(char* buffer, const char* format, ...) {
    InsideStandIn marker("USER32!wsprintfA");
    va_list args;
    va_start(args, format);
    const int written = ::wvsprintfA(buffer, format, args);
    va_end(args);
    return written;
}

int PE_STDCALL wvsprintfA_call(char* buffer, const char* format, va_list args) {
    InsideStandIn marker("USER32!wvsprintfA");
    return ::wvsprintfA(buffer, format, args);
}

HRESULT PE_STDCALL DirectSoundCreate_call(LPCGUID device, LPDIRECTSOUND* created, LPUNKNOWN outer) {
    InsideStandIn marker("DSOUND!DirectSoundCreate");
    return ::DirectSoundCreate(device, created, outer);
}

template <typename Function>
void* address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

std::vector<StandIn> user32_stand_ins() {
    return {
        {"user32.dll", "GetForegroundWindow", 0, address(GetForegroundWindow_call)},
        {"user32.dll", "wsprintfA", 0, address(wsprintfA_call)},
        {"user32.dll", "wvsprintfA", 0, address(wvsprintfA_call)},
    };
}

std::vector<StandIn> dsound_stand_ins() {
    // DirectSoundCreate is DSOUND's first ordinal in every release.
    return {{"dsound.dll", "DirectSoundCreate", 1, address(DirectSoundCreate_call)}};
}

}  // namespace bench::pe
