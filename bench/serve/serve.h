// The live page: a local web page to fly a gauge, or a panel of them, by hand.
#pragma once

#include <string>

namespace bench {
class Panel;
}

namespace bench::serve {

constexpr int kDefaultPort = 8018;

// Installs the panel (or the single gauge) and serves it on 127.0.0.1:`port` until SIGINT or SIGTERM. `name`, as
// the user gave it, heads a saved scenario. Returns the program's exit code.
int serve_panel(Panel& panel, const std::string& name, int port);

}  // namespace bench::serve
