// The keep rule, the three sweeps and the guard that keeps them off drive
// roots and system folders, on a simulated machine in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

const char kInstall[] = "C:\\Program Files\\Corvanta FC\\Alpha";

struct KeepCase {
    const char* name;
    std::optional<std::string> windir;
    std::string path;
    bool preserved;
    std::string logged;   // what the rule writes to the log (without debug lines)
    std::string command;  // the regsvr32 command line, "" = none
};
void PrintTo(const KeepCase& c, std::ostream* os) {
    *os << c.name;
}

class KeepRuleTest : public FileCleanupTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(KeepRuleTest, PreservesWindowsFolderAndUnregistersControls) {
    const KeepCase& c = GetParam();
    Machine().SetEnv("WINDIR", c.windir);
    for (bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "debug" : "no debug");
        auto cleanup = NewCleanup(false, debug);
        const std::size_t commandsBefore = Machine().Commands().size();
        EXPECT_EQ(cleanup->CCheckFileBeforeDelete(c.path), c.preserved);
        std::vector<std::string> commands(Machine().Commands().begin() + commandsBefore,
                                          Machine().Commands().end());
        if (c.command.empty()) {
            EXPECT_TRUE(commands.empty());
        } else {
            EXPECT_EQ(commands, std::vector<std::string>{c.command});
        }
    }
    std::string expected = "DEBUG: Common Program Files directory is " + CommonFiles() +
                           "\n\nDEBUG: WINDIR is " + Lower(c.windir.value_or("")) + "\n\n";
    expected += "DEBUG: Checking file " + c.path + "\n" + c.logged;
    if (!c.command.empty()) {
        expected +=
            "DEBUG: Preparing to launch regsvr32.exe with the following cmd line:\n" + c.command + "\n\n";
    }
    // Without debug only the preservation line; with debug the construction
    // line, the check line and the command line as well.
    EXPECT_EQ(LogText(), c.logged + expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepRuleTest,
    ::testing::Values(
        KeepCase{"FileInWindows", std::string("C:\\WINDOWS"), "C:\\Windows\\System32\\X.dll", true,
                 "File C:\\Windows\\System32\\X.dll is in WINDIR. Preserving this file.\n", ""},
        KeepCase{"FolderInWindows", std::string("C:\\windows"), "c:\\WINDOWS\\Corvanta", true,
                 "File c:\\WINDOWS\\Corvanta is in WINDIR. Preserving this file.\n", ""},
        KeepCase{"ControlInWindows", std::string("C:\\windows"), "C:\\Windows\\VmTrak32.ocx", false, "",
                 "regsvr32.exe /u /s c:\\windows\\vmtrak32.ocx"},
        KeepCase{"ControlOutsideWindows", std::string("C:\\windows"), "C:\\Program Files\\FC\\VMTRAK32.OCX",
                 false, "", "regsvr32.exe /u /s c:\\program files\\fc\\vmtrak32.ocx"},
        KeepCase{"SecondControl", std::string("C:\\windows"), "D:\\Apps\\BzqLink.DLL", false, "",
                 "regsvr32.exe /u /s d:\\apps\\bzqlink.dll"},
        KeepCase{"OrdinaryFile", std::string("C:\\windows"), "C:\\Program Files\\FC\\a.dll", false, "", ""},
        KeepCase{"UnsetWindirKeepsEverything", std::nullopt, "C:\\Program Files\\FC\\a.dll", true,
                 "File C:\\Program Files\\FC\\a.dll is in WINDIR. Preserving this file.\n", ""},
        KeepCase{"UnsetWindirStillRemovesControls", std::nullopt, "C:\\Program Files\\FC\\bzqlink.dll", false,
                 "", "regsvr32.exe /u /s c:\\program files\\fc\\bzqlink.dll"}),
    [](const ::testing::TestParamInfo<KeepCase>& info) { return std::string(info.param.name); });

class SweepTest : public FileCleanupTest {
protected:
    static std::string In(const std::string& rel) { return std::string(kInstall) + "\\" + rel; }
    // Drive-relative, lower-case form of paths below the installation folder.
    static std::vector<std::string> Below(const std::vector<std::string>& rels) {
        std::set<std::string> out;
        for (const std::string& rel : rels) out.insert(Lower("program files\\corvanta fc\\alpha\\" + rel));
        return std::vector<std::string>(out.begin(), out.end());
    }
};

