// Fuzzing the resource directory reader: whatever the bytes, what it finds lies inside them.
#include <cstdlib>

#include "resource_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const resources::ResourceKey keys[][2] = {
        {{true, 2, nullptr}, {true, 100, nullptr}},
        {{false, 0, "WAVE"}, {true, 3001, nullptr}},
        {{true, 16, nullptr}, {true, 1, nullptr}},
    };
    for (const auto& key : keys) {
        resources::ResourceView view;
        if (!resources::find_resource(bytes, size, key[0], key[1], &view)) continue;
        if (view.entry < bytes || view.data < view.entry || view.data > bytes + size ||
            view.size > static_cast<size_t>(bytes + size - view.data))
            std::abort();
        resources::ResourceView again;
        if (!resources::read_entry(bytes, size, view.entry, &again) || again.data != view.data) std::abort();
    }
    return 0;
}
