#include "platform/sim/SimKernel.h"

#include <cstdlib>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimProcess.h"
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
    return SimEnvironment::FromRegistry(machine_.Registry());
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
