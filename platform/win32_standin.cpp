// The Win32 calls the modules make, for Linux. A module handle is the address at which the module is mapped,
// as an HMODULE is on Windows; its resources are the .res bytes in the module's "GAUGE" note.
#include <windows.h>

#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "resource_directory.h"

namespace {

struct NoteSearch {
    uintptr_t base;
    const uint8_t* directory;
    size_t length;
};

size_t align4(size_t n) { return (n + 3) & ~size_t{3}; }

void search_notes(const uint8_t* p, size_t size, NoteSearch* search) {
    const uint8_t* end = p + size;
    while (static_cast<size_t>(end - p) >= sizeof(ElfW(Nhdr))) {
        ElfW(Nhdr) note;
        std::memcpy(&note, p, sizeof note);
        const uint8_t* name = p + sizeof note;
        if (align4(note.n_namesz) > static_cast<size_t>(end - name)) return;
        const uint8_t* desc = name + align4(note.n_namesz);
        if (note.n_descsz > static_cast<size_t>(end - desc)) return;
        if (note.n_type == resources::kNoteType && note.n_namesz == sizeof resources::kNoteName &&
            std::memcmp(name, resources::kNoteName, sizeof resources::kNoteName) == 0) {
            search->directory = desc;
            search->length = note.n_descsz;
            return;
        }
        const size_t step = align4(note.n_descsz);
        if (step > static_cast<size_t>(end - desc)) return;
        p = desc + step;
    }
}

int visit_module(struct dl_phdr_info* info, size_t, void* context) {
    auto* search = static_cast<NoteSearch*>(context);
    bool is_module = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        // The module's base is where its first loaded segment (holding the ELF header) is mapped.
        if (segment.p_type == PT_LOAD && segment.p_offset == 0) {
            is_module = info->dlpi_addr + segment.p_vaddr == search->base;
            break;
        }
    }
    if (!is_module) return 0;
    for (int i = 0; i < info->dlpi_phnum && !search->directory; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_NOTE)
            search_notes(reinterpret_cast<const uint8_t*>(info->dlpi_addr + segment.p_vaddr), segment.p_memsz, search);
    }
    return 1;
}

bool module_resources(HMODULE module, NoteSearch* search) {
    *search = {reinterpret_cast<uintptr_t>(module), nullptr, 0};
    if (!module) return false;
    dl_iterate_phdr(visit_module, search);
    return search->directory != nullptr;
}

resources::ResourceKey key_of(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return {true, static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name)), nullptr};
    return {false, 0, name};
}

bool entry_of(HMODULE module, HRSRC resource, resources::ResourceView* view) {
    NoteSearch search;
    return resource && module_resources(module, &search) &&
           resources::read_entry(search.directory, search.length, reinterpret_cast<const uint8_t*>(resource), view);
}

int foreground_window_object;

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    NoteSearch search;
    resources::ResourceView view;
    if (!module_resources(module, &search) || !name || !type ||
        !resources::find_resource(search.directory, search.length, key_of(type), key_of(name), &view))
        return nullptr;
    return reinterpret_cast<HRSRC>(const_cast<uint8_t*>(view.entry));
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
    resources::ResourceView view;
    if (!entry_of(module, resource, &view)) return nullptr;
    return const_cast<uint8_t*>(view.data);
}

LPVOID WINAPI LockResource(HGLOBAL loaded) { return loaded; }

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
    resources::ResourceView view;
    return entry_of(module, resource, &view) ? view.size : 0;
}

HWND WINAPI GetForegroundWindow() { return &foreground_window_object; }

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
    constexpr int kLimit = 1024;
    int written = 0;
    auto put = [&](char c) {
        if (written < kLimit) buffer[written++] = c;
    };
    for (const char* f = format; *f; ++f) {
        if (*f != '%') {
            put(*f);
            continue;
        }
        // %[-][#][0][width][.precision][h|l]type
        bool left = false, prefix = false, zeros = false;
        for (;; ++f) {
            if (f[1] == '-')
                left = true;
            else if (f[1] == '#')
                prefix = true;
            else if (f[1] == '0')
                zeros = true;
            else
                break;
        }
        int width = 0, precision = -1;
        while (f[1] >= '0' && f[1] <= '9') width = std::min(width * 10 + (*++f - '0'), kLimit);
        if (f[1] == '.') {
            ++f;
            precision = 0;
            while (f[1] >= '0' && f[1] <= '9') precision = std::min(precision * 10 + (*++f - '0'), kLimit);
        }
        bool wide = false;
        if (f[1] == 'h' || f[1] == 'l') wide = *++f == 'l';
        const char type = *++f;
        if (type == '\0') break;
        char digits[16];
        int count = 0;
        const char* text = digits;
        int length = 0;
        const char* sign = "";
        if (type == 'd' || type == 'i' || type == 'u' || type == 'x' || type == 'X') {
            const uint32_t raw = va_arg(args, uint32_t);
            uint32_t magnitude = raw;
            if ((type == 'd' || type == 'i') && static_cast<int32_t>(raw) < 0) {
                sign = "-";
                magnitude = 0u - raw;
            }
            const uint32_t base = (type == 'x' || type == 'X') ? 16 : 10;
            const char* symbols = type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
            do {
                digits[count++] = symbols[magnitude % base];
                magnitude /= base;
            } while (magnitude != 0);
            if (prefix && base == 16 && raw != 0) sign = type == 'X' ? "0X" : "0x";
            int zeros_needed = std::max(precision - count, 0);
            const int body = static_cast<int>(std::strlen(sign)) + zeros_needed + count;
            int pad = std::max(width - body, 0);
            if (zeros && !left && precision < 0) zeros_needed += pad, pad = 0;
            if (!left)
                for (int i = 0; i < pad; ++i) put(' ');
            for (const char* s = sign; *s; ++s) put(*s);
            for (int i = 0; i < zeros_needed; ++i) put('0');
            while (count > 0) put(digits[--count]);
            if (left)
                for (int i = 0; i < pad; ++i) put(' ');
            continue;
        }
        if (type == 'c' || type == 'C') {
            const uint32_t c = va_arg(args, uint32_t);
            digits[0] = static_cast<char>((type == 'C') != wide ? (c <= 0xFF ? c : '?') : c);
            length = 1;
        } else if (type == 's' || type == 'S') {
            // %s is a narrow string, %S and %ls wide ones; wide characters beyond one byte become '?'.
            const void* string = va_arg(args, const void*);
            if (!string) string = "(null)", wide = type == 'S';
            if ((type == 'S') != wide) {
                const auto* units = static_cast<const uint16_t*>(string);
                while (units[length] && (precision < 0 || length < precision)) ++length;
                const int pad = std::max(width - length, 0);
                if (!left)
                    for (int i = 0; i < pad; ++i) put(' ');
                for (int i = 0; i < length; ++i) put(units[i] <= 0xFF ? static_cast<char>(units[i]) : '?');
                if (left)
                    for (int i = 0; i < pad; ++i) put(' ');
                continue;
            }
            text = static_cast<const char*>(string);
            while (text[length] && (precision < 0 || length < precision)) ++length;
        } else {
            // %% and anything it does not know: the character itself.
            digits[0] = type;
            length = 1;
        }
        const int pad = std::max(width - length, 0);
        if (!left)
            for (int i = 0; i < pad; ++i) put(zeros ? '0' : ' ');
        for (int i = 0; i < length; ++i) put(text[i]);
        if (left)
            for (int i = 0; i < pad; ++i) put(' ');
    }
    buffer[written] = '\0';
    return written;
}

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    const int written = wvsprintfA(buffer, format, args);
    va_end(args);
    return written;
}
