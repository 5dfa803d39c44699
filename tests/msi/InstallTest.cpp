// Installing and uninstalling the suite's test packages: files, registry
// values, the registration, the cached package, components shared between
// products, and the installer log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/sim/SimFaults.h"
#include "tests/msi/MsiFixture.h"
#include "tests/support/Paths.h"

namespace msitest {
namespace {

using plat::Sys;

const std::string kSuite = "C:\\Program Files\\Corvanta\\";
const std::string kUserData =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
const std::string kUninstall =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class InstallTest : public MsiTest {
protected:
    std::string Registration(const std::string& code) {
        return kUserData + "\\Products\\" + plat::PackGuid(code) + "\\InstallProperties";
    }
};

TEST_F(InstallTest, InstallPutsFilesRegistryAndRegistration) {
    const std::vector<std::string> before = DriveC();
    ASSERT_EQ(Install("vaultline"), 0u);

    // Files at their resolved places, with the cabinet's content.
    for (const std::string& file :
         {kSuite + "Vaultline\\bin\\vaultline.exe", kSuite + "Vaultline\\var\\db\\records.dat",
          kSuite + "common\\mxa\\conf\\mxa.properties", kSuite + "common\\mxa\\PXD\\conf\\ssl.conf",
          std::string("C:\\Program Files\\Common Files\\Corvanta\\Vaultline\\VLVSI\\bin\\vlvsi.dll"),
          std::string("C:\\windows\\system32\\vmtrak32.ocx")})
        EXPECT_TRUE(FileExists(file)) << file;
    EXPECT_EQ(ReadFile(kSuite + "Vaultline\\var\\vault.cfg"), Payload("vaultline/Vaultline_var_vault.cfg"));
    EXPECT_EQ(ReadFile(kSuite + "common\\mxa\\conf\\mxa.properties"), Payload("shared/mxa.properties"));

    // Registry values of every root; -1 goes to HKLM with ALLUSERS=1.
    struct Value {
        std::string key, name, text;
    };
    const Value values[] = {
        {"HKLM\\Software\\Corvanta Software\\Vaultline", "Version", "7.5.0"},
        {"HKLM\\Software\\Corvanta Software\\Vaultline", "InstallDir", kSuite + "Vaultline"},
        {"HKLM\\Software\\Corvanta Software\\Vaultline\\Settings", "Mode", "server"},
        {"HKCU\\Software\\Corvanta Software\\Vaultline\\User", "LastVault", "default"},
        {"HKCR\\Corvanta.VaultlineDocument\\shell\\open\\command", "",
         "\"" + kSuite + "Vaultline\\bin\\vaultline.exe\" \"%1\""},
        {"HKU\\.DEFAULT\\Software\\Corvanta Software\\Vaultline", "Theme", "classic"},
        {"HKLM\\Software\\Corvanta Software\\Suite", "InstallRoot", kSuite},
    };
    for (const Value& v : values) {
        bool found = false;
        EXPECT_EQ(RegText(v.key, v.name, &found), v.text) << v.key << " " << v.name;
        EXPECT_TRUE(found) << v.key << " " << v.name;
    }
    EXPECT_FALSE(Registry().KeyExists("HKCU\\Software\\Corvanta Software\\Vaultline\\Settings"));
    plat::SimRegValue licensed;
    ASSERT_TRUE(Registry().GetValue("HKLM\\Software\\Tolvi\\Vaultline", "Licensed", licensed));
    EXPECT_EQ(licensed.type, plat::kRegDword);
    EXPECT_EQ(licensed.data, std::string("\x01\x00\x00\x00", 4));

    // The registration and the Add/Remove Programs entry.
    const std::string reg = Registration(kVaultline);
    EXPECT_EQ(RegText(reg, "DisplayName"), "Corvanta Vaultline");
    EXPECT_EQ(RegText(reg, "Publisher"), "Corvanta Software");
    EXPECT_EQ(RegText(reg, "DisplayVersion"), "7.5.0");
    EXPECT_EQ(RegText(reg, "InstallLocation"), kSuite) << "from ARPINSTALLLOCATION, backslash kept";
    for (const char* name : {"DisplayName", "DisplayVersion", "Publisher", "InstallLocation"})
        EXPECT_EQ(RegText(kUninstall + kVaultline, name), RegText(reg, name)) << name;

    // The cached package: a new name in the Installer folder, the same bytes.
    const std::string cached = RegText(reg, "LocalPackage");
    ASSERT_EQ(cached.rfind("C:\\windows\\Installer\\", 0), 0u) << cached;
    EXPECT_EQ(cached.substr(cached.size() - 4), ".msi");
    EXPECT_NE(cached.find("vaultline"), 0u);
    EXPECT_EQ(ReadFile(cached), ReadFile(PackageWindowsPath("vaultline")));

    // Uninstall through the cached package takes all of it away again.
    ASSERT_EQ(Uninstall(kVaultline), 0u);
    EXPECT_EQ(DriveC(), before);
    EXPECT_FALSE(Registry().KeyExists(kUserData + "\\Products\\" + plat::PackGuid(kVaultline)));
    EXPECT_FALSE(Registry().KeyExists(kUninstall + kVaultline));
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Corvanta Software"));
    EXPECT_FALSE(Registry().KeyExists("HKCR\\Corvanta.VaultlineDocument"));
    EXPECT_FALSE(Registry().KeyExists("HKU\\.DEFAULT\\Software\\Corvanta Software"));
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Tolvi"));
    EXPECT_TRUE(Registry().KeyExists("HKLM\\Software")) << "never the first level";
    EXPECT_TRUE(Registry().SubKeys(kUserData + "\\Components").empty());
}

TEST_F(InstallTest, PerUserRootWithoutAllUsers) {
    ASSERT_EQ(Install("tracklight"), 0u);
    EXPECT_EQ(RegText("HKCU\\Software\\Corvanta Software\\Tracklight\\Settings", "Port"), "\x90\x1f");
    plat::SimRegValue port;
    ASSERT_TRUE(Registry().GetValue("HKCU\\Software\\Corvanta Software\\Tracklight\\Settings", "Port", port));
    EXPECT_EQ(port.type, plat::kRegDword);
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Corvanta Software\\Tracklight\\Settings"));
    ASSERT_EQ(Uninstall(kTracklight), 0u);
    EXPECT_FALSE(Registry().KeyExists("HKCU\\Software\\Corvanta Software\\Tracklight"));
}

TEST_F(InstallTest, MultiStringValue) {
    ASSERT_EQ(Install("administrator"), 0u);
    plat::SimRegValue list;
    ASSERT_TRUE(Registry().GetValue("HKCU\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList",
                                    "Data List", list));
    EXPECT_EQ(list.type, plat::kRegMultiSz);
    EXPECT_EQ(list.data,
              kSuite + "Projects\\Alpha\\Alpha" + '\0' + kSuite + "Projects\\Beta\\Beta.cap" + '\0' + '\0');
    EXPECT_TRUE(FileExists(kSuite + "Projects\\Alpha\\Alpha"));
    ASSERT_EQ(Uninstall("{C0B1A00C-0001-4000-8000-000000000000}"), 0u);
}

TEST_F(InstallTest, SharedComponentsStayWhileAnotherProductHoldsThem) {
    const std::vector<std::string> before = DriveC();
    ASSERT_EQ(Install("vaultline"), 0u);
    ASSERT_EQ(Install("tracklight"), 0u);
    ASSERT_EQ(Install("vlnetall"), 0u);
    const std::string shared = kSuite + "common\\mxa\\conf\\mxa.properties";
    const std::string clients =
        kUserData + "\\Components\\" + plat::PackGuid("{C0B1FFFF-0001-4000-8000-000000000000}");
    EXPECT_EQ(Registry().Values(clients).size(), 2u);
    EXPECT_EQ(RegText(clients, plat::PackGuid(kVaultline)), shared) << "the client value is the key path";

    ASSERT_EQ(Uninstall(kVaultline), 0u);
    EXPECT_TRUE(FileExists(shared)) << "Tracklight still holds the component";
    EXPECT_EQ(Registry().Values(clients).size(), 1u);
    EXPECT_FALSE(FileExists(kSuite + "Vaultline\\docs\\readme.txt")) << "same file key, other folder key";
    EXPECT_TRUE(FileExists(kSuite + "Tracklight\\docs\\readme.txt"));
    EXPECT_FALSE(FolderExists(kSuite + "Vaultline\\var"));
    EXPECT_TRUE(FolderExists(kSuite + "Vaultline\\net\\all"));
    EXPECT_EQ(RegText("HKLM\\Software\\Corvanta Software\\Suite", "InstallRoot"), kSuite)
        << "vlNETALL holds it";
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Corvanta Software\\Vaultline\\Settings"));

    ASSERT_EQ(Uninstall(kTracklight), 0u);
    EXPECT_FALSE(FileExists(shared));
    EXPECT_FALSE(Registry().KeyExists(clients));
    ASSERT_EQ(Uninstall(kVlNetAll), 0u);
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Corvanta Software\\Suite"));
    EXPECT_EQ(DriveC(), before);
}

TEST_F(InstallTest, FilesTheProductDidNotInstallStay) {
    ASSERT_EQ(Install("vaultline"), 0u);
    WriteFile(kSuite + "Vaultline\\var\\user.dat", "the user's own data");
    Registry().SetString("HKLM\\Software\\Corvanta Software\\Vaultline", "UserSetting", "kept");
    ASSERT_EQ(Uninstall(kVaultline), 0u);
    EXPECT_EQ(ReadFile(kSuite + "Vaultline\\var\\user.dat"), "the user's own data");
    EXPECT_FALSE(FileExists(kSuite + "Vaultline\\var\\vault.cfg"));
    EXPECT_FALSE(FolderExists(kSuite + "Vaultline\\bin"));
    EXPECT_EQ(RegText("HKLM\\Software\\Corvanta Software\\Vaultline", "UserSetting"), "kept");
    bool found = true;
    RegText("HKLM\\Software\\Corvanta Software\\Vaultline", "Version", &found);
    EXPECT_FALSE(found);
}

TEST_F(InstallTest, PropertiesOfTheCommandLineMoveTheInstall) {
    ASSERT_EQ(Install("lumo", {{"INSTALLDIR", "C:\\Apps\\Suite"}}), 0u);
    EXPECT_TRUE(FileExists("C:\\Apps\\Suite\\LumoWord\\templates\\letter.lwt"));
    EXPECT_FALSE(FolderExists(kSuite));
    std::string location;
    ASSERT_EQ(ProductInfo("{C0B1A004-0001-4000-8000-000000000000}", "InstallLocation", location), 0u);
    EXPECT_EQ(location, "C:\\Apps\\Suite\\");
    ASSERT_EQ(Uninstall("{C0B1A004-0001-4000-8000-000000000000}"), 0u);
    EXPECT_FALSE(FolderExists("C:\\Apps\\Suite")) << "its folders go with it";
    EXPECT_TRUE(FolderExists("C:\\Apps")) << "but not the folder the command line named above INSTALLDIR";
}

TEST_F(InstallTest, SecondInstallOfTheSameProductChangesNothing) {
    ASSERT_EQ(Install("lumo"), 0u);
    const std::string cached = LocalPackage("{C0B1A004-0001-4000-8000-000000000000}");
    ASSERT_EQ(Install("lumo"), 0u);
    EXPECT_EQ(LocalPackage("{C0B1A004-0001-4000-8000-000000000000}"), cached);
    ASSERT_EQ(Uninstall("{C0B1A004-0001-4000-8000-000000000000}"), 0u);
}

TEST_F(InstallTest, InstallAndUninstallFailures) {
    const std::string text = "C:\\notes.msi";
    WriteFile(text, "not a database");
    EXPECT_EQ(Installer().InstallPackage("C:\\missing.msi", {}), plat::kErrorInstallPackageOpenFailed);
    EXPECT_EQ(Installer().InstallPackage(text, {}), plat::kErrorInstallPackageInvalid);
    EXPECT_EQ(Sys().MsiInstallProductA("C:\\missing.msi", "REMOVE=ALL"),
              plat::kErrorInstallPackageOpenFailed);
    EXPECT_EQ(Sys().MsiInstallProductA(text.c_str(), "REMOVE=ALL"), plat::kErrorInstallPackageInvalid);
    EXPECT_EQ(Sys().MsiInstallProductA(PackageWindowsPath("lumo").c_str(), "REMOVE=ALL"),
              plat::kErrorUnknownProduct)
        << "not installed";
    EXPECT_EQ(Installer().UninstallProduct(kVaultline, {}), plat::kErrorUnknownProduct);
    EXPECT_EQ(Installer().UninstallProduct("not-a-guid", {}), plat::kErrorInvalidParameter);

    // The cached package is gone: the removal cannot run.
    ASSERT_EQ(Install("lumo"), 0u);
    const std::string code = "{C0B1A004-0001-4000-8000-000000000000}";
    std::filesystem::remove(Host(LocalPackage(code)));
    EXPECT_EQ(Installer().UninstallProduct(code, {}), plat::kErrorInstallSourceAbsent);
    EXPECT_TRUE(FileExists(kSuite + "LumoWord\\lumo.exe"));

    // A fault rule fails the install before anything happens.
    plat::SimFaults faults(Prefix());
    ASSERT_TRUE(faults.Add({"MsiInstallProductA", "*vaultline.msi", plat::kErrorInstallFailure, 1}));
    EXPECT_EQ(Sys().MsiInstallProductA(PackageWindowsPath("vaultline").c_str(), ""),
              plat::kErrorInstallFailure);
    EXPECT_FALSE(FolderExists(kSuite + "Vaultline"));
    EXPECT_EQ(Sys().MsiInstallProductA(PackageWindowsPath("vaultline").c_str(), "ALLUSERS=1"), 0u);
    EXPECT_TRUE(FolderExists(kSuite + "Vaultline"));
}

TEST_F(InstallTest, InstallerLogIsWrittenWhenEnabled) {
    ASSERT_EQ(Install("lumo"), 0u);
    const std::string code = "{C0B1A004-0001-4000-8000-000000000000}";
    const std::string log = "C:\\logs\\lumo.log";
    WriteFile(log, "earlier lines\r\n");
    ASSERT_EQ(Sys().MsiEnableLogA(plat::kInstallLogModeError, log.c_str(), plat::kInstallLogAttributesAppend),
              0u);
    ASSERT_EQ(Uninstall(code), 0u);
    const std::string text = ReadFile(log);
    EXPECT_EQ(text.rfind("earlier lines\r\n", 0), 0u) << "appended";
    EXPECT_NE(text.find("Product: Corvanta Lumo -- Removal completed successfully."), std::string::npos)
        << text;
    EXPECT_NE(text.find("File: " + kSuite + "LumoWord\\lumo.exe; removed."), std::string::npos) << text;
    EXPECT_NE(text.find("Windows Installer returned 0."), std::string::npos);

    // Without the append attribute the next run starts the file anew.
    ASSERT_EQ(Sys().MsiEnableLogA(plat::kInstallLogModeVerbose, log.c_str(), 0), 0u);
    ASSERT_EQ(Install("lumo"), 0u);
    const std::string second = ReadFile(log);
    EXPECT_EQ(second.find("earlier lines"), std::string::npos);
    EXPECT_NE(second.find("Installation completed successfully."), std::string::npos);
    ASSERT_EQ(Sys().MsiEnableLogA(0, nullptr, 0), 0u);
    ASSERT_EQ(Uninstall(code), 0u);
    EXPECT_EQ(ReadFile(log), second) << "logging switched off";
}

// msiexec as a program of the machine, through the winsim launcher.
class MsiexecTest : public MsiTest {
protected:
    int Msiexec(const std::string& arguments) {
        std::string command = "WINSIM_PREFIX='" + Prefix() + "' '" + testing_paths::WinsimPath() +
                              "' msiexec " + arguments + " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Quoted(const std::string& text) { return "'" + text + "'"; }
};

TEST_F(MsiexecTest, InstallsAndRemovesByPackageOrProductCode) {
    const std::string package = Quoted(PackageWindowsPath("vaultline"));
    ASSERT_EQ(Msiexec("/i " + package + " /qn"), 0);
    EXPECT_TRUE(FileExists(kSuite + "Vaultline\\bin\\vaultline.exe"));
    ASSERT_EQ(Msiexec("/x " + package + " /qn"), 0);
    EXPECT_FALSE(FolderExists(kSuite));

    ASSERT_EQ(Msiexec("/i " + Quoted(PackageWindowsPath("lumo")) + " /qn INSTALLDIR=C:\\Lumo"), 0);
    EXPECT_TRUE(FileExists("C:\\Lumo\\LumoWord\\lumo.exe"));
    ASSERT_EQ(Msiexec("/x {C0B1A004-0001-4000-8000-000000000000} /qn"), 0);
    EXPECT_FALSE(FolderExists("C:\\Lumo"));
}

TEST_F(MsiexecTest, ExitCodes) {
    // Exit codes arrive cut to their low byte through a host process.
    struct Case {
        const char* arguments;
        int code;
    };
    const Case cases[] = {
        {"", 1639 & 0xFF},
        {"/q", 1639 & 0xFF},
        {"/frobnicate x.msi", 1639 & 0xFF},
        {"/i C:\\missing.msi /qn", 1619 & 0xFF},
        {"/x {C0B1A001-0001-4000-8000-000000000000} /qn", 1605 & 0xFF},
    };
    for (const Case& c : cases) EXPECT_EQ(Msiexec(c.arguments), c.code) << c.arguments;
}

}  // namespace
}  // namespace msitest

namespace msitest {
namespace {

class CabinetInstallTest : public MsiTest {};

TEST_F(CabinetInstallTest, LargeFilesComeWholeOutOfTheirCabinet) {
    // Files larger than one 32 KiB cabinet block, so that later blocks refer
    // back into earlier ones.
    const std::string folder = Prefix() + "/drive_c/build";
    std::filesystem::create_directories(folder);
    std::string big, other;
    for (int i = 0; i < 6000; ++i) big += "line " + std::to_string(i * 7919 % 10007) + " of the large file\n";
    for (int i = 0; i < 3000; ++i) other += std::to_string(i * i) + (i % 3 ? "," : "\n");
    std::ofstream(folder + "/big.txt") << big;
    std::ofstream(folder + "/other.txt") << other;
    std::ofstream(folder + "/big.wxs") << R"(<?xml version="1.0"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{C0B1A0FE-0001-4000-8000-000000000000}" Name="Large Files" Language="1033" Version="1.0.0"
           Manufacturer="Corvanta Software" UpgradeCode="{C0B1A0FE-0002-4000-8000-000000000000}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Media Id="1" Cabinet="large.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="INSTALLDIR" Name="Large">
        <Component Id="Big" Guid="{C0B1CCFE-0001-4000-8000-000000000000}">
          <File Id="BigTxt" Name="big.txt" Source="big.txt" KeyPath="yes"/>
          <File Id="OtherTxt" Name="other.txt" Source="other.txt"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="All" Level="1"><ComponentRef Id="Big"/></Feature>
  </Product>
</Wix>
)";
    ASSERT_EQ(std::system(("cd '" + folder + "' && wixl -o big.msi big.wxs").c_str()), 0);
    ASSERT_EQ(Installer().InstallPackage("C:\\build\\big.msi", {}), 0u);
    EXPECT_EQ(ReadFile("C:\\Large\\big.txt"), big) << "TARGETDIR is the root drive";
    EXPECT_EQ(ReadFile("C:\\Large\\other.txt"), other);
    ASSERT_EQ(Uninstall("{C0B1A0FE-0001-4000-8000-000000000000}"), 0u);
    EXPECT_FALSE(FolderExists("C:\\Large"));
}

TEST_F(CabinetInstallTest, SharedDllCountsFollowTheComponentAttribute) {
    // wixl cannot write the attribute; set it on a copy of the package.
    const std::string folder = Prefix() + "/drive_c/build";
    std::filesystem::create_directories(folder);
    const std::string copy = folder + "/vaultline.msi";
    std::filesystem::copy_file(testing_paths::PackagePath("vaultline"), copy);
    ASSERT_EQ(std::system(("msibuild '" + copy +
                           "' -q \"UPDATE \\`Component\\` SET \\`Attributes\\` = 8 WHERE \\`Component\\` = "
                           "'C_CF_Corvanta_Vaultline_VLVSI_bin'\"")
                              .c_str()),
              0);
    const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const std::string dll = "C:\\Program Files\\Common Files\\Corvanta\\Vaultline\\VLVSI\\bin\\vlvsi.dll";
    ASSERT_TRUE(Registry().SetDword(key, "C:\\Other\\kept.dll", 3));
    ASSERT_EQ(Installer().InstallPackage("C:\\build\\vaultline.msi", {}), 0u);
    plat::SimRegValue count;
    ASSERT_TRUE(Registry().GetValue(key, dll, count));
    EXPECT_EQ(count.type, plat::kRegDword);
    EXPECT_EQ(count.data, std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(Registry().Values(key).size(), 2u) << "only the key file of the marked component";
    ASSERT_EQ(Uninstall(kVaultline), 0u);
    EXPECT_FALSE(Registry().GetValue(key, dll, count));
    EXPECT_TRUE(Registry().GetValue(key, "C:\\Other\\kept.dll", count));
}

}  // namespace
}  // namespace msitest

namespace msitest {
namespace {

class RollbackTest : public MsiTest {};

TEST_F(RollbackTest, AFailedInstallTakesItsChangesBack) {
    // A file stands where a folder of the package must go: the files of the
    // components before it are written, then the install fails.
    const std::string blocker = "C:\\Program Files\\Corvanta\\Vaultline\\var";
    WriteFile(blocker, "not a folder");
    Registry().SetString("HKLM\\Software\\Corvanta Software\\Vaultline", "Version", "6.0");
    const std::vector<std::string> files = DriveC();
    const auto hklm = Registry().Values("HKLM\\Software\\Corvanta Software\\Vaultline");

    ASSERT_EQ(plat::Sys().MsiEnableLogA(plat::kInstallLogModeVerbose, "C:\\rollback.log", 0), 0u);
    EXPECT_EQ(Install("vaultline"), plat::kErrorInstallFailure);
    const std::string log = ReadFile("C:\\rollback.log");
    ASSERT_EQ(plat::Sys().MsiEnableLogA(0, nullptr, 0), 0u);
    std::filesystem::remove(Host("C:\\rollback.log"));
    EXPECT_NE(log.find("; installed."), std::string::npos) << "files were written before the failure:\n"
                                                           << log;
    EXPECT_NE(log.find("\" written."), std::string::npos) << "and registry values:\n" << log;
    EXPECT_NE(log.find("the changes were rolled back"), std::string::npos) << log;
    EXPECT_EQ(DriveC(), files);
    EXPECT_EQ(ReadFile(blocker), "not a folder");
    EXPECT_EQ(RegText("HKLM\\Software\\Corvanta Software\\Vaultline", "Version"), "6.0")
        << "the earlier value is back";
    EXPECT_EQ(Registry().Values("HKLM\\Software\\Corvanta Software\\Vaultline").size(), hklm.size());
    EXPECT_FALSE(Registry().KeyExists("HKCU\\Software\\Corvanta Software"));
    EXPECT_FALSE(Registry().KeyExists("HKLM\\Software\\Tolvi"));
    EXPECT_FALSE(
        Registry().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer"
                             "\\UserData\\S-1-5-18\\Components"));
    char code[39];
    EXPECT_EQ(plat::Sys().MsiEnumProductsA(0, code), plat::kErrorNoMoreItems) << "not registered";

