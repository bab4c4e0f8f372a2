// The binary conventions shared by the host and every gauge module.
//
// Every function that crosses the module boundary (routines, callbacks, handlers, host services) uses the
// Win32 standard calling convention: arguments pushed right to left, the callee pops them. On x86-64 there is
// only one convention and the attribute is meaningless, so it is left out there.
//
// Every record the host reads is packed to 4 bytes, so a double may follow a 4-byte field directly.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(_M_IX86)
#define GAUGE_CALL __attribute__((stdcall))
#else
#define GAUGE_CALL
#endif

#define GAUGE_RECORDS_BEGIN _Pragma("pack(push, 4)")
#define GAUGE_RECORDS_END _Pragma("pack(pop)")

// Layout pins. The sizes and offsets are those of the 32-bit module; a build with wider pointers keeps field
// order, every non-pointer width and every host-owned stretch, so only the pointer fields grow. Each pin names
// how many pointers lie before the field (or in the whole record), which makes the same line exact on both.
#define GAUGE_POINTER_GROWTH(pointers) ((sizeof(void*) - 4) * (pointers))
#define GAUGE_PIN_SIZE(Record, size32, pointers) \
    static_assert(sizeof(Record) == (size32) + GAUGE_POINTER_GROWTH(pointers), "size of " #Record)
#define GAUGE_PIN_FIELD(Record, field, offset32, pointers_before)                                \
    static_assert(offsetof(Record, field) == (offset32) + GAUGE_POINTER_GROWTH(pointers_before), \
                  "offset of " #Record "::" #field)

// The module handle the host passes to gauge_install, the same value the library entry point receives.
using ModuleHandle = void*;
