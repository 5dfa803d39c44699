// The tool log on a simulated machine: opening mode, channels, error reports
// and the system error texts; and the command runner.
#include <gtest/gtest.h>

#include "app/RunCommand.h"
#include "app/ToolLog.h"
#include "tests/app/AppFixture.h"

namespace {

using apptest::ConsoleCapture;
using apptest::Crlf;

class ToolLogTest : public apptest::InProcessMachine {
protected:
    void SetUp() override {
        InProcessMachine::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
    }
    std::string Read(const std::string& path) {
        std::string text;
        EXPECT_TRUE(machine.ReadFile(path, text)) << path;
        return text;
    }
};

TEST_F(ToolLogTest, ChannelsWriteTextsUnchanged) {
    ToolLog log;
    std::string console;
    {
        ConsoleCapture capture;
        ASSERT_TRUE(log.Open("C:\\logs\\100%s.log"));
        log.Write("both %s %i %% \n");
        log.WriteToLog("log only\n");
        log.WriteToConsole(".");
        log.Write("no break");
        log.Close();
        log.Close();  // a second close does nothing
        log.Write("after close\n");
        console = capture.Text();
    }
    EXPECT_EQ(console, "both %s %i %% \n.no breakafter close\n");
    EXPECT_EQ(Read("C:\\logs\\100%s.log"), "both %s %i %% \r\nlog only\r\nno break");
}

TEST_F(ToolLogTest, FirstRunOverwritesFromTheStartAndContinuationAppends) {
    ASSERT_TRUE(machine.WriteFile("C:\\logs\\u.txt", "0123456789abcdefghij"));
    ToolLog first;
    ASSERT_TRUE(first.Open("C:\\logs\\u.txt"));
    {
        ConsoleCapture capture;
        first.Write("new\n");
    }
    first.Close();
    EXPECT_EQ(Read("C:\\logs\\u.txt"), "new\r\n56789abcdefghij");

    ToolLog second;
    ASSERT_TRUE(second.Open("C:\\logs\\u.txt"));
    second.SeekToEnd();
    second.WriteToLog("more\n");
    second.Close();
    EXPECT_EQ(Read("C:\\logs\\u.txt"), "new\r\n56789abcdefghijmore\r\n");
}

TEST_F(ToolLogTest, OpenLogIsExclusiveAndAFailedOpenShowsMessage37) {
    ToolLog holder;
    ASSERT_TRUE(holder.Open("C:\\logs\\u.txt"));
    ToolLog other;
    std::string console;
    {
        ConsoleCapture capture;
        EXPECT_FALSE(other.Open("C:\\logs\\u.txt"));
        other.Write("console only now\n");
        console = capture.Text();
    }
    EXPECT_FALSE(other.IsOpen());
    const std::string head = "File open failed. Error message is ";
    const std::string tail = "\n\nPress Enter to continue";
    ASSERT_GT(console.size(), head.size() + tail.size());
    EXPECT_EQ(console.substr(0, head.size()), head);
    const std::string rest = console.substr(head.size());
    const std::size_t end = rest.find(tail);
    ASSERT_NE(end, std::string::npos) << console;
    const std::string description = rest.substr(0, end);
    EXPECT_FALSE(description.empty());
    EXPECT_LE(description.size(), 1023u);
    EXPECT_NE(description.find("C:\\logs\\u.txt"), std::string::npos) << description;
    EXPECT_EQ(rest.substr(end), tail + "console only now\n");
    holder.Close();
    EXPECT_EQ(Read("C:\\logs\\u.txt"), "");
}

TEST_F(ToolLogTest, ErrorReportLayout) {
    ToolLog log;
    ASSERT_TRUE(log.Open("C:\\logs\\e.txt"));
    std::string console;
    {
        ConsoleCapture capture;
        log.LogError("Access is denied.\r\n", "CRemoveUnsharedFiles: ", "C:\\x\\y.dll");
        log.LogError("text", "F: ");
        console = capture.Text();
    }
    log.Close();
    const std::string expected =
        "Error in function CRemoveUnsharedFiles: \nError message: Access is denied.\r\n\nC:\\x\\y.dll\n"
        "Error in function F: \nError message: text\n\n";
    EXPECT_EQ(console, expected);
    EXPECT_EQ(Read("C:\\logs\\e.txt"), Crlf(expected));
}

TEST_F(ToolLogTest, SystemErrorTexts) {
    const std::string known = ToolLog::GetSystemErrorText(5);
    EXPECT_FALSE(known.empty());
    EXPECT_LE(known.size(), 1023u);
    // A code without a system text gets our own, never an empty text.
    const std::string unknown = ToolLog::GetSystemErrorText(0x7FFF1234u);
    EXPECT_EQ(unknown, "Unknown error (code 2147422772).\r\n");
}

TEST_F(ToolLogTest, RunCommandResults) {
    ToolLog log;
    ASSERT_TRUE(log.Open("C:\\logs\\r.txt"));
    std::string console;
    std::uint32_t missing = 1;
    {
        ConsoleCapture capture;
        missing = RunCommand("C:\\no\\such\\program.exe /x", log);
        console = capture.Text();
    }
    log.Close();
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(console, "");
    EXPECT_EQ(Read("C:\\logs\\r.txt"), "");
}

}  // namespace
