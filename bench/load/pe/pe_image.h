// Reading a 32-bit Windows DLL (a PE32 image) as the Windows loader does, without running any of it: the headers
// and every directory checked against the file and the image, the sections laid out at their addresses, the
// imports, exports, base relocations, thread-local storage and resources read from the laid-out image.
//
// Nothing here maps memory or calls module code, so it builds everywhere (the fuzz target runs it on x86-64);
// pe_loader.cpp maps and starts the image in the 32-bit bench.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench::pe {

// Section flags.
constexpr uint32_t kSectionCode = 0x00000020;
constexpr uint32_t kSectionUninitialized = 0x00000080;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;

// Images larger than this are refused: a gauge is a few megabytes at most, and the reader lays the whole image
// out in memory.
constexpr uint32_t kMaxImageSize = 64u << 20;

struct Section {
    std::string name;  // as in the section table, up to 8 characters
    uint32_t rva;
    uint32_t size;  // in the image
    uint32_t file_offset;
    uint32_t file_size;  // the bytes copied from the file: never more than `size`
    uint32_t flags;
    bool executable() const { return (flags & (kSectionExecute | kSectionCode)) != 0; }
};

struct Import {
    std::string dll;   // as the module names it: "KERNEL32.dll"
    std::string name;  // empty for an import by ordinal
    uint16_t ordinal;  // for an import by ordinal
    uint32_t slot;     // the RVA of its address slot
    bool by_ordinal() const { return name.empty(); }
    // "KERNEL32!Sleep", "DSOUND!#1": the DLL as the module names it, without ".dll"
    std::string describe() const;
};

struct Tls {
    bool present = false;
    uint32_t data_begin = 0, data_end = 0;  // the template, as RVAs
    uint32_t index_slot = 0;                // RVA of the index the loader writes
    uint32_t zero_fill = 0;
    std::vector<uint32_t> callbacks;  // RVAs, in call order
};

struct Directory {
    uint32_t rva = 0, size = 0;
};

// The data directories the bench reads, by index.
enum DirectoryIndex : uint32_t {
    kExports = 0,
    kImports = 1,
    kResources = 2,
    kCertificates = 4,  // the only one given as a file offset
    kRelocations = 5,
    kThreadStorage = 9,
    kDirectoryCount = 16,
};

// What the loader needs of an image, after every check passed.
struct Image {
    uint32_t preferred_base = 0;
    uint32_t size = 0;  // SizeOfImage
    uint32_t header_size = 0;
    uint32_t entry_point = 0;  // RVA; 0 when the DLL has none
    bool relocatable = false;  // carries base relocations
    std::vector<Section> sections;
    std::vector<Import> imports;
    std::vector<std::pair<std::string, uint32_t>> exports;  // name, RVA
    Directory directories[kDirectoryCount];
    Tls tls;
    const Directory& resources() const { return directories[kResources]; }

    uint32_t export_rva(const std::string& name) const;  // 0 when there is none
};

// Whether the file starts as a DOS executable (MZ): a Windows module, for the bench.
bool is_pe_file(const uint8_t* data, size_t size);
bool is_pe_file(const std::string& path);

// Reads and checks the headers and the section table. `error` is one line naming the fault.
bool read_headers(const uint8_t* file, size_t file_size, Image* out, std::string* error);

// Copies the headers and sections of `file` to `image`, which holds out.size zeroed bytes.
void lay_out(const uint8_t* file, const Image& layout, uint8_t* image);

// Reads and checks the directories of a laid-out image (not yet relocated): imports, exports, base
// relocations, thread-local storage. Requires the two gauge exports.
bool read_directories(const uint8_t* image, Image* out, std::string* error);

// Moves a laid-out image from its preferred base to `base` by its base relocations, which read_directories
// checked.
void relocate(uint8_t* image, const Image& layout, uint32_t base);

// The module's resources, as Windows finds them: by type, then name, then the first language.
struct ResourceKey {
    bool is_id;
    uint16_t id;
    const char* text;  // when !is_id: compared without regard to ASCII case
};
struct Resource {
    uint32_t entry;  // RVA of its data entry: what FindResourceA hands out
    uint32_t data;   // RVA of its bytes
    uint32_t size;
};
// Every read stays inside the image and the resource directory; a malformed directory finds nothing.
bool find_resource(const uint8_t* image, uint32_t image_size, Directory resources, ResourceKey type, ResourceKey name,
                   Resource* out);
// The resource whose data entry lies at `entry`, when it is one find_resource can give.
bool resource_at(const uint8_t* image, uint32_t image_size, Directory resources, uint32_t entry, Resource* out);

}  // namespace bench::pe