TEST_F(SweepTest, RecursiveRemovalEmptiesEverythingBelowButKeepsTheFolder) {
    Seed(In("a.txt"));
    Seed(In("sub\\b.txt"));
    Seed(In("sub\\deeper\\c.txt"));
    SeedDir(In("empty"));
    Seed(In("ro.dat"));
    SetReadOnly(In("ro.dat"));
    Seed("C:\\Program Files\\Corvanta FC\\Other\\keep.txt");
    const DriveListing before = Drive();
    NewCleanup()->CRemoveCorvantaFilesAndDirectories(kInstall + std::string("\\"));
    EXPECT_EQ(Removed(before, Drive()), Below({"a.txt", "empty\\", "ro.dat", "sub\\", "sub\\b.txt",
                                               "sub\\deeper\\", "sub\\deeper\\c.txt"}));
    EXPECT_EQ(Added(before, Drive()), std::vector<std::string>{});
    EXPECT_TRUE(Exists(kInstall));
    EXPECT_EQ(LogText(), "");
}

TEST_F(SweepTest, RecursiveRemovalKeepsWindowsFolderEntriesButTakesTheControls) {
    const std::string dir = "C:\\windows\\Corvanta FC";
    Seed(dir + "\\keep.dll");
    Seed(dir + "\\vmtrak32.ocx");
    const DriveListing before = Drive();
    NewCleanup()->CRemoveCorvantaFilesAndDirectories(dir);
    EXPECT_EQ(Removed(before, Drive()), std::vector<std::string>{"windows\\corvanta fc\\vmtrak32.ocx"});
    EXPECT_EQ(Machine().Commands(),
              std::vector<std::string>{"regsvr32.exe /u /s c:\\windows\\corvanta fc\\vmtrak32.ocx"});
    EXPECT_EQ(LogText(), "File C:\\windows\\Corvanta FC\\keep.dll is in WINDIR. Preserving this file.\n");
}

TEST_F(SweepTest, RecursiveRemovalReportsAFileItCannotDelete) {
    Seed(In("locked.dll"));
    Seed(In("free.dll"));
    ASSERT_TRUE(Host().AddFault("DeleteFileA", In("locked.dll"), plat::kErrorAccessDenied));
    const DriveListing before = Drive();
    NewCleanup()->CRemoveCorvantaFilesAndDirectories(kInstall);
    EXPECT_EQ(Removed(before, Drive()), Below({"free.dll"}));
    EXPECT_EQ(LogText(),
              "Error in function CRemoveCorvantaFilesAndDirectories: \nError message: Deleting file: " +
                  In("locked.dll") + "\t" + ToolLog::GetSystemErrorText(plat::kErrorAccessDenied) + "\n\n\n");
}

TEST_F(SweepTest, EmptyDirectoriesGoInOneCallFilesAndTheTopStay) {
    SeedDir(In("e1\\e2\\e3"));
    SeedDir(In("e4"));
    Seed(In("full\\kept.txt"));
    SeedDir(In("full\\inner"));
    Seed(In("top.txt"));
    const DriveListing before = Drive();
    NewCleanup()->CRemoveEmptyDirectories(kInstall);
    EXPECT_EQ(Removed(before, Drive()), Below({"e1\\", "e1\\e2\\", "e1\\e2\\e3\\", "e4\\", "full\\inner\\"}));
    EXPECT_TRUE(Exists(kInstall));
    EXPECT_EQ(LogText(), "");
}

TEST_F(SweepTest, ProductDirectoriesAreEmptiedByTheirWordsOnly) {
    Seed(In("Vaultline\\a.dat"));
    Seed(In("Vaultline\\sub\\b.dat"));
    Seed(In("old vaultline\\c.dat"));
    Seed(In("Docs\\readme.txt"));
    Seed(In("LumoWord Files\\d.dat"));
    Seed(In("direct.txt"));
    auto cleanup = NewCleanup();
    cleanup->SetInstallDir(kInstall + std::string("\\"));
    const DriveListing before = Drive();
    cleanup->CCleanupDCProductDirs();
    EXPECT_EQ(Removed(before, Drive()), Below({"LumoWord Files\\d.dat", "Vaultline\\a.dat",
                                               "Vaultline\\sub\\", "Vaultline\\sub\\b.dat"}));
    EXPECT_TRUE(Exists(In("Vaultline")));
    std::vector<std::string> lines;
    for (const std::string& line : Lines(LogText())) {
        if (!line.empty()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Path found in CCleanupDCProductDirs: " + In("Docs"),
                                        "Path found in CCleanupDCProductDirs: " + In("LumoWord Files"),
                                        "Path found in CCleanupDCProductDirs: " + In("Vaultline"),
                                        "Path found in CCleanupDCProductDirs: " + In("old vaultline")}));
}

TEST_F(SweepTest, AWordInTheInstallationFolderMatchesEverySubfolder) {
    const std::string install = "C:\\Program Files\\Corvanta Test Suite";
    Seed(install + "\\one\\a.dat");
    Seed(install + "\\two\\b.dat");
    Seed(install + "\\top.dat");
    auto cleanup = NewCleanup();
    cleanup->SetInstallDir(install);
    const DriveListing before = Drive();
    cleanup->CCleanupDCProductDirs();
    EXPECT_EQ(Removed(before, Drive()),
              (std::vector<std::string>{"program files\\corvanta test suite\\one\\a.dat",
                                        "program files\\corvanta test suite\\two\\b.dat"}));
}

