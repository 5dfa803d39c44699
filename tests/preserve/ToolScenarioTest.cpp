// The real tool on simulated machines with the preservation test packages
// installed and the users' files added around them: the preserve tree file
// by file, the .reg exports (and that they import back), and the log section
// between the package copies and the uninstall.
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "tests/preserve/InstallLayout.h"
#include "tests/preserve/PreserveFixture.h"
#include "tests/support/Paths.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace preserve_test {
namespace {

const std::string kI = kInstall;
const char kToolLog[] = "C:\\logs\\uninstall.txt";
const char kProjectListKey[] =
    "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";

// The packages, the file each carries below installLocation and the key of
// its registry value.
struct Package {
    const char* name;
    const char* carried;  // "" none the tool preserves
};
const Package kPackages[] = {
    {"pv_tracklight", "\\Tracklight\\tlcli\\config\\alias.init"},
    {"pv_vaultline", "\\Vaultline\\var\\config.xml"},
    {"pv_specwright", "\\Specwright\\SpecNet\\projects\\catalog.txt"},
    {"pv_overlook", "\\Overlook\\Overlook.ini"},
    {"pv_qualvane", ""},
    {"pv_pilotron", ""},
    {"pv_nolocation", ""},
};

// The exports, in the order they run, with the package that makes each one.
struct Export {
    const char* package;
    const char* file;
    const char* key;
};
const Export kExports[] = {
    {"pv_tracklight", "tl_core_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight"},
    {"pv_tracklight", "tl_core_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight"},
    {"pv_tracklight", "tl_email_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Email"},
    {"pv_tracklight", "tl_email_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Email"},
    {"pv_tracklight", "tl_intsvr_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight\\Common\\TLIntSvr"},
    {"pv_vaultline", "vl_tolvi_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi"},
    {"pv_vaultline", "vl_tolvi_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Tolvi"},
    {"pv_qualvane", "qv_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane"},
    {"pv_pilotron", "pilotron_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Pilotron"},
    {"pv_specwright", "sw_addins_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\AddIns"},
    {"pv_specwright", "sw_preferences_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Preferences"},
    {"pv_specwright", "sw_projects_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Projects"},
};

std::string MultiSz(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& s : strings) data += s + std::string(1, '\0');
    return data + std::string(1, '\0');
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WithoutCr(const std::string& raw) {
    std::string text;
    for (std::string::size_type i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    return text;
}

// The part of the log the preservation writes: after the package copies,
// before the uninstall.
std::string PreservationSection(const std::string& log) {
    const std::string saving = "Saving cached product MSIs.\n\n";
    const std::string rule = "\n\n=====================================\n\n";
    const std::string uninstall = "Beginning uninstallation of products.\n\n";
    const std::string::size_type s = log.find(saving);
    if (s == std::string::npos) return "<no package copies in the log>";
    const std::string::size_type r = log.find(rule, s);
    if (r == std::string::npos) return "<no end of the package copies in the log>";
    const std::string::size_type u = log.find(uninstall, r);
    if (u == std::string::npos) return "<no uninstall in the log>";
    return log.substr(r + rule.size(), u - r - rule.size());
}

struct Scenario {
    const char* name;
    std::vector<std::string> packages;  // installed in this order
    std::vector<std::string> options;   // after the log path
    bool debug;
    std::vector<std::string> projects;  // project files of the Administrator's list ({} none)
    std::string loggedRoot;             // the preserve root as the log shows it
    std::string diskRoot;               // the same, as the folder it names
    std::string regDir;                 // where the exports land
    std::vector<Set> sets;              // the file sets that work, in run order
    std::string installLocation;        // as discovery leaves it
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

class ToolScenarioBase : public ::testing::Test {
protected:
    explicit ToolScenarioBase(const Scenario& scenario) : scenario_(scenario) {}

    void SetUp() override {
        ASSERT_TRUE(machine_.Ready());
        fs::create_directories(machine_.Prefix() + "/drive_d");
        fs::create_directories(machine_.HostPath("C:\\logs"));
        registry_ = std::make_unique<plat::SimRegistry>(machine_.Prefix());
    }

    bool Installed(const std::string& package) const {
        const auto& p = scenario_.packages;
        return std::find(p.begin(), p.end(), package) != p.end();
    }

    // The users' files, except where a package carries the file itself.
    void SeedUserFiles(const std::string& prefixText) {
        for (const std::string& rel : UserFiles()) {
            if (machine_.FileExists(kI + rel) && !Carried(rel).empty()) continue;
            ASSERT_TRUE(machine_.WriteFile(kI + rel, prefixText + rel)) << rel;
        }
        for (const std::string& dir : UserDirs()) fs::create_directories(machine_.HostPath(kI + dir));
    }

    // The package carrying a file (by path below installLocation), if any.
    std::string Carried(const std::string& rel) const {
        for (const Package& p : kPackages) {
            if (Installed(p.name) && Lower(rel) == Lower(p.carried)) return p.name;
        }
        return std::string();
    }

    std::string ExpectedContent(const Preserved& p, const std::string& prefixText) const {
        const std::string package = Carried(p.source);
        if (!package.empty())
            return ReadHostFile(testing_paths::SourceDir() + "/tests/packages/" + package + ".wxs");
        return prefixText + p.source;
    }

    // The settings the exports must keep: a few of every kind beside the
    // value each package writes.
    void SeedSettings() {
        for (const Export& e : kExports) {
            const std::string key = e.key;
            ASSERT_TRUE(registry_->SetString(key, "User", std::string("user of ") + e.file));
            ASSERT_TRUE(registry_->SetDword(key, "Level", 7));
            ASSERT_TRUE(registry_->SetValue(key, {"List", 7, MultiSz({"one", "two \"2\""})}));
            ASSERT_TRUE(registry_->SetString(key + "\\Nested", "", "C:\\Program Files\\Corvanta\\"));
        }
    }

    std::map<std::string, std::string> Snapshot(const std::string& key) {
        std::map<std::string, std::string> values;
        Collect(key, "", values);
        return values;
    }
    void Collect(const std::string& key, const std::string& rel, std::map<std::string, std::string>& out) {
        for (const plat::SimRegValue& v : registry_->Values(key)) {
            out[Lower(rel) + "|" + Lower(v.name)] = std::to_string(v.type) + ":" + v.data;
        }
        for (const std::string& sub : registry_->SubKeys(key))
            Collect(key + "\\" + sub, rel + "\\" + sub, out);
    }

    std::vector<std::string> Tree(const std::string& windowsDir) const {
        std::vector<std::string> entries;
        const fs::path root = machine_.HostPath(windowsDir);
        std::error_code ec;
        if (!fs::is_directory(root, ec)) return entries;
        for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::string rel = fs::relative(it->path(), root).generic_string();
            std::replace(rel.begin(), rel.end(), '/', '\\');
            if (it->is_directory()) rel += "\\";
            entries.push_back(Lower(rel));
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    std::string Read(const std::string& windowsPath) const {
        std::string bytes;
        machine_.ReadFile(windowsPath, bytes);
        return bytes;
    }

    toolrun::ProcessResult RunTool(const std::string& logPath) {
        std::vector<std::string> args = {logPath};
        args.insert(args.end(), scenario_.options.begin(), scenario_.options.end());
        return machine_.RunTool(args);
    }

    // The expected preservation section and the preserved files (destination
    // below the root -> expected content).
    std::string ExpectedSection(const std::string& install) const {
        const Scenario& s = scenario_;
        std::string log;
        auto addSet = [&](Set set) {
            if (std::find(s.sets.begin(), s.sets.end(), set) != s.sets.end()) {
                log += SetLog(set, install, s.loggedRoot, s.debug);
            }
        };
        addSet(Set::Tracklight);
        addSet(Set::Vaultline);
        addSet(Set::CommonWeb);
        addSet(Set::Specwright);
        log += "Backing up Corvanta Administrator Directories\n\n";
        std::vector<std::string> kept;
        for (const std::string& project : Projects()) {
            const std::string dir = project.substr(0, project.rfind('\\'));
            log += "Dir path is " + dir + "\n";
            if (dir.find(install) != std::string::npos) kept.push_back(dir);
        }
        if (s.debug) {
            for (const std::string& dir : kept) {
                const std::string destination =
                    install.empty() ? dir : s.loggedRoot + dir.substr(dir.find(install) + install.size());
                log +=
                    "Backing up directory " + dir + "\nDestination to preserve to: " + destination + "\n\n";
            }
            log += "DEBUG: Entered BackupRegistryKeys()\n\n";
            for (const Export& e : kExports) {
                if (!Installed(e.package)) continue;
                log +=
                    "DEBUG: Preparing to launch regedit.exe with the following cmd line:\nregedit.exe /e:a "
                    "\"" +
                    PdText() + "\\" + e.file + "\" \"" + e.key + "\"\n\n";
            }
        }
        addSet(Set::Overlook);
        return log;
    }

    // The -pd argument as typed ("" without -pd).
    std::string PdText() const {
        const auto& o = scenario_.options;
        for (std::size_t i = 0; i + 1 < o.size(); ++i) {
            if (o[i] == "-pd") return o[i + 1];
        }
        return std::string();
    }

    std::map<std::string, std::string> ExpectedFiles(const std::string& prefixText) const {
        const Scenario& s = scenario_;
        std::map<std::string, std::string> files;
        for (Set set : s.sets) {
            for (const Preserved& p : PreservedBy(set)) {
                const std::string key = Lower(p.dest.substr(1));
                if (!files.count(key)) files[key] = ExpectedContent(p, prefixText);
            }
        }
        if (!s.installLocation.empty()) {
            for (const std::string& project : Projects()) {
                if (project.find(s.installLocation + "\\Projects\\Alpha") == 0) {
                    files["projects\\alpha\\alpha"] = prefixText + "\\Projects\\Alpha\\Alpha";
                    files["projects\\alpha\\data\\alpha.dat"] =
                        prefixText + "\\Projects\\Alpha\\data\\alpha.dat";
                }
            }
        }
        return files;
    }

    std::map<std::string, std::string> Files(const std::string& root) const {
        std::map<std::string, std::string> files;
        for (const std::string& rel : Tree(root)) {
            if (rel.back() != '\\') files[rel] = Read(root + "\\" + rel);
        }
        return files;
    }

    // The Administrator's list as the tool reads it: a first string that is
    // a lone line break means no projects.
    std::vector<std::string> Projects() const {
        const std::vector<std::string>& p = scenario_.projects;
        if (!p.empty() && p.front() == "\r\n") return {};
        return p;
    }

    // Installs the packages and seeds the users' files and settings.
    void Prepare() {
        for (const std::string& package : scenario_.packages)
            ASSERT_TRUE(machine_.Install(package)) << package;
        SeedUserFiles("src:");
        fs::create_directories(machine_.HostPath("C:\\Vaultline\\var"));
        ASSERT_TRUE(machine_.WriteFile("C:\\Vaultline\\var\\drive.txt", "drive root"));
        ASSERT_TRUE(machine_.WriteFile("D:\\Elsewhere\\Gamma\\Gamma", "gamma"));
        SeedSettings();
        if (!scenario_.projects.empty()) {
            ASSERT_TRUE(registry_->SetValue(kProjectListKey, {"Data List", 7, MultiSz(scenario_.projects)}));
        }
    }

    Scenario scenario_;
    toolrun::ToolMachine machine_;
    std::unique_ptr<plat::SimRegistry> registry_;
};

class ToolScenarioTest : public ToolScenarioBase, public ::testing::WithParamInterface<Scenario> {
protected:
    ToolScenarioTest() : ToolScenarioBase(GetParam()) {}
};

TEST_P(ToolScenarioTest, PreservesBeforeTheUninstall) {
    const Scenario& s = scenario_;
    Prepare();
    if (HasFatalFailure()) return;
    std::map<std::string, std::map<std::string, std::string>> before;
    for (const Export& e : kExports) before[e.key] = Snapshot(e.key);

    const toolrun::ProcessResult run = RunTool(kToolLog);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;

    // The preserve tree, file by file.
    std::map<std::string, std::string> expected = ExpectedFiles("src:");
    if (s.installLocation.empty()) {
        expected.clear();
        if (std::find(s.sets.begin(), s.sets.end(), Set::Vaultline) != s.sets.end()) {
            expected["vaultline\\var\\drive.txt"] = "drive root";
        }
    }
    EXPECT_EQ(Files(s.diskRoot), expected);
    // The copies were made before the uninstall took the packages' own files.
    for (const Package& p : kPackages) {
        if (Installed(p.name) && *p.carried) {
            EXPECT_FALSE(machine_.FileExists(kI + p.carried)) << p.carried;
        }
    }
    // The console shows none of it.
    EXPECT_EQ(run.out.find("Backing up"), std::string::npos);
    EXPECT_EQ(PreservationSection(WithoutCr(Read(kToolLog))), ExpectedSection(s.installLocation));

    // The exports: exactly those of the products found, in the -pd folder.
    for (const Export& e : kExports) {
        EXPECT_EQ(machine_.FileExists(s.regDir + "\\" + e.file), Installed(e.package)) << e.file;
    }
    EXPECT_FALSE(machine_.FileExists(s.diskRoot + "\\vl_tolvi_hklm.reg"));

    // They bring back what was there when they were made.
    for (const Export& e : kExports) {
        if (!Installed(e.package)) continue;
        registry_->DeleteKeyTree(e.key);
    }
    for (const Export& e : kExports) {
        if (!Installed(e.package)) continue;
        const toolrun::ProcessResult import = machine_.Winsim({"reg", "import", s.regDir + "\\" + e.file});
        EXPECT_EQ(import.exitCode, 0) << e.file << import.out << import.err;
    }
    for (const Export& e : kExports) {
        if (!Installed(e.package)) continue;
        EXPECT_EQ(Snapshot(e.key), before[e.key]) << e.key;
    }
}

const std::vector<std::string> kAllPackages = {"pv_tracklight", "pv_vaultline", "pv_specwright",
                                               "pv_overlook",   "pv_qualvane",  "pv_pilotron"};
const std::vector<std::string> kMixedProjects = {kI + "\\Projects\\Alpha\\Alpha",
                                                 "D:\\Elsewhere\\Gamma\\Gamma",
                                                 "c:\\program files\\corvanta\\Projects\\Beta\\Beta"};

INSTANTIATE_TEST_SUITE_P(Scenarios, ToolScenarioTest,
                         ::testing::Values(Scenario{"TracklightAlone",
                                                    {"pv_tracklight"},
                                                    {"-nr"},
                                                    false,
                                                    {},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::Tracklight, Set::CommonWeb},
                                                    kI},
                                           Scenario{"VaultlineAloneWithPd",
                                                    {"pv_vaultline"},
                                                    {"-nr", "-pd", "D:\\Saved"},
                                                    false,
                                                    {},
                                                    "D:\\Saved\\Corvanta.Preserve",
                                                    "D:\\Saved\\Corvanta.Preserve",
                                                    "D:\\Saved",
                                                    {Set::Vaultline, Set::CommonWeb},
                                                    kI},
                                           // -pd as the last argument is an empty preserve directory: the
                                           // root of the current drive, as without -pd.
                                           Scenario{"VaultlineWithPdWithoutValue",
                                                    {"pv_vaultline"},
                                                    {"-nr", "-d", "-pd"},
                                                    true,
                                                    {},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::Vaultline, Set::CommonWeb},
                                                    kI},
                                           Scenario{"SpecwrightAloneWithTrailingBackslash",
                                                    {"pv_specwright"},
                                                    {"-nr", "-d", "-pd", "C:\\Saved\\"},
                                                    true,
                                                    {},
                                                    "C:\\Saved\\\\Corvanta.Preserve",
                                                    "C:\\Saved\\Corvanta.Preserve",
                                                    "C:\\Saved",
                                                    {Set::CommonWeb, Set::Specwright},
                                                    kI},
                                           Scenario{"OverlookAlone",
                                                    {"pv_overlook"},
                                                    {"-nr", "-d"},
                                                    true,
                                                    {},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::CommonWeb, Set::Overlook},
                                                    kI},
                                           Scenario{"QualvaneAndPilotron",
                                                    {"pv_qualvane", "pv_pilotron"},
                                                    {"-nr", "-d"},
                                                    true,
                                                    {},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {},
                                                    kI},
                                           Scenario{"EverythingWithProjects",
                                                    kAllPackages,
                                                    {"-nr", "-d"},
                                                    true,
                                                    kMixedProjects,
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::Tracklight, Set::Vaultline, Set::CommonWeb,
                                                     Set::Specwright, Set::Overlook},
                                                    kI},
                                           Scenario{"CleanKeepsOnlyProjectsAndExports",
                                                    kAllPackages,
                                                    {"-nr", "-c", "-d", "-pd", "D:\\Saved"},
                                                    true,
                                                    kMixedProjects,
                                                    "D:\\Saved\\Corvanta.Preserve",
                                                    "D:\\Saved\\Corvanta.Preserve",
                                                    "D:\\Saved",
                                                    {},
                                                    kI},
                                           Scenario{"ProjectListStartingWithLineBreak",
                                                    {"pv_overlook"},
                                                    {"-nr"},
                                                    false,
                                                    {"\r\n", kI + "\\Projects\\Alpha\\Alpha"},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::CommonWeb, Set::Overlook},
                                                    kI},
                                           Scenario{"EmptyInstallLocation",
                                                    {"pv_vaultline", "pv_nolocation"},
                                                    {"-nr"},
                                                    false,
                                                    {kI + "\\Projects\\Alpha\\Alpha"},
                                                    "\\Corvanta.Preserve",
                                                    "C:\\Corvanta.Preserve",
                                                    "C:",
                                                    {Set::Vaultline, Set::CommonWeb},
                                                    ""}),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });

