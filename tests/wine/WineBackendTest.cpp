// The win32 backend on its own under Wine (platform/win32/selftest), and the
// normalisation the scenario comparison relies on.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/Scenario.h"
#include "tests/support/WineMachine.h"

namespace winetest {
namespace {

TEST(WineBackend, SelfCheckProgramPassesEveryCase) {
    if (!WineAvailable()) GTEST_SKIP() << "wine is not installed";
    std::ifstream exe(SelfTestExePath());
    ASSERT_TRUE(exe.good()) << SelfTestExePath() << " is missing: run .ci/build-win32.sh first";
    WineMachine machine;
    ASSERT_TRUE(machine.Ready()) << machine.Problem();
    const toolrun::ProcessResult run = machine.Wine({SelfTestExePath(), "C:\\selftest"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.find("FAIL"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("ok reg.delete_key"), std::string::npos) << run.out;
}

// Discovery reads a product's cached package while the product is open;
// Wine refuses that open unless the backend reads a copy (WINE_DIFFERENCES.md).
TEST(WineBackend, ReadsAnOpenProductsCachedPackage) {
    if (!WineAvailable()) GTEST_SKIP() << "wine is not installed";
    std::ifstream exe(SelfTestExePath());
    ASSERT_TRUE(exe.good()) << SelfTestExePath() << " is missing: run .ci/build-win32.sh first";
    WineMachine machine;
    ASSERT_TRUE(machine.Ready()) << machine.Problem();
    std::string problem;
    const std::string msi = TestPackageFile("e2e_lumo", problem);
    ASSERT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(machine.Wine({"msiexec", "/i", "Z:" + msi, "/qn"}).exitCode, 0);
    machine.WaitIdle();
    const toolrun::ProcessResult run =
        machine.Wine({SelfTestExePath(), "productdatabase", "{E2E00001-0000-4000-8000-000000000001}"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(NormaliseText(run.out).find("internal name: Lumo\n"), std::string::npos) << run.out;
}

TEST(ScenarioNormalise, ReplacesWhatLegitimatelyDiffers) {
    struct Case {
        const char* in;
        const char* out;
    } const cases[] = {
        {"a\r\nb\r\n", "a\nb\n"},
        {"lone\rcr", "lone\rcr"},
        {"DEBUG: Local MSI: C:\\windows\\Installer\\5a3b.msi\n",
         "DEBUG: Local MSI: C:\\<installer>\\<package>.msi\n"},
        {"DEBUG: Local MSI: C:\\Windows\\Installer\\{AB-12}.msi\n",
         "DEBUG: Local MSI: C:\\<installer>\\<package>.msi\n"},
        {"Temp location:C:\\CorvantaSDLC_Temp\\77f.msi",
         "Temp location:C:\\CorvantaSDLC_Temp\\<package>.msi"},
        {"Debug mode has been enabled.MSI Verbose logging has been enabled.",
         "Debug mode has been enabled.MSI Verbose logging has been enabled."},
        {"corvantasdlc_temp/1c4a22.msi", "corvantasdlc_temp/<package>.msi"},
        {"Error message: File not found.\r\ndetail\r\n", "Error message: <system text>\ndetail\n"},
        {"Error message: The system cannot find the file specified.\n", "Error message: <system text>\n"},
        {"Z:\\work\\build-win32\\CorvantaUninstallTool.exe \"C:\\l.txt\"  -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" ",
         "<tool> \"C:\\l.txt\"  -r \"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" "},
        {"x\nsFoundPath is C:\\T\\b.log\nsFoundPath is C:\\T\\a.log\ny\n",
         "x\nsFoundPath is C:\\T\\a.log\nsFoundPath is C:\\T\\b.log\ny\n"},
        {"Output data file: C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\n",
         "Output data file: C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(NormaliseText(c.in), c.out) << c.in;
}

TEST(ScenarioRegExport, ParsesBothEncodingsAndJoinsContinuations) {
    const std::string ascii =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi]\r\n\"Path\"=\"C:\\\\x\"\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  "
        "03\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi\\Sub]\r\n@=dword:00000001\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : ascii) {
        utf16 += c;
        utf16 += '\0';
    }
    const std::vector<std::string> expected = {
        "[hkey_local_machine\\software\\tolvi]",
        "[hkey_local_machine\\software\\tolvi] \"Path\"=\"C:\\\\x\"",
        "[hkey_local_machine\\software\\tolvi] \"Bin\"=hex:01,02,03",
        "[hkey_local_machine\\software\\tolvi\\sub]",
        "[hkey_local_machine\\software\\tolvi\\sub] @=dword:00000001",
    };
    EXPECT_EQ(ParseRegExport(ascii), expected);
    EXPECT_EQ(ParseRegExport(utf16), expected);
    EXPECT_TRUE(ParseRegExport("").empty());
}

}  // namespace
}  // namespace winetest
