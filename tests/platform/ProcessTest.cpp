// Processes: command line splitting, the program search, real children and
// their exit codes, the built-in programs.
#include <signal.h>

#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimProcess.h"
#include "platform/sim/SimRegistry.h"
#include "tests/platform/MachineFixture.h"

namespace {

class ProcessTest : public MachineTest {
protected:
    // Runs a command line to its end: its exit code, or ~0u when it did not start.
    std::uint32_t Run(const std::string& commandLine, std::uint32_t* error = nullptr) {
        plat::ProcessInformation info;
        if (!P().CreateProcessA(commandLine.c_str(), plat::StartupInfo(), info)) {
            if (error != nullptr) *error = P().GetLastError();
            return ~0u;
        }
        plat::UniqueKernelHandle process(info.process);
        plat::UniqueKernelHandle thread(info.thread);
        EXPECT_EQ(P().WaitForSingleObject(info.process, plat::kInfinite), plat::kWaitObject0);
        std::uint32_t code = 12345;
        EXPECT_TRUE(P().GetExitCodeProcess(info.process, code));
        return code;
    }
    // A machine program that writes its arguments, one a line, to a host file.
    void ArgsDumper(const std::string& windowsPath) {
        M().WriteProgram(windowsPath, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                          PrefixDir() + "/args.txt'\nexit 7\n");
    }
    std::vector<std::string> DumpedArgs() {
        std::string text;
        Shell("cat '" + PrefixDir() + "/args.txt'", &text);
        std::vector<std::string> lines;
        std::size_t start = 0, end;
        while ((end = text.find('\n', start)) != std::string::npos) {
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
};

TEST(CommandLineTest, ArgumentsSplitByTheWindowsRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"a b  c", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\\b c\\\\d", {"a\\b", "c\\\\d"}},
        {"\"C:\\dir with space\\\\\" next", {"C:\\dir with space\\", "next"}},
        {"a\\\"b", {"a\"b"}},
        {"a\\\\\"b c\"", {"a\\b c"}},
        {"\"\"", {""}},
        {"x\"y z\"w", {"xy zw"}},
        {"\"in \"\"quotes\"\"\"", {"in \"quotes\""}},
        {"\t tabbed\t", {"tabbed"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(plat::SplitArguments(c.line), c.args) << c.line;

    for (const std::string arg : {"plain", "with space", "quote\"inside", "trail\\", "trail space\\", "",
                                  "\\\\server\\share \"x\"\\"}) {
        EXPECT_EQ(plat::SplitArguments(plat::QuoteArgument(arg)), std::vector<std::string>{arg}) << arg;
    }

    std::string program, rest;
    plat::SplitProgramToken("\"C:\\Program Files\\x.exe\" -a", program, rest);
    EXPECT_EQ(program, "C:\\Program Files\\x.exe");
    EXPECT_EQ(rest, " -a");
    plat::SplitProgramToken("  tool.exe arg", program, rest);
    EXPECT_EQ(program, "tool.exe");
    EXPECT_EQ(rest, " arg");
}

TEST_F(ProcessTest, AChildRunsWithItsArgumentsAndGivesItsExitCode) {
    M().WriteProgram("C:\\bin\\three.exe", "#!/bin/sh\nexit 3\n");
    EXPECT_EQ(Run("C:\\bin\\three.exe"), 3u);
    EXPECT_EQ(Run("c:\\BIN\\THREE"), 3u);  // ".exe" may be left out, any case

    ArgsDumper("C:\\Program Files\\Tools\\args.exe");
    EXPECT_EQ(Run("\"C:\\Program Files\\Tools\\args.exe\" one \"two words\" th\\\"ree \"C:\\end\\\\\""), 7u);
    EXPECT_EQ(DumpedArgs(), (std::vector<std::string>{"one", "two words", "th\"ree", "C:\\end\\"}));
    // Unquoted with blanks: tried at each blank, as Windows does.
    EXPECT_EQ(Run("C:\\Program Files\\Tools\\args.exe x"), 7u);
    EXPECT_EQ(DumpedArgs(), std::vector<std::string>{"x"});
}

TEST_F(ProcessTest, BareNamesAreSearchedInTheSystemFoldersAndPath) {
    ArgsDumper("C:\\windows\\system32\\insys.exe");
    EXPECT_EQ(Run("insys a"), 7u);
    EXPECT_EQ(DumpedArgs(), std::vector<std::string>{"a"});
    ArgsDumper("C:\\windows\\inwin.exe");
    EXPECT_EQ(Run("INWIN.EXE b"), 7u);
    ArgsDumper("C:\\tools\\onpath.exe");
    std::uint32_t error = 0;
    EXPECT_EQ(Run("onpath c", &error), ~0u);
    EXPECT_EQ(error, plat::kErrorFileNotFound);
    P().Kernel().SetVariable("PATH", "C:\\windows\\system32;C:\\tools");
    EXPECT_EQ(Run("onpath c"), 7u);
    EXPECT_EQ(DumpedArgs(), std::vector<std::string>{"c"});
    ArgsDumper("C:\\Program Files\\Quoted\\inquoted.exe");
    P().Kernel().SetVariable("PATH", "C:\\nothing; \"C:\\Program Files\\Quoted\" ;");
    EXPECT_EQ(Run("inquoted d"), 7u);
    EXPECT_EQ(DumpedArgs(), std::vector<std::string>{"d"});

    plat::SimProgram program;
    ASSERT_EQ(
        plat::FindProgram(P().Kernel().Paths(), P().Kernel().Environment(), "REGEDIT.exe /e x", program), 0u);
    EXPECT_EQ(program.builtin, "regedit");
    EXPECT_EQ(program.windowsPath, "C:\\windows\\system32\\regedit.exe");
    EXPECT_EQ(program.arguments, " /e x");
    ASSERT_EQ(plat::FindProgram(P().Kernel().Paths(), P().Kernel().Environment(),
                                "C:\\windows\\regsvr32 /s a.dll", program),
              0u);
    EXPECT_EQ(program.builtin, "regsvr32");
}

TEST_F(ProcessTest, MissingProgramsAreNotStarted) {
    struct Case {
        const char* line;
        std::uint32_t error;
    } cases[] = {
        {"nosuchprogram", plat::kErrorFileNotFound},
        {"nosuchprogram.exe /x", plat::kErrorFileNotFound},
        {"C:\\windows\\missing.exe", plat::kErrorFileNotFound},
        {"C:\\no\\folder\\x.exe", plat::kErrorPathNotFound},
        {"", plat::kErrorFileNotFound},
    };
    for (const auto& c : cases) {
        std::uint32_t error = 0;
        EXPECT_EQ(Run(c.line, &error), ~0u) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
    M().WriteFile("C:\\data.exe", "not a program");  // no run bit
    std::uint32_t error = 0;
    EXPECT_EQ(Run("C:\\data.exe", &error), ~0u);
    EXPECT_EQ(error, 193u);  // ERROR_BAD_EXE_FORMAT
}

TEST_F(ProcessTest, BuiltinsRunAsChildrenWithTheirFullExitCode) {
    // msiexec with no command reports ERROR_INVALID_COMMAND_LINE, a code
    // beyond what a host exit status can hold.
    EXPECT_EQ(Run("msiexec"), 1639u);
    EXPECT_EQ(Run("C:\\windows\\system32\\MSIEXEC.EXE"), 1639u);
    // reg writes into this machine's registry.
    EXPECT_EQ(Run("reg add HKLM\\SOFTWARE\\FromChild /v Name /d \"a value\" /f"), 0u);
    std::string value;
    ASSERT_TRUE(M().Registry().GetString("HKLM\\SOFTWARE\\FromChild", "Name", value));
    EXPECT_EQ(value, "a value");
}

TEST_F(ProcessTest, TheLauncherRunsMachineAndHostProgramsWithTheirExitCodes) {
    M().WriteProgram("C:\\bin\\nine.exe", "#!/bin/sh\nexit 9\n");
    std::string out;
    EXPECT_EQ(Shell(Winsim() + " nine.exe 2>&1", &out), 127);  // not on the search path
    EXPECT_NE(out.find("The system cannot find the file specified."), std::string::npos) << out;
    EXPECT_EQ(Shell(Winsim() + " 'C:\\BIN\\Nine'"), 9);
    // A host program named by its host path runs as Z:\... .
    EXPECT_EQ(Shell(Winsim() + " /bin/sh -c 'exit 5'"), 5);
    EXPECT_EQ(Shell("cd / && " + Winsim() + " ./bin/sh -c 'exit 6'"), 6);
    // The built-ins are reached with or without ".exe", in any case.
    EXPECT_EQ(Shell(Winsim() + " MSIEXEC.exe >/dev/null 2>&1"), 1639 & 0xFF);
}

TEST_F(ProcessTest, WaitingWithATimeoutAndStillActive) {
    M().WriteProgram("C:\\slow.exe", "#!/bin/sh\nexec sleep 30\n");
    plat::ProcessInformation info;
    ASSERT_TRUE(P().CreateProcessA("C:\\slow.exe", plat::StartupInfo(), info));
    plat::UniqueKernelHandle process(info.process);
    plat::UniqueKernelHandle thread(info.thread);
    std::uint32_t code = 0;
    EXPECT_EQ(P().WaitForSingleObject(info.process, 0), 258u);  // WAIT_TIMEOUT
    EXPECT_TRUE(P().GetExitCodeProcess(info.process, code));
    EXPECT_EQ(code, plat::kStillActive);
    ::kill(static_cast<pid_t>(info.processId), SIGKILL);
    EXPECT_EQ(P().WaitForSingleObject(info.thread, plat::kInfinite), plat::kWaitObject0);
    EXPECT_TRUE(P().GetExitCodeProcess(info.process, code));
    EXPECT_NE(code, plat::kStillActive);
    EXPECT_FALSE(P().GetExitCodeProcess(info.thread, code));
    EXPECT_EQ(P().WaitForSingleObject(0x4242, 0), plat::kWaitFailed);
    EXPECT_EQ(P().GetLastError(), plat::kErrorInvalidHandle);
    EXPECT_FALSE(P().CloseHandle(0x4242));
}

}  // namespace