// A second first run over the preserve folder of the first (the products
// installed again, the users' files changed meanwhile) keeps the earlier
// copies, except those made by pattern.
class SecondRunTest : public ToolScenarioBase {
protected:
    SecondRunTest()
        : ToolScenarioBase(Scenario{"SecondRun",
                                    {"pv_tracklight", "pv_vaultline", "pv_overlook"},
                                    {"-nr", "-pd", "D:\\Saved"},
                                    false,
                                    {kI + "\\Projects\\Alpha\\Alpha"},
                                    "D:\\Saved\\Corvanta.Preserve",
                                    "D:\\Saved\\Corvanta.Preserve",
                                    "D:\\Saved",
                                    {Set::Tracklight, Set::Vaultline, Set::CommonWeb, Set::Overlook},
                                    kI}) {}
};

TEST_F(SecondRunTest, KeepsEarlierCopiesExceptThoseByPattern) {
    Prepare();
    if (HasFatalFailure()) return;
    const toolrun::ProcessResult first = RunTool("C:\\logs\\first.txt");
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    const std::map<std::string, std::string> firstFiles = Files(scenario_.diskRoot);
    ASSERT_EQ(firstFiles, ExpectedFiles("src:"));
    const std::string firstReg = Read("D:\\Saved\\vl_tolvi_hklm.reg");

    for (const std::string& package : scenario_.packages) ASSERT_TRUE(machine_.Install(package)) << package;
    for (const std::string& rel : UserFiles()) ASSERT_TRUE(machine_.WriteFile(kI + rel, "new:" + rel)) << rel;
    ASSERT_TRUE(registry_->SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi", "User", "changed"));
    const toolrun::ProcessResult second = RunTool("C:\\logs\\second.txt");
    ASSERT_EQ(second.exitCode, 0) << second.out << second.err;

    std::map<std::string, std::string> expected = firstFiles;
    for (Set set : scenario_.sets) {
        for (const std::string& rel : PatternCopiesOf(set)) expected[Lower(rel.substr(1))] = "new:" + rel;
    }
    EXPECT_EQ(Files(scenario_.diskRoot), expected);
    EXPECT_EQ(PreservationSection(WithoutCr(Read("C:\\logs\\second.txt"))), ExpectedSection(kI));
    // The exports are made again and show the settings of now.
    EXPECT_NE(Read("D:\\Saved\\vl_tolvi_hklm.reg"), firstReg);
}

}  // namespace
}  // namespace preserve_test
