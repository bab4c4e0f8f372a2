#include "pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace bench::pe {
namespace {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kRelocationsStripped = 0x0001;
constexpr uint16_t kDll = 0x2000;
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kOptionalHeaderSize = 96;  // up to the data directories
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kMaxSections = 96;

const char* directory_name(uint32_t index) {
    static const char* const names[kDirectoryCount] = {"export",
                                                       "import",
                                                       "resource",
                                                       "exception",
                                                       "certificate",
                                                       "base relocation",
                                                       "debug",
                                                       "architecture",
                                                       "global pointer",
                                                       "thread-local storage",
                                                       "load configuration",
                                                       "bound import",
                                                       "import address",
                                                       "delay import",
                                                       "runtime header",
                                                       "reserved"};
    return names[index];
}

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// [begin, begin + size) inside [0, limit), without overflow.
bool within(uint64_t begin, uint64_t size, uint64_t limit) { return begin <= limit && size <= limit - begin; }

std::string range(uint32_t rva, uint32_t size) { return "(RVA " + hex(rva) + ", " + std::to_string(size) + " bytes)"; }

bool fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

// A zero-terminated string at `rva` that ends inside the image.
bool string_at(const uint8_t* image, uint32_t size, uint32_t rva, std::string* out) {
    if (rva >= size) return false;
    const void* end = std::memchr(image + rva, 0, size - rva);
    if (!end) return false;
    out->assign(reinterpret_cast<const char*>(image + rva), static_cast<const uint8_t*>(end) - (image + rva));
    return true;
}

const Section* section_holding(const Image& image, uint32_t rva) {
    for (const Section& section : image.sections)
        if (rva >= section.rva && rva - section.rva < section.size) return &section;
    return nullptr;
}

bool read_imports(const uint8_t* image, Image* out, Directory directory, std::string* error) {
    const uint32_t size = out->size;
    for (uint32_t at = directory.rva;; at += 20) {
        if (!within(at, 20, size)) return fail(error, "the import directory runs past the image");
        const uint8_t* descriptor = image + at;
        const uint32_t lookup = u32(descriptor), name_rva = u32(descriptor + 12), slots = u32(descriptor + 16);
        if (lookup == 0 && name_rva == 0 && slots == 0) return true;
        std::string dll;
        if (!string_at(image, size, name_rva, &dll))
            return fail(error, "an imported DLL's name at RVA " + hex(name_rva) + " lies outside the image");
        if (dll.empty()) return fail(error, "an import descriptor names no DLL");
        // The lookup table names what to bind; without one, the address table itself does (as older linkers left it).
        const uint32_t names = lookup ? lookup : slots;
        for (uint32_t i = 0;; ++i) {
            const uint64_t entry = uint64_t{names} + 4ull * i, slot = uint64_t{slots} + 4ull * i;
            if (!within(entry, 4, size) || !within(slot, 4, size))
                return fail(error, "the import table of " + dll + " runs past the image");
            const uint32_t value = u32(image + entry);
            if (value == 0) break;
            Import import{dll, "", 0, static_cast<uint32_t>(slot)};
            if (value & 0x80000000u) {
                import.ordinal = static_cast<uint16_t>(value);
            } else if (!string_at(image, size, value + 2, &import.name) || value > size - 2) {
                return fail(error, "an import name of " + dll + " at RVA " + hex(value) + " lies outside the image");
            } else if (import.name.empty()) {
                return fail(error, "an import of " + dll + " has an empty name");
            }
            out->imports.push_back(std::move(import));
            if (out->imports.size() > 65536) return fail(error, "the import table of " + dll + " does not end");
        }
    }
}

bool read_exports(const uint8_t* image, Image* out, Directory directory, std::string* error) {
    const uint32_t size = out->size;
    if (directory.size < 40) return fail(error, "the export directory is shorter than its 40-byte header");
    const uint8_t* header = image + directory.rva;
    const uint32_t function_count = u32(header + 20), name_count = u32(header + 24);
    const uint32_t functions = u32(header + 28), names = u32(header + 32), ordinals = u32(header + 36);
    if (!within(functions, 4ull * function_count, size) || !within(names, 4ull * name_count, size) ||
        !within(ordinals, 2ull * name_count, size))
        return fail(error, "the export tables run past the image");
    for (uint32_t i = 0; i < name_count; ++i) {
        std::string name;
        const uint32_t name_rva = u32(image + names + 4 * i);
        if (!string_at(image, size, name_rva, &name))
            return fail(error, "an export name at RVA " + hex(name_rva) + " lies outside the image");
        const uint16_t index = u16(image + ordinals + 2 * i);
        if (index >= function_count)
            return fail(error, "export " + name + " names function " + std::to_string(index) + " of " +
                                   std::to_string(function_count));
        const uint32_t rva = u32(image + functions + 4 * index);
        // An address inside the export directory forwards to another DLL: nothing in this image.
        if (rva >= directory.rva && rva - directory.rva < directory.size) continue;
        if (rva == 0 || rva >= size)
            return fail(error, "export " + name + " at RVA " + hex(rva) + " lies outside the image");
        out->exports.emplace_back(std::move(name), rva);
    }
    return true;
}

bool read_relocations(const uint8_t* image, Image* out, Directory directory, std::string* error) {
    const uint32_t end = directory.rva + directory.size;
    for (uint32_t at = directory.rva; at < end;) {
        if (end - at < 8) return fail(error, "a base relocation block header runs past its directory");
        const uint32_t page = u32(image + at), block = u32(image + at + 4);
        if (block < 8 || block > end - at || block % 2 != 0)
            return fail(error, "a base relocation block at RVA " + hex(at) + " is " + std::to_string(block) +
                                   " bytes long, which its directory cannot hold");
        for (uint32_t i = 8; i < block; i += 2) {
            const uint16_t entry = u16(image + at + i);
            const uint32_t type = entry >> 12, target = page + (entry & 0x0FFF);
            if (type == 0) continue;  // padding
            if (type != 1 && type != 2 && type != 3)
                return fail(error, "a base relocation at RVA " + hex(at + i) + " has type " + std::to_string(type) +
                                       ", which a 32-bit image does not use");
            if (page >= out->size || !within(target, type == 3 ? 4 : 2, out->size))
                return fail(error, "a base relocation block for page RVA " + hex(page) + " lies past the image");
        }
        at += block;
    }
    return true;
}

bool read_tls(const uint8_t* image, Image* out, Directory directory, std::string* error) {
    if (directory.size < 24) return fail(error, "the thread-local storage directory is shorter than 24 bytes");
    const uint8_t* header = image + directory.rva;
    // Its fields are addresses at the preferred base.
    auto rva_of = [&](uint32_t address, uint64_t size, const char* what, uint32_t* rva) {
        if (address < out->preferred_base || !within(address - out->preferred_base, size, out->size))
            return fail(error, std::string("the thread-local storage ") + what + " " + hex(address) +
                                   " lies outside the image");
        *rva = address - out->preferred_base;
        return true;
    };
    Tls& tls = out->tls;
    const uint32_t begin = u32(header), end = u32(header + 4);
    if (end < begin) return fail(error, "the thread-local storage template ends before it begins");
    if (begin != 0 && !rva_of(begin, end - begin, "template", &tls.data_begin)) return false;
    tls.data_end = tls.data_begin + (end - begin);
    if (!rva_of(u32(header + 8), 4, "index", &tls.index_slot)) return false;
    tls.zero_fill = u32(header + 16);
    if (tls.zero_fill > kMaxImageSize) return fail(error, "the thread-local storage zero fill is too large");
    const uint32_t callbacks = u32(header + 12);
    if (callbacks != 0) {
        uint32_t list;
        if (!rva_of(callbacks, 4, "callback list", &list)) return false;
        for (uint32_t at = list;; at += 4) {
            if (!within(at, 4, out->size))
                return fail(error, "the thread-local storage callback list runs past the image");
            const uint32_t callback = u32(image + at);
            if (callback == 0) break;
            uint32_t rva;
            if (!rva_of(callback, 1, "callback", &rva)) return false;
            const Section* section = section_holding(*out, rva);
            if (!section || !section->executable())
                return fail(error, "a thread-local storage callback at RVA " + hex(rva) + " lies outside the code");
            tls.callbacks.push_back(rva);
            if (tls.callbacks.size() > 1024) return fail(error, "the thread-local storage callback list does not end");
        }
    }
    tls.present = true;
    return true;
}

// Resource directories: a table at `offset` from the directory's start, its entries after its 16 bytes.
struct ResourceTable {
    uint32_t offset;
    uint32_t count;  // named entries, then id entries
};

class ResourceReader {
public:
    ResourceReader(const uint8_t* image, uint32_t image_size, Directory directory)
        : image_(image), directory_(directory), valid_(within(directory.rva, directory.size, image_size)) {}

