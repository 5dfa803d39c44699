// A whole run of the tool inside this process, on the simulated machine's
// backend, so that the installer handles and registry keys still open at the
// end can be counted: every path of the run must close what it opened.
#include <gtest/gtest.h>

#include "app/RunSequence.h"
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimRegistry.h"
#include "tests/app/AppFixture.h"

namespace {

using apptest::ConsoleCapture;

class OpenHandlesTest : public apptest::InProcessMachine {
protected:
    void SetUp() override {
        InProcessMachine::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
    }
    void ExpectNothingOpen() {
        EXPECT_EQ(machine.Sim().Platform().Installer().OpenHandleCount(), 0u);
        EXPECT_EQ(machine.Sim().Platform().Registry().OpenKeyCount(), 0u);
    }
    std::string Run(const std::vector<std::string>& args) {
        ConsoleCapture console;
        EXPECT_EQ(RunTool(args), 0);
        return console.Text();
    }
};

TEST_F(OpenHandlesTest, FirstRunWithRebootAndItsContinuation) {
    for (const char* p : {"administrator", "tracklight", "vaultline", "lumo"})
        ASSERT_TRUE(machine.Install(p)) << p;
    const std::string first = Run({"C:\\logs\\u.txt", "-c", "-nr", "-d"});
    EXPECT_NE(first.find("Output data file: C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\n"),
              std::string::npos);
    ExpectNothingOpen();
    std::string runOnce;
    EXPECT_TRUE(machine.Sim().Registry().GetString(plat::kRunOnceKey, "CorvantaUninstallTool", runOnce));

    const std::string second =
        Run({"C:\\logs\\u.txt", "-c", "-r", "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt"});
    EXPECT_EQ(second.rfind("Continuing processing following reboot.\n\n", 0), 0u) << second;
    ExpectNothingOpen();
}

TEST_F(OpenHandlesTest, RunWithoutRebootCleansUpAtOnce) {
    for (const char* p : {"lumo", "qualvane", "northwind"}) ASSERT_TRUE(machine.Install(p)) << p;
    const std::string out = Run({"C:\\logs\\u.txt"});
    EXPECT_NE(out.find("No reboot needed for this uninstall."), std::string::npos);
    ExpectNothingOpen();
}

TEST_F(OpenHandlesTest, FailuresOnTheWay) {
    for (const char* p : {"vaultline", "lumo"}) ASSERT_TRUE(machine.Install(p)) << p;
    // A product that cannot be opened, a failed uninstall, a RunOnce key that
    // cannot be opened: none of them may leave a handle behind.
    ASSERT_TRUE(machine.AddFault("MsiInstallProductA", "*", 1603, 1));
    ASSERT_TRUE(machine.AddFault("RegOpenKeyExA", "*RunOnce", 5));
    const std::string out = Run({"C:\\logs\\u.txt", "-nr"});
    EXPECT_NE(out.find("Error Code: 1603\n\n"), std::string::npos) << out;
    ExpectNothingOpen();
    std::string runOnce;
    EXPECT_FALSE(machine.Sim().Registry().GetString(plat::kRunOnceKey, "CorvantaUninstallTool", runOnce));
}

}  // namespace
