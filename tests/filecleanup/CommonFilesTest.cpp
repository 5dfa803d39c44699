// The Visual Studio integration below the common files folder: removed only
// when Visual Studio 7.1, 8.0 and 9.0 are all registered.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sim/SimRegistry.h"
#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

const char* const kVsKeys[3] = {
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\VisualStudio\\7.1",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\VisualStudio\\8.0",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\VisualStudio\\9.0",
};

class CommonFilesTest : public FileCleanupTest {
protected:
    void RegisterVs(bool v71, bool v80, bool v90) {
        const bool wanted[3] = {v71, v80, v90};
        for (int i = 0; i < 3; ++i) {
            if (wanted[i]) {
                ASSERT_TRUE(Machine().Registry().CreateKey(kVsKeys[i]));
            }
        }
    }
    // The integration below a common files folder (no trailing backslash).
    void SeedIntegration(const std::string& base) {
        for (const char* dll : {"a.dll", "b.dll", "c.dll"}) {
            Seed(base + "\\Corvanta\\Vaultline\\VLVSI\\bin\\" + dll);
        }
        Seed(base + "\\Corvanta\\Vaultline\\VLVSI\\bin\\notes.txt");
        Seed(base + "\\Corvanta\\Vaultline\\VLVSI\\templates\\t.vstemplate");
        Seed(base + "\\Corvanta\\Other\\keep.txt");
    }
    static std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
};

struct VsCase {
    const char* name;
    bool v71, v80, v90;
};
void PrintTo(const VsCase& c, std::ostream* os) {
    *os << c.name;
}

class VisualStudioTest : public CommonFilesTest, public ::testing::WithParamInterface<VsCase> {};

