// Until the DirectSound stand-in keeps a record of what was played, there is no click to hand the page.
#include "click_sound.h"

namespace bench::serve {

std::optional<ClickSound> latest_click_sound() { return std::nullopt; }

}  // namespace bench::serve
