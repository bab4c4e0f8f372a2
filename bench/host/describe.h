// The gauge as the host reads it, in words: the definition as a tree (what `inspect` prints and a report shows),
// and host calls with their arguments named after the records they point to (what `log` prints).
#pragma once

#include <string>
#include <vector>

#include "host.h"

namespace bench {

// Describes the gauge a host serves. The host must have installed it, for the mouse list and the bitmap
// sizes. Handlers are numbered in table order (areas sharing a handler share its number), never shown by
// address, so that the text is the same in every build.
std::string describe_gauge(const Host& host);

// A call as one line: "install_mouse_areas(mouse list, header, background image size)".
std::string describe_call(const Host& host, const HostCall& call);
// The same names, one per argument. An address that names no record is given in hex.
std::vector<std::string> describe_arguments(const Host& host, const HostCall& call);

}  // namespace bench
