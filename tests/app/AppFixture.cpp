#include "tests/app/AppFixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace apptest {

ConsoleCapture::ConsoleCapture() {
    char name[] = "/tmp/apptest-console-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return;
    path_ = name;
    std::fflush(stdout);
    savedFd_ = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    close(fd);
}

ConsoleCapture::~ConsoleCapture() {
    std::fflush(stdout);
    if (savedFd_ >= 0) {
        dup2(savedFd_, STDOUT_FILENO);
        close(savedFd_);
    }
    if (!path_.empty()) unlink(path_.c_str());
}

std::string ConsoleCapture::Text() {
    std::fflush(stdout);
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void InProcessMachine::SetUp() {
    ASSERT_TRUE(machine.Ready()) << "the machine could not be initialised";
    previous = plat::SetPlatform(&machine.Sim().Platform());
    installed = true;
}

void InProcessMachine::TearDown() {
    if (installed) plat::SetPlatform(previous);
    installed = false;
}

}  // namespace apptest
