// Fault rules: matching by operation and pattern, counted rules used up
// across processes, and the launcher's fault commands.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/Handles.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimKernel.h"
#include "tests/platform/MachineFixture.h"

namespace {

class FaultsTest : public MachineTest {};

TEST_F(FaultsTest, ARuleFailsTheNamedOperationOnMatchingPathsOnly) {
    Put("C:\\data\\keep.txt");
    Put("C:\\data\\Victim.LOG");
    ASSERT_TRUE(M().AddFault("DeleteFileA", "c:\\DATA\\*.log", plat::kErrorAccessDenied));
    EXPECT_FALSE(P().DeleteFileA("C:\\data\\victim.log"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);
    EXPECT_TRUE(M().Exists("C:\\data\\Victim.LOG"));
    // The same path through a relative form is matched by its full form.
    EXPECT_FALSE(P().DeleteFileA("\\data\\..\\data\\victim.log"));
    // Other operations and other paths are untouched.
    EXPECT_TRUE(P().CopyFileA("C:\\data\\victim.log", "C:\\data\\copy.log", true));
    EXPECT_TRUE(P().DeleteFileA("C:\\data\\keep.txt"));
    ASSERT_TRUE(M().ClearFaults());
    EXPECT_TRUE(P().DeleteFileA("C:\\data\\victim.log"));

    // A copy is matched by either of its paths: a full target disk fails it too.
    ASSERT_TRUE(M().AddFault("CopyFileA", "D:\\*", plat::kErrorDiskFull));
    EXPECT_FALSE(P().CopyFileA("C:\\data\\copy.log", "D:\\copy.log", false));
    EXPECT_EQ(P().GetLastError(), plat::kErrorDiskFull);
    EXPECT_TRUE(P().CopyFileA("C:\\data\\copy.log", "C:\\copy.log", false));
}

TEST_F(FaultsTest, CountedRulesAreUsedUpAcrossProcesses) {
    ASSERT_TRUE(M().AddFault("CreateDirectoryA", "C:\\d?", plat::kErrorDiskFull, 2));
    ASSERT_TRUE(M().AddFault("GetFileAttributesA", "*", plat::kErrorAccessDenied, 1));
    // The first use happens in another process.
    const pid_t pid = ::fork();
    if (pid == 0) {
        plat::SimPlatform other(PrefixDir());
        const bool failed = !other.CreateDirectoryA("C:\\d1") && other.GetLastError() == plat::kErrorDiskFull;
        ::_exit(failed ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_FALSE(P().CreateDirectoryA("C:\\d2"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorDiskFull);
    EXPECT_TRUE(P().CreateDirectoryA("C:\\d3"));  // used up
    EXPECT_EQ(P().GetFileAttributesA("C:\\d3"), plat::kInvalidFileAttributes);
    EXPECT_EQ(P().GetFileAttributesA("C:\\d3"), plat::kFileAttributeDirectory);
    EXPECT_TRUE(M().Faults().empty());
}

TEST_F(FaultsTest, ASkippingRuleFailsOnlyTheNthMatchingCall) {
    plat::SimFaultRule rule;
    rule.operation = "CreateDirectoryA";
    rule.pattern = "C:\\n\\*";
    rule.code = plat::kErrorAccessDenied;
    rule.times = 1;
    rule.skip = 2;  // the third matching call fails
    ASSERT_TRUE(P().Kernel().Faults().Add(rule));
    ASSERT_TRUE(P().CreateDirectoryA("C:\\n"));
    EXPECT_TRUE(P().CreateDirectoryA("C:\\n\\1"));
    EXPECT_TRUE(P().CreateDirectoryA("C:\\other"));  // not matching: not counted
    ASSERT_EQ(M().Faults().size(), 1u);
    EXPECT_EQ(M().Faults()[0].skip, 1);
    EXPECT_TRUE(P().CreateDirectoryA("C:\\n\\2"));
    EXPECT_FALSE(P().CreateDirectoryA("C:\\n\\3"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);
    EXPECT_TRUE(P().CreateDirectoryA("C:\\n\\4"));
    EXPECT_TRUE(M().Faults().empty());
    rule.skip = -1;
    EXPECT_FALSE(P().Kernel().Faults().Add(rule));
}

TEST_F(FaultsTest, RulesReachTextFilesProcessesAndHandleCalls) {
    ASSERT_TRUE(M().AddFault("WriteTextFile", "*\\full.txt", plat::kErrorDiskFull));
    ASSERT_TRUE(M().AddFault("CreateProcessA", "*regedit*", plat::kErrorAccessDenied));
    ASSERT_TRUE(M().AddFault("SHCreateDirectoryExA", "C:\\deny\\*", plat::kErrorAccessDenied));
    plat::UniqueTextFile f(P().OpenTextFile("C:\\full.txt", plat::TextOpen::Append, false));
    ASSERT_TRUE(f);
    EXPECT_FALSE(P().WriteTextFile(f.get(), "x"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorDiskFull);
    plat::ProcessInformation info;
    EXPECT_FALSE(P().CreateProcessA("regedit.exe /e C:\\x.reg HKLM\\SOFTWARE", plat::StartupInfo(), info));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);
    EXPECT_EQ(P().SHCreateDirectoryExA("C:\\deny\\a\\b"), static_cast<int>(plat::kErrorAccessDenied));
    EXPECT_FALSE(M().Exists("C:\\deny"));
}

TEST_F(FaultsTest, TheLauncherAddsListsAndClearsRules) {
    std::string out;
    ASSERT_EQ(Shell(Winsim() + " fault add CopyFileA 'C:\\src\\*' 112 3"), 0);
    ASSERT_EQ(Shell(Winsim() + " fault add MsiOpenPackageA '*' 1619"), 0);
    EXPECT_NE(Shell(Winsim() + " fault add CopyFileA 'x' notanumber 2>/dev/null"), 0);
    EXPECT_NE(Shell(Winsim() + " fault add CopyFileA 'x' 5 0 2>/dev/null"), 0);
    EXPECT_NE(Shell(Winsim() + " fault add CopyFile 'x' 5 2>&1", &out), 0);  // no such operation
    EXPECT_NE(out.find("not an operation"), std::string::npos) << out;
    EXPECT_FALSE(M().AddFault("NoSuchCallA", "*", 5));
    EXPECT_FALSE(M().AddFault("DeleteFileA", "tab\there", 5));
    ASSERT_EQ(Shell(Winsim() + " fault list", &out), 0);
    EXPECT_EQ(out, "CopyFileA C:\\src\\* 112 3\nMsiOpenPackageA * 1619 always\n");
    const auto rules = M().Faults();
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].times, 3);
    Put("C:\\src\\a.txt");
    EXPECT_FALSE(P().CopyFileA("C:\\src\\a.txt", "C:\\b.txt", false));
    EXPECT_EQ(P().GetLastError(), plat::kErrorDiskFull);
    ASSERT_EQ(Shell(Winsim() + " fault list", &out), 0);
    EXPECT_EQ(out, "CopyFileA C:\\src\\* 112 2\nMsiOpenPackageA * 1619 always\n");
    ASSERT_EQ(Shell(Winsim() + " fault clear"), 0);
    EXPECT_TRUE(M().Faults().empty());
    EXPECT_TRUE(P().CopyFileA("C:\\src\\a.txt", "C:\\b.txt", false));
}

}  // namespace
