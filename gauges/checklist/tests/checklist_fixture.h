// The checklist module on the bench: installed, with helpers to press its keys and read its five lines.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "module_test.h"

namespace checklist_test {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kGreen = 0x0000FF00;
constexpr uint32_t kRed = 0x000000FF;

// The middle of each key, counted from the left.
constexpr int32_t kKeyX[5] = {84, 142, 205, 262, 318};
constexpr int32_t kKeyY = 345;

// Every host variable the lines are judged from.
constexpr uint32_t kInputs[] = {2, 61, 74, 128, 303, 304, 323, 324, 325, 328, 331};

struct Line {
    std::string text;
    uint32_t colour;
    bool operator==(const Line&) const = default;
};

inline const char* colour_name(uint32_t colour) {
    switch (colour) {
        case kWhite: return "white";
        case kGreen: return "green";
        case kRed: return "red";
    }
    return "other";
}

inline std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << '"' << line.text << "\" " << colour_name(line.colour);
}

using Variables = std::vector<std::pair<uint32_t, double>>;

inline std::string describe(const Variables& variables) {
    std::string out;
    for (const auto& [id, value] : variables) {
        if (!out.empty()) out += ", ";
        out += "var " + std::to_string(id) + " = " + std::to_string(value);
    }
    return out.empty() ? "all inputs 0" : out;
}

class Checklist : public ModuleTest {
protected:
    Checklist() : ModuleTest("zorlet") {}

    void SetUp() override {
        ModuleTest::SetUp();
        if (HasFatalFailure()) return;
        host().install();
    }
    void TearDown() override {
        expect_no_faults("at the end of the test");
        ModuleTest::TearDown();
    }

    // The bench checks the guard bytes round every text buffer after each callback.
    void expect_no_faults(const std::string& context) {
        for (const std::string& fault : faults()) ADD_FAILURE() << fault << " (" << context << ")";
        clear_logs();
    }

    // Sets every input to 0, then the ones given.
    void set_inputs(const Variables& variables) {
        for (uint32_t id : kInputs) host().set_variable(id, 0.0);
        for (const auto& [id, value] : variables) host().set_variable(id, value);
    }

    // Clicks the key of `page`; the handler's result is 1.
    void press(int page) {
        int32_t result = 0;
        ASSERT_TRUE(host().pointer_event(kKeyX[page - 1], kKeyY, kMouseClick, &result)) << "key " << page;
        EXPECT_EQ(result, 1) << "key " << page;
    }

    // Line 1 (the title) to line 5 as the host would draw them now.
    Line line(int number) {
        const StringElement* element = host().strings().at(number - 1);
        return {element->text ? element->text : "(no buffer)", element->fore_colour};
    }
    std::vector<Line> lines() {
        std::vector<Line> out;
        for (int number = 1; number <= 5; ++number) out.push_back(line(number));
        return out;
    }

    // Presses the page's key, runs one host cycle with the inputs given and returns the lines.
    std::vector<Line> show(int page, const Variables& variables = {}) {
        set_inputs(variables);
        press(page);
        host().cycle();
        return lines();
    }
};

}  // namespace checklist_test
