// Loading a module built by this tree, for the tests.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host.h"

#ifndef TEST_MODULE_DIR
#error "TEST_MODULE_DIR names the folder of the built modules"
#endif

inline std::string module_path(const std::string& name) { return std::string(TEST_MODULE_DIR) + "/" + name + ".so"; }

// A module loaded and served by a fresh host for each test, with a recorder hearing every call, event and fault.
class ModuleTest : public ::testing::Test {
protected:
    explicit ModuleTest(std::string name) : name_(std::move(name)) {}
    void SetUp() override {
        // Unload first, so that the module is mapped afresh, its records and globals as built.
        host_.reset();
        module_.reset();
        recorder_.clear();
        std::string error;
        module_ = bench::LoadedModule::load(module_path(name_), &error);
        ASSERT_TRUE(module_) << error;
        host_ = std::make_unique<bench::Host>(*module_);
        host_->add_observer(&recorder_);
    }
    void TearDown() override {
        host_.reset();
        module_.reset();
    }
    // A fresh copy of the module, as if the host had just loaded it.
    void reload() { SetUp(); }
    bench::Host& host() { return *host_; }
    GaugeHeader* header() { return module_->header(); }
    ElementHeader* background() { return header()->elements[0]; }

    // What the host told since the test began or the last clear_logs().
    const std::vector<bench::HostCall>& calls() const { return recorder_.calls; }
    const std::vector<bench::SentEvent>& events() const { return recorder_.events; }
    const std::vector<std::string>& faults() const { return recorder_.faults; }
    void clear_logs() { recorder_.clear(); }

private:
    std::string name_;
    std::unique_ptr<bench::LoadedModule> module_;
    std::unique_ptr<bench::Host> host_;
    bench::HostRecorder recorder_;
};
