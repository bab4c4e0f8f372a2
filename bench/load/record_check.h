// The bench trusts nothing in a module's records: before any of them is handed to the host's walkers, every
// pointer it will follow must lie inside the module's own image, every list must end within a bound, the
// element tree must hold no cycle, and every bitmap an element names must exist and decode.
#pragma once

#include <string>

#include "module.h"

namespace bench {

// Checks the gauge header, the element tree and the bitmaps it names. Returns an empty string when all is
// well, otherwise one line naming the record and the field ("element 2 (needle): points lies outside the
// module's image").
std::string check_gauge_records(const LoadedModule& module);

// Checks a mouse list the module hands to install_mouse_areas: a parent record first, then child records, and
// an end record within a bound, all inside the module's image, each child with a handler inside it.
std::string check_mouse_list(const LoadedModule& module, const MouseArea* areas);

}  // namespace bench