    bool table(uint32_t offset, ResourceTable* out) const {
        if (!valid_ || !within(offset, 16, directory_.size)) return false;
        const uint8_t* p = image_ + directory_.rva + offset;
        out->offset = offset;
        out->count = uint32_t{u16(p + 12)} + u16(p + 14);
        return within(offset + 16, 8ull * out->count, directory_.size);
    }
    // Entry i of a table: its name or id, and where it leads (a subtable when `leads_to_table`).
    void entry(const ResourceTable& table, uint32_t i, uint32_t* name, uint32_t* target) const {
        const uint8_t* p = image_ + directory_.rva + table.offset + 16 + 8 * i;
        *name = u32(p);
        *target = u32(p + 4);
    }
    bool matches(uint32_t name, ResourceKey key) const {
        if (key.is_id) return (name & 0x80000000u) == 0 && name == key.id;
        if ((name & 0x80000000u) == 0) return false;
        const uint32_t offset = name & 0x7FFFFFFFu;
        if (!within(offset, 2, directory_.size)) return false;
        const uint8_t* p = image_ + directory_.rva + offset;
        const uint32_t length = u16(p);
        if (!within(offset + 2, 2ull * length, directory_.size)) return false;
        const size_t key_length = std::strlen(key.text);
        if (key_length != length) return false;
        for (uint32_t i = 0; i < length; ++i) {
            const uint16_t c = u16(p + 2 + 2 * i);
            const auto k = static_cast<unsigned char>(key.text[i]);
            auto lower = [](uint32_t x) { return x >= 'A' && x <= 'Z' ? x + 32 : x; };
            if (c > 0x7F || lower(c) != lower(k)) return false;
        }
        return true;
    }
    // The subtable an entry leads to, when it leads to one.
    bool subtable(uint32_t target, ResourceTable* out) const {
        return (target & 0x80000000u) != 0 && table(target & 0x7FFFFFFFu, out);
    }
    bool leaf(uint32_t target, uint32_t image_size, Resource* out) const {
        if ((target & 0x80000000u) != 0 || !within(target, 16, directory_.size)) return false;
        const uint8_t* p = image_ + directory_.rva + target;
        out->entry = directory_.rva + target;
        out->data = u32(p);
        out->size = u32(p + 4);
        return within(out->data, out->size, image_size);
    }

private:
    const uint8_t* image_;
    Directory directory_;
    bool valid_;
};

ResourceKey key_from(ResourceKey key) {
    // "#123" names the integer resource 123, as FindResource reads it.
    if (key.is_id || key.text[0] != '#' || key.text[1] == '\0') return key;
    uint32_t value = 0;
    for (const char* c = key.text + 1; *c; ++c) {
        if (*c < '0' || *c > '9' || value > 0xFFFF) return key;
        value = value * 10 + static_cast<uint32_t>(*c - '0');
    }
    return value <= 0xFFFF ? ResourceKey{true, static_cast<uint16_t>(value), nullptr} : key;
}

}  // namespace

