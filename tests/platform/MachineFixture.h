// A fresh simulated machine per test, in its own temporary prefix, installed
// as the backend of plat::Sys() for the test's life.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    plat::SimMachine& M() { return *machine_; }
    plat::SimPlatform& P() { return machine_->Platform(); }
    const std::string& PrefixDir() const { return prefix_; }

    // Writes C:\<name> with the given bytes (folders created).
    void Put(const std::string& windowsPath, const std::string& bytes = "x");
    std::string Get(const std::string& windowsPath);

    // Runs a host shell command with WINSIM_PREFIX set to this machine;
    // returns its exit status and, in output, what it printed.
    int Shell(const std::string& command, std::string* output = nullptr);
    std::string Winsim() const;

private:
    std::string prefix_;
    std::unique_ptr<plat::SimMachine> machine_;
    plat::Platform* previous_ = nullptr;
};
