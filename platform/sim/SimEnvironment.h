// The environment of a program of the simulated machine.
//
// The machine's environment lives where Windows keeps it, in the registry
// key kEnvironmentKey, with the user's own variables in kUserEnvironmentKey.
// A program started by the launcher or by CreateProcessA gets its parent's
// block through the host variable kEnvironmentVariable; a program started
// with no such variable takes the block from the registry.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plat {

class SimRegistry;

constexpr const char* kEnvironmentKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const char* kUserEnvironmentKey = "HKEY_CURRENT_USER\\Environment";
constexpr const char* kEnvironmentVariable = "WINSIM_ENVIRONMENT";

// An environment block: names compare case-insensitively and keep their case.
class SimEnvironment {
public:
    bool Get(const std::string& name, std::string& value) const;
    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);
    // In the order of a Windows block: by name, case-insensitively.
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

    // Expands %NAME% references the way ExpandEnvironmentStrings does
    // (unknown names are left as written).
    std::string Expand(const std::string& text) const;

    // One host-variable-safe text holding the block, and back.
    std::string Serialize() const;
    static bool Parse(const std::string& text, SimEnvironment& block);

    // The machine's block: the values of kEnvironmentKey, then those of
    // kUserEnvironmentKey, REG_EXPAND_SZ ones expanded.
    static SimEnvironment FromRegistry(SimRegistry& registry);

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace plat
