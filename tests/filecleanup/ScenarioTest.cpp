// Scenarios of the real tool: the test packages are installed on a fresh
// machine, a first run with -nr uninstalls them and hands over to the
// continuation run, the leftovers an uninstall can leave are put back, and
// the restart runs the cleanup. Each scenario compares the whole drive before
// and after the cleanup with the removals it expects, and the log sections
// of the file cleanup with the text they must hold.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimRegistry.h"
#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

const char kToolLog[] = "C:\\fclogs\\tool.log";
const char kSection39[] = "\n=====================================\n\nEntered file cleanup.\n\n";
const char kSection53[] = "Completed file cleanup.\n\n=====================================\n\n";

class ScenarioTest : public FileCleanupTest {
protected:
    void InstallAll(const std::vector<std::string>& packages) {
        for (const std::string& package : packages) Install(package);
    }
    // The first run, which needs a restart for fc_alpha and is told not to.
    void FirstRun(const std::vector<std::string>& options = {}) {
        std::vector<std::string> args = {kToolLog, "-nr"};
        args.insert(args.end(), options.begin(), options.end());
        const toolrun::ProcessResult run = Host().RunTool(args);
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    }
    // The restart and the continuation run; the drive is listed around it.
    void Continue() {
        before_ = Drive();
        const toolrun::ProcessResult run = Host().Reboot();
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        after_ = Drive();
    }
    // What the cleanup removed, less the package copies and the data file the
    // run removes from its package folder at the end (checked here too).
    std::vector<std::string> CleanupRemovals() {
        std::vector<std::string> removed = Removed(before_, after_);
        std::vector<std::string> rest;
        for (const std::string& entry : removed) {
            if (entry.rfind("corvantasdlc_temp\\", 0) == 0) {
                EXPECT_TRUE(entry.find(".msi") != std::string::npos ||
                            entry == "corvantasdlc_temp\\corvantauninstalltool.txt")
                    << entry;
            } else {
                rest.push_back(entry);
            }
        }
        for (const std::string& entry : after_) {
            EXPECT_FALSE(entry.rfind("corvantasdlc_temp\\", 0) == 0 &&
                         entry.find(".msi") != std::string::npos)
                << entry;
        }
        return rest;
    }
    // The tool's log, CR LF as "\n".
    std::string ToolLogText() {
        std::string raw;
        EXPECT_TRUE(Host().ReadFile(kToolLog, raw));
        std::string text;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
            text += raw[i];
        }
        return text;
    }
    // Every file cleanup section of the log, from message 39 to message 53.
    std::vector<std::string> Sections() {
        const std::string text = ToolLogText();
        std::vector<std::string> sections;
        for (std::string::size_type at = text.find(kSection39); at != std::string::npos;
             at = text.find(kSection39, at + 1)) {
            const std::string::size_type end = text.find(kSection53, at);
            if (end == std::string::npos) break;
            sections.push_back(text.substr(at, end + std::string(kSection53).size() - at));
        }
        return sections;
    }
    // Log lines for deleted files: "W:" names the Windows folder, the rest
    // lies below fc_alpha's folder.
    std::string Deleted(const std::vector<std::string>& rels) {
        std::string out;
        for (const std::string& rel : rels) {
            out += (rel.rfind("W:", 0) == 0 ? Windows() + rel.substr(2) : kAlphaDir + rel) + "\n";
        }
        return out;
    }
    std::string ReadOnlyReport() {
        return std::string("Error in function CRemoveUnsharedFiles: \nError message: Error deleting ") +
               kAlphaDir + "readonly.dat\t" + ToolLog::GetSystemErrorText(plat::kErrorAccessDenied) + "\n\n";
    }
    std::string WindowsKept() {
        return "File " + Windows() + "fcalpha.dll is in WINDIR. Preserving this file.\n";
    }
    // The section of fc_alpha cleaned alone (no suite product left).
    std::string AloneSection() {
        return kSection39 + std::string("List of deleted files:\n\n") +
               Deleted({"alpha.exe", "W:bzqlink.dll", "bin\\diffdir.dll", "old vaultline\\low.dat"}) +
               ReadOnlyReport() +
               Deleted({"Docs\\readme.txt", "shared.dll", "bin\\tool.dll", "Vaultline\\vl.dat",
                        "Vaultline\\vlshared.dll", "VMTRAK32.OCX"}) +
               WindowsKept() + kSection53;
    }
    std::string W(const std::string& name) { return D(Windows() + name); }
    static std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
    // Sets or removes a variable of the machine's environment (what the
    // continuation run, started by the system, inherits).
    void SetMachineEnv(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ASSERT_TRUE(Machine().Registry().SetString(plat::kEnvironmentKey, name, *value));
        } else {
            ASSERT_TRUE(Machine().Registry().DeleteValue(plat::kEnvironmentKey, name));
        }
    }

    DriveListing before_;
    DriveListing after_;
};

