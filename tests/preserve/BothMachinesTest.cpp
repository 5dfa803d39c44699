// Preservation scenarios run twice through the end-to-end harness: under
// Wine with CorvantaUninstallTool.exe and on the simulated machine with the
// Linux tool. Both must preserve the same files to the same places, write the
// same exports and the same log section.
#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/preserve/InstallLayout.h"
#include "tests/preserve/PreserveFixture.h"
#include "tests/support/Scenario.h"
#include "tests/support/WineMachine.h"

namespace preserve_test {
namespace {

const std::string kI = kInstall;
const char kLog[] = "C:\\tool.log";
const char kProjectListKey[] =
    "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";

struct BothCase {
    const char* name;
    std::vector<std::string> packages;
    std::vector<std::string> options;   // after the log path
    std::vector<std::string> projects;  // project files of the Administrator's list
    std::vector<Set> sets;              // the file sets that work, in run order
    std::string preserveDir;            // the preserve root below C:, "/"-separated, lower case
    std::vector<std::string> exports;   // .reg files below C:, "/"-separated
};

void PrintTo(const BothCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return Lower(path);
}

winetest::Scenario ScenarioOf(const BothCase& c) {
    winetest::Scenario s;
    s.name = c.name;
    s.packages = c.packages;
    s.toolArgs = {kLog};
    s.toolArgs.insert(s.toolArgs.end(), c.options.begin(), c.options.end());
    for (const std::string& rel : UserFiles()) s.files.push_back({kI + rel, "src:" + rel});
    // Settings in every key the tool may export, so each export has a file.
    for (const char* key : {"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight",
                            "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Email",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Email",
                            "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight\\Common\\TLIntSvr",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi", "HKEY_CURRENT_USER\\SOFTWARE\\Tolvi",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Pilotron",
                            "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\AddIns",
                            "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Preferences",
                            "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Projects"}) {
        s.registry.push_back({key, "User", "REG_SZ", "me"});
    }
    if (!c.projects.empty()) {
        std::string data;
        for (const std::string& p : c.projects) data += (data.empty() ? "" : "\\0") + p;
        s.registry.push_back({kProjectListKey, "Data List", "REG_MULTI_SZ", data});
    }
    return s;
}

// The preserved files and exports the scenario must leave, as the harness
// lists drive C:.
std::vector<std::string> ExpectedEntries(const BothCase& c) {
    std::vector<std::string> files;
    for (Set set : c.sets) {
        for (const Preserved& p : PreservedBy(set)) files.push_back(p.dest);
    }
    std::vector<std::string> dirs;
    for (Set set : c.sets) {
        for (const std::string& d : DirsFromNothing(set)) dirs.push_back(d);
    }
    for (const std::string& project : c.projects) {
        if (project.find(kI + "\\Projects\\Alpha") == 0) {
            files.push_back("\\Projects\\Alpha\\Alpha");
            files.push_back("\\Projects\\Alpha\\data\\alpha.dat");
        }
    }
    std::vector<std::string> entries;
    if (!files.empty() || !dirs.empty()) {
        entries.push_back(c.preserveDir + "/");
        for (const std::string& e : TreeOf(files, dirs)) entries.push_back(c.preserveDir + "/" + Slashed(e));
    }
    for (const std::string& e : c.exports) entries.push_back(Lower(e));
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The entries of the harness's drive listing that belong to the preservation.
std::vector<std::string> PreservationEntries(const winetest::Outcome& out, const BothCase& c) {
    std::vector<std::string> entries;
    for (const std::string& e : out.files) {
        const bool inRoot = e.compare(0, c.preserveDir.size() + 1, c.preserveDir + "/") == 0;
        const bool isExport = e.size() > 4 && e.compare(e.size() - 4, 4, ".reg") == 0;
        if (inRoot || isExport) entries.push_back(e);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string Section(const std::string& log) {
    const std::string saving = "Saving cached product MSIs.\n\n";
    const std::string rule = "\n\n=====================================\n\n";
    const std::string uninstall = "Beginning uninstallation of products.\n\n";
    const std::string::size_type s = log.find(saving);
    const std::string::size_type r = s == std::string::npos ? s : log.find(rule, s);
    const std::string::size_type u = r == std::string::npos ? r : log.find(uninstall, r);
    if (u == std::string::npos) return "<no preservation section in the log>";
    return log.substr(r + rule.size(), u - r - rule.size());
}

// The order of a folder's entries is the platform's: it only moves lines.
std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string ExpectedSection(const BothCase& c, const std::string& loggedRoot, bool debug) {
    std::string log;
    for (Set set : {Set::Tracklight, Set::Vaultline, Set::CommonWeb, Set::Specwright}) {
        if (std::find(c.sets.begin(), c.sets.end(), set) != c.sets.end())
            log += SetLog(set, kI, loggedRoot, debug);
    }
    log += "Backing up Corvanta Administrator Directories\n\n";
    for (const std::string& project : c.projects)
        log += "Dir path is " + project.substr(0, project.rfind('\\')) + "\n";
    if (std::find(c.sets.begin(), c.sets.end(), Set::Overlook) != c.sets.end()) {
        log += SetLog(Set::Overlook, kI, loggedRoot, debug);
    }
    return log;
}

// What one listing has and the other lacks, for a readable failure.
std::string Difference(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    std::string text;
    for (const std::string& e : got) {
        if (!std::binary_search(want.begin(), want.end(), e)) text += "  extra: " + e + "\n";
    }
    for (const std::string& e : want) {
        if (!std::binary_search(got.begin(), got.end(), e)) text += "  missing: " + e + "\n";
    }
    return text;
}

class BothMachinesTest : public ::testing::TestWithParam<BothCase> {};

TEST_P(BothMachinesTest, SamePreservationUnderWineAndOnTheSimulatedMachine) {
    if (!winetest::WineAvailable()) GTEST_SKIP() << "wine is not installed";
    if (!std::ifstream(winetest::ToolExePath()).good()) {
        GTEST_SKIP() << winetest::ToolExePath() << " is missing: run .ci/build-win32.sh first";
    }
    const BothCase& c = GetParam();
    const winetest::Scenario scenario = ScenarioOf(c);

    const winetest::Outcome sim = winetest::RunOnSim(scenario);
    ASSERT_TRUE(sim.problem.empty()) << sim.problem;
    const winetest::Outcome wine = winetest::RunOnWine(scenario);
    ASSERT_TRUE(wine.problem.empty()) << wine.problem;
    EXPECT_EQ(sim.exitCode, 0);
    EXPECT_EQ(wine.exitCode, 0);

    const std::vector<std::string> expected = ExpectedEntries(c);
    const std::vector<std::string> simEntries = PreservationEntries(sim, c);
    const std::vector<std::string> wineEntries = PreservationEntries(wine, c);
    EXPECT_TRUE(simEntries == expected) << "sim:\n" << Difference(simEntries, expected);
    EXPECT_TRUE(wineEntries == expected) << "wine:\n" << Difference(wineEntries, expected);

    std::string loggedRoot = "\\Corvanta.Preserve";
    for (std::size_t i = 0; i + 1 < c.options.size(); ++i) {
        if (c.options[i] == "-pd") loggedRoot = c.options[i + 1] + "\\Corvanta.Preserve";
    }
    EXPECT_EQ(Section(sim.log), ExpectedSection(c, loggedRoot, false));
    EXPECT_EQ(SortedLines(Section(wine.log)), SortedLines(Section(sim.log)));
}

const std::string kAlpha = kI + "\\Projects\\Alpha\\Alpha";

INSTANTIATE_TEST_SUITE_P(
    Scenarios, BothMachinesTest,
    ::testing::Values(
        BothCase{"TracklightAndVaultline",
                 {"pv_tracklight", "pv_vaultline"},
                 {"-nr"},
                 {kAlpha, "D:\\Elsewhere\\Gamma\\Gamma", "c:\\program files\\corvanta\\Projects\\Beta\\Beta"},
                 {Set::Tracklight, Set::Vaultline, Set::CommonWeb},
                 "corvanta.preserve",
                 {"tl_core_hkcu.reg", "tl_core_hklm.reg", "tl_email_hkcu.reg", "tl_email_hklm.reg",
                  "tl_intsvr_hkcu.reg", "vl_tolvi_hklm.reg", "vl_tolvi_hkcu.reg"}},
        BothCase{"SpecwrightAndOverlookWithPd",
                 {"pv_specwright", "pv_overlook"},
                 {"-nr", "-pd", "C:\\Saved\\"},
                 {},
                 {Set::CommonWeb, Set::Specwright, Set::Overlook},
                 "saved/corvanta.preserve",
                 {"saved/sw_addins_hkcu.reg", "saved/sw_preferences_hkcu.reg", "saved/sw_projects_hkcu.reg"}},
        BothCase{"CleanKeepsProjectsAndExports",
                 {"pv_vaultline", "pv_qualvane"},
                 {"-nr", "-c", "-pd", "C:\\Saved"},
                 {kAlpha},
                 {},
                 "saved/corvanta.preserve",
                 {"saved/vl_tolvi_hklm.reg", "saved/vl_tolvi_hkcu.reg", "saved/qv_hklm.reg"}}),
    [](const ::testing::TestParamInfo<BothCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace preserve_test
