// The gauge definition as a readable tree: header, elements with their records, the mouse list.
#pragma once

#include <string>

#include "host.h"

namespace bench {

// Describes the gauge a host serves. The host must have installed it, for the mouse list and the bitmap
// sizes. Handlers are numbered in table order (areas sharing a handler share its number), never shown by
// address, so that the text is the same in every build.
std::string describe_gauge(const Host& host);

// Names for the event bits of a mouse area ("click", "repeat", "drag"), and any other bits in hex.
std::string event_flag_names(uint32_t flags);

}  // namespace bench
