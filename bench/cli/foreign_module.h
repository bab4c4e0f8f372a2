// Windows modules on a bench that cannot run their code: the x86-64 bench hands the whole command line to the
// 32-bit bench, which runs it through qemu-i386-static.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bench::cli {

// The command line as main() got it, for handing on.
void remember_command_line(int argc, char** argv);

// When `modules` hold a Windows module and this bench cannot run one, runs the same command in the 32-bit bench
// (through the ./gaugebench wrapper named by GAUGEBENCH_WRAPPER, else the 32-bit build beside this one) and does
// not return; returns kBadInput after saying why when it cannot. Nothing when this bench can run them all.
std::optional<int> hand_to_32_bit_bench(const std::vector<std::string>& modules);

}  // namespace bench::cli
