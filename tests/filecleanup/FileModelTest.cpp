// The file model: what the saved package installed, where, and which files a
// remaining suite product shares.
#include <gtest/gtest.h>

#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

// "key name dirkey" per element, in map order.
std::vector<std::string> Render(const CFileCleanup::FileMap& files) {
    std::vector<std::string> out;
    for (const auto& entry : files) {
        EXPECT_EQ(entry.first, entry.second.fileKey);
        out.push_back(entry.first + " " + entry.second.fileName + " " + entry.second.directoryKey);
    }
    return out;
}

const std::vector<std::string> kAlphaFiles = {
    "F_AlphaExe alpha.exe INSTALLDIR",
    "F_Bzq bzqlink.dll WindowsFolder",
    "F_DiffDir diffdir.dll ALPHABIN",
    "F_LowDat low.dat ALPHALOWVL",
    "F_ReadOnly readonly.dat INSTALLDIR",
    "F_Readme readme.txt ALPHADOCS",
    "F_Shared shared.dll INSTALLDIR",
    "F_Tool tool.dll ALPHABIN",
    "F_VlDat vl.dat ALPHAVL",
    "F_VlShared vlshared.dll ALPHAVL",
    "F_Vmtrak VMTRAK32.OCX INSTALLDIR",
    "F_WinDll fcalpha.dll WindowsFolder",
};

class FileModelTest : public FileCleanupTest {
protected:
    // Reads the package the way the driver does; returns the driver's verdict.
    bool ReadModel(CFileCleanup& cleanup, const std::string& package) {
        cleanup.SetPackagePath(package);
        if (!cleanup.CCreateFileObjectsFromMsiDataBase(package, "Component")) return false;
        cleanup.CCreateFileObjectsFromMsiDataBase(package, "File");
        return cleanup.CGetInstalledCorvantaProductsCachedDatabases() && cleanup.CCheckForSharedFiles();
    }
};

TEST_F(FileModelTest, WithNoSuiteProductLeftEveryFileIsUnshared) {
    Install("fc_alpha");
    const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
    auto cleanup = NewCleanup();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(ReadModel(*cleanup, copy));
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(cleanup->GetInstallDir(), "C:\\Program Files\\Corvanta FC\\Alpha\\");
    EXPECT_EQ(cleanup->GetPackageComponents().size(), 7u);
    EXPECT_EQ(cleanup->GetPackageComponents().at("C_AlphaWin").directoryKey, "WindowsFolder");
    EXPECT_EQ(Render(cleanup->GetUnsharedFiles()), kAlphaFiles);
    EXPECT_TRUE(cleanup->GetSharedFiles().empty());
    EXPECT_TRUE(cleanup->GetCachedDatabases().empty());
    EXPECT_FALSE(cleanup->HasOtherSuiteProducts());
    EXPECT_TRUE(cleanup->GetOtherComponents().empty());
    // Message 52, a dot per row and a line break, per table; the log gets nothing.
    const std::string scan = "Scanning for additional Corvanta files to remove.\n";
    EXPECT_EQ(console, scan + std::string(7, '.') + "\n" + scan + std::string(12, '.') + "\n");
    EXPECT_EQ(LogText(), "");
}

TEST_F(FileModelTest, AFileIsSharedOnlyUnderTheSameKeyInTheSameDirectoryKey) {
    Install("fc_keeper");
    Install("fc_alpha");
    const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
    const std::string keeperPackage = LocalPackage(kKeeperCode);
    auto cleanup = NewCleanup();
    EXPECT_TRUE(ReadModel(*cleanup, copy));
    EXPECT_TRUE(cleanup->HasOtherSuiteProducts());
    EXPECT_EQ(cleanup->GetCachedDatabases(), (CFileCleanup::PathSet{{keeperPackage, keeperPackage}}));
    EXPECT_EQ(
        Render(cleanup->GetSharedFiles()),
        (std::vector<std::string>{"F_Shared shared.dll INSTALLDIR", "F_VlShared vlshared.dll ALPHAVL"}));
    std::vector<std::string> unshared = kAlphaFiles;
    unshared.erase(std::remove_if(unshared.begin(), unshared.end(),
                                  [](const std::string& f) {
                                      return f.rfind("F_Shared", 0) == 0 || f.rfind("F_VlShared", 0) == 0;
                                  }),
                   unshared.end());
    // F_DiffDir is declared by the remaining product too, but in another directory key.
    EXPECT_EQ(Render(cleanup->GetUnsharedFiles()), unshared);
    EXPECT_EQ(cleanup->GetOtherComponents().at("C_KeeperBin").directoryKey, "OTHERBIN");
}

