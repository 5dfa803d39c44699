// The launcher's reboot: a pending restart is performed, and the logon runs
// each RunOnce command once, deleting it first, waiting for each.
#include <string>

#include "platform/sim/SimKernel.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSystem.h"
#include "tests/platform/MachineFixture.h"

namespace {

class RebootTest : public MachineTest {
protected:
    // A program that appends its name, its arguments, TEMP and whether its
    // RunOnce value still exists to C:\runs.txt, then exits with code.
    void Recorder(const std::string& windowsPath, int code) {
        const std::string log = M().HostPath("C:\\runs.txt");
        M().WriteProgram(
            windowsPath,
            "#!/bin/sh\nname=$(basename \"$0\")\n"
            "if \"$WINSIM_LAUNCHER\" reg query 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce'"
            " | grep -q \"$1\"; then left=value-left; else left=value-gone; fi\n"
            "echo \"$name $* $left\" >> '" +
                log + "'\nexit " + std::to_string(code) + "\n");
    }
    bool SetRunOnce(const std::string& name, const std::string& command) {
        return M().Registry().SetString(plat::kRunOnceKey, name, command);
    }
    std::string Runs() {
        std::string text;
        M().ReadFile("C:\\runs.txt", text);
        return text;
    }
};

TEST_F(RebootTest, LogonRunsEachRunOnceValueOnceAfterDeletingIt) {
    Recorder("C:\\tools\\first.exe", 0);
    Recorder("C:\\tools\\second.exe", 5);
    ASSERT_TRUE(SetRunOnce("Alpha", "C:\\tools\\first.exe Alpha \"two words\""));
    ASSERT_TRUE(SetRunOnce("Beta", "\"C:\\tools\\second.exe\" Beta"));
    ASSERT_TRUE(SetRunOnce("Missing", "C:\\tools\\none.exe Missing"));
    ASSERT_TRUE(SetRunOnce("!Last", "C:\\tools\\first.exe !Last"));

    std::vector<std::string> report;
    EXPECT_EQ(M().Reboot(&report), 3);
    // In value name order; "!" values are deleted only after they ran.
    EXPECT_EQ(Runs(),
              "first.exe !Last value-left\n"
              "first.exe Alpha two words value-gone\n"
              "second.exe Beta value-gone\n");
    EXPECT_TRUE(M().Registry().Values(plat::kRunOnceKey).empty());
    ASSERT_EQ(report.size(), 4u);
    EXPECT_NE(report[2].find("exit code 5"), std::string::npos) << report[2];
    EXPECT_NE(report[3].find("cannot run Missing"), std::string::npos) << report[3];

    // Once only: a second logon runs nothing.
    EXPECT_EQ(M().Reboot(), 0);
    EXPECT_EQ(Runs().size(), std::string("first.exe !Last value-left\nfirst.exe Alpha two words value-gone\n"
                                         "second.exe Beta value-gone\n")
                                 .size());
}

TEST_F(RebootTest, FaultRulesForProgramsDoNotReachTheLogonItself) {
    Recorder("C:\\tools\\first.exe", 0);
    ASSERT_TRUE(SetRunOnce("Alpha", "C:\\tools\\first.exe Alpha"));
    for (const char* operation : {"CreateProcessA", "WaitForSingleObject", "GetExitCodeProcess"}) {
        ASSERT_TRUE(M().AddFault(operation, "*", plat::kErrorAccessDenied));
    }
    std::string out;
    ASSERT_EQ(Shell(Winsim() + " reboot 2>&1", &out), 0);
    EXPECT_NE(out.find("(exit code 0)"), std::string::npos) << out;
    EXPECT_EQ(Runs(), "first.exe Alpha value-gone\n");
    // Nor the launcher running a program.
    M().WriteProgram("C:\\tools\\four.exe", "#!/bin/sh\nexit 4\n");
    EXPECT_EQ(Shell(Winsim() + " 'C:\\tools\\four.exe'"), 4);
    // Programs of the machine still meet them.
    plat::ProcessInformation info;
    EXPECT_FALSE(P().CreateProcessA("C:\\tools\\four.exe", plat::StartupInfo(), info));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);
}

TEST_F(RebootTest, TheLauncherPerformsThePendingRestartThenLogsOn) {
    plat::SimRestart restart;
    restart.flags = plat::kEwxReboot | plat::kEwxForce;
    restart.reason = 0x80030003u;
    ASSERT_TRUE(plat::WritePendingRestart(PrefixDir(), restart));
    const std::string log = M().HostPath("C:\\env.txt");
    M().WriteProgram("C:\\tools\\env.exe", "#!/bin/sh\nexec \"$WINSIM_LAUNCHER\" env > '" + log + "'\n");
    ASSERT_TRUE(SetRunOnce("Continue", "C:\\tools\\env.exe"));
    ASSERT_TRUE(M().SetEnvironment("MACHINE_WIDE", "set"));

    std::string out;
    ASSERT_EQ(Shell(Winsim() + " reboot 2>&1", &out), 0);
    EXPECT_NE(out.find("restart (flags 0x6, reason 0x80030003)"), std::string::npos) << out;
    EXPECT_FALSE(M().PendingRestart(restart));
    std::string env;
    ASSERT_TRUE(M().ReadFile("C:\\env.txt", env));
    EXPECT_NE(env.find("MACHINE_WIDE=set\n"), std::string::npos) << env;
    EXPECT_NE(env.find("TEMP=C:\\users\\corvanta\\Temp\n"), std::string::npos) << env;
    EXPECT_TRUE(M().Registry().Values(plat::kRunOnceKey).empty());
}

}  // namespace
