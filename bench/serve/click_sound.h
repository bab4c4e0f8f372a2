// The click the button stack plays, taken from the DirectSound stand-in's record of what was played.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bench::serve {

struct ClickSound {
    uint64_t serial = 0;  // grows by one with every sound played
    std::string wav;      // a RIFF WAVE file of the sound's format and bytes
};

// The latest sound a module played, or nothing when none was.
std::optional<ClickSound> latest_click_sound();

}  // namespace bench::serve
