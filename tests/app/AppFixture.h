// Fixtures of the app tests: the tool's own code run in this process on a
// fresh simulated machine, with the console captured.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/SimPlatform.h"
#include "tests/support/ToolRun.h"

namespace apptest {

// Redirects standard output into a file while alive; Text() gives what was
// written so far.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string Text();

private:
    int savedFd_ = -1;
    std::string path_;
};

// "\n" -> "\r\n": how a text written by the tool looks in a file.
std::string Crlf(const std::string& text);

// A fresh machine with its SimPlatform installed as the
// process's backend for the length of the test.
class InProcessMachine : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    toolrun::ToolMachine machine;
    plat::Platform* previous = nullptr;
    bool installed = false;
};

}  // namespace apptest
