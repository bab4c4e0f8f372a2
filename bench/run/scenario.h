// Scenarios: what happens to a gauge, one command a line, `#` starting a comment.
//   set VAR VALUE     host variable VAR (a whole number) takes VALUE (a number) from now on
//   click X Y         a left click at gauge pixel (X, Y)
//   repeat X Y N      N repeat events while the button is held at (X, Y)
//   drag X Y          the pointer moved to (X, Y) with the button held
//   frame [N]         N host cycles (default 1), each drawn
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_limits.h"

namespace bench {

enum class CommandKind { kSet, kClick, kRepeat, kDrag, kFrame };

struct Command {
    CommandKind kind;
    int line = 0;           // in the scenario text, from 1
    std::string text;       // the line as written, without its comment and outer blanks
    uint32_t variable = 0;  // set
    double value = 0;       // set
    int32_t x = 0, y = 0;   // click, repeat, drag
    uint32_t count = 1;     // repeat, frame
};

struct Scenario {
    std::vector<Command> commands;
    uint32_t frames = 0;  // the cycles it runs in all
};

// Parses a whole scenario. On the first bad line returns nothing and sets `error` to
// "NAME:LINE: expected ..., got ..." (NAME as given). Reads nothing but `text`.
std::optional<Scenario> parse_scenario(std::string_view text, std::string_view name, std::string* error);

// The event bits each pointer command sends.
uint32_t event_flags(CommandKind kind);

}  // namespace bench
