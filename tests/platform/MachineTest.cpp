// Creating and completing a prefix.
#include <string>

#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimRegistry.h"
#include "tests/platform/MachineFixture.h"

namespace {

class PrefixTest : public MachineTest {};

TEST_F(PrefixTest, InitLaysOutTheDriveTheProgramsAndTheStandardKeys) {
    for (const char* folder : {"C:\\windows\\system32", "C:\\windows\\Installer",
                               "C:\\Program Files\\Common Files", "C:\\users\\corvanta\\Temp"}) {
        EXPECT_TRUE(M().IsDirectory(folder)) << folder;
    }
    for (const char* program :
         {"C:\\windows\\regedit.exe", "C:\\windows\\system32\\reg.exe", "C:\\windows\\system32\\regsvr32.exe",
          "C:\\windows\\system32\\msiexec.exe"}) {
        EXPECT_EQ(P().GetFileAttributesA(program), plat::kFileAttributeNormal) << program;
    }
    for (const char* key :
         {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
          "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
          "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", plat::kEnvironmentKey,
          "HKEY_USERS\\.DEFAULT", "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1000"}) {
        EXPECT_TRUE(M().Registry().KeyExists(key)) << key;
    }
}

TEST_F(PrefixTest, TheMachineUserIsTheRegistrysCurrentUser) {
    EXPECT_STREQ(plat::kSimUserSid, plat::kSimRegistryUserSid);
    ASSERT_TRUE(M().Registry().SetString("HKCU\\Software\\Probe", "v", "x"));
    EXPECT_TRUE(
        M().Registry().KeyExists(std::string("HKEY_USERS\\") + plat::kSimUserSid + "\\Software\\Probe"));
}

TEST_F(PrefixTest, InitCompletesAPrefixAndKeepsWhatIsThere) {
    ASSERT_TRUE(M().SetEnvironment("TEMP", "C:\\mine"));
    ASSERT_TRUE(M().UnsetEnvironment("WINDIR"));
    Put("C:\\windows\\system32\\kept.txt", "kept");
    ASSERT_TRUE(M().Remove("C:\\windows\\Installer"));
    ASSERT_TRUE(
        M().Registry().DeleteKeyTree("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"));

    std::string error;
    ASSERT_TRUE(M().Init(&error)) << error;
    EXPECT_TRUE(M().IsDirectory("C:\\windows\\Installer"));
    EXPECT_TRUE(M().Registry().KeyExists("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"));
    EXPECT_EQ(Get("C:\\windows\\system32\\kept.txt"), "kept");
    std::string value;
    ASSERT_TRUE(M().GetEnvironment("TEMP", value));
    EXPECT_EQ(value, "C:\\mine");
    ASSERT_TRUE(M().GetEnvironment("WINDIR", value));
    EXPECT_EQ(value, "C:\\windows");
}

}  // namespace