TEST_F(FileModelTest, LongNamesOfShortLongPairsAndAnEmptyComponentTable) {
    const std::string named =
        MakeVariant("fc_alpha", "named",
                    {"UPDATE `File` SET `FileName` = 'SHORTN~1.DLL|LongName.dll' WHERE "
                     "`File` = 'F_Tool'",
                     "UPDATE `File` SET `FileName` = 'a|b|c' WHERE `File` = 'F_LowDat'"});
    auto cleanup = NewCleanup();
    EXPECT_TRUE(ReadModel(*cleanup, named));
    EXPECT_EQ(cleanup->GetUnsharedFiles().at("F_Tool").fileName, "LongName.dll");
    EXPECT_EQ(cleanup->GetUnsharedFiles().at("F_LowDat").fileName, "b|c");
    EXPECT_EQ(cleanup->GetUnsharedFiles().at("F_Readme").fileName, "readme.txt");

    std::vector<std::string> deletes;
    for (const char* key : {"C_AlphaMain", "C_AlphaShared", "C_AlphaBin", "C_AlphaVl", "C_AlphaLow",
                            "C_AlphaDocs", "C_AlphaWin"}) {
        deletes.push_back(std::string("DELETE FROM `Component` WHERE `Component` = '") + key + "'");
    }
    const std::string empty = MakeVariant("fc_alpha", "nocomponents", deletes);
    auto second = NewCleanup();
    EXPECT_TRUE(ReadModel(*second, empty));
    EXPECT_TRUE(second->GetPackageComponents().empty());
    EXPECT_TRUE(second->GetUnsharedFiles().empty());
}

TEST_F(FileModelTest, APackageThatCannotBeOpenedEndsTheModelWithOneReport) {
    auto cleanup = NewCleanup();
    EXPECT_FALSE(ReadModel(*cleanup, ""));
    EXPECT_FALSE(cleanup->IsPackageOpen());
    EXPECT_TRUE(cleanup->GetInstallDir().empty());
    // Later resolutions fail without a further report.
    EXPECT_EQ(cleanup->CResolveFileInstallLocation("INSTALLDIR"), "");
    // One report: the system's text brings its own line end, the detail is empty.
    const std::string text = LogText();
    const std::string start = "Error in function CResolveFileInstallLocation: \nError message: ";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_EQ(text.substr(text.size() - 3), "\n\n\n");
    EXPECT_EQ(text.find("Error in function", 1), std::string::npos);
}

TEST_F(FileModelTest, AnUnknownDirectoryKeyIsReportedAndGivesNoPath) {
    Install("fc_alpha");
    auto cleanup = NewCleanup();
    cleanup->SetPackagePath(LocalPackage(kAlphaCode));
    EXPECT_EQ(cleanup->CResolveFileInstallLocation("ALPHABIN"),
              "C:\\Program Files\\Corvanta FC\\Alpha\\bin\\");
    EXPECT_EQ(cleanup->CResolveFileInstallLocation("NO_SUCH_DIR"), "");
    const std::vector<std::string> lines = Lines(LogText());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Error in function CResolveFileInstallLocation: ");
    EXPECT_EQ(lines.back(), "An unknown error occurred while using MsiGetTargetPath.");
}

TEST_F(FileModelTest, ARemainingProductWithoutItsCachedPackageStopsTheModel) {
    Install("fc_keeper");
    Install("fc_alpha");
    const std::string copy = SaveAndUninstall("fc_alpha", kAlphaCode);
    ASSERT_TRUE(plat::Sys().DeleteFileA(LocalPackage(kKeeperCode).c_str()));
    auto cleanup = NewCleanup();
    EXPECT_FALSE(ReadModel(*cleanup, copy));
    EXPECT_TRUE(cleanup->GetSharedFiles().empty());
    const std::vector<std::string> lines = Lines(LogText());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Error in function CCreateCompAndDirObjects");
    EXPECT_EQ(lines[1].rfind("Error message: ", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 1],
              "Error Opening the Database, please make sure this Database is not being used by another "
              "application");
}

struct PublisherCase {
    const char* name;
    std::string manufacturer;
    bool suite;
};
void PrintTo(const PublisherCase& c, std::ostream* os) {
    *os << c.name;
}

class PublisherTest : public FileModelTest, public ::testing::WithParamInterface<PublisherCase> {};

TEST_P(PublisherTest, OnlyTheExactPublisherNameMakesASuiteProduct) {
    const PublisherCase& c = GetParam();
    const std::string package = MakeVariant(
        "fc_keeper", "publisher",
        {"UPDATE `Property` SET `Value` = '" + c.manufacturer + "' WHERE `Property` = 'Manufacturer'"});
    InstallPath(package);
    auto cleanup = NewCleanup();
    EXPECT_EQ(cleanup->CIsPublisherCorvanta(kKeeperCode), c.suite);
    EXPECT_TRUE(cleanup->CGetInstalledCorvantaProductsCachedDatabases());
    EXPECT_EQ(cleanup->GetCachedDatabases().size(), c.suite ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, PublisherTest,
                         ::testing::Values(PublisherCase{"Exact", "Corvanta Software", true},
                                           PublisherCase{"TrailingBlank", "Corvanta Software ", false},
                                           PublisherCase{"OtherCase", "corvanta software", false},
                                           PublisherCase{"Other", "Tolvi", false}),
                         [](const ::testing::TestParamInfo<PublisherCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace fctest
