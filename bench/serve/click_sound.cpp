#include "click_sound.h"

#include "dsound_standin.h"

namespace bench::serve {

bool ClickSounds::take() {
    const std::vector<dsound_standin::PlayedSound>& played = dsound_standin::played();
    if (played.empty()) return false;
    serial_ += played.size();
    const std::vector<uint8_t> track = dsound_standin::wav_track({played.back()}, 0);
    wav_.assign(track.begin(), track.end());
    dsound_standin::forget_history();
    return true;
}

}  // namespace bench::serve
