// msvcrt, as far as gauges and their C runtime's start-up use it, for Windows modules the bench maps itself.
// Every function is cdecl. Memory comes from the calling module's own arena; what the module writes to its
// standard streams is heard with its debug output.
#include <sched.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime.h"

namespace bench::pe {
namespace {

// The C runtime's stream table, as msvcrt lays it out: 20 streams of 32 bytes, stdin, stdout and stderr first.
constexpr size_t kStreamSize = 32;
constexpr size_t kStreams = 20;
alignas(16) uint8_t iob[kStreams * kStreamSize];

// The stream's index in the table, or -1 for a stream the bench does not know.
int stream_index(const void* stream) {
    const auto* p = static_cast<const uint8_t*>(stream);
    if (p < iob || p >= iob + sizeof iob || (p - iob) % kStreamSize != 0) return -1;
    return static_cast<int>((p - iob) / kStreamSize);
}

void say(const char* text, size_t length) {
    if (Module* module = current_module()) module->say(std::string(text, length));
}

// msvcrt's printf formats as glibc reads them: the size prefixes I64, I32 and I, and %p as eight hex digits.
const char* glibc_format(const char* format, char* buffer, size_t size) {
    if (!std::strchr(format, 'I') && !std::strchr(format, 'p')) return format;
    size_t out = 0;
    for (const char* f = format; *f;) {
        if (out + 8 >= size) return format;  // too long to translate: glibc reads it as it is
        if (*f != '%') {
            buffer[out++] = *f++;
            continue;
        }
        buffer[out++] = *f++;
        if (*f == '%') {
            buffer[out++] = *f++;
            continue;
        }
        while (*f && std::strchr("-+ #0123456789.*", *f) && out + 8 < size) buffer[out++] = *f++;
        if (f[0] == 'I' && f[1] == '6' && f[2] == '4') {
            buffer[out++] = 'l', buffer[out++] = 'l', f += 3;
        } else if (f[0] == 'I' && f[1] == '3' && f[2] == '2') {
            f += 3;
        } else if (f[0] == 'I') {
            f += 1;
        }
        if (*f == 'p') {
            std::memcpy(buffer + out, "08X", 3), out += 3, ++f;
        }
    }
    buffer[out] = '\0';
    return buffer;
}

int format_to(char* buffer, size_t size, const char* format, va_list args) {
    char translated[1024];
    return std::vsnprintf(buffer, size, glibc_format(format, translated, sizeof translated), args);
}

// The stream's text goes where the module's debug output goes.
int write_stream(const void* stream, const char* format, va_list args) {
    if (stream_index(stream) < 0) {
        errno = EBADF;
        return -1;
    }
    char text[2048];
    va_list copy;
    va_copy(copy, args);
    const int length = format_to(text, sizeof text, format, args);
    if (length >= 0 && static_cast<size_t>(length) < sizeof text) {
        say(text, static_cast<size_t>(length));
    } else if (length >= 0) {
        std::string long_text(static_cast<size_t>(length) + 1, '\0');
        format_to(long_text.data(), long_text.size(), format, copy);
        say(long_text.data(), static_cast<size_t>(length));
    }
    va_end(copy);
    return length;
}

// msvcrt's own locks, recursive, by number.
struct RuntimeLock {
    uint32_t owner;
    uint32_t depth;
};
constexpr int kRuntimeLocks = 64;
RuntimeLock runtime_locks[kRuntimeLocks];

Arena* calling_heap() {
    Module* module = current_module();
    return module ? &module->heap() : nullptr;
}

void PE_CDECL amsg_exit(int code) {
    InsideStandIn marker("msvcrt!_amsg_exit");
    abandon_module_call("module called msvcrt!_amsg_exit with runtime error R60" + std::to_string(code) +
                        ": its C runtime gave up");
}

void PE_CDECL initterm(void (**begin)(), void (**end)()) {
    InsideStandIn marker("msvcrt!_initterm");
    for (auto** entry = begin; entry < end; ++entry) {
        if (!*entry) continue;
        InsideStandIn module_code(nullptr);  // what runs now is the module's own
        (*entry)();
    }
}

void PE_CDECL lock(int number) {
    InsideStandIn marker("msvcrt!_lock");
    if (number < 0 || number >= kRuntimeLocks)
        abandon_module_call("module called msvcrt!_lock with lock " + std::to_string(number) + ", which msvcrt lacks");
    RuntimeLock& held = runtime_locks[number];
    const uint32_t self = thread_id();
    if (__atomic_load_n(&held.owner, __ATOMIC_ACQUIRE) == self) {
        ++held.depth;
        return;
    }
    uint32_t free = 0;
    while (!__atomic_compare_exchange_n(&held.owner, &free, self, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
        free = 0;
        sched_yield();
    }
    held.depth = 1;
}

void PE_CDECL unlock(int number) {
    InsideStandIn marker("msvcrt!_unlock");
    if (number < 0 || number >= kRuntimeLocks) return;
    RuntimeLock& held = runtime_locks[number];
    if (held.owner != thread_id() || held.depth == 0) return;
    if (--held.depth == 0) __atomic_store_n(&held.owner, 0, __ATOMIC_RELEASE);
}

void PE_CDECL abort_call() {
    InsideStandIn marker("msvcrt!abort");
    abandon_module_call("module called msvcrt!abort");
}

void* PE_CDECL malloc_call(size_t size) {
    InsideStandIn marker("msvcrt!malloc");
    Arena* heap = calling_heap();
    void* block = heap ? heap->allocate(size, false) : nullptr;
    if (!block) errno = ENOMEM;
    return block;
}

void* PE_CDECL calloc_call(size_t count, size_t size) {
    InsideStandIn marker("msvcrt!calloc");
    Arena* heap = calling_heap();
    void* block = heap && (size == 0 || count <= SIZE_MAX / size) ? heap->allocate(count * size, true) : nullptr;
    if (!block) errno = ENOMEM;
    return block;
}

[[noreturn]] void bad_block(const char* function, const void* block) {
    char address[16];
    std::snprintf(address, sizeof address, "0x%08X", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)));
    abandon_module_call(std::string("module called msvcrt!") + function + " with " + address +
                        ", which is no live block of its heap");
}

void PE_CDECL free_call(void* block) {
    InsideStandIn marker("msvcrt!free");
    if (!block) return;
    Module* owner = module_with_block(block);
    if (!owner || !owner->heap().release(block)) bad_block("free", block);
}

void* PE_CDECL realloc_call(void* block, size_t size) {
    InsideStandIn marker("msvcrt!realloc");
    Module* owner = block ? module_with_block(block) : current_module();
    void* moved = nullptr;
    if (!owner || !owner->heap().reallocate(block, size, &moved)) bad_block("realloc", block);
    if (!moved && size) errno = ENOMEM;
    return moved;
}

size_t PE_CDECL fwrite_call(const void* data, size_t size, size_t count, void* stream) {
    InsideStandIn marker("msvcrt!fwrite");
    if (stream_index(stream) < 0 || size == 0 || count == 0) return 0;
    if (count > SIZE_MAX / size) return 0;
    say(static_cast<const char*>(data), size * count);
    return count;
}

int PE_CDECL vfprintf_call(void* stream, const char* format, va_list args) {
    InsideStandIn marker("msvcrt!vfprintf");
    return write_stream(stream, format, args);
}

void* PE_CDECL iob_func() {
    InsideStandIn marker("msvcrt!__iob_func");
    return iob;
}

int* PE_CDECL errno_call() {
    InsideStandIn marker("msvcrt!_errno");
    return &errno;
}

void* PE_CDECL memcpy_call(void* to, const void* from, size_t size) {
    InsideStandIn marker("msvcrt!memcpy");
    return std::memmove(to, from, size);  // msvcrt's copies overlapping blocks as memmove does
}

void* PE_CDECL memmove_call(void* to, const void* from, size_t size) {
    InsideStandIn marker("msvcrt!memmove");
    return std::memmove(to, from, size);
}

void* PE_CDECL memset_call(void* to, int value, size_t size) {
    InsideStandIn marker("msvcrt!memset");
    return std::memset(to, value, size);
}

size_t PE_CDECL strlen_call(const char* text) {
    InsideStandIn marker("msvcrt!strlen");
    return std::strlen(text);
}

int PE_CDECL strcmp_call(const char* a, const char* b) {
    InsideStandIn marker("msvcrt!strcmp");
    return std::strcmp(a, b);
}

int PE_CDECL strncmp_call(const char* a, const char* b, size_t count) {
    InsideStandIn marker("msvcrt!strncmp");
    return std::strncmp(a, b, count);
}

char* PE_CDECL strcpy_call(char* to, const char* from) {
    InsideStandIn marker("msvcrt!strcpy");
    return std::strcpy(to, from);
}

char* PE_CDECL strcat_call(char* to, const char* from) {
    InsideStandIn marker("msvcrt!strcat");
    return std::strcat(to, from);
}

int PE_CDECL sprintf_call(char* buffer, const char* format, ...) {
    InsideStandIn marker("msvcrt!sprintf");
    va_list args;
    va_start(args, format);
    const int length = format_to(buffer, INT_MAX, format, args);
    va_end(args);
    return length;
}

int PE_CDECL snprintf_call(char* buffer, size_t count, const char* format, ...) {
    InsideStandIn marker("msvcrt!_snprintf");
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int length = format_to(nullptr, 0, format, args);
    va_end(args);
    int result = length;
    if (length < 0) {
        result = -1;
    } else if (static_cast<size_t>(length) < count) {
        format_to(buffer, count, format, copy);
    } else {
        // All that fits, without a zero: -1 when the text was cut, the count when it fit exactly.
        std::string text(static_cast<size_t>(length) + 1, '\0');
        format_to(text.data(), text.size(), format, copy);
        std::memcpy(buffer, text.data(), count);
        result = static_cast<size_t>(length) == count ? length : -1;
    }
    va_end(copy);
    return result;
}

#define PE_MATH_1(name)                        \
    double PE_CDECL name##_call(double x) {    \
        InsideStandIn marker("msvcrt!" #name); \
        return std::name(x);                   \
    }
#define PE_MATH_2(name)                               \
    double PE_CDECL name##_call(double x, double y) { \
        InsideStandIn marker("msvcrt!" #name);        \
        return std::name(x, y);                       \
    }
PE_MATH_1(sin)
PE_MATH_1(cos)
PE_MATH_1(tan)
PE_MATH_1(atan)
PE_MATH_1(sqrt)
PE_MATH_1(floor)
PE_MATH_1(ceil)
PE_MATH_1(fabs)
PE_MATH_2(atan2)
PE_MATH_2(fmod)
PE_MATH_2(pow)
#undef PE_MATH_1
#undef PE_MATH_2

template <typename Function>
void* address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

std::vector<StandIn> msvcrt_stand_ins() {
    const char* dll = "msvcrt.dll";
    return {
        {dll, "_amsg_exit", 0, address(amsg_exit)},
        {dll, "_initterm", 0, address(initterm)},
        {dll, "_iob", 0, iob},
        {dll, "__iob_func", 0, address(iob_func)},
        {dll, "_errno", 0, address(errno_call)},
        {dll, "_lock", 0, address(lock)},
        {dll, "_unlock", 0, address(unlock)},
        {dll, "abort", 0, address(abort_call)},
        {dll, "malloc", 0, address(malloc_call)},
        {dll, "calloc", 0, address(calloc_call)},
        {dll, "realloc", 0, address(realloc_call)},
        {dll, "free", 0, address(free_call)},
        {dll, "fwrite", 0, address(fwrite_call)},
        {dll, "vfprintf", 0, address(vfprintf_call)},
        {dll, "memcpy", 0, address(memcpy_call)},
        {dll, "memmove", 0, address(memmove_call)},
        {dll, "memset", 0, address(memset_call)},
        {dll, "strlen", 0, address(strlen_call)},
        {dll, "strcmp", 0, address(strcmp_call)},
        {dll, "strncmp", 0, address(strncmp_call)},
        {dll, "strcpy", 0, address(strcpy_call)},
        {dll, "strcat", 0, address(strcat_call)},
        {dll, "sprintf", 0, address(sprintf_call)},
        {dll, "_snprintf", 0, address(snprintf_call)},
        {dll, "sin", 0, address(sin_call)},
        {dll, "cos", 0, address(cos_call)},
        {dll, "tan", 0, address(tan_call)},
        {dll, "atan", 0, address(atan_call)},
        {dll, "atan2", 0, address(atan2_call)},
        {dll, "sqrt", 0, address(sqrt_call)},
        {dll, "floor", 0, address(floor_call)},
        {dll, "ceil", 0, address(ceil_call)},
        {dll, "fabs", 0, address(fabs_call)},
        {dll, "fmod", 0, address(fmod_call)},
        {dll, "pow", 0, address(pow_call)},
    };
}

}  // namespace bench::pe
