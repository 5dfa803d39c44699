// Deleting the unshared files, the list file and the per-product driver, on
// a machine where the uninstall of fc_alpha left its files behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/SimInstaller.h"
#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

const char kAlpha[] = "C:\\Program Files\\Corvanta FC\\Alpha\\";
const char kSection39[] = "\n=====================================\n\nEntered file cleanup.\n\n";
const char kSection53[] = "Completed file cleanup.\n\n=====================================\n\n";

class UnsharedRemovalTest : public FileCleanupTest {
protected:
    void SetUp() override {
        FileCleanupTest::SetUp();
        if (HasFatalFailure()) return;
        windows_ = Windows();
    }
    // Installs fc_alpha (and fc_keeper first when wanted), saves and
    // uninstalls fc_alpha and puts back what an uninstall can leave: its
    // files, a read-only one among them, and files it never knew.
    std::string PrepareAlpha(bool withKeeper) {
        if (withKeeper) Install("fc_keeper");
        Install("fc_alpha");
        const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
        SeedAlphaLeftovers();
        return copy;
    }
    static std::string A(const std::string& rel) { return Lower(std::string(kAlpha).substr(3) + rel); }
    std::string W(const std::string& rel) { return Lower(windows_.substr(3) + rel); }
    std::string ReadOnlyReport() {
        return std::string("Error in function CRemoveUnsharedFiles: \nError message: Error deleting ") +
               kAlpha + "readonly.dat\t" + ToolLog::GetSystemErrorText(plat::kErrorAccessDenied) + "\n\n";
    }
    std::string Deleted(const std::vector<std::string>& rels) {
        std::string out;
        for (const std::string& rel : rels)
            out += (rel.rfind("W:", 0) == 0 ? windows_ + rel.substr(2) : kAlpha + rel) + "\n";
        return out;
    }
    std::string windows_;
};

