// The clicks a module plays, taken from the DirectSound stand-in's record of what was played.
#pragma once

#include <cstdint>
#include <string>

namespace bench::serve {

class ClickSounds {
public:
    // Takes what the module played since the last call, and has the stand-in forget it so that a long session
    // does not pile up sounds. True when something was played.
    bool take();
    // Sounds played so far, and the latest of them as a RIFF WAVE file (empty before the first).
    uint64_t serial() const { return serial_; }
    const std::string& wav() const { return wav_; }

private:
    uint64_t serial_ = 0;
    std::string wav_;
};

}  // namespace bench::serve
