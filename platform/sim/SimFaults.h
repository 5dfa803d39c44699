// Fault rules of the simulated machine: "this operation fails with this code
// when its main argument matches this pattern", for a number of calls or
// always. They are kept in a file of the prefix, under a flock lock, so that
// every process of the machine sees them and a count is used up across
// processes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct SimFaultRule {
    std::string operation;  // the interface method name, e.g. "CopyFileA"
    std::string pattern;    // '*' and '?' wildcards, compared case-insensitively
    std::uint32_t code = 0;
    int times = -1;  // calls left; -1 = always
    int skip = 0;    // matching calls let through before the rule applies (only the n-th: skip n-1, times 1)
};

class SimFaults {
public:
    explicit SimFaults(const std::string& prefixHostPath);

    // false for an operation the platform interface does not have, a count
    // below 1 (other than -1), a negative skip, or a tab or line break in the
    // pattern.
    bool Add(const SimFaultRule& rule);
    std::vector<SimFaultRule> List() const;
    bool Clear();
    // True when a rule for operation matches mainArg; code is then its error.
    // A counted rule is used up by this call (and removed at zero). A rule
    // still skipping lets this call through and counts it down instead.
    bool Take(const std::string& operation, const std::string& mainArg, std::uint32_t& code);

    const std::string& FilePath() const { return file_; }

    // Whether operation names a call of the platform interface (any case).
    static bool KnownOperation(const std::string& operation);
    // Every operation of the platform interface a rule can name.
    static const std::vector<std::string>& Operations();

private:
    std::string file_;
};

}  // namespace plat
