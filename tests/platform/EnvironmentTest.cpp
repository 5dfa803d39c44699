// The environment of the machine's programs: the registry's block, the
// Windows size protocol, the launcher's assignments and inheritance.
#include <string>

#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimRegistry.h"
#include "tests/platform/MachineFixture.h"

namespace {

class EnvironmentTest : public MachineTest {
protected:
    std::string Var(const char* name) {
        char buffer[512];
        const std::uint32_t n = P().GetEnvironmentVariableA(name, buffer, sizeof buffer);
        return n == 0 ? "<unset>" : std::string(buffer, n);
    }
    // A machine program that writes its environment, as the machine shows it
    // to a program, into the host file out.
    std::string EnvDumper(const std::string& out) {
        const std::string program = "C:\\tools\\dumpenv.exe";
        M().WriteProgram(program, "#!/bin/sh\nexec \"$WINSIM_LAUNCHER\" env > '" + out + "'\n");
        return program;
    }
    std::string ReadHost(const std::string& hostPath) {
        std::string text;
        Shell("cat '" + hostPath + "'", &text);
        return text;
    }
};

TEST_F(EnvironmentTest, TheMachineIsSeededWithTheWindowsVariables) {
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {
        {"WINDIR", "C:\\windows"},
        {"windir", "C:\\windows"},
        {"SystemRoot", "C:\\windows"},
        {"TEMP", "C:\\users\\corvanta\\Temp"},
        {"TMP", "C:\\users\\corvanta\\Temp"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"ProgramFiles", "C:\\Program Files"},
        {"PATH", "C:\\windows\\system32;C:\\windows"},  // stored as %SystemRoot%..., expanded
    };
    for (const auto& c : cases) EXPECT_EQ(Var(c.name), c.value) << c.name;
    // Where Windows keeps them.
    std::string stored;
    ASSERT_TRUE(M().Registry().GetString(plat::kEnvironmentKey, "TEMP", stored));
    EXPECT_EQ(stored, "C:\\users\\corvanta\\Temp");
    EXPECT_TRUE(M().IsDirectory("C:\\users\\corvanta\\Temp"));
}

TEST_F(EnvironmentTest, TheUsersVariablesOverrideTheSystemsAndExtendPath) {
    ASSERT_TRUE(M().Registry().SetString(plat::kUserEnvironmentKey, "TEMP", "%USERPROFILE%\\Local\\Temp",
                                         plat::kRegExpandSz));
    ASSERT_TRUE(M().Registry().SetString(plat::kUserEnvironmentKey, "Path", "C:\\tools"));
    ASSERT_TRUE(M().Registry().SetString(plat::kUserEnvironmentKey, "OWN", "mine"));
    EXPECT_EQ(Var("TEMP"), "C:\\users\\corvanta\\Local\\Temp");
    EXPECT_EQ(Var("TMP"), "C:\\users\\corvanta\\Temp");
    EXPECT_EQ(Var("PATH"), "C:\\windows\\system32;C:\\windows;C:\\tools");
    EXPECT_EQ(Var("own"), "mine");
}

TEST_F(EnvironmentTest, GetEnvironmentVariableFollowsTheSizeProtocol) {
    ASSERT_TRUE(M().SetEnvironment("FIVE", "12345"));
    ASSERT_TRUE(M().SetEnvironment("EMPTY", ""));
    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(P().GetEnvironmentVariableA("five", buffer, 6), 5u);
    EXPECT_STREQ(buffer, "12345");
    EXPECT_EQ(P().GetEnvironmentVariableA("FIVE", buffer, 5), 6u);  // too small: the size needed
    EXPECT_EQ(P().GetEnvironmentVariableA("FIVE", nullptr, 0), 6u);
    P().SetLastError(99);
    EXPECT_EQ(P().GetEnvironmentVariableA("EMPTY", buffer, sizeof buffer), 0u);
    EXPECT_EQ(P().GetLastError(), 0u);
    EXPECT_EQ(P().GetEnvironmentVariableA("NOT_SET", buffer, sizeof buffer), 0u);
    EXPECT_EQ(P().GetLastError(), plat::kErrorEnvvarNotFound);
    ASSERT_TRUE(M().UnsetEnvironment("FIVE"));
    EXPECT_EQ(Var("FIVE"), "<unset>");
}

TEST_F(EnvironmentTest, BlocksSurviveTheTripToAChild) {
    plat::SimEnvironment block;
    block.Set("Plain", "value");
    block.Set("Tricky", "back\\slash\nnew line=equals");
    block.Set("Empty", "");
    block.Set("=C:", "C:\\odd");
    plat::SimEnvironment back;
    ASSERT_TRUE(plat::SimEnvironment::Parse(block.Serialize(), back));
    EXPECT_EQ(back.Entries(), block.Entries());
    std::string value;
    EXPECT_TRUE(back.Get("TRICKY", value));
    EXPECT_EQ(value, "back\\slash\nnew line=equals");
    EXPECT_EQ(block.Expand("%plain%-%missing%-100%"), "value-%missing%-100%");
}

TEST_F(EnvironmentTest, LauncherAssignmentsOverlayTheMachineBlock) {
    std::string out;
    ASSERT_EQ(Shell(Winsim() + " NEW=fresh 'TEMP=C:\\elsewhere' EMPTY= --unset TMP env", &out), 0);
    EXPECT_NE(out.find("\nNEW=fresh\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nTEMP=C:\\elsewhere\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nEMPTY=\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\nTMP="), std::string::npos) << out;
    EXPECT_NE(out.find("\nWINDIR=C:\\windows\n"), std::string::npos) << out;
    // The machine itself is unchanged.
    EXPECT_EQ(Var("TEMP"), "C:\\users\\corvanta\\Temp");
    EXPECT_EQ(Var("NEW"), "<unset>");
}

TEST_F(EnvironmentTest, ChildrenInheritTheirParentsBlock) {
    const std::string out = PrefixDir() + "/child-env.txt";
    const std::string dumper = EnvDumper(out);
    // Through the launcher: winsim A=1 runs dumpenv, which prints its block.
    ASSERT_EQ(Shell(Winsim() + " FROM_LAUNCHER=1 --unset TEMP '" + dumper + "'"), 0);
    std::string seen = ReadHost(out);
    EXPECT_NE(seen.find("FROM_LAUNCHER=1\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("\nTEMP="), std::string::npos) << seen;

    // Through CreateProcessA of this process, after a change of its own block.
    P().Kernel().SetVariable("FROM_PARENT", "yes");
    plat::ProcessInformation info;
    ASSERT_TRUE(P().CreateProcessA(dumper.c_str(), plat::StartupInfo(), info)) << P().GetLastError();
    EXPECT_EQ(P().WaitForSingleObject(info.process, plat::kInfinite), plat::kWaitObject0);
    P().CloseHandle(info.thread);
    P().CloseHandle(info.process);
    seen = ReadHost(out);
    EXPECT_NE(seen.find("FROM_PARENT=yes\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("TEMP=C:\\users\\corvanta\\Temp\n"), std::string::npos) << seen;
    // Not the machine's: a later registry change is not seen by this process.
    ASSERT_TRUE(M().SetEnvironment("LATER", "x"));
    EXPECT_EQ(Var("LATER"), "<unset>");
    P().Kernel().UseMachineEnvironment();
    EXPECT_EQ(Var("LATER"), "x");
}

}  // namespace
