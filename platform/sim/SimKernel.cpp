#include "platform/sim/SimKernel.h"

namespace plat {

SimKernel::SimKernel(SimPlatform& machine, const std::string& prefixHostPath)
    : machine_(machine), prefix_(prefixHostPath) {}

SimKernel::~SimKernel() = default;

}  // namespace plat
