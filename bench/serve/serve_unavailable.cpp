// Builds without the HTTP library (the 32-bit and Windows benches) answer the serve command with this.
#include <cstdio>

#include "serve.h"

namespace bench::serve {

int serve_panel(Panel&, const std::string&, int) {
    std::fprintf(stderr, "gaugebench: serve is not part of this build; use the x86-64 Linux bench (linux-x64)\n");
    return 2;
}

}  // namespace bench::serve