std::string Import::describe() const {
    std::string library = dll;
    const size_t dot = library.rfind('.');
    if (dot != std::string::npos && dot + 4 == library.size()) {
        std::string extension = library.substr(dot);
        for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (extension == ".dll") library.erase(dot);
    }
    return library + "!" + (by_ordinal() ? "#" + std::to_string(ordinal) : name);
}

uint32_t Image::export_rva(const std::string& name) const {
    for (const auto& [export_name, rva] : exports)
        if (export_name == name) return rva;
    return 0;
}

bool is_pe_file(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 'M' && data[1] == 'Z'; }

bool is_pe_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    uint8_t magic[2] = {};
    return in.read(reinterpret_cast<char*>(magic), 2) && is_pe_file(magic, 2);
}

bool read_headers(const uint8_t* file, size_t file_size, Image* out, std::string* error) {
    *out = Image{};
    if (file_size < 64) return fail(error, "truncated: the file is shorter than a DOS header");
    if (!is_pe_file(file, file_size)) return fail(error, "not a Windows module: no MZ signature");
    const uint32_t pe = u32(file + 0x3C);
    if (!within(pe, 4 + kFileHeaderSize, file_size))
        return fail(error, "truncated: the PE header at offset " + hex(pe) + " lies outside the file");
    if (std::memcmp(file + pe, "PE\0\0", 4) != 0) return fail(error, "no PE signature at offset " + hex(pe));
    const uint8_t* header = file + pe + 4;
    const uint16_t machine = u16(header), section_count = u16(header + 2);
    const uint16_t optional_size = u16(header + 16), characteristics = u16(header + 18);
    if (machine != kMachineI386) return fail(error, "machine " + hex(machine) + ", expected i386 (0x14C)");
    if (!(characteristics & kExecutableImage)) return fail(error, "not an executable image");
    if (!(characteristics & kDll)) return fail(error, "not a DLL: its header lacks the DLL flag");
    if (optional_size < kOptionalHeaderSize)
        return fail(error, "the optional header is " + std::to_string(optional_size) + " bytes, too short for PE32");
    const uint32_t optional_at = pe + 4 + kFileHeaderSize;
    if (!within(optional_at, optional_size, file_size))
        return fail(error, "truncated: the optional header runs past the file");
    const uint8_t* optional = file + optional_at;
    if (u16(optional) != kPe32Magic)
        return fail(error, "optional header magic " + hex(u16(optional)) + ", expected PE32 (0x10B)");
    out->entry_point = u32(optional + 16);
    out->preferred_base = u32(optional + 28);
    const uint32_t section_alignment = u32(optional + 32), file_alignment = u32(optional + 36);
    out->size = u32(optional + 56);
    out->header_size = u32(optional + 60);
    const uint32_t directory_count = std::min<uint32_t>(u32(optional + 92), kDirectoryCount);
    if (kOptionalHeaderSize + 8ull * directory_count > optional_size)
        return fail(
            error, "the optional header is too short for its " + std::to_string(directory_count) + " data directories");
    auto power_of_two = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!power_of_two(section_alignment) || !power_of_two(file_alignment) || section_alignment < file_alignment)
        return fail(error, "section alignment " + hex(section_alignment) + " and file alignment " +
                               hex(file_alignment) + " do not fit together");
    if (out->preferred_base % 0x10000 != 0)
        return fail(error, "preferred base " + hex(out->preferred_base) + " is not a multiple of 64 KiB");
    if (out->size == 0 || out->size > kMaxImageSize)
        return fail(error, "image size " + hex(out->size) + " is outside what the bench loads (up to " +
                               hex(kMaxImageSize) + ")");
    if (uint64_t{out->preferred_base} + out->size > 0x100000000ull)
        return fail(error, "the image does not fit below 4 GiB at its preferred base");

    const uint32_t table_at = optional_at + optional_size;
    if (section_count == 0 || section_count > kMaxSections)
        return fail(error, std::to_string(section_count) + " sections, expected 1 to " + std::to_string(kMaxSections));
    if (!within(table_at, uint64_t{kSectionHeaderSize} * section_count, file_size))
        return fail(error, "truncated: the section table runs past the file");
    if (out->header_size > out->size || out->header_size > file_size)
        return fail(error, "truncated: the headers are " + hex(out->header_size) + " bytes, past the file or image");
    for (uint32_t i = 0; i < section_count; ++i) {
        const uint8_t* p = file + table_at + kSectionHeaderSize * i;
        Section section;
        section.name.assign(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), 8));
        const uint32_t virtual_size = u32(p + 8), raw_size = u32(p + 16);
        section.rva = u32(p + 12);
        section.size = virtual_size ? virtual_size : raw_size;
        section.file_offset = u32(p + 20);
        section.flags = u32(p + 36);
        section.file_size =
            (section.flags & kSectionUninitialized) && section.file_offset == 0 ? 0 : std::min(raw_size, section.size);
        const std::string named = "section " + std::to_string(i + 1) + " (" + section.name + ")";
        if (!within(section.rva, section.size, out->size))
            return fail(error, named + " " + range(section.rva, section.size) + " lies outside the image (" +
                                   hex(out->size) + " bytes)");
        if (section.rva < out->header_size) return fail(error, named + " overlaps the headers");
        if (section.file_size && !within(section.file_offset, section.file_size, file_size))
            return fail(error, named + " at file offset " + hex(section.file_offset) + ", " +
                                   std::to_string(section.file_size) + " bytes, lies outside the file");
        for (const Section& other : out->sections)
            if (section.rva < other.rva + other.size && other.rva < section.rva + section.size)
                return fail(error, named + " overlaps section " + other.name);
        out->sections.push_back(std::move(section));
    }
    if (out->entry_point != 0) {
        const Section* holder = section_holding(*out, out->entry_point);
        if (!holder || !holder->executable())
            return fail(error, "the entry point at RVA " + hex(out->entry_point) + " lies outside the code");
    }

    for (uint32_t i = 0; i < directory_count; ++i) {
        const uint8_t* p = optional + kOptionalHeaderSize + 8 * i;
        const Directory directory{u32(p), u32(p + 4)};
        if (directory.rva == 0 && directory.size == 0) continue;
        const bool in_file = i == kCertificates;
        if (!within(directory.rva, directory.size, in_file ? file_size : out->size))
            return fail(error, std::string("the ") + directory_name(i) + " directory " +
                                   range(directory.rva, directory.size) + " lies outside the " +
                                   (in_file ? "file" : "image"));
        out->directories[i] = directory;
    }
    out->relocatable = !(characteristics & kRelocationsStripped) && out->directories[kRelocations].size != 0;
    return true;
}

