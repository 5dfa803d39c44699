#include "tests/platform/MachineFixture.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/Paths.h"

void MachineTest::SetUp() {
    char dir[] = "/tmp/simkernel-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    prefix_ = dir;
    machine_ = std::make_unique<plat::SimMachine>(prefix_);
    std::string error;
    ASSERT_TRUE(machine_->Init(&error)) << error;
    previous_ = plat::SetPlatform(&machine_->Platform());
}

void MachineTest::TearDown() {
    plat::SetPlatform(previous_);
    machine_.reset();
    std::error_code ec;
    std::filesystem::remove_all(prefix_, ec);
}

void MachineTest::Put(const std::string& windowsPath, const std::string& bytes) {
    ASSERT_TRUE(machine_->WriteFile(windowsPath, bytes)) << windowsPath;
}

std::string MachineTest::Get(const std::string& windowsPath) {
    std::string bytes;
    EXPECT_TRUE(machine_->ReadFile(windowsPath, bytes)) << windowsPath;
    return bytes;
}

std::string MachineTest::Winsim() const {
    return testing_paths::WinsimPath();
}

int MachineTest::Shell(const std::string& command, std::string* output) {
    const std::string full = "WINSIM_PREFIX='" + prefix_ + "' " + command;
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
