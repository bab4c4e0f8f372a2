// Stand-in for the part of <windows.h> that the gauge modules use, for builds where Win32 is not at hand.
// The functions live in the win32 stand-in library, which a module links against as a DLL imports
// KERNEL32 and USER32.
#pragma once

#include <cstdarg>
#include <cstdint>

#if defined(__i386__)
#define WINAPI __attribute__((stdcall))
#else
#define WINAPI
#endif
#define WINAPIV
#define WIN32_STANDIN_API extern "C" __attribute__((visibility("default")))

using BOOL = int;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using LONG = int32_t;
using UINT = unsigned int;
using HRESULT = int32_t;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using HINSTANCE = void*;
using HMODULE = void*;
using HWND = void*;
using HGLOBAL = void*;
struct HRSRC__;
using HRSRC = HRSRC__*;

#define TRUE 1
#define FALSE 0

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(id))))
#define IS_INTRESOURCE(name) ((reinterpret_cast<uintptr_t>(name) >> 16) == 0)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_VERSION MAKEINTRESOURCEA(16)

WIN32_STANDIN_API HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
WIN32_STANDIN_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
WIN32_STANDIN_API LPVOID WINAPI LockResource(HGLOBAL loaded);
WIN32_STANDIN_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);
WIN32_STANDIN_API HWND WINAPI GetForegroundWindow();
// As the real functions: %[-][#][0][width][.precision][h|l] with c, C, d, i, u, x, X, s, S and %%; no floating
// point. They write at most 1024 characters and the terminating zero, and return the count written.
WIN32_STANDIN_API int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...);
WIN32_STANDIN_API int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list args);
