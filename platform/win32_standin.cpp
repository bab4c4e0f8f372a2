// The Win32 calls the modules make, for Linux. A module handle is the address at which the module is mapped,
// as an HMODULE is on Windows; its resources are the .res bytes in the module's "GAUGE" note.
#include <windows.h>

#include <elf.h>
#include <link.h>

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

int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    constexpr int kLimit = 1024;
    va_list args;
    va_start(args, format);
    int written = 0;
    auto put = [&](char c) {
        if (written < kLimit) buffer[written++] = c;
    };
    for (const char* f = format; *f; ++f) {
        if (f[0] == '%' && f[1] == 'd') {
            const int32_t value = va_arg(args, int32_t);
            char digits[12];
            int count = 0;
            int64_t magnitude = value;
            if (magnitude < 0) {
                put('-');
                magnitude = -magnitude;
            }
            do {
                digits[count++] = static_cast<char>('0' + magnitude % 10);
                magnitude /= 10;
            } while (magnitude != 0);
            while (count > 0) put(digits[--count]);
            ++f;
        } else if (f[0] == '%' && f[1] == '%') {
            put('%');
            ++f;
        } else {
            put(*f);
        }
    }
    va_end(args);
    buffer[written] = '\0';
    return written;
}
