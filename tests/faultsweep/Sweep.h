// The fault sweep: a scenario of the real tool (packages installed on a
// fresh machine, a first run, the restart and the continuation run when the
// scenario needs one) is run once without faults and then again with one
// platform operation failing, always or only at its n-th call, with the
// Windows codes that operation is likely to return. Every faulted run must
// end normally with exit code 0 within its time limit, print no sanitizer
// report, and keep every file and registry value that the fault-free run
// keeps.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/SimFaults.h"

namespace faultsweep {

struct Scenario {
    const char* name;
    std::vector<std::string> packages;  // build/packages/<name>.msi, installed in this order
    std::vector<std::string> args;      // the first run's arguments
    bool reboot;                        // the restart follows and runs the continuation
    // Files an uninstall leaves behind (Windows paths): on the machine from
    // the start, and put back after the first run when a restart follows.
    std::vector<std::string> leftovers = {};
};

// What a machine holds: files and folders below C: ("dir/" for a folder) and
// registry values ("key\\name").
struct Snapshot {
    std::set<std::string> files;
    std::set<std::string> values;
};

// The end of one run of a scenario.
struct RunResult {
    bool ok = false;      // every program ended with exit code 0, in time, no sanitizer report
    std::string problem;  // what went wrong otherwise, with the programs' output
    Snapshot after;
};

// One operation the fault-free run calls, with its number of calls.
struct OperationUse {
    std::string operation;
    int calls = 0;
};

class ScenarioRunner {
public:
    // Builds the scenario's machine once (in a temporary folder removed on
    // destruction).
    explicit ScenarioRunner(const Scenario& scenario);
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Error() const { return error_; }
    const Snapshot& Initial() const { return initial_; }

    // Runs the scenario on a copy of the machine with these fault rules.
    RunResult Run(const std::vector<plat::SimFaultRule>& rules);
    // The operations the fault-free run calls and how often; false when the
    // counting run itself failed.
    bool CountOperations(std::vector<OperationUse>& uses, std::string& problem);

    // Number of runs made so far.
    int Runs() const { return runs_; }

private:
    bool SeedLeftovers(const std::string& prefix) const;
    RunResult RunIn(const std::string& prefix, const std::vector<plat::SimFaultRule>& rules);

    Scenario scenario_;
    std::string root_;      // temporary folder of this runner
    std::string template_;  // the installed machine, copied for every run
    Snapshot initial_;
    bool ready_ = false;
    std::string error_;
    int runs_ = 0;
};

// What the fault-free run kept that the faulted run lost: entries of the
// initial machine present after the baseline and missing after the fault.
std::vector<std::string> Lost(const Snapshot& initial, const Snapshot& baseline, const Snapshot& faulted);

// The restart's logon for the tool: takes the tool's RunOnce value and gives
// the continuation run's arguments; false when none is registered or the
// value does not name the tool.
bool TakeContinuation(const std::string& prefix, std::vector<std::string>& args);

// Takes a snapshot of the machine in this prefix.
Snapshot TakeSnapshot(const std::string& prefix);

// The Windows codes an operation is likely to fail with, the likeliest first.
std::vector<std::uint32_t> LikelyCodes(const std::string& operation);

// The calls to fail for an operation called `calls` times: 0 stands for
// "every call"; n > 0 for "only the n-th". The short form tries every call,
// the first eight calls and the last; the full form the first sixty, one
// in the middle and the last.
std::vector<int> CallsToFail(int calls, bool full);

// Whether a code of an operation is an answer rather than a failure: a
// product property query that says the product has no such property (1608),
// is gone (1605) or has a longer value than the buffer (234, a publisher
// name that cannot be the suite's) tells what the machine holds, and what the tool then
// removes follows from that answer; runs with such a code must still end
// normally but may remove more than the fault-free run.
bool IsAnswer(const std::string& operation, std::uint32_t code);

// The whole sweep (every code, many calls) when FAULTSWEEP_FULL is set to
// something other than 0; otherwise the representative subset.
bool FullSweep();

}  // namespace faultsweep