void lay_out(const uint8_t* file, const Image& layout, uint8_t* image) {
    std::memcpy(image, file, layout.header_size);
    for (const Section& section : layout.sections)
        if (section.file_size) std::memcpy(image + section.rva, file + section.file_offset, section.file_size);
}

bool read_directories(const uint8_t* image, Image* out, std::string* error) {
    out->exports.clear();
    out->imports.clear();
    out->tls = Tls{};
    const Directory* directories = out->directories;
    if (directories[kImports].rva && !read_imports(image, out, directories[kImports], error)) return false;
    if (directories[kExports].rva && !read_exports(image, out, directories[kExports], error)) return false;
    if (directories[kRelocations].size && !read_relocations(image, out, directories[kRelocations], error)) return false;
    if (directories[kThreadStorage].rva && !read_tls(image, out, directories[kThreadStorage], error)) return false;
    for (const char* name : {"Linkage", "ImportTable"})
        if (!out->export_rva(name)) return fail(error, std::string("not a gauge module: it exports no ") + name);
    return true;
}

void relocate(uint8_t* image, const Image& layout, uint32_t base) {
    const uint32_t delta = base - layout.preferred_base;
    const Directory& relocations = layout.directories[kRelocations];
    const uint32_t end = relocations.rva + relocations.size;
    for (uint32_t at = relocations.rva; at < end;) {
        const uint32_t page = u32(image + at), block = u32(image + at + 4);
        for (uint32_t i = 8; i < block; i += 2) {
            const uint16_t entry = u16(image + at + i);
            uint8_t* target = image + page + (entry & 0x0FFF);
            switch (entry >> 12) {
                case 1: {  // the high half of a 32-bit address
                    const uint32_t value = (uint32_t{u16(target)} << 16) + delta;
                    target[0] = static_cast<uint8_t>(value >> 16), target[1] = static_cast<uint8_t>(value >> 24);
                    break;
                }
                case 2: {  // the low half
                    const uint32_t value = u16(target) + delta;
                    target[0] = static_cast<uint8_t>(value), target[1] = static_cast<uint8_t>(value >> 8);
                    break;
                }
                case 3: put32(target, u32(target) + delta); break;
                default: break;
            }
        }
        at += block;
    }
}

