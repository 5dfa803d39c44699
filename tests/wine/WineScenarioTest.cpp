// CorvantaUninstallTool.exe end to end under Wine, each scenario compared
// with the same scenario on the simulated machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/Scenario.h"
#include "tests/support/WineMachine.h"

namespace winetest {
namespace {

const char* const kLog = "C:\\tool.log";
const char* const kTemp = "C:\\CorvantaSDLC_Temp";
const char* const kDataFile = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
const char* const kSharedDlls =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::string Dir(const std::string& product) {
    return "C:\\Program Files\\Corvanta E2E\\" + product;
}

// Every line feed of the file is part of a CR LF pair.
bool AllLineEndsCrLf(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
    }
    return true;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> list;
    {
        Scenario s;
        s.name = "NoRebootProductSet";
        s.packages = {"e2e_lumo", "e2e_qualvane"};
        s.registry = {
            // Paths that no package installs: the installer leaves their counts alone.
            {kSharedDlls, "C:\\Program Files\\Corvanta E2E\\Common\\legacy.dll", "REG_DWORD", "3"},
            {kSharedDlls, "C:\\Program Files\\Corvanta E2E\\JRE\\bin\\java.dll", "REG_DWORD", "1"},
            {kSharedDlls, "C:\\Program Files\\Other Vendor\\other.dll", "REG_DWORD", "2"},
            {"HKEY_CURRENT_USER\\Software\\Corvanta Software\\Lumo", "User", "REG_SZ", "me"},
        };
        s.toolArgs = {kLog};
        s.logHas = {"Number of Corvanta products found: 2\n\n",
                    "Reboot not needed following uninstall of products.",
                    "Uninstall of product Zel Corvanta Lumo E2E succeeded.\n\n",
                    "Uninstall of product Zel Corvanta Qualvane E2E succeeded.\n\n",
                    "No reboot needed for this uninstall.",
                    "Deleting registry value C:\\Program Files\\Corvanta E2E\\Common\\legacy.dll\n"};
        s.pathsGone = {Dir("Lumo") + "\\Lumo.exe", Dir("Qualvane") + "\\bin\\Qualvanecore.dll", kDataFile};
        s.pathsLeft = {kTemp};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "RebootThroughContinuation";
        s.packages = {"e2e_lumo", "e2e_vaultline"};
        s.registry = {
            {"HKEY_CURRENT_USER\\Software\\Tolvi\\Vaultline", "Recent", "REG_SZ", "C:\\vault\\a.vlt"}};
        s.toolArgs = {kLog, "-nr"};
        s.reboot = true;
        s.logHas = {"Reboot needed following uninstall of products.",
                    "Output data file: C:\\CorvantaSDLC_Temp\\",
                    "You have chosen to not allow the Corvanta Uninstall Tool to reboot the machine.",
                    "Continuing processing following reboot.\n\n"};
        s.pathsGone = {Dir("Vaultline") + "\\Vaultline.exe", Dir("Lumo") + "\\Lumo.exe", kDataFile};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "CleanRemovesEverything";
        s.packages = {"e2e_vaultline"};
        s.registry = {
            {"HKEY_CURRENT_USER\\Software\\Corvanta Software\\Corvanta Administrator\\projectList", "P1",
             "REG_SZ", "C:\\projects\\p1"},
            {"HKEY_CURRENT_USER\\Software\\Corvanta Software\\Vaultline", "Layout", "REG_SZ", "wide"},
        };
        s.toolArgs = {kLog, "-c", "-nr"};
        s.reboot = true;
        s.logHas = {"User data will not be preserved from these products.\n\n",
                    "Continuing processing following reboot.\n\n"};
        s.pathsGone = {Dir("Vaultline") + "\\Vaultline.exe"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "DebugLines";
        s.packages = {"e2e_lumo"};
        s.toolArgs = {kLog, "-d", "-v"};
        s.logHas = {
            "Debug mode has been enabled.MSI Verbose logging has been enabled.Number of Corvanta products",
            "DEBUG: Copying product Zel Corvanta Lumo E2E.\n",
            "InstallLocation found through MSI is C:\\Program Files\\Corvanta E2E\\Lumo\\\n\n"};
        s.pathsGone = {Dir("Lumo") + "\\Lumo.exe"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "PreserveDirectory";
        s.packages = {"e2e_qualvane", "e2e_vaultline"};
        s.registry = {
            {"HKEY_LOCAL_MACHINE\\Software\\Corvanta Test\\8\\Qualvane\\Runs", "Last", "REG_SZ", "42"}};
        s.files = {{"C:\\Keep\\note.txt", "kept"}};
        s.toolArgs = {kLog, "-pd", "C:\\Keep", "-nr"};
        s.reboot = true;
        s.logHas = {"Continuing processing following reboot.\n\n"};
        s.pathsLeft = {"C:\\Keep\\qv_hklm.reg", "C:\\Keep\\CorvantaSDLC_Temp"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "RemainingNonTeamSuiteProduct";
        s.packages = {"e2e_lumo", "e2e_deploy"};
        s.toolArgs = {kLog};
        s.logHas = {
            "Corvanta Product found, non-Team Product\nProduct Name: Zel Corvanta Deploy Agent E2E\n\n",
            "Uninstall of product Zel Corvanta Lumo E2E succeeded.\n\n"};
        s.pathsGone = {Dir("Lumo") + "\\Lumo.exe"};
        s.pathsLeft = {Dir("Deploy") + "\\Deploy.exe"};
        s.installedAfter = {"{E2E00004-0000-4000-8000-000000000001}"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "FailedUninstall";
        s.packages = {"e2e_seathub"};
        s.toolArgs = {kLog};
        s.failFirstUninstall = 1627;
        // The sim's injected failure comes before its installer would write
        // the product's installer log; a real failed removal writes one.
        s.knownGaps = {"mfxSeatHub.log"};
        s.logHas = {"Uninstall failed. Product: Zel Corvanta SeatHub E2E\nError Code: 1627\n\n"};
        s.pathsLeft = {Dir("SeatHub") + "\\SeatHub.exe"};
        s.installedAfter = {"{E2E00005-0000-4000-8000-000000000001}"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "RestartByTheTool";
        s.packages = {"e2e_vaultline"};
        // No -nr: the tool asks for the restart itself, and the restart runs
        // the continuation from RunOnce.
        s.toolArgs = {kLog};
        s.logHas = {"Rebooting machine now.\n\n", "Continuing processing following reboot.\n\n"};
        s.pathsGone = {Dir("Vaultline") + "\\Vaultline.exe", kDataFile};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "FileCleanupSharedWithRemainingProduct";
        // The file cleanup's own packages: two Team products, one of them
        // needing a reboot, and a suite product that stays and shares files.
        s.packages = {"fc_keeper", "fc_alpha", "fc_beta"};
        s.toolArgs = {kLog, "-nr", "-d"};
        s.reboot = true;
        s.installedAfter = {"{6F1C2A10-0000-4000-8000-0000000B0001}"};
        s.logHas = {"Corvanta Product found, non-Team Product\nProduct Name: FC Keeper\n\n",
                    "Continuing processing following reboot.\n\n"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "PreservationSetsOfEveryPreservedProduct";
        // The preservation's packages: every product with user data to keep,
        // below one suite folder, Vaultline found before Tracklight.
        s.packages = {"pv_vaultline", "pv_tracklight", "pv_specwright",
                      "pv_overlook",  "pv_qualvane",   "pv_pilotron"};
        s.toolArgs = {kLog, "-nr"};
        s.reboot = true;
        s.logHas = {"Reboot needed following uninstall of products.",
                    "Continuing processing following reboot.\n\n"};
        s.pathsGone = {kDataFile};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "RemainingProductWithoutCachedPackage";
        // The remaining suite product's cached package is gone: discovery
        // cannot open that product and skips it, and the file cleanup of the
        // uninstalled product stops at the remaining product's database.
        s.packages = {"e2e_lumo", "e2e_deploy"};
        s.dropCachedPackageOf = {"{E2E00004-0000-4000-8000-000000000001}"};
        s.toolArgs = {kLog};
        s.logHas = {"Uninstall of product Zel Corvanta Lumo E2E succeeded.\n\n",
                    "Error in function CCreateCompAndDirObjects\n"};
        s.pathsGone = {Dir("Lumo") + "\\Lumo.exe"};
        s.pathsLeft = {Dir("Deploy") + "\\Deploy.exe"};
        s.installedAfter = {"{E2E00004-0000-4000-8000-000000000001}"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "SuitePackagesClean";
        // The suite's own packages with -c: nothing is preserved, so their
        // install locations (which Wine does not register for them, see
        // WINE_DIFFERENCES.md) play no part; the file and registry cleanup do.
        s.packages = {"vaultline", "tracklight", "overlook", "specwright", "lumo", "qualvane"};
        s.toolArgs = {kLog, "-c", "-nr", "-d"};
        s.reboot = true;
        s.logHas = {"Continuing processing following reboot.\n\n"};
        s.pathsGone = {kDataFile};
        // Wine registers no install location for these packages, and its
        // uninstall leaves the emptied Common Files folders that hold no
        // component of their own (WINE_DIFFERENCES.md).
        s.knownGaps = {"InstallLocation found through MSI is", "program files/common files/corvanta/"};
        list.push_back(s);
    }
    {
        Scenario s;
        s.name = "UsageWithoutLogPath";
        // No colon anywhere: not a log path; the usage text goes to the
        // console, nothing is removed and no log is written.
        s.packages = {"e2e_lumo"};
        s.toolArgs = {"tool.log", "-c"};
        s.consoleHas = {
            "Incorrect command line syntax. The following options are available:\n\n-c Optional flag.",
            "CorvantaUnInstallTool.exe <log file name with full path> [-c] [-nr] [-pd <path to place "
            "preserved data in>]"};
        s.pathsLeft = {Dir("Lumo") + "\\Lumo.exe"};
        s.installedAfter = {"{E2E00001-0000-4000-8000-000000000001}"};
        s.pathsGone = {"C:\\tool.log", kTemp};
        list.push_back(s);
    }
    return list;
}

void ExpectOwnChecks(const Scenario& scenario, const Outcome& out, const char* machine) {
    SCOPED_TRACE(machine);
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_TRUE(AllLineEndsCrLf(out.rawLog)) << "the log must have CR LF line ends";
    for (const std::string& text : scenario.logHas) {
        EXPECT_NE(out.log.find(text), std::string::npos) << "log lacks: " << text << "\nlog:\n" << out.log;
    }
    for (const std::string& text : scenario.consoleHas) {
        EXPECT_NE(out.console.find(text), std::string::npos) << "console lacks: " << text << "\nconsole:\n"
                                                             << out.console;
    }
    EXPECT_EQ(Joined(out.products), Joined(scenario.installedAfter)) << "products installed afterwards";
    EXPECT_TRUE(out.pathsMissing.empty()) << "missing: " << Joined(out.pathsMissing);
    EXPECT_TRUE(out.pathsPresent.empty()) << "still there: " << Joined(out.pathsPresent);
}

// With E2E_DUMP=<folder> set, each outcome is written there for a look.
void Dump(const Scenario& scenario, const Outcome& out, const char* machine) {
    const char* dir = std::getenv("E2E_DUMP");
    if (!dir || !*dir) return;
    std::ofstream(std::string(dir) + "/" + scenario.name + "." + machine + ".txt", std::ios::binary)
        << "exit " << out.exitCode << "\n---- console\n"
        << out.console << "\n---- log\n"
        << out.log << "\n---- files\n"
        << Joined(out.files) << "---- registry\n"
        << Joined(out.registry) << "---- products\n"
        << Joined(out.products);
}

class WineScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(WineScenario, SameOutcomeUnderWineAndOnTheSimulatedMachine) {
    if (!WineAvailable()) GTEST_SKIP() << "wine is not installed";
    std::ifstream exe(ToolExePath());
    ASSERT_TRUE(exe.good()) << ToolExePath() << " is missing: run .ci/build-win32.sh first";
    const Scenario& scenario = GetParam();

    const Outcome wine = RunOnWine(scenario);
    ASSERT_TRUE(wine.problem.empty()) << wine.problem;
    Dump(scenario, wine, "wine");
    ExpectOwnChecks(scenario, wine, "wine");

    const Outcome sim = RunOnSim(scenario);
    ASSERT_TRUE(sim.problem.empty()) << sim.problem;
    Dump(scenario, sim, "sim");
    ExpectOwnChecks(scenario, sim, "sim");

    const Outcome w = Comparable(wine, scenario.knownGaps);
    const Outcome m = Comparable(sim, scenario.knownGaps);
    EXPECT_EQ(w.log, m.log);
    EXPECT_EQ(w.console, m.console);
    EXPECT_EQ(Joined(w.files), Joined(m.files));
    EXPECT_EQ(Joined(w.registry), Joined(m.registry));
    EXPECT_EQ(Joined(w.products), Joined(m.products));
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, WineScenario, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace winetest
