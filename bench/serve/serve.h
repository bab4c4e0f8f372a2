// The live page: a local web page to fly a gauge by hand.
#pragma once

#include <string>

namespace bench::serve {

constexpr int kDefaultPort = 8018;

// Serves the module at `path` (`name` as the user gave it, heading a saved scenario) on 127.0.0.1:`port` until
// SIGINT or SIGTERM. Returns the program's exit code.
int serve_gauge(const std::string& path, const std::string& name, int port);

}  // namespace bench::serve
