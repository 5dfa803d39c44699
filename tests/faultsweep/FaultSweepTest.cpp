// Each scenario runs once without faults, once counting the platform calls it
// makes, and then once per operation it calls, per likely error code and per
// call to fail (every call, or only the n-th). FAULTSWEEP_FULL=1 widens the
// sweep to every code and many more calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

#include "tests/faultsweep/Sweep.h"

namespace faultsweep {

void PrintTo(const Scenario& scenario, std::ostream* os) {
    *os << scenario.name;
}

namespace {

const char kLog[] = "C:\\logs\\u.txt";

const Scenario kScenarios[] = {
    // Two products without a restart: the cleanup follows the uninstall.
    {"CleanupAtOnce", {"lumo", "qualvane"}, {kLog, "-c"}, false},
    // A suite product stays: its shared files must survive every fault.
    {"SharedFilesAfterRestart",
     {"fc_keeper", "fc_alpha"},
     {kLog, "-c", "-nr"},
     true,
     {"C:\\Program Files\\Corvanta FC\\Alpha\\shared.dll", "C:\\Program Files\\Corvanta FC\\Alpha\\alpha.exe",
      "C:\\Program Files\\Corvanta FC\\Alpha\\bin\\diffdir.dll",
      "C:\\Program Files\\Corvanta FC\\Alpha\\Vaultline\\vlshared.dll"}},
    // One product alone, debug lists, folder kept.
    {"AloneAfterRestart",
     {"fc_alpha"},
     {kLog, "-d", "-nr"},
     true,
     {"C:\\Program Files\\Corvanta FC\\Alpha\\shared.dll",
      "C:\\Program Files\\Corvanta FC\\Alpha\\logs\\run.log"}},
    // Registry values a remaining suite product shares.
    {"SharedRegistryValues", {"rc_keeper", "rc_lumo"}, {kLog, "-c"}, false},
    // Preservation and registry exports, restart needed.
    {"PreserveThenRestart", {"vaultline", "tracklight"}, {kLog, "-nr"}, true},
};

class FaultSweepTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultSweepTest, EveryFaultEndsNormallyAndKeepsWhatTheCleanRunKeeps) {
    const Scenario& scenario = GetParam();
    ScenarioRunner runner(scenario);
    ASSERT_TRUE(runner.Ready()) << runner.Error();

    const RunResult baseline = runner.Run({});
    ASSERT_TRUE(baseline.ok) << baseline.problem;
    std::vector<OperationUse> uses;
    std::string problem;
    ASSERT_TRUE(runner.CountOperations(uses, problem)) << problem;
    ASSERT_FALSE(uses.empty());

    const bool full = FullSweep();
    int faultsTried = 0;
    int failures = 0;
    for (const OperationUse& use : uses) {
        std::vector<std::uint32_t> codes = LikelyCodes(use.operation);
        if (!full && codes.size() > 2) codes.resize(2);
        for (std::uint32_t code : codes) {
            for (int n : CallsToFail(use.calls, full)) {
                plat::SimFaultRule rule;
                rule.operation = use.operation;
                rule.pattern = "*";
                rule.code = code;
                rule.times = n == 0 ? -1 : 1;
                rule.skip = n == 0 ? 0 : n - 1;
                ++faultsTried;
                const RunResult run = runner.Run({rule});
                const std::string what = use.operation + " failing with " + std::to_string(code) +
                                         (n == 0 ? " at every call" : " at call " + std::to_string(n)) +
                                         " of " + std::to_string(use.calls);
                if (!run.ok) {
                    ++failures;
                    ADD_FAILURE() << what << ": " << run.problem;
                    continue;
                }
                const std::vector<std::string> lost = Lost(runner.Initial(), baseline.after, run.after);
                if (!lost.empty() && !IsAnswer(use.operation, code)) {
                    ++failures;
                    std::string list;
                    for (std::size_t i = 0; i < lost.size() && i < 20; ++i) list += "\n  " + lost[i];
                    ADD_FAILURE() << what << ": removed what the run without the fault keeps:" << list;
                }
            }
        }
    }
    std::printf("faultsweep: scenario %s: runs %d, operations %zu, faults tried %d, failed %d\n",
                scenario.name, runner.Runs(), uses.size(), faultsTried, failures);
    std::fflush(stdout);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweepTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace faultsweep
