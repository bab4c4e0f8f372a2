// A gauge installed on a fresh host and drawn after each cycle, for the tests that look at its pixels.
#pragma once

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "renderer.h"
#include "module_test.h"

namespace bench {
// Colours in failure messages.
inline void PrintTo(Colour c, std::ostream* out) {
    *out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}
}  // namespace bench

class DrawnGauge : public ModuleTest {
protected:
    explicit DrawnGauge(std::string name) : ModuleTest(std::move(name)) {}
    void SetUp() override {
        ModuleTest::SetUp();
        host().install();
        renderer_ = std::make_unique<bench::Renderer>(host().module());
    }
    void TearDown() override {
        renderer_.reset();
        ModuleTest::TearDown();
    }
    // Sets the variables, runs one host cycle and draws the frame.
    bench::Picture drawn(std::initializer_list<std::pair<uint32_t, double>> variables = {}) {
        for (const auto& [id, value] : variables) host().set_variable(id, value);
        host().cycle();
        return renderer_->render(host());
    }
    // One of the module's bitmaps, decoded.
    bench::Bitmap bitmap(int32_t id) {
        bench::Bitmap out;
        std::string error;
        EXPECT_TRUE(host().module().bitmap(id, &out, &error)) << error;
        return out;
    }
    std::unique_ptr<bench::Renderer> renderer_;
};
