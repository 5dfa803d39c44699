#include "platform/sim/SimKernel.h"

#include <cstdlib>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimProcess.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimTextFiles.h"

namespace plat {

SimKernel::SimKernel(SimPlatform& machine, const std::string& prefixHostPath)
    : machine_(machine), paths_(prefixHostPath), files_(paths_), faults_(prefixHostPath) {
    // A program started by the launcher or by CreateProcessA inherits its block.
    const char* inherited = std::getenv(kEnvironmentVariable);
    SimEnvironment block;
    if (inherited != nullptr && SimEnvironment::Parse(inherited, block)) environment_ = block;
}

SimKernel::~SimKernel() = default;

SimEnvironment SimKernel::Environment() {
    if (environment_) return *environment_;
    SimRegistry& registry = machine_.Registry();
    const std::uint64_t stamp = registry.ChangeStamp();
    if (!machineEnvironment_ || machineEnvironmentStamp_ != stamp) {
        machineEnvironment_ = SimEnvironment::FromRegistry(registry);
        machineEnvironmentStamp_ = stamp;
    }
    return *machineEnvironment_;
}

void SimKernel::SetVariable(const std::string& name, const std::string& value) {
    if (!environment_) environment_ = SimEnvironment::FromRegistry(machine_.Registry());
    environment_->Set(name, value);
}

void SimKernel::UnsetVariable(const std::string& name) {
    if (!environment_) environment_ = SimEnvironment::FromRegistry(machine_.Registry());
    environment_->Unset(name);
}

void SimKernel::UseMachineEnvironment() {
    environment_.reset();
}

std::uint32_t SimKernel::StartProcess(const std::string& commandLine, std::shared_ptr<SimChild>& child) {
    const SimEnvironment environment = Environment();
    SimProgram program;
    std::uint32_t error = FindProgram(paths_, environment, commandLine, program);
    if (error != kErrorSuccess) return error;
    std::vector<std::string> argv = {program.hostPath};
    if (!program.builtin.empty()) argv.push_back(program.builtin);
    for (auto& a : SplitArguments(program.arguments)) argv.push_back(a);
    auto started = std::make_shared<SimChild>();
    error = started->Start(argv, machine_.Prefix(), environment, LauncherPath());
    if (error != kErrorSuccess) return error;
    child = started;
    return kErrorSuccess;
}

std::uint32_t SimKernel::RunProcess(const std::string& commandLine, std::uint32_t& exitCode) {
    std::shared_ptr<SimChild> child;
    const std::uint32_t error = StartProcess(commandLine, child);
    if (error != kErrorSuccess) return error;
    if (child->Wait(kInfinite) != kWaitObject0) return kErrorInvalidHandle;
    exitCode = child->ExitCode();
    return kErrorSuccess;
}

Handle SimKernel::Add(std::unique_ptr<SimKernelObject> object) {
    const Handle handle = nextHandle_;
    nextHandle_ += 4;
    objects_[handle] = std::move(object);
    return handle;
}

bool SimKernel::Remove(Handle handle) {
    return objects_.erase(handle) == 1;
}

}  // namespace plat