namespace {

// Walks type, name and language tables in order and stops at the first leaf `accept` takes. Tables may share
// subtables, so the walk has a budget of entries rather than trusting the counts.
template <typename Accept>
bool walk_resources(const uint8_t* image, uint32_t image_size, Directory resources, ResourceKey type, ResourceKey name,
                    bool any, Resource* out, Accept&& accept) {
    const ResourceReader reader(image, image_size, resources);
    uint32_t budget = 1u << 16;
    ResourceTable types, names, languages;
    if (!reader.table(0, &types)) return false;
    for (uint32_t i = 0; i < types.count && budget; ++i, --budget) {
        uint32_t type_name, type_target;
        reader.entry(types, i, &type_name, &type_target);
        if ((!any && !reader.matches(type_name, type)) || !reader.subtable(type_target, &names)) continue;
        for (uint32_t j = 0; j < names.count && budget; ++j, --budget) {
            uint32_t entry_name, name_target;
            reader.entry(names, j, &entry_name, &name_target);
            if ((!any && !reader.matches(entry_name, name)) || !reader.subtable(name_target, &languages)) continue;
            for (uint32_t k = 0; k < languages.count && budget; ++k, --budget) {
                uint32_t language, target;
                reader.entry(languages, k, &language, &target);
                if (reader.leaf(target, image_size, out) && accept(*out)) return true;
            }
        }
    }
    return false;
}

}  // namespace

bool find_resource(const uint8_t* image, uint32_t image_size, Directory resources, ResourceKey type, ResourceKey name,
                   Resource* out) {
    // The first language listed.
    return walk_resources(image, image_size, resources, key_from(type), key_from(name), false, out,
                          [](const Resource&) { return true; });
}

bool resource_at(const uint8_t* image, uint32_t image_size, Directory resources, uint32_t entry, Resource* out) {
    const ResourceKey none{true, 0, nullptr};
    return walk_resources(image, image_size, resources, none, none, true, out,
                          [&](const Resource& found) { return found.entry == entry; });
}

}  // namespace bench::pe
