#include "lever_value.h"

#include "module_frame.h"

namespace {
constexpr int64_t kLeverFull = 16384;
constexpr int64_t kLeverReverse = -4096;
}  // namespace

int32_t lever_value_from_pointer(int32_t y, int32_t height) {
    if (height <= 0) return 0;
    const double span = 0.75 * static_cast<double>(height);
    // The zero row is the truncated span, the divisor the exact one: so y 0 falls just short of full travel
    // whenever the span is not a whole number.
    const int32_t offset = truncate_to_s32(-span);
    // The host's 32-bit integer steps, wrapping as they do (done unsigned, where wrapping is defined).
    const uint32_t rise = (0u - static_cast<uint32_t>(y)) - static_cast<uint32_t>(offset);
    const int32_t scaled = static_cast<int32_t>(rise << 14);
    // For a span below one pixel the quotient can pass the 32-bit range; kept whole, it still pins to the
    // right end instead of wrapping.
    const int64_t value = static_cast<int64_t>(scaled / span);
    if (value > kLeverFull) return static_cast<int32_t>(kLeverFull);
    if (value < kLeverReverse) return static_cast<int32_t>(kLeverReverse);
    return static_cast<int32_t>(value);
}
