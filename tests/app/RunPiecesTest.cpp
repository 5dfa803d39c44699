// Pieces of the run on a simulated machine: where the package folder goes,
// the command runner's results, the RunOnce registration and the restart
// request when their system calls fail.
#include <gtest/gtest.h>

#include "app/RunCommand.h"
#include "app/ToolLog.h"
#include "platform/sim/SimRegistry.h"
#include "products/CCorvantaProducts.h"
#include "tests/app/AppFixture.h"

namespace {

using apptest::ConsoleCapture;
using apptest::Crlf;

class RunPiecesTest : public apptest::InProcessMachine {
protected:
    void SetUp() override {
        InProcessMachine::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
        ASSERT_TRUE(log.Open("C:\\logs\\p.txt"));
    }
    void TearDown() override {
        log.Close();
        InProcessMachine::TearDown();
    }
    std::string LogText() {
        log.Close();
        std::string text;
        machine.ReadFile("C:\\logs\\p.txt", text);
        return text;
    }
    std::string RunOnce() {
        std::string value;
        machine.Sim().Registry().GetString(plat::kRunOnceKey, "CorvantaUninstallTool", value);
        return value;
    }
    ToolLog log;
};

TEST_F(RunPiecesTest, PackageFolderSitsAtTheRootOfTheTemporaryDrive) {
    const struct {
        const char* temp;  // nullptr: not set
        const char* tmp;
        bool pd;
        const char* preservePath;
        const char* expected;
    } cases[] = {
        {"C:\\Users\\me\\AppData\\Local\\Temp", "D:\\tmp", false, "", "C:\\CorvantaSDLC_Temp"},
        {"", "D:\\tmp", false, "", "D:\\CorvantaSDLC_Temp"},
        {nullptr, "D:\\tmp", false, "", "D:\\CorvantaSDLC_Temp"},
        {"temp", nullptr, false, "", "\\CorvantaSDLC_Temp"},
        {nullptr, nullptr, false, "", "\\CorvantaSDLC_Temp"},
        {"C:\\Temp", nullptr, true, "E:\\keep", "E:\\keep\\CorvantaSDLC_Temp"},
        // -pd in a continuation run: no preserve path was set.
        {"C:\\Temp", nullptr, true, "", "\\CorvantaSDLC_Temp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.temp) {
            ASSERT_TRUE(machine.Sim().SetEnvironment("TEMP", c.temp));
        } else {
            machine.Sim().UnsetEnvironment("TEMP");
        }
        if (c.tmp) {
            ASSERT_TRUE(machine.Sim().SetEnvironment("TMP", c.tmp));
        } else {
            machine.Sim().UnsetEnvironment("TMP");
        }
        CCorvantaProducts set(log, "C:\\logs\\p.txt", false, false, false, c.pd);
        set.preservePath = c.preservePath;
        set.CreateTempPackageDir();
        EXPECT_EQ(set.TempPackageDir(), c.expected);
    }
    EXPECT_TRUE(machine.Sim().IsDirectory("C:\\CorvantaSDLC_Temp"));
    EXPECT_EQ(LogText(), "");
}

TEST_F(RunPiecesTest, CommandRunnerGivesTheExitCode) {
    ASSERT_TRUE(machine.Sim().WriteProgram("C:\\tools\\three.exe", "#!/bin/sh\nexit 3\n"));
    std::string console;
    std::uint32_t missing = 1;
    std::uint32_t three = 0;
    {
        ConsoleCapture capture;
        missing = RunCommand("C:\\no\\such\\program.exe /x", log);
        three = RunCommand("C:\\tools\\three.exe /u /s", log);
        console = capture.Text();
    }
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(three, 3u);
    EXPECT_EQ(console, "");
    EXPECT_EQ(LogText(), "");
}

TEST_F(RunPiecesTest, UnreadableExitCodeGivesMessage23) {
    ASSERT_TRUE(machine.Sim().WriteProgram("C:\\tools\\three.exe", "#!/bin/sh\nexit 3\n"));
    ASSERT_TRUE(machine.AddFault("GetExitCodeProcess", "*three*", 6));
    std::string console;
    std::uint32_t result = 1;
    {
        ConsoleCapture capture;
        result = RunCommand("C:\\tools\\three.exe", log);
        console = capture.Text();
    }
    EXPECT_EQ(result, 0u);
    const std::string expected = "\n\nError attempting to launch command. Error code 6\n\n";
    EXPECT_EQ(console, expected);
    EXPECT_EQ(LogText(), Crlf(expected));
}

TEST_F(RunPiecesTest, RunOnceRegistration) {
    CCorvantaProducts set(log, "C:\\logs\\100%s.txt", true, false, true, false);
    set.dataFilePath = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
    char module[261] = {};
    const std::uint32_t length = plat::Sys().GetModuleFileNameA(module, 260);
    ASSERT_GT(length, 0u);
    std::string program(module, length);
    if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
    set.RegisterRunOnce();
    EXPECT_EQ(
        RunOnce(),
        program + " \"C:\\logs\\100%s.txt\" -c -r \"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" -d");

    // Without the program path the rest is registered all the same.
    ASSERT_TRUE(machine.AddFault("GetModuleFileNameA", "*", 122));
    std::string console;
    {
        ConsoleCapture capture;
        set.RegisterRunOnce();
        console = capture.Text();
    }
    EXPECT_EQ(console, "GetModuleFileName failed, error code is 122\n\n");
    EXPECT_EQ(RunOnce(),
              " \"C:\\logs\\100%s.txt\" -c -r \"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" -d");
    ASSERT_TRUE(machine.Sim().ClearFaults());

    // A RunOnce key that cannot be opened: nothing written, nothing said.
    ASSERT_TRUE(machine.Sim().Registry().DeleteValue(plat::kRunOnceKey, "CorvantaUninstallTool"));
    ASSERT_TRUE(machine.AddFault("RegOpenKeyExA", "*RunOnce", 5));
    {
        ConsoleCapture capture;
        set.RegisterRunOnce();
        console = capture.Text();
    }
    EXPECT_EQ(console, "");
    EXPECT_EQ(RunOnce(), "");
    EXPECT_EQ(LogText(), Crlf("GetModuleFileName failed, error code is 122\n\n"));
}

TEST_F(RunPiecesTest, RestartNeedsTheShutdownPrivilege) {
    CCorvantaProducts set(log, "C:\\logs\\p.txt", false, false, false, false);
    plat::SimRestart restart;
    ASSERT_TRUE(machine.AddFault("AdjustTokenPrivileges", "*", 1300));
    set.RestartMachine();
    EXPECT_FALSE(machine.Sim().PendingRestart(restart));
    ASSERT_TRUE(machine.Sim().ClearFaults());
    ASSERT_TRUE(machine.AddFault("OpenProcessToken", "*", 5));
    set.RestartMachine();
    EXPECT_FALSE(machine.Sim().PendingRestart(restart));
    ASSERT_TRUE(machine.Sim().ClearFaults());
    set.RestartMachine();
    ASSERT_TRUE(machine.Sim().PendingRestart(restart));
    EXPECT_EQ(LogText(), "");
}

TEST_F(RunPiecesTest, PackageFolderKeepsLogsAndListsButNotCopiesOrTheDataFile) {
    const std::string dir = "C:\\CorvantaSDLC_Temp";
    for (const char* name : {"\\a1.msi", "\\CorvantaUninstallTool.txt", "\\Lumo.log", "\\unshared_files.txt",
                             "\\sub\\b2.msi", "\\old\\c3.msi", "\\old\\keep.txt", "\\x.MSI"}) {
        ASSERT_TRUE(machine.WriteFile(dir + name, "x"));
    }
    CCorvantaProducts set(log, "C:\\logs\\p.txt", false, false, false, false);
    set.tempPackageDir = dir;
    std::string console;
    {
        ConsoleCapture capture;
        set.RemoveTempPackageDir();
        console = capture.Text();
    }
    EXPECT_EQ(console, "");
    // ".msi" is looked for with its case: x.MSI stays.
    EXPECT_EQ(machine.Sim().List(dir),
              (std::vector<std::string>{"Lumo.log", "old", "unshared_files.txt", "x.MSI"}));
    EXPECT_EQ(machine.Sim().List(dir + "\\old"), std::vector<std::string>{"keep.txt"});
    const std::string text = LogText();
    for (const char* name : {"\\a1.msi", "\\CorvantaUninstallTool.txt", "\\Lumo.log", "\\unshared_files.txt",
                             "\\sub\\b2.msi", "\\old\\c3.msi", "\\old\\keep.txt", "\\x.MSI"}) {
        EXPECT_NE(text.find("sFoundPath is " + dir + name + "\r\n"), std::string::npos) << name;
    }
    EXPECT_EQ(text.find("sFoundPath is " + dir + "\\sub\r\n"), std::string::npos);
}

}  // namespace