TEST_P(VisualStudioTest, IntegrationGoesOnlyWithAllThreeVersions) {
    const VsCase& c = GetParam();
    const std::string cf = CommonFiles();
    ASSERT_FALSE(cf.empty());
    SeedIntegration(cf);
    RegisterVs(c.v71, c.v80, c.v90);
    const DriveListing before = Drive();
    auto cleanup = NewCleanup();
    cleanup->CCleanupCommonFiles();
    EXPECT_EQ(cleanup->IsVsPresent(0), c.v71);
    EXPECT_EQ(cleanup->IsVsPresent(1), c.v80);
    EXPECT_EQ(cleanup->IsVsPresent(2), c.v90);
    const bool all = c.v71 && c.v80 && c.v90;
    const std::string vl = Lower(cf.substr(3)) + "\\corvanta\\vaultline\\";
    if (all) {
        std::vector<std::string> removed = Removed(before, Drive());
        EXPECT_EQ(removed,
                  Sorted({vl, vl + "vlvsi\\", vl + "vlvsi\\bin\\", vl + "vlvsi\\bin\\a.dll",
                          vl + "vlvsi\\bin\\b.dll", vl + "vlvsi\\bin\\c.dll", vl + "vlvsi\\bin\\notes.txt",
                          vl + "vlvsi\\templates\\", vl + "vlvsi\\templates\\t.vstemplate"}));
        const std::string bin = cf + "\\Corvanta\\Vaultline\\VLVSI\\bin\\";
        EXPECT_EQ(Sorted(Machine().Commands()),
                  Sorted({"regsvr32 /u /s " + bin + "a.dll", "regsvr32 /u /s " + bin + "b.dll",
                          "regsvr32 /u /s " + bin + "c.dll"}));
    } else {
        EXPECT_EQ(Removed(before, Drive()), std::vector<std::string>{});
        EXPECT_TRUE(Machine().Commands().empty());
    }
    EXPECT_TRUE(Exists(cf + "\\Corvanta\\Other\\keep.txt"));
    EXPECT_EQ(LogText(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, VisualStudioTest,
                         ::testing::Values(VsCase{"All", true, true, true}, VsCase{"No71", false, true, true},
                                           VsCase{"No80", true, false, true},
                                           VsCase{"No90", true, true, false},
                                           VsCase{"None", false, false, false}),
                         [](const ::testing::TestParamInfo<VsCase>& info) {
                             return std::string(info.param.name);
                         });

struct CommonDirCase {
    const char* name;
    std::optional<std::string> value;  // CommonProgramFiles
    std::string expected;              // CommonFilesDir
};
void PrintTo(const CommonDirCase& c, std::ostream* os) {
    *os << c.name;
}

class CommonDirTest : public CommonFilesTest, public ::testing::WithParamInterface<CommonDirCase> {};

TEST_P(CommonDirTest, TrailingBackslashesGoAndAMissingVariableMeansTheDriveRoot) {
    const CommonDirCase& c = GetParam();
    Machine().SetEnv("CommonProgramFiles", c.value);
    SeedIntegration(c.expected.empty() ? "C:" : c.expected);
    RegisterVs(true, true, true);
    auto cleanup = NewCleanup(false, true);
    EXPECT_EQ(cleanup->GetCommonFilesDir(), c.expected);
    cleanup->CCleanupCommonFiles();
    const std::string vl = (c.expected.empty() ? "C:" : c.expected) + "\\Corvanta\\Vaultline";
    EXPECT_FALSE(Exists(vl));
    EXPECT_TRUE(Exists((c.expected.empty() ? "C:" : c.expected) + "\\Corvanta\\Other\\keep.txt"));
    const std::string text = LogText();
    const std::string start =
        (c.value ? "DEBUG: Common Program Files directory is " + c.expected + "\n\n" : "") +
        "DEBUG: WINDIR is " + cleanup->GetWinDir() + "\n\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(
        text.find("DEBUG: Removing VL Common Files directory: " + c.expected + "\\Corvanta\\Vaultline\n\n"),
        std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommonDirTest,
    ::testing::Values(CommonDirCase{"Plain", std::string("C:\\Program Files\\Common Files"),
                                    "C:\\Program Files\\Common Files"},
                      CommonDirCase{"OneBackslash", std::string("C:\\Program Files\\Common Files\\"),
                                    "C:\\Program Files\\Common Files"},
                      CommonDirCase{"ManyBackslashes", std::string("D:\\Shared\\Common\\\\\\"),
                                    "D:\\Shared\\Common"},
                      CommonDirCase{"Unset", std::nullopt, ""}),
    [](const ::testing::TestParamInfo<CommonDirCase>& info) { return std::string(info.param.name); });

TEST_F(CommonFilesTest, DebugLinesFollowTheTreeAndEachFolderIsNamedTwice) {
    const std::string cf = CommonFiles();
    const std::string vl = cf + "\\Corvanta\\Vaultline";
    Seed(vl + "\\VLVSI\\bin\\one.dll");
    RegisterVs(true, true, true);
    auto cleanup = NewCleanup(false, true);
    cleanup->CCleanupCommonFiles();
    EXPECT_EQ(Lines(LogText()),
              Lines("DEBUG: Common Program Files directory is " + cf + "\n\nDEBUG: WINDIR is " +
                    cleanup->GetWinDir() + "\n\nDEBUG: Unregistering VL VS.NET integration DLL: " + vl +
                    "\\VLVSI\\bin\\one.dll\n\n" + "DEBUG: Removing VL Common Files directory: " + vl +
                    "\n\n" + "DEBUG: VLVSI - Deleting file " + vl + "\\VLVSI\\bin\\one.dll\n\n" +
                    "DEBUG: VLVSI - Removing directory " + vl + "\\VLVSI\\bin\n\n" +
                    "DEBUG: VLVSI - Removing directory " + vl + "\\VLVSI\\bin\n\n" +
                    "DEBUG: VLVSI - Removing directory " + vl + "\\VLVSI\n\n" +
                    "DEBUG: VLVSI - Removing directory " + vl + "\\VLVSI\n\n" +
                    "DEBUG: VLVSI - Removing directory " + vl + "\n\n"));
    EXPECT_FALSE(Exists(vl));
    EXPECT_TRUE(Exists(cf + "\\Corvanta"));  // left in place even when empty
}

TEST_F(CommonFilesTest, AReadOnlyFileKeepsTheTreeAndTheParentIsTriedToo) {
    const std::string cf = CommonFiles();
    const std::string vl = cf + "\\Corvanta\\Vaultline";
    Seed(vl + "\\VLVSI\\locked.txt");
    Seed(vl + "\\VLVSI\\free.txt");
    SetReadOnly(vl + "\\VLVSI\\locked.txt");
    RegisterVs(true, true, true);
    auto cleanup = NewCleanup(false, true);
    cleanup->CCleanupCommonFiles();
    EXPECT_TRUE(Exists(vl + "\\VLVSI\\locked.txt"));
    EXPECT_FALSE(Exists(vl + "\\VLVSI\\free.txt"));
    const std::string text = LogText();
    const std::string tail = "DEBUG: VLVSI - Removing directory " + vl + "\n\n" +
                             "DEBUG: Removing Corvanta Common Files directory: " + vl + "\n\n" +
                             "DEBUG: Removing Corvanta Common Files directory: " + cf + "\\Corvanta\n\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

}  // namespace
}  // namespace fctest