TEST_F(UnsharedRemovalTest, AloneEverythingGoesButTheWindowsFolderFileAndTheFolderStays) {
    const std::string copy = PrepareAlpha(false);
    const DriveListing before = Drive();
    testing::internal::CaptureStdout();
    NewCleanup()->CRunFileCleanup(copy);
    const std::string console = testing::internal::GetCapturedStdout();
    std::vector<std::string> expected = AlphaLeftovers();
    expected.push_back(W("bzqlink.dll"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Removed(before, Drive()), expected);
    EXPECT_TRUE(Exists(kAlpha));
    EXPECT_TRUE(Exists(windows_ + "fcalpha.dll"));
    // In the order of the file keys: the read-only file fails here (the sweep
    // deletes it afterwards) and the Windows folder file is kept.
    EXPECT_EQ(LogText(),
              kSection39 + std::string("List of deleted files:\n\n") +
                  Deleted({"alpha.exe", "W:bzqlink.dll", "bin\\diffdir.dll", "old vaultline\\low.dat"}) +
                  ReadOnlyReport() +
                  Deleted({"Docs\\readme.txt", "shared.dll", "bin\\tool.dll", "Vaultline\\vl.dat",
                           "Vaultline\\vlshared.dll", "VMTRAK32.OCX"}) +
                  "File " + windows_ + "fcalpha.dll is in WINDIR. Preserving this file.\n" + kSection53);
    EXPECT_NE(console.find("Delete file readonly.dat failed\n"), std::string::npos);
    std::vector<std::string> commands = Machine().Commands();
    std::sort(commands.begin(), commands.end());
    EXPECT_EQ(commands, (std::vector<std::string>{"regsvr32.exe /u /s " + Lower(kAlpha) + "vmtrak32.ocx",
                                                  "regsvr32.exe /u /s " + Lower(windows_) + "bzqlink.dll"}));
}

TEST_F(UnsharedRemovalTest, AloneWithCleanTheFolderGoesToo) {
    const std::string copy = PrepareAlpha(false);
    NewCleanup(true, false)->CRunFileCleanup(copy);
    EXPECT_FALSE(Exists(kAlpha));
    EXPECT_TRUE(Exists("C:\\Program Files\\Corvanta FC"));
    EXPECT_TRUE(Exists(windows_ + "fcalpha.dll"));
}

TEST_F(UnsharedRemovalTest, WithARemainingProductSharedFilesStayAndOnlyProductFoldersAreSwept) {
    const std::string copy = PrepareAlpha(true);
    const DriveListing before = Drive();
    NewCleanup(true, false)->CRunFileCleanup(copy);
    // shared.dll is shared; vlshared.dll is shared too but lies in a product
    // folder, which is emptied whole; the read-only file stays since only
    // the product folders are swept; the Docs and logs folders keep what the
    // package did not install.
    EXPECT_EQ(Removed(before, Drive()),
              (std::vector<std::string>{A("alpha.exe"), A("bin\\"), A("bin\\diffdir.dll"), A("bin\\tool.dll"),
                                        A("docs\\readme.txt"), A("old vaultline\\"),
                                        A("old vaultline\\low.dat"), A("vaultline\\"), A("vaultline\\vl.dat"),
                                        A("vaultline\\vlshared.dll"), A("vmtrak32.ocx"), W("bzqlink.dll")}));
    const std::string text = LogText();
    EXPECT_EQ(text.find(std::string(kAlpha) + "shared.dll\n"), std::string::npos);
    EXPECT_NE(text.find(std::string(kAlpha) + "Vaultline\\vl.dat\n"), std::string::npos);
    for (const char* sub : {"bin", "Docs", "logs", "old vaultline", "Vaultline"}) {
        EXPECT_NE(text.find("Path found in CCleanupDCProductDirs: " + std::string(kAlpha) + sub + "\n\n"),
                  std::string::npos)
            << sub;
    }
}

TEST_F(UnsharedRemovalTest, WithCleanAFolderThatCannotBeRemovedIsReportedUnlessItHoldsSomething) {
    for (const std::uint32_t code : {plat::kErrorAccessDenied, plat::kErrorDirNotEmpty}) {
        SCOPED_TRACE(code);
        auto cleanup = NewCleanup(true, false);
        SeedDir(kAlpha);
        cleanup->SetInstallDir(kAlpha);
        ASSERT_TRUE(Host().Winsim({"fault", "clear"}).exitCode == 0);
        ASSERT_TRUE(Host().AddFault("RemoveDirectoryA",
                                    std::string(kAlpha).substr(0, std::string(kAlpha).size() - 1), code));
        cleanup->CRemoveUnsharedFiles();
        EXPECT_EQ(cleanup->GetInstallDir(), std::string(kAlpha).substr(0, std::string(kAlpha).size() - 1));
        EXPECT_TRUE(Exists(kAlpha));
    }
    // Note the function name without its blank, as the removal of the
    // folder itself spells it.
    EXPECT_EQ(LogText(), "Error in function CRemoveUnsharedFiles:\nError message: " +
                             ToolLog::GetSystemErrorText(plat::kErrorAccessDenied) +
                             "\nError deleting directory: C:\\Program Files\\Corvanta FC\\Alpha\n");
}

TEST_F(UnsharedRemovalTest, NoInstallerHandleOutlivesTheProductsCleanup) {
    for (const bool packageGone : {false, true}) {
        SCOPED_TRACE(packageGone ? "cleanup stopped early" : "whole cleanup");
        const std::string copy = PrepareAlpha(true);
        if (packageGone) {
            ASSERT_TRUE(plat::Sys().DeleteFileA(LocalPackage(kKeeperCode).c_str()));
        }
        const std::size_t before = Machine().Installer().OpenHandleCount();
        {
            auto cleanup = NewCleanup();
            cleanup->CRunFileCleanup(copy);
            // The whole cleanup closes the package handle itself; a cleanup
            // stopped early leaves it to the object's end.
            EXPECT_EQ(Machine().Installer().OpenHandleCount(), before + (packageGone ? 1u : 0u));
        }
        EXPECT_EQ(Machine().Installer().OpenHandleCount(), before);
        Host().Uninstall("fc_keeper");
    }
}

TEST_F(UnsharedRemovalTest, AFileNameWithAFolderPartOrAWildcardDeletesNothingOutsideItsFolder) {
    Install("fc_keeper");  // so that the folder itself is not emptied afterwards
    Install("fc_alpha");
    const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
    // A damaged saved package: file names that leave their folder or match many files.
    ChangePackage(copy, {"UPDATE `File` SET `FileName` = '..\\..\\victim.txt' WHERE `File` = 'F_Tool'",
                         "UPDATE `File` SET `FileName` = '*.*' WHERE `File` = 'F_LowDat'"});
    Seed("C:\\Program Files\\Corvanta FC\\victim.txt");
    Seed(std::string(kAlpha) + "old vaultline\\other.dat");
    auto cleanup = NewCleanup();
    cleanup->SetPackagePath(copy);
    ASSERT_TRUE(cleanup->CCreateFileObjectsFromMsiDataBase(copy, "Component"));
    cleanup->CCreateFileObjectsFromMsiDataBase(copy, "File");
    ASSERT_TRUE(cleanup->CGetInstalledCorvantaProductsCachedDatabases());
    ASSERT_TRUE(cleanup->CCheckForSharedFiles());
    const DriveListing before = Drive();
    cleanup->CRemoveUnsharedFiles();
    EXPECT_EQ(Removed(before, Drive()), std::vector<std::string>{});
    const std::string text =
        "The file name of the package names more than one file; the file is left alone.\n";
    EXPECT_EQ(LogText(), "Error in function CRemoveUnsharedFiles: \nError message: " + text + "\n" + kAlpha +
                             "old vaultline\\*.*\nError in function CRemoveUnsharedFiles: \nError message: " +
                             text + "\n" + kAlpha + "bin\\..\\..\\victim.txt\n");
}

TEST_F(UnsharedRemovalTest, AMissingCachedPackageOfARemainingProductDeletesNothing) {
    const std::string copy = PrepareAlpha(true);
    ASSERT_TRUE(plat::Sys().DeleteFileA(LocalPackage(kKeeperCode).c_str()));
    const DriveListing before = Drive();
    NewCleanup(true, false)->CRunFileCleanup(copy);
    EXPECT_EQ(Removed(before, Drive()), std::vector<std::string>{});
    const std::string text = LogText();
    EXPECT_EQ(text.rfind(
                  kSection39 + std::string("Error in function CCreateCompAndDirObjects\nError message: "), 0),
              0u);
    const std::string tail =
        "\nError Opening the Database, please make sure this Database is not being used by "
        "another application\n" +
        std::string(kSection53);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(UnsharedRemovalTest, ACopyThatWasNeverSavedGivesOneReportAndDeletesNothing) {
    PrepareAlpha(false);
    const DriveListing before = Drive();
    NewCleanup(true, true)->CRunFileCleanup("");
    EXPECT_EQ(Removed(before, Drive()), std::vector<std::string>{});
    const std::string text = LogText();
    char common[260] = {0};
    ASSERT_GT(Machine().GetEnvironmentVariableA("CommonProgramFiles", common, sizeof(common)), 0u);
    const std::string start = "DEBUG: Common Program Files directory is " + std::string(common) +
                              "\n\nDEBUG: WINDIR is " + Lower(windows_.substr(0, windows_.size() - 1)) +
                              "\n\n" + kSection39 +
                              "Error in function CResolveFileInstallLocation: \nError message: ";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_EQ(text.substr(text.size() - std::string(kSection53).size()), kSection53);
    EXPECT_EQ(text.find("Error in function", start.size()), std::string::npos);
}

TEST_F(UnsharedRemovalTest, DebugListsAreAppendedRunAfterRun) {
    const std::string copy = PrepareAlpha(true);
    const std::string listPath = std::string(kTempDir) + "\\unshared_files.txt";
    std::string expectedList;
    for (int run = 0; run < 2; ++run) {
        auto cleanup = NewCleanup(false, true);
        cleanup->SetPackagePath(copy);
        ASSERT_TRUE(cleanup->CCreateFileObjectsFromMsiDataBase(copy, "Component"));
        cleanup->CCreateFileObjectsFromMsiDataBase(copy, "File");
        ASSERT_TRUE(cleanup->CGetInstalledCorvantaProductsCachedDatabases());
        ASSERT_TRUE(cleanup->CCheckForSharedFiles());
        cleanup->CWriteSharedFileList();
        cleanup->CWriteUnsharedFileList();
        for (const auto* files : {&cleanup->GetSharedFiles(), &cleanup->GetUnsharedFiles()}) {
            for (const auto& entry : *files) {
                expectedList += "Key: " + entry.first + "\r\nFile name: " + entry.second.fileName +
                                "\r\nDirectory: " + entry.second.directoryKey + "\r\n\r\n";
            }
        }
    }
    std::string list;
    ASSERT_TRUE(Host().ReadFile(listPath, list));
    EXPECT_EQ(list, expectedList);
    EXPECT_NE(list.find("Key: F_Shared\r\nFile name: shared.dll\r\nDirectory: INSTALLDIR\r\n\r\n"),
              std::string::npos);
    const std::string text = LogText();
    const std::string pair = "Writing out list of shared files to " + listPath +
                             "\n\nWriting out list of unshared files to " + listPath + "\n\n";
    const std::string::size_type first = text.find(pair);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find(pair, first + 1), std::string::npos);
}

TEST_F(UnsharedRemovalTest, WithoutDebugNoListFileAndNoDebugLine) {
    const std::string copy = PrepareAlpha(false);
    NewCleanup()->CRunFileCleanup(copy);
    EXPECT_FALSE(Exists(std::string(kTempDir) + "\\unshared_files.txt"));
    EXPECT_EQ(LogText().find("DEBUG:"), std::string::npos);
}

TEST_F(UnsharedRemovalTest, FilesTheUninstallRemovedProduceNoOutput) {
    Install("fc_alpha");
    const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
    Seed(std::string(kAlpha) + "logs\\run.log");
    NewCleanup()->CRunFileCleanup(copy);
    EXPECT_FALSE(Exists(std::string(kAlpha) + "logs"));
    EXPECT_EQ(LogText(), kSection39 + std::string(kSection53));
}

}  // namespace
}  // namespace fctest
