// What the page shows of the gauge: the bench's own drawing (Renderer, Picture and encode_png from draw.h),
// and the text of a line as the host holds it.
#pragma once

#include <string>

#include "draw.h"
#include "host.h"

namespace bench::serve {

inline std::string line_text(const Host& host, const StringElement* string) { return host.text(string); }

}  // namespace bench::serve