// A folder the system refuses to remove is reported by the sweep that tried,
// unless the reason is that it is not empty.
struct FolderFailureCase {
    const char* name;
    std::uint32_t code;
    bool recursive;  // CRemoveCorvantaFilesAndDirectories, else CRemoveEmptyDirectories
};
void PrintTo(const FolderFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FolderFailureTest : public SweepTest, public ::testing::WithParamInterface<FolderFailureCase> {};

TEST_P(FolderFailureTest, ReportsEveryCodeButDirectoryNotEmpty) {
    const FolderFailureCase& c = GetParam();
    SeedDir(In("stuck"));
    SeedDir(In("free"));
    ASSERT_TRUE(Host().AddFault("RemoveDirectoryA", In("stuck"), c.code));
    const DriveListing before = Drive();
    if (c.recursive) {
        NewCleanup()->CRemoveCorvantaFilesAndDirectories(kInstall);
    } else {
        NewCleanup()->CRemoveEmptyDirectories(kInstall);
    }
    EXPECT_EQ(Removed(before, Drive()), Below({"free\\"}));
    const std::string function =
        c.recursive ? "CRemoveCorvantaFilesAndDirectories: " : "CRemoveEmptyDirectories: ";
    const std::string report =
        "Error in function " + function + "\nError message: Error deleting directory: " + In("stuck") + "\t" +
        ToolLog::GetSystemErrorText(c.code) + "\nError deleting directory: " + kInstall + "\\\n";
    EXPECT_EQ(LogText(), c.code == plat::kErrorDirNotEmpty ? "" : report);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderFailureTest,
    ::testing::Values(FolderFailureCase{"RecursiveDenied", plat::kErrorAccessDenied, true},
                      FolderFailureCase{"RecursiveNotEmpty", plat::kErrorDirNotEmpty, true},
                      FolderFailureCase{"EmptyDenied", plat::kErrorAccessDenied, false},
                      FolderFailureCase{"EmptySharing", plat::kErrorSharingViolation, false},
                      FolderFailureCase{"EmptyNotEmpty", plat::kErrorDirNotEmpty, false}),
    [](const ::testing::TestParamInfo<FolderFailureCase>& info) { return std::string(info.param.name); });

// A package that names a drive root or a system folder as its installation
// folder must not cost the machine anything.
struct GuardCase {
    const char* name;
    std::string folder;
};
void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.name;
}

class SweepGuardTest : public FileCleanupTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(SweepGuardTest, NoSweepTouchesTheFolderAndEachReportsOnce) {
    const GuardCase& c = GetParam();
    Seed(c.folder + "\\Vaultline\\user.dat");
    SeedDir(c.folder + "\\EmptyButNeeded");
    Seed(c.folder + "\\plain.txt");
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(c.folder[0])));
    const DriveListing before = Drive(drive);
    auto cleanup = NewCleanup(true, false);
    cleanup->SetInstallDir(c.folder + "\\");
    cleanup->CRemoveUnsharedFiles();  // no suite product left: would empty and remove it
    cleanup->CCleanupDCProductDirs();
    cleanup->CCleanupDCProductDirs();
    cleanup->CRemoveEmptyDirectories(cleanup->GetInstallDir());
    cleanup->CRemoveEmptyDirectories(cleanup->GetInstallDir());
    cleanup->CRemoveCorvantaFilesAndDirectories(cleanup->GetInstallDir());
    EXPECT_EQ(Removed(before, Drive(drive)), std::vector<std::string>{});
    const std::string text =
        "The folder is, or holds, a drive root, a system folder or a user folder; it is left untouched.\n";
    const std::string trimmed = c.folder;
    std::string expected;
    for (const char* function : {"CRemoveUnsharedFiles: ", "CCleanupDCProductDirs: ",
                                 "CRemoveEmptyDirectories: ", "CRemoveCorvantaFilesAndDirectories: "}) {
        const std::string folder =
            std::string(function) == "CRemoveUnsharedFiles: " ? c.folder + "\\" : trimmed;
        expected +=
            std::string("Error in function ") + function + "\nError message: " + text + "\n" + folder + "\n";
    }
    EXPECT_EQ(LogText(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SweepGuardTest,
                         ::testing::Values(GuardCase{"DriveRoot", "C:"}, GuardCase{"OtherDriveRoot", "D:"},
                                           GuardCase{"WindowsFolder", "C:\\windows"},
                                           GuardCase{"ProgramFiles", "C:\\Program Files"},
                                           GuardCase{"CommonFiles", "C:\\Program Files\\Common Files"}),
                         [](const ::testing::TestParamInfo<GuardCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace fctest
