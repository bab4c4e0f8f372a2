// The page's files, built into the program so that it serves them wherever it is run from.
#pragma once

#include <cstddef>
#include <vector>

namespace bench::serve {

struct PageAsset {
    const char* path;  // as requested: "/", "/app.js"
    const char* content_type;
    const char* bytes;
    size_t size;
};

const std::vector<PageAsset>& page_assets();

}  // namespace bench::serve
