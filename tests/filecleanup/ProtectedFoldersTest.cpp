// The folders no sweep may empty or remove, as the machine describes them:
// its environment, the profile list and the current user's shell folders.
#include <gtest/gtest.h>

#include "filecleanup/ProtectedFolders.h"
#include "platform/sim/SimRegistry.h"
#include "tests/filecleanup/FileCleanupFixture.h"

namespace fctest {
namespace {

const char kProfileList[] =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kUserShellFolders[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct NormalCase {
    const char* path;
    const char* normal;
};
void PrintTo(const NormalCase& c, std::ostream* os) {
    *os << c.path;
}

class NormalizeTest : public ::testing::TestWithParam<NormalCase> {};

TEST_P(NormalizeTest, NamesOfTheSameFolderBecomeOneText) {
    EXPECT_EQ(CProtectedFolders::Normalize(GetParam().path), GetParam().normal);
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeTest,
                         ::testing::Values(NormalCase{"C:\\Windows\\", "c:\\windows"}, NormalCase{"C:", "c:"},
                                           NormalCase{"c:\\", "c:"},
                                           NormalCase{"C:/Program Files/./Corvanta/../", "c:\\program files"},
                                           NormalCase{"C:\\..\\..\\Users", "c:\\users"},
                                           NormalCase{"\\\\?\\C:\\Users\\", "c:\\users"},
                                           NormalCase{"C:\\Users\\Bob. \\\\Documents",
                                                      "c:\\users\\bob\\documents"},
                                           NormalCase{"C:\\WINDOWS.", "c:\\windows"},
                                           NormalCase{"\\\\Server\\Share\\Dir\\", "\\\\server\\share\\dir"},
                                           NormalCase{"\\\\?\\UNC\\Server\\Share", "\\\\server\\share"},
                                           NormalCase{"\\Corvanta\\", "\\corvanta"}, NormalCase{"\\", "\\"},
                                           NormalCase{"relative\\dir", ""}, NormalCase{"C:relative", ""},
                                           NormalCase{"", ""}, NormalCase{"\\\\server", ""}));

struct ProtectedCase {
    const char* folder;
    bool isProtected;
};
void PrintTo(const ProtectedCase& c, std::ostream* os) {
    *os << c.folder;
}

class ProtectedFoldersTest : public FileCleanupTest, public ::testing::WithParamInterface<ProtectedCase> {
protected:
    // The profile list as Windows keeps it, a second user with a profile on
    // drive D, and the current user's Documents moved to D:\Data\Docs.
    void SeedMachine() {
        plat::SimRegistry& reg = Machine().Registry();
        ASSERT_TRUE(
            reg.SetString(kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users", plat::kRegExpandSz));
        ASSERT_TRUE(
            reg.SetString(kProfileList, "ProgramData", "%SystemDrive%\\ProgramData", plat::kRegExpandSz));
        ASSERT_TRUE(
            reg.SetString(kProfileList, "Public", "%SystemDrive%\\Users\\Public", plat::kRegExpandSz));
        ASSERT_TRUE(reg.SetString(std::string(kProfileList) + "\\S-1-5-21-1-2-3-1001", "ProfileImagePath",
                                  "D:\\Profiles\\bob", plat::kRegExpandSz));
        ASSERT_TRUE(reg.SetString(kUserShellFolders, "Personal", "D:\\Data\\Docs", plat::kRegExpandSz));
    }
};

TEST_P(ProtectedFoldersTest, AFolderIsProtectedWhenItIsOrHoldsOneOfTheMachinesFolders) {
    SeedMachine();
    CProtectedFolders folders;
    folders.Load();
    EXPECT_EQ(folders.IsProtected(GetParam().folder), GetParam().isProtected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtectedFoldersTest,
    ::testing::Values(
        ProtectedCase{"C:\\", true}, ProtectedCase{"D:\\", true}, ProtectedCase{"\\\\server\\share", true},
        ProtectedCase{"C:\\windows", true}, ProtectedCase{"C:\\windows\\Corvanta", false},
        ProtectedCase{"C:\\Program Files\\", true}, ProtectedCase{"C:\\Program Files\\Common Files", true},
        ProtectedCase{"C:\\Program Files\\Corvanta FC\\Alpha\\", false},
        ProtectedCase{"C:\\Program Files\\Common Files\\Corvanta", false}, ProtectedCase{"C:\\users", true},
        ProtectedCase{"C:\\users\\corvanta", true}, ProtectedCase{"C:\\users\\corvanta\\AppData", true},
        ProtectedCase{"C:\\users\\corvanta\\AppData\\Roaming", true},
        ProtectedCase{"C:\\users\\corvanta\\AppData\\Roaming\\Corvanta", false},
        ProtectedCase{"C:\\users\\corvanta\\Downloads", true},
        ProtectedCase{"C:\\users\\corvanta\\Temp", false}, ProtectedCase{"C:\\Users\\Public", true},
        ProtectedCase{"C:\\Users\\Public\\Corvanta", false}, ProtectedCase{"C:\\ProgramData", true},
        ProtectedCase{"C:\\ProgramData\\Corvanta", false}, ProtectedCase{"D:\\Profiles", true},
        ProtectedCase{"D:\\Profiles\\bob\\Music", true},
        ProtectedCase{"D:\\Profiles\\bob\\Music\\Corvanta", false}, ProtectedCase{"D:\\Data", true},
        ProtectedCase{"D:\\Data\\Docs", true}, ProtectedCase{"D:\\Data\\Other", false},
        ProtectedCase{"C:\\users\\corvanta\\..\\..\\Program Files\\Corvanta FC", false},
        ProtectedCase{"\\\\?\\C:\\USERS\\", true}, ProtectedCase{"relative\\folder", true}));

TEST_F(FileCleanupTest, WithoutAProfileListTheEnvironmentStillProtectsTheUser) {
    ASSERT_TRUE(Machine().Registry().DeleteKeyTree(kProfileList));
    CProtectedFolders folders;
    folders.Load();
    for (const char* folder :
         {"C:\\users\\corvanta", "C:\\users\\corvanta\\Documents", "C:\\users", "C:\\ProgramData"}) {
        EXPECT_TRUE(folders.IsProtected(folder)) << folder;
    }
    EXPECT_FALSE(folders.IsProtected("C:\\users\\corvanta\\AppData\\Local\\Corvanta"));
}

}  // namespace
}  // namespace fctest
