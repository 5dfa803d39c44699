// The kernel side of the simulated machine: the per-process state behind the
// file, text file, environment, process and system calls of SimPlatform.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

class SimPlatform;

class SimKernel {
public:
    SimKernel(SimPlatform& machine, const std::string& prefixHostPath);
    ~SimKernel();
    SimKernel(const SimKernel&) = delete;
    SimKernel& operator=(const SimKernel&) = delete;

    std::uint32_t lastError = 0;

private:
    SimPlatform& machine_;
    std::string prefix_;
};

}  // namespace plat
