// The registry programs run as real processes through the launcher
// (build/winsim reg ..., regedit, regsvr32), several at once on one machine.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/registry/RegistryFixture.h"
#include "tests/support/Paths.h"

namespace {

struct Result {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

}  // namespace

class WinsimRegTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_EQ(Winsim("init").exitCode, 0);
    }
    // Runs "winsim ARGS" (a shell word list) on this test's machine.
    Result Winsim(const std::string& args) {
        return Shell("WINSIM_PREFIX='" + prefix() + "' '" + testing_paths::WinsimPath() + "' " + args);
    }
    Result Shell(const std::string& command) {
        Result result;
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        if (!pipe) return result;
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
        const int status = pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
};

TEST_F(WinsimRegTest, RegCommandsWorkOnTheMachineAndGiveRegExitCodes) {
    EXPECT_EQ(Winsim("reg add 'HKLM\\Software\\Corvanta Software\\Tracklight' /v Version /d 7.1 /f").exitCode,
              0);
    Result r = Winsim("reg query 'HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight' /v version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("    Version    REG_SZ    7.1\n"), std::string::npos) << r.output;

    r = Winsim("reg export 'HKLM\\Software\\Corvanta Software' 'C:\\corvanta.reg' /y");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Winsim("reg delete 'HKLM\\Software\\Corvanta Software' /f").exitCode, 0);
    r = Winsim("reg query 'HKLM\\Software\\Corvanta Software'");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "ERROR: The system was unable to find the specified registry key or value.\n");

    EXPECT_EQ(Winsim("reg import 'C:\\corvanta.reg'").exitCode, 0);
    std::string text;
    ASSERT_TRUE(store().GetString("HKLM\\Software\\Corvanta Software\\Tracklight", "Version", text));
    EXPECT_EQ(text, "7.1");
    EXPECT_EQ(Winsim("reg bogus").exitCode, 1);
}

TEST_F(WinsimRegTest, RegeditAndRegsvr32RunAsPrograms) {
    ASSERT_TRUE(store().SetString("HKCU\\Software\\Tolvi", "User", "me"));
    Result r = Winsim("regedit /e:a 'C:\\vl_tolvi_hkcu.reg' 'HKEY_CURRENT_USER\\SOFTWARE\\Tolvi'");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = Shell("cat '" + prefix() + "/drive_c/vl_tolvi_hkcu.reg'");
    EXPECT_EQ(r.output,
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tolvi]\r\n"
              "\"User\"=\"me\"\r\n\r\n");
    EXPECT_EQ(Winsim("regsvr32 /u /s 'C:\\Program Files\\Missing\\bzqlink.dll'").exitCode, 3);
}

TEST_F(WinsimRegTest, ProcessesAddingAtTheSameTimeLoseNoValue) {
    // Two shells, each starting 40 reg processes one after the other.
    std::string script;
    for (int p = 0; p < 2; ++p) {
        script += "( for i in $(seq 1 40); do WINSIM_PREFIX='" + prefix() + "' '" +
                  testing_paths::WinsimPath() + "' reg add 'HKLM\\Software\\Shared' /v p" +
                  std::to_string(p) + "_$i /t REG_DWORD /d $i /f >/dev/null || echo failed; done ) & ";
    }
    script += "wait";
    const Result r = Shell(script);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(store().Values("HKLM\\Software\\Shared").size(), 80u);
}
