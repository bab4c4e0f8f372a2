// The table the imports of a Windows module are bound from, and the DLL handles the stand-ins answer to.
#include <algorithm>
#include <cstring>

#include "runtime.h"

namespace bench::pe {
namespace {

constexpr const char* kDlls[] = {"kernel32.dll", "user32.dll", "msvcrt.dll", "dsound.dll"};
// A handle for each DLL the bench stands in for: the address of a header that is not an image.
alignas(16) uint8_t dll_handles[std::size(kDlls)][64] = {{'M', 'Z'}, {'M', 'Z'}, {'M', 'Z'}, {'M', 'Z'}};

}  // namespace

std::string normal_dll_name(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (out.find('.') == std::string::npos) out += ".dll";
    return out;
}

const std::vector<StandIn>& stand_ins() {
    static const std::vector<StandIn> all = [] {
        std::vector<StandIn> out;
        for (auto part : {kernel32_stand_ins, msvcrt_stand_ins, user32_stand_ins, dsound_stand_ins}) {
            std::vector<StandIn> more = part();
            out.insert(out.end(), more.begin(), more.end());
        }
        return out;
    }();
    return all;
}

const StandIn* find_stand_in(const std::string& dll, const char* name, uint16_t ordinal) {
    const std::string wanted = normal_dll_name(dll);
    for (const StandIn& stand_in : stand_ins()) {
        if (wanted != stand_in.dll) continue;
        if (name ? std::strcmp(name, stand_in.name) == 0 : (ordinal != 0 && ordinal == stand_in.ordinal))
            return &stand_in;
    }
    return nullptr;
}

void* stand_in_dll_handle(const std::string& dll) {
    const std::string wanted = normal_dll_name(dll);
    for (size_t i = 0; i < std::size(kDlls); ++i)
        if (wanted == kDlls[i]) return dll_handles[i];
    return nullptr;
}

std::string stand_in_dll_at(const void* handle) {
    for (size_t i = 0; i < std::size(kDlls); ++i)
        if (handle == dll_handles[i]) return kDlls[i];
    return "";
}

}  // namespace bench::pe
