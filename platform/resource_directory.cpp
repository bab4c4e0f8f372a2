#include "resource_directory.h"

#include <cstring>

namespace resources {
namespace {

uint32_t read_u32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint16_t read_u16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// One type-or-name field of an entry header: 0xFFFF then an id, or a zero-terminated UTF-16 string.
struct KeyField {
    const uint8_t* start;
    size_t length;  // bytes, including the id marker or the terminator
};

bool read_key(const uint8_t* p, const uint8_t* end, KeyField* out) {
    if (end - p < 2) return false;
    if (read_u16(p) == 0xFFFF) {
        if (end - p < 4) return false;
        *out = {p, 4};
        return true;
    }
    for (const uint8_t* q = p; end - q >= 2; q += 2)
        if (read_u16(q) == 0) {
            *out = {p, static_cast<size_t>(q + 2 - p)};
            return true;
        }
    return false;
}

bool key_matches(const KeyField& field, ResourceKey key) {
    const bool field_is_id = read_u16(field.start) == 0xFFFF;
    if (field_is_id != key.is_id) return false;
    if (key.is_id) return read_u16(field.start + 2) == key.id;
    const size_t chars = field.length / 2 - 1;
    for (size_t i = 0; i < chars; ++i) {
        const uint16_t c = read_u16(field.start + 2 * i);
        if (key.text[i] == '\0' || c > 0x7F || ascii_upper(static_cast<char>(c)) != ascii_upper(key.text[i]))
            return false;
    }
    return key.text[chars] == '\0';
}

struct Entry {
    KeyField type;
    KeyField name;
    ResourceView view;
    const uint8_t* next;
};

// Parses the entry at p; the fixed part after the two keys is DataVersion, MemoryFlags, LanguageId, Version,
// Characteristics (16 bytes).
bool parse_entry(const uint8_t* p, const uint8_t* end, Entry* out) {
    if (end - p < 8) return false;
    const uint32_t data_size = read_u32(p);
    const uint32_t header_size = read_u32(p + 4);
    if (header_size < 8 + 4 + 4 + 16 || header_size > static_cast<size_t>(end - p)) return false;
    const uint8_t* header_end = p + header_size;
    if (!read_key(p + 8, header_end, &out->type)) return false;
    if (!read_key(out->type.start + out->type.length, header_end, &out->name)) return false;
    size_t fixed = static_cast<size_t>(out->name.start + out->name.length - p);
    fixed = (fixed + 3) & ~size_t{3};
    if (fixed + 16 > header_size) return false;
    const uint8_t* data = p + header_size;
    if (data_size > static_cast<size_t>(end - data)) return false;
    out->view = {p, data, data_size, read_u16(p + fixed + 6)};
    const size_t padded = (static_cast<size_t>(data_size) + 3) & ~size_t{3};
    out->next = padded <= static_cast<size_t>(end - data) ? data + padded : end;
    return true;
}

}  // namespace

bool find_resource(const uint8_t* directory, size_t length, ResourceKey type, ResourceKey name, ResourceView* out) {
    const uint8_t* end = directory + length;
    Entry entry;
    for (const uint8_t* p = directory; p < end && parse_entry(p, end, &entry); p = entry.next) {
        if (key_matches(entry.type, type) && key_matches(entry.name, name)) {
            *out = entry.view;
            return true;
        }
    }
    return false;
}

bool read_entry(const uint8_t* directory, size_t length, const uint8_t* entry_start, ResourceView* out) {
    const uint8_t* end = directory + length;
    if (entry_start < directory || entry_start >= end) return false;
    Entry entry;
    if (!parse_entry(entry_start, end, &entry)) return false;
    *out = entry.view;
    return true;
}

}  // namespace resources
