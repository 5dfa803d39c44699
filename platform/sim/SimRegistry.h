// The simulated machine's registry store (SQLite in the prefix).
#pragma once

#include <string>

namespace plat {

class SimRegistry {
public:
    explicit SimRegistry(const std::string& prefixHostPath);
    ~SimRegistry();
    SimRegistry(const SimRegistry&) = delete;
    SimRegistry& operator=(const SimRegistry&) = delete;
};

}  // namespace plat
