// The registry cleanup under Wine with the Windows build of the tool and on
// the simulated machine with the Linux build: the same scenario must leave
// the same log, console text and vendor registry on both.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/Scenario.h"
#include "tests/support/WineMachine.h"

namespace regtest {
namespace {

using winetest::Outcome;
using winetest::RegSeed;
using winetest::Scenario;

const char kLog[] = "C:\\regcleanup.log";
const char kSharedDlls[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUserVendor[] = "HKEY_CURRENT_USER\\Software\\Corvanta Software";

// Vendor trees with the Administrator's project list between siblings, and
// SharedDLLs values of every kind the search meets.
std::vector<RegSeed> Seeds() {
    const std::string admin = std::string(kUserVendor) + "\\Corvanta Administrator";
    return {
        {std::string(kUserVendor) + "\\Alpha", "A", "REG_SZ", "1"},
        {admin + "\\Other", "B", "REG_SZ", "1"},
        {admin + "\\ProjectList", "Data List", "REG_SZ", "C:\\p"},
        {std::string(kUserVendor) + "\\Zeta", "Z", "REG_SZ", "1"},
        {"HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Lumo\\Sub", "X", "REG_SZ", "1"},
        {"HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software\\Lumo", "Lang", "REG_SZ", "en"},
        {kSharedDlls, "C:\\Program Files\\Corvanta RC\\lumo.dll", "REG_DWORD", "1"},
        {kSharedDlls, "C:\\Program Files\\corvanta rc\\lower.dll", "REG_DWORD", "1"},
        {kSharedDlls, "C:\\Program Files\\Corvanta RC\\JRE\\java.dll", "REG_DWORD", "3"},
        {kSharedDlls, "C:\\Program Files\\Corvanta RC\\many.dll", "REG_DWORD", "4"},
    };
}

struct Case {
    Scenario scenario;
    std::vector<std::string> registryHas;  // entries of the vendor export afterwards
    std::vector<std::string> registryLacks;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.scenario.name;
}

std::string Key(const std::string& lowerPath) {
    return "[" + lowerPath + "]";
}

const std::string kShared = "hkey_local_machine\\software\\microsoft\\windows\\currentversion\\shareddlls";
const std::string kUser = "hkey_current_user\\software\\corvanta software";

std::vector<Case> Cases() {
    const std::vector<std::string> sharedLog = {
        "C:\\Program Files\\Corvanta RC\\JRE\\java.dll\t3\n",
        "C:\\Program Files\\Corvanta RC\\many.dll\t4\n",
        "Deleting registry value C:\\Program Files\\Corvanta RC\\lumo.dll\n",
        "Deleting registry value C:\\Program Files\\Corvanta RC\\many.dll\n",
    };
    const std::vector<std::string> sharedLeft = {
        Key(kShared) + " \"C:\\\\Program Files\\\\corvanta rc\\\\lower.dll\"=dword:00000001",
        Key(kShared) + " \"C:\\\\Program Files\\\\Corvanta RC\\\\JRE\\\\java.dll\"=dword:00000003",
    };
    std::vector<Case> list;
    {
        Case c;
        c.scenario.name = "VendorTreesKeepTheProjectList";
        c.scenario.packages = {"e2e_lumo"};
        c.scenario.registry = Seeds();
        c.scenario.toolArgs = {kLog};
        c.scenario.logHas = sharedLog;
        c.registryHas = sharedLeft;
        c.registryHas.push_back(Key(kUser + "\\corvanta administrator\\projectlist"));
        c.registryHas.push_back(Key(kUser + "\\zeta"));
        c.registryLacks = {Key(kUser + "\\alpha"), Key(kUser + "\\corvanta administrator\\other"),
                           Key("hkey_local_machine\\software\\tolvi"),
                           Key("hkey_users\\.default\\software\\corvanta software")};
        list.push_back(c);
    }
    {
        Case c;
        c.scenario.name = "VendorTreesCleanRemovesAll";
        c.scenario.packages = {"e2e_lumo"};
        c.scenario.registry = Seeds();
        c.scenario.toolArgs = {kLog, "-c"};
        c.scenario.logHas = sharedLog;
        c.registryHas = sharedLeft;
        c.registryLacks = {Key(kUser), Key("hkey_local_machine\\software\\tolvi"),
                           Key("hkey_users\\.default\\software\\corvanta software")};
        list.push_back(c);
    }
    {
        Case c;
        c.scenario.name = "SuiteProductRemainsTreesStay";
        c.scenario.packages = {"e2e_lumo", "e2e_deploy"};
        c.scenario.registry = Seeds();
        c.scenario.toolArgs = {kLog, "-c"};
        c.scenario.logHas = sharedLog;
        c.registryHas = sharedLeft;
        c.registryHas.push_back(Key(kUser + "\\alpha"));
        c.registryHas.push_back(Key("hkey_local_machine\\software\\tolvi\\lumo\\sub"));
        list.push_back(c);
    }
    return list;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

void ExpectOwn(const Case& c, const Outcome& out, const char* machine) {
    SCOPED_TRACE(machine);
    EXPECT_EQ(out.exitCode, 0);
    for (const std::string& text : c.scenario.logHas) {
        EXPECT_NE(out.log.find(text), std::string::npos) << "log lacks: " << text << "\nlog:\n" << out.log;
    }
    for (const std::string& entry : c.registryHas) {
        EXPECT_NE(std::find(out.registry.begin(), out.registry.end(), entry), out.registry.end())
            << "registry lacks " << entry << "\n"
            << Joined(out.registry);
    }
    for (const std::string& entry : c.registryLacks) {
        EXPECT_EQ(std::find(out.registry.begin(), out.registry.end(), entry), out.registry.end())
            << "registry still has " << entry << "\n"
            << Joined(out.registry);
    }
}

class BothMachinesTest : public ::testing::TestWithParam<Case> {};

TEST_P(BothMachinesTest, SameRegistryCleanupOnWineAndOnTheSimulatedMachine) {
    const Case& c = GetParam();
    // The simulated machine's side always runs.
    const Outcome sim = winetest::RunOnSim(c.scenario);
    ASSERT_TRUE(sim.problem.empty()) << sim.problem;
    ExpectOwn(c, sim, "sim");

    if (!winetest::WineAvailable()) GTEST_SKIP() << "wine is not installed";
    if (!std::ifstream(winetest::ToolExePath()).good())
        GTEST_SKIP() << winetest::ToolExePath() << " is not built";
    const Outcome wine = winetest::RunOnWine(c.scenario);
    ASSERT_TRUE(wine.problem.empty()) << wine.problem;
    ExpectOwn(c, wine, "wine");

    EXPECT_EQ(wine.log, sim.log);
    EXPECT_EQ(wine.console, sim.console);
    EXPECT_EQ(Joined(wine.registry), Joined(sim.registry));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, BothMachinesTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.scenario.name; });

}  // namespace
}  // namespace regtest
