// Calling Windows code the stdcall way and checking that it popped its arguments: a function that pops more or
// fewer bytes than it was given leaves the caller's stack off, which only shows later as a crash somewhere else.
#pragma once

#include <cstdint>

extern "C" {
// Calls `function` with `count` 32-bit arguments; `*off` is how far from where stdcall leaves it the stack
// pointer came back (0 when the callee popped exactly its arguments). The caller's stack is put back either way.
uint32_t bench_call_stdcall(const void* function, const uint32_t* arguments, uint32_t count, int32_t* off);
// The same for a function that returns a double.
double bench_call_stdcall_double(const void* function, const uint32_t* arguments, uint32_t count, int32_t* off);
}
