// The bench's limits, in one place. A module's records are not trusted: every list the bench follows and every
// size it allocates by is bounded, and a record that goes past a bound is refused with a message naming it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench::limits {

// Records. The record check refuses a module past any of these before anything in it runs; the walkers keep
// to the same bounds so that a tree rewired at run time cannot run away either.
constexpr size_t kTreeDepth = 32;         // element levels below the background
constexpr size_t kElements = 1024;        // elements in one tree
constexpr size_t kListLength = 64;        // entries in one child list or failure list
constexpr size_t kMouseAreas = 256;       // records in a mouse list, up to its end record
constexpr size_t kNameLength = 256;       // bytes of a gauge name, its zero included
constexpr uint32_t kNeedlePoints = 1024;  // rows of a needle's calibration table
constexpr uint32_t kIconImages = 64;      // images of an icon
constexpr uint32_t kCharCount = 4096;     // declared characters of a string element
constexpr uint32_t kImportEntries = 64;   // ImportTable entries searched for the host services

// Drawing.
constexpr int kPictureMargin = 256;  // pixels a picture may reach beyond the background on any side
constexpr int kTextBox = 4096;       // width or height of a string element's box
constexpr size_t kTextCache = 512;   // laid-out texts kept between frames

// Scenarios.
constexpr uint32_t kScenarioFrames = 10000;  // host cycles one scenario may run
constexpr uint32_t kRepeatEvents = 10000;    // events one repeat line may send

}  // namespace bench::limits
