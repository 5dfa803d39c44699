// A fresh simulated machine per test: an empty prefix folder in /tmp and the
// sim backend opened on it; the folder is removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/simreg-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        prefix_ = pattern;
        machine_ = std::make_unique<plat::SimPlatform>(prefix_);
    }
    void TearDown() override {
        machine_.reset();
        const std::string command = "rm -rf '" + prefix_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    plat::SimPlatform& machine() { return *machine_; }
    plat::SimRegistry& store() { return machine_->Registry(); }
    const std::string& prefix() const { return prefix_; }

    // Opens the store again, as the next process would.
    void Reopen() {
        machine_.reset();
        machine_ = std::make_unique<plat::SimPlatform>(prefix_);
    }

    static std::string Dword(std::uint32_t n) {
        std::string bytes;
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
        return bytes;
    }

private:
    std::string prefix_;
    std::unique_ptr<plat::SimPlatform> machine_;
};
