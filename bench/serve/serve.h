// gaugebench serve MODULE [--port N]: a local web page to fly a gauge by hand.
#pragma once

namespace bench::serve {

constexpr int kDefaultPort = 8018;

// argv as main has it, argv[1] being "serve". Returns the program's exit code.
int serve_command(int argc, char** argv);

}  // namespace bench::serve
