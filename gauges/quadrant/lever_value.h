// The throttle lever value for a pointer height, shared by the quadrant's three lever strips.
#pragma once

#include <cstdint>

// The lever value, from -4096 to 16384, for a pointer at `y` over a background `height` pixels high: 0 at
// three quarters of the height down, 16384 more for every three quarters of the height upward. The height must
// be positive; for any other the result is 0 and means nothing.
int32_t lever_value_from_pointer(int32_t y, int32_t height);
