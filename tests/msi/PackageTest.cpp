// Package handles: costing and target paths resolved through the Directory
// table, and the text helpers of the install engine.
#include <gtest/gtest.h>

#include "platform/sim/SimMsiImpl.h"
#include "tests/msi/MsiFixture.h"

namespace msitest {
namespace {

using plat::Sys;

class PackageTest : public MsiTest {};

TEST_F(PackageTest, TargetPathsAfterCosting) {
    plat::MsiHandle package = 0;
    ASSERT_EQ(Sys().MsiOpenPackageA(PackageWindowsPath("vaultline").c_str(), &package), 0u);
    char path[260];
    std::uint32_t size = sizeof path;
    EXPECT_EQ(Sys().MsiGetTargetPathA(package, "INSTALLDIR", path, &size), plat::kErrorDirectory)
        << "before costing";
    EXPECT_EQ(Sys().MsiDoActionA(package, "CostInitialize"), 0u);
    EXPECT_EQ(Sys().MsiDoActionA(package, "FileCost"), 0u);
    size = sizeof path;
    EXPECT_EQ(Sys().MsiGetTargetPathA(package, "INSTALLDIR", path, &size), plat::kErrorDirectory)
        << "before CostFinalize";
    EXPECT_EQ(Sys().MsiDoActionA(package, "CostFinalize"), 0u);
    struct Case {
        const char* folder;
        std::uint32_t result;
        const char* path;
    };
    const Case cases[] = {
        {"INSTALLDIR", 0, "C:\\Program Files\\Corvanta\\"},
        {"TARGETDIR", 0, "C:\\"},
        {"ProgramFilesFolder", 0, "C:\\Program Files\\"},
        {"VLVAR", 0, "C:\\Program Files\\Corvanta\\Vaultline\\var\\"},
        {"I_Vaultline_var_db", 0, "C:\\Program Files\\Corvanta\\Vaultline\\var\\db\\"},
        {"MXACONF", 0, "C:\\Program Files\\Corvanta\\common\\mxa\\conf\\"},
        {"CF_Corvanta_Vaultline_VLVSI_bin", 0,
         "C:\\Program Files\\Common Files\\Corvanta\\Vaultline\\VLVSI\\bin\\"},
        {"SystemFolder", 0, "C:\\windows\\system32\\"},
        {"NoSuchFolder", plat::kErrorDirectory, ""},
        {"installdir", plat::kErrorDirectory, ""},  // keys are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        size = sizeof path;
        path[0] = '\0';
        EXPECT_EQ(Sys().MsiGetTargetPathA(package, c.folder, path, &size), c.result);
        if (c.result == 0) {
            EXPECT_STREQ(path, c.path);
        }
    }
    size = 5;
    EXPECT_EQ(Sys().MsiGetTargetPathA(package, "INSTALLDIR", path, &size), plat::kErrorMoreData);
    EXPECT_STREQ(path, "C:\\P");
    EXPECT_EQ(size, 26u);
    // Directory keys are properties once costed.
    size = sizeof path;
    EXPECT_EQ(Sys().MsiGetPropertyA(package, "VLVAR", path, &size), 0u);
    EXPECT_STREQ(path, "C:\\Program Files\\Corvanta\\Vaultline\\var\\");
    EXPECT_EQ(Sys().MsiDoActionA(package, "NoSuchAction"), 1626u);
    EXPECT_EQ(Sys().MsiDoActionA(0, "CostFinalize"), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiGetTargetPathA(0, "INSTALLDIR", path, &size), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiCloseHandle(package), 0u);
}

TEST_F(PackageTest, CostFinalizeNeedsCostInitialize) {
    plat::MsiHandle package = 0;
    ASSERT_EQ(Sys().MsiOpenPackageA(PackageWindowsPath("lumo").c_str(), &package), 0u);
    EXPECT_EQ(Sys().MsiDoActionA(package, "CostFinalize"), plat::kErrorInstallFailure);
    char path[260];
    std::uint32_t size = sizeof path;
    EXPECT_EQ(Sys().MsiGetTargetPathA(package, "INSTALLDIR", path, &size), plat::kErrorDirectory);
    EXPECT_EQ(Sys().MsiCloseHandle(package), 0u);
}

TEST(DirectoryResolution, FollowsTheDirectoryTableRules) {
    using plat::simmsi::DirectoryRow;
    const std::vector<DirectoryRow> rows = {
        {"TARGETDIR", "", "SourceDir"},
        {"ProgramFilesFolder", "TARGETDIR", "."},
        {"INSTALLDIR", "ProgramFilesFolder", "CORVAN~1|Corvanta:Source"},
        {"BIN", "INSTALLDIR", "bin"},
        {"SAME", "BIN", "."},
        {"TARGETONLY", "INSTALLDIR", "tgt:src"},
        {"SHORTLONG", "INSTALLDIR", "LONGNA~1|Long Name"},
        {"OVERRIDE", "INSTALLDIR", "ignored"},
        {"BELOWOVERRIDE", "OVERRIDE", "sub"},
        {"OTHERROOT", "", "Other"},
        {"ORPHAN", "MISSING", "orphan"},
        {"LOOPA", "LOOPB", "a"},
        {"LOOPB", "LOOPA", "b"},
    };
    const std::map<std::string, std::string> properties = {
        {"ProgramFilesFolder", "C:\\Program Files\\"},
        {"OVERRIDE", "D:\\Data"},
        {"ROOTDRIVE", "E:\\"},
    };
    const auto dirs = plat::simmsi::ResolveDirectories(rows, properties);
    const std::map<std::string, std::string> expected = {
        {"TARGETDIR", "E:\\"},
        {"ProgramFilesFolder", "C:\\Program Files\\"},
        {"INSTALLDIR", "C:\\Program Files\\Corvanta\\"},
        {"BIN", "C:\\Program Files\\Corvanta\\bin\\"},
        {"SAME", "C:\\Program Files\\Corvanta\\bin\\"},
        {"TARGETONLY", "C:\\Program Files\\Corvanta\\tgt\\"},
        {"SHORTLONG", "C:\\Program Files\\Corvanta\\Long Name\\"},
        {"OVERRIDE", "D:\\Data\\"},
        {"BELOWOVERRIDE", "D:\\Data\\sub\\"},
        {"OTHERROOT", "E:\\"},
    };
    EXPECT_EQ(dirs, expected);
    EXPECT_EQ(plat::simmsi::ResolveDirectories(rows, {}).at("TARGETDIR"), "C:\\") << "ROOTDRIVE by default";
}

TEST(FormattedText, ReplacesReferences) {
    const std::map<std::string, std::string> props = {{"INSTALLDIR", "C:\\Suite\\"}, {"Name", "Vault"}};
    const std::map<std::string, std::string> files = {{"MainExe", "C:\\Suite\\bin\\main.exe"}};
    const std::map<std::string, std::string> comps = {{"C_Main", "C:\\Suite\\bin\\"}};
    struct Case {
        const char* text;
        std::string result;
    };
    const Case cases[] = {
        {"[INSTALLDIR]Vaultline", "C:\\Suite\\Vaultline"},
        {"[Name] and [Name]", "Vault and Vault"},
        {"[Unknown]x", "x"},
        {"\"[#MainExe]\" \"%1\"", "\"C:\\Suite\\bin\\main.exe\" \"%1\""},
        {"[$C_Main]data", "C:\\Suite\\bin\\data"},
        {"a[\\[]b", "a[b"},
        {"one[~]two", std::string("one\0two", 7)},
        {"open [bracket", "open [bracket"},
        {"plain", "plain"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::simmsi::FormatText(c.text, props, files, comps), c.result) << c.text;
}

TEST(CommandLineProperties, SplitAsTheInstallerReadsThem) {
    struct Case {
        const char* line;
        std::map<std::string, std::string> properties;
    };
    const Case cases[] = {
        {"REMOVE=ALL REBOOT=ReallySuppress", {{"REMOVE", "ALL"}, {"REBOOT", "ReallySuppress"}}},
        {"  INSTALLDIR=\"C:\\Program Files\\X\"  ", {{"INSTALLDIR", "C:\\Program Files\\X"}}},
        {"A=\"say \"\"hi\"\"\" B=", {{"A", "say \"hi\""}, {"B", ""}}},
        {"", {}},
        {"novalue", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::simmsi::ParseCommandLineProperties(c.line), c.properties) << c.line;
}

TEST(Cabinets, RejectsWhatIsNoCabinet) {
    std::map<std::string, std::string> files;
    EXPECT_FALSE(plat::simmsi::ExtractCabinet("", files));
    EXPECT_FALSE(plat::simmsi::ExtractCabinet("MSCF but far too short", files));
    std::string truncated = "MSCF";
    truncated.resize(64, '\x01');
    plat::simmsi::ExtractCabinet(truncated, files);  // must not crash
    EXPECT_TRUE(files.empty());
}

}  // namespace
}  // namespace msitest