// ---- One product with no suite product left ----

struct AloneCase {
    const char* name;
    bool clean;
};
void PrintTo(const AloneCase& c, std::ostream* os) {
    *os << c.name;
}

class AloneScenarioTest : public ScenarioTest, public ::testing::WithParamInterface<AloneCase> {};

TEST_P(AloneScenarioTest, InstallDirIsEmptiedAndRemovedOnlyWithClean) {
    const AloneCase& c = GetParam();
    InstallAll({"fc_alpha"});
    FirstRun(c.clean ? std::vector<std::string>{"-c"} : std::vector<std::string>{});
    SeedAlphaLeftovers();
    Continue();
    std::vector<std::string> expected = AlphaLeftovers();
    expected.push_back(W("bzqlink.dll"));
    if (c.clean) expected.push_back(D(kAlphaDir));
    EXPECT_EQ(CleanupRemovals(), Sorted(expected));
    EXPECT_EQ(Sections(), std::vector<std::string>{AloneSection()});
}

INSTANTIATE_TEST_SUITE_P(Cases, AloneScenarioTest,
                         ::testing::Values(AloneCase{"KeepsTheFolder", false}, AloneCase{"Clean", true}),
                         [](const ::testing::TestParamInfo<AloneCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- A suite product stays installed ----

TEST_F(ScenarioTest, SharedKeysInTheSameDirectoryKeyStayAndProductFoldersAreEmptied) {
    InstallAll({"fc_keeper", "fc_alpha"});
    FirstRun({"-c"});
    SeedAlphaLeftovers();
    const DriveListing keeper = Drive();
    Continue();
    // shared.dll: same key, same directory key: shared and kept. diffdir.dll:
    // same key in another directory key: deleted. vlshared.dll is shared but
    // lies in a product-word folder, which is emptied whole. The read-only
    // file stays (no sweep of the folder while a suite product remains),
    // and so do the folders holding files the package never installed.
    EXPECT_EQ(
        CleanupRemovals(),
        Sorted({D(kAlphaDir) + "alpha.exe", D(kAlphaDir) + "bin\\", D(kAlphaDir) + "bin\\diffdir.dll",
                D(kAlphaDir) + "bin\\tool.dll", D(kAlphaDir) + "docs\\readme.txt",
                D(kAlphaDir) + "old vaultline\\", D(kAlphaDir) + "old vaultline\\low.dat",
                D(kAlphaDir) + "vaultline\\", D(kAlphaDir) + "vaultline\\vl.dat",
                D(kAlphaDir) + "vaultline\\vlshared.dll", D(kAlphaDir) + "vmtrak32.ocx", W("bzqlink.dll")}));
    const std::string pathFound = "Path found in CCleanupDCProductDirs: ";
    std::vector<std::string> sections = Sections();
    ASSERT_EQ(sections.size(), 1u);
    const std::string expectedStart =
        kSection39 + std::string("List of deleted files:\n\n") +
        Deleted({"alpha.exe", "W:bzqlink.dll", "bin\\diffdir.dll", "old vaultline\\low.dat"}) +
        ReadOnlyReport() +
        Deleted({"Docs\\readme.txt", "bin\\tool.dll", "Vaultline\\vl.dat", "VMTRAK32.OCX"}) + WindowsKept();
    EXPECT_EQ(sections[0].substr(0, expectedStart.size()), expectedStart);
    // Then one line per subfolder, in the machine's enumeration order.
    std::vector<std::string> found;
    for (const std::string& line : Lines(sections[0].substr(expectedStart.size()))) {
        if (!line.empty() && line.rfind(pathFound, 0) == 0) found.push_back(line.substr(pathFound.size()));
    }
    EXPECT_EQ(Sorted(found),
              Sorted({std::string(kAlphaDir) + "bin", std::string(kAlphaDir) + "Docs",
                      std::string(kAlphaDir) + "logs", std::string(kAlphaDir) + "old vaultline",
                      std::string(kAlphaDir) + "Vaultline"}));
    std::string rest = sections[0].substr(expectedStart.size());
    for (const std::string& sub : found)
        rest.erase(rest.find(pathFound + sub + "\n\n"), pathFound.size() + sub.size() + 2);
    EXPECT_EQ(rest, kSection53);
}

TEST_F(ScenarioTest, ARemainingProductWithoutItsCachedPackageStopsTheCleanup) {
    InstallAll({"fc_keeper", "fc_alpha"});
    FirstRun();
    SeedAlphaLeftovers();
    ASSERT_TRUE(plat::Sys().DeleteFileA(LocalPackage(kKeeperCode).c_str()));
    Continue();
    std::vector<std::string> removed = CleanupRemovals();
    // Only the cached package deleted above is gone from the installer's folder.
    EXPECT_EQ(removed, std::vector<std::string>{});
    const std::vector<std::string> sections = Sections();
    ASSERT_EQ(sections.size(), 1u);
    const std::string start =
        kSection39 + std::string("Error in function CCreateCompAndDirObjects\nError message: ");
    const std::string end =
        "\nError Opening the Database, please make sure this Database is not being used by "
        "another application\n" +
        std::string(kSection53);
    EXPECT_EQ(sections[0].substr(0, start.size()), start);
    EXPECT_EQ(sections[0].substr(sections[0].size() - end.size()), end);
}

TEST_F(ScenarioTest, APackageCopyThatWasNeverSavedDeletesNothing) {
    InstallAll({"fc_alpha"});
    ASSERT_TRUE(Host().AddFault("CopyFileA", LocalPackage(kAlphaCode), plat::kErrorAccessDenied));
    FirstRun();
    ASSERT_TRUE(Host().Winsim({"fault", "clear"}).exitCode == 0);
    SeedAlphaLeftovers();
    Continue();
    EXPECT_EQ(CleanupRemovals(), std::vector<std::string>{});
    const std::vector<std::string> sections = Sections();
    ASSERT_EQ(sections.size(), 1u);
    const std::string start =
        kSection39 + std::string("Error in function CResolveFileInstallLocation: \nError message: ");
    EXPECT_EQ(sections[0].substr(0, start.size()), start);
    EXPECT_EQ(sections[0].substr(sections[0].size() - 2 - std::string(kSection53).size()),
              "\n\n" + std::string(kSection53));
    EXPECT_EQ(sections[0].find("Error in function", start.size()), std::string::npos);
}

// ---- The Windows folder and the two controls ----

TEST_F(ScenarioTest, WithWindirUnsetOnlyTheControlsGoAndAreUnregisteredFirst) {
    InstallAll({"fc_alpha"});
    FirstRun({"-d"});
    SeedAlphaLeftovers();
    const std::string windows = Windows();
    SetMachineEnv("WINDIR", std::nullopt);
    Continue();
    EXPECT_EQ(CleanupRemovals(), Sorted({D(kAlphaDir) + "vmtrak32.ocx", D(windows + "bzqlink.dll")}));
    const std::vector<std::string> sections = Sections();
    ASSERT_EQ(sections.size(), 1u);
    for (const std::string& control : {Lower(kAlphaDir) + "vmtrak32.ocx", Lower(windows) + "bzqlink.dll"}) {
        EXPECT_NE(sections[0].find("DEBUG: Preparing to launch regsvr32.exe with the following cmd line:\n"
                                   "regsvr32.exe /u /s " +
                                   control + "\n\n"),
                  std::string::npos)
            << control;
    }
    EXPECT_NE(sections[0].find("File " + std::string(kAlphaDir) +
                               "alpha.exe is in WINDIR. Preserving this file.\n"),
              std::string::npos);
    const std::string text = ToolLogText();
    EXPECT_NE(text.find("DEBUG: WINDIR is \n\n"), std::string::npos);
}

TEST_F(ScenarioTest, DebugRunsShowTheControlCommandLinesAndAppendTheListFile) {
    const std::string list = std::string(kTempDir) + "\\unshared_files.txt";
    std::string previous;
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        InstallAll({"fc_keeper", "fc_alpha"});
        FirstRun({"-d"});
        SeedAlphaLeftovers();
        Continue();
        std::string content;
        ASSERT_TRUE(Host().ReadFile(list, content));
        // The earlier run's lists stay at the start; this run adds its shared
        // list, then its unshared list.
        EXPECT_EQ(content.substr(0, previous.size()), previous);
        const std::string added = content.substr(previous.size());
        const std::string shared =
            "Key: F_Shared\r\nFile name: shared.dll\r\nDirectory: INSTALLDIR\r\n\r\n"
            "Key: F_VlShared\r\nFile name: vlshared.dll\r\nDirectory: ALPHAVL\r\n\r\n";
        EXPECT_EQ(added.substr(0, shared.size()), shared);
        EXPECT_NE(added.find("Key: F_DiffDir\r\nFile name: diffdir.dll\r\nDirectory: ALPHABIN\r\n\r\n"),
                  std::string::npos);
        std::size_t keys = 0;
        for (std::string::size_type at = added.find("Key: "); at != std::string::npos;
             at = added.find("Key: ", at + 1)) {
            ++keys;
        }
        EXPECT_EQ(keys, 12u);
        previous = content;
        const std::vector<std::string> sections = Sections();
        ASSERT_EQ(sections.size(), static_cast<std::size_t>(run));
        // The object's construction lines come before its section.
        EXPECT_NE(ToolLogText().find("DEBUG: Common Program Files directory is " + CommonFiles() +
                                     "\n\nDEBUG: WINDIR is " +
                                     Lower(Windows().substr(0, Windows().size() - 1)) + "\n\n" + kSection39),
                  std::string::npos);
        EXPECT_NE(sections.back().find("Writing out list of shared files to " + list +
                                       "\n\nWriting out list of unshared files to " + list + "\n\n"),
                  std::string::npos);
        EXPECT_NE(
            sections.back().find("DEBUG: Preparing to launch regsvr32.exe with the following cmd line:\n"
                                 "regsvr32.exe /u /s " +
                                 Lower(kAlphaDir) + "vmtrak32.ocx\n\n"),
            std::string::npos);
        Host().Uninstall("fc_keeper");
    }
}

// ---- The common files integration ----

struct VsScenario {
    const char* name;
    bool allVersions;
    std::optional<std::string> commonFiles;  // machine's CommonProgramFiles; nullopt = unset
    std::string base;                        // where the integration lies
};
void PrintTo(const VsScenario& c, std::ostream* os) {
    *os << c.name;
}

class CommonFilesScenarioTest : public ScenarioTest, public ::testing::WithParamInterface<VsScenario> {};

TEST_P(CommonFilesScenarioTest, IntegrationGoesWithAllThreeVersionsWhereverTheVariablePoints) {
    const VsScenario& c = GetParam();
    InstallAll({"fc_alpha"});
    FirstRun();
    SeedAlphaLeftovers();
    const std::string vl = c.base + "\\Corvanta\\Vaultline";
    for (const char* file : {"\\VLVSI\\bin\\a.dll", "\\VLVSI\\bin\\b.dll", "\\VLVSI\\readme.txt"})
        Seed(vl + file);
    Seed(c.base + "\\Corvanta\\Elsewhere\\keep.txt");
    for (const char* key : {"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\VisualStudio\\7.1",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\VisualStudio\\8.0",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\VisualStudio\\9.0"}) {
        if (c.allVersions || std::string(key).find("8.0") == std::string::npos) {
            ASSERT_TRUE(Machine().Registry().CreateKey(key));
        }
    }
    SetMachineEnv("CommonProgramFiles", c.commonFiles);
    Continue();
    std::vector<std::string> expected = AlphaLeftovers();
    expected.push_back(W("bzqlink.dll"));
    if (c.allVersions) {
        for (const char* entry : {"\\", "\\VLVSI\\", "\\VLVSI\\bin\\", "\\VLVSI\\bin\\a.dll",
                                  "\\VLVSI\\bin\\b.dll", "\\VLVSI\\readme.txt"}) {
            expected.push_back(D(vl + entry));
        }
    }
    EXPECT_EQ(CleanupRemovals(), Sorted(expected));
    EXPECT_TRUE(Exists(c.base + "\\Corvanta\\Elsewhere\\keep.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommonFilesScenarioTest,
    ::testing::Values(VsScenario{"AllVersions", true, std::string("C:\\Program Files\\Common Files"),
                                 "C:\\Program Files\\Common Files"},
                      VsScenario{"Without80", false, std::string("C:\\Program Files\\Common Files"),
                                 "C:\\Program Files\\Common Files"},
                      VsScenario{"TrailingBackslashes", true,
                                 std::string("C:\\Program Files\\Common Files\\\\"),
                                 "C:\\Program Files\\Common Files"},
                      VsScenario{"VariableUnset", true, std::nullopt, "C:"}),
    [](const ::testing::TestParamInfo<VsScenario>& info) { return std::string(info.param.name); });

// ---- A package whose installation folder is a drive root, a system or a user folder ----

struct GuardScenario {
    const char* name;
    std::string installDir;                   // what the package's INSTALLDIR resolves to, with its backslash
    bool keeper;                              // a suite product stays installed
    std::vector<std::string> userFiles = {};  // files of users that must survive
    std::string documents = {};               // where the user's Documents were moved ("" = not moved)
};
void PrintTo(const GuardScenario& c, std::ostream* os) {
    *os << c.name;
}

class GuardScenarioTest : public ScenarioTest, public ::testing::WithParamInterface<GuardScenario> {};

TEST_P(GuardScenarioTest, OnlyTheUnsharedFilesGoByTheirPathAndEachSweepReportsOnce) {
    const GuardScenario& c = GetParam();
    const std::string package = MakeVariant(
        "fc_alpha", "alpha_at_" + std::string(c.name),
        {"INSERT INTO `Property` (`Property`, `Value`) VALUES ('INSTALLDIR', '" + c.installDir + "')"});
    if (c.keeper) Install("fc_keeper");
    InstallPath(package);
    FirstRun();
    SeedAlphaLeftovers(c.installDir);
    // What lies there besides the product must survive.
    Seed(c.installDir + "Vaultline\\user data.txt");
    Seed(c.installDir + "Users Own\\letter.txt");
    SeedDir(c.installDir + "Empty But Needed");
    for (const std::string& file : c.userFiles) Seed(file, "user data");
    if (!c.documents.empty()) {
        ASSERT_TRUE(Machine().Registry().SetString(
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
            "Personal", c.documents, plat::kRegExpandSz));
    }
    Continue();
    for (const std::string& file : c.userFiles) EXPECT_TRUE(Exists(file)) << file;

    const bool inWindows = Lower(c.installDir).rfind(Lower(Windows()), 0) == 0;
    std::vector<std::string> expected = {D(c.installDir + "VMTRAK32.OCX"), W("bzqlink.dll")};
    if (!inWindows) {
        for (const char* rel : {"alpha.exe", "bin\\diffdir.dll", "bin\\tool.dll", "Vaultline\\vl.dat",
                                "old vaultline\\low.dat", "Docs\\readme.txt"}) {
            expected.push_back(D(c.installDir + rel));
        }
        if (!c.keeper) {
            expected.push_back(D(c.installDir + "shared.dll"));
            expected.push_back(D(c.installDir + "Vaultline\\vlshared.dll"));
        }
    }
    EXPECT_EQ(CleanupRemovals(), Sorted(expected));

    const std::vector<std::string> sections = Sections();
    ASSERT_EQ(sections.size(), 1u);
    const std::string text =
        "The folder is, or holds, a drive root, a system folder or a user folder; it is left untouched.\n";
    // The folder loses its trailing backslash only where no suite product is left.
    const std::string trimmed = c.keeper ? c.installDir : c.installDir.substr(0, c.installDir.size() - 1);
    const std::string first =
        c.keeper
            ? "Error in function CCleanupDCProductDirs: \nError message: " + text + "\n" + trimmed + "\n"
            : "Error in function CRemoveUnsharedFiles: \nError message: " + text + "\n" + c.installDir + "\n";
    const std::string second =
        "Error in function CRemoveEmptyDirectories: \nError message: " + text + "\n" + trimmed + "\n";
    const std::string& section = sections[0];
    const std::string::size_type at = section.find(first);
    ASSERT_NE(at, std::string::npos) << section;
    EXPECT_EQ(section.substr(section.size() - second.size() - std::string(kSection53).size()),
              second + kSection53);
    std::size_t reports = 0;
    for (std::string::size_type p = section.find("Error in function"); p != std::string::npos;
         p = section.find("Error in function", p + 1)) {
        ++reports;
    }
    // The two refusals, and outside the Windows folder the read-only file
    // the unshared removal cannot delete.
    EXPECT_EQ(reports, inWindows ? 2u : 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GuardScenarioTest,
    ::testing::Values(
        GuardScenario{"DriveRoot", "C:\\", false}, GuardScenario{"DriveRootShared", "C:\\", true},
        GuardScenario{"WindowsFolder", "C:\\windows\\", false},
        GuardScenario{"ProgramFiles", "C:\\Program Files\\", false},
        GuardScenario{"ProgramFilesShared", "C:\\Program Files\\", true},
        GuardScenario{"CommonFiles", "C:\\Program Files\\Common Files\\", false},
        GuardScenario{"UsersFolder",
                      "C:\\users\\",
                      false,
                      {"C:\\users\\corvanta\\Documents\\letter.txt", "C:\\users\\corvanta\\Desktop\\note.txt",
                       "C:\\users\\Public\\shared.txt"}},
        GuardScenario{"UserProfile",
                      "C:\\users\\corvanta\\",
                      false,
                      {"C:\\users\\corvanta\\Documents\\letter.txt",
                       "C:\\users\\corvanta\\AppData\\Roaming\\Editor\\settings.ini",
                       "C:\\users\\corvanta\\Downloads\\setup.exe"}},
        GuardScenario{"UserProfileShared",
                      "C:\\users\\corvanta\\",
                      true,
                      {"C:\\users\\corvanta\\Documents\\Vaultline\\notes.txt",
                       "C:\\users\\corvanta\\Documents\\letter.txt"}},
        GuardScenario{"ProgramData", "C:\\ProgramData\\", false, {"C:\\ProgramData\\Vendor\\data.db"}},
        GuardScenario{"HoldsMovedDocuments",
                      "C:\\Data\\",
                      false,
                      {"C:\\Data\\Docs\\thesis.doc", "C:\\Data\\Docs\\Vaultline\\draft.doc"},
                      "C:\\Data\\Docs"}),
    [](const ::testing::TestParamInfo<GuardScenario>& info) { return std::string(info.param.name); });

// ---- Two products in one run ----

TEST_F(ScenarioTest, TwoProductsGetTwoSectionsInListOrder) {
    InstallAll({"fc_alpha", "fc_beta"});
    FirstRun();
    SeedAlphaLeftovers();
    const std::string beta = "C:\\Program Files\\Corvanta FC\\Beta\\";
    Seed(beta + "beta.exe");
    Seed(beta + "data\\beta.dat");
    Seed(beta + "data\\cache\\c.bin");
    Continue();
    std::vector<std::string> expected = AlphaLeftovers();
    expected.push_back(W("bzqlink.dll"));
    for (const char* entry :
         {"beta.exe", "data\\", "data\\beta.dat", "data\\cache\\", "data\\cache\\c.bin"}) {
        expected.push_back(D(beta + entry));
    }
    EXPECT_EQ(CleanupRemovals(), Sorted(expected));
    // The product list order is the order of the first run's list.
    const std::string text = ToolLogText();
    const bool alphaFirst = text.find("Product Name: FC Alpha") < text.find("Product Name: FC Beta");
    const std::string betaSection = kSection39 + std::string("List of deleted files:\n\n") + beta +
                                    "data\\beta.dat\n" + beta + "beta.exe\n" + kSection53;
    const std::vector<std::string> sections = Sections();
    EXPECT_EQ(sections, alphaFirst ? (std::vector<std::string>{AloneSection(), betaSection})
                                   : (std::vector<std::string>{betaSection, AloneSection()}));
}

}  // namespace
}  // namespace fctest
