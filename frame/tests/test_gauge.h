// What the test gauge's handlers send.
#pragma once

#include <cstdint>

namespace test_gauge {
constexpr uint32_t kTruncatedEvent = 0x5001;  // the frame's truncated values of variables 304 and 303
constexpr uint32_t kDragEvent = 0x5002;       // the pointer's y
constexpr uint32_t kNeverEvent = 0x5003;      // from an area after the end record: never sent
}  // namespace test_gauge
