// A simulated machine for the fuzz targets: a fresh prefix in a temporary
// folder, made the process's backend before the first platform call, and
// removed when the process ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace fuzzmachine {

class Machine {
public:
    Machine() {
        char name[] = "/tmp/corvanta-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        prefix_ = name;
        setenv("WINSIM_PREFIX", prefix_.c_str(), 1);
        sim_ = std::make_unique<plat::SimMachine>(prefix_);
        if (!sim_->Init()) std::abort();
        plat::SetPlatform(&sim_->Platform());
    }
    ~Machine() {
        plat::SetPlatform(nullptr);
        sim_.reset();
        std::error_code ec;
        std::filesystem::remove_all(prefix_, ec);
    }
    plat::SimMachine& Sim() { return *sim_; }
    const std::string& Prefix() const { return prefix_; }

private:
    std::string prefix_;
    std::unique_ptr<plat::SimMachine> sim_;
};

// The one machine of the process (the fuzzer runs inputs one after the other).
inline Machine& Get() {
    static Machine machine;
    return machine;
}

// The tool writes reports to the console; the fuzzer's own output stays
// readable when they go nowhere.
inline void QuietConsole() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

}  // namespace fuzzmachine
