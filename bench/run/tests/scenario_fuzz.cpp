// Fuzzing the scenario parser: whatever the text, it either gives commands or says, with FILE:LINE:, why not.
#include <cstdlib>
#include <string>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string error;
    const auto scenario =
        bench::parse_scenario(std::string_view(reinterpret_cast<const char*>(bytes), size), "fuzz.txt", &error);
    if (!scenario && error.rfind("fuzz.txt:", 0) != 0) std::abort();
    return 0;
}
