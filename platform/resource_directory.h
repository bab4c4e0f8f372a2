// A module's resources, as the resource compiler writes them (the .res format): a run of entries, each a
// header naming type, name and language, then the data, both padded to 4 bytes. The Windows modules carry
// them in their resource section; the Linux modules carry the very same bytes in an ELF note.
#pragma once

#include <cstddef>
#include <cstdint>

namespace resources {

// A type or name: a 16-bit id, or a string compared without regard to ASCII case.
struct ResourceKey {
    bool is_id;
    uint16_t id;
    const char* text;  // when !is_id: zero-terminated ASCII
};

struct ResourceView {
    const uint8_t* entry;  // start of the entry's header
    const uint8_t* data;
    uint32_t size;
    uint16_t language;
};

// Finds the first entry with this type and name. Every read stays within [directory, directory + length);
// a malformed directory finds nothing beyond its last whole entry.
bool find_resource(const uint8_t* directory, size_t length, ResourceKey type, ResourceKey name, ResourceView* out);

// Reads back the entry that find_resource returned.
bool read_entry(const uint8_t* directory, size_t length, const uint8_t* entry, ResourceView* out);

// The ELF note that holds a Linux module's resources.
constexpr const char kNoteName[] = "GAUGE";
constexpr uint32_t kNoteType = 0x52455331;  // "1SER"

}  // namespace resources