    // With the obstacle gone the same install succeeds.
    std::filesystem::remove(Host(blocker));
    EXPECT_EQ(Install("vaultline"), 0u);
    EXPECT_TRUE(FileExists(blocker + "\\vault.cfg"));
}

}  // namespace
}  // namespace msitest

namespace msitest {
namespace {

class LocationActionTest : public MsiTest {};

TEST_F(LocationActionTest, OnlyAnActionBeforeRegistrationSetsTheInstallLocation) {
    // The same package with its location action moved after InstallFinalize,
    // and once more marked deferred: neither registers a location.
    struct Case {
        const char* update;
        const char* location;
    };
    const Case cases[] = {
        {"", "C:\\Program Files\\Corvanta\\"},
        {"UPDATE `InstallExecuteSequence` SET `Sequence` = 6601 WHERE `Action` = 'SetArpInstallLocation'",
         ""},
        {"UPDATE `CustomAction` SET `Type` = 1075 WHERE `Action` = 'SetArpInstallLocation'", ""},
    };
    const std::string folder = Prefix() + "/drive_c/build";
    std::filesystem::create_directories(folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.update);
        const std::string copy = folder + "/lumo.msi";
        std::filesystem::copy_file(testing_paths::PackagePath("lumo"), copy,
                                   std::filesystem::copy_options::overwrite_existing);
        if (*c.update) {
            std::string command = "msibuild '" + copy + "' -q \"" + c.update + "\"";
            std::string escaped;
            for (char ch : command) escaped += ch == '`' ? std::string("\\`") : std::string(1, ch);
            ASSERT_EQ(std::system(escaped.c_str()), 0);
        }
        ASSERT_EQ(Installer().InstallPackage("C:\\build\\lumo.msi", {}), 0u);
        std::string location = "unset";
        EXPECT_EQ(ProductInfo("{C0B1A004-0001-4000-8000-000000000000}", "InstallLocation", location), 0u);
        EXPECT_EQ(location, c.location);
        ASSERT_EQ(Uninstall("{C0B1A004-0001-4000-8000-000000000000}"), 0u);
    }
}

}  // namespace
}  // namespace msitest
