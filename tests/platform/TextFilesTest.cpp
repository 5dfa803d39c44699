// Text files: CR LF on disk, the three ways of opening, bounded line reading,
// and exclusive opening against openers in other processes.
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/Handles.h"
#include "tests/platform/MachineFixture.h"

namespace {

using plat::TextOpen;

class TextFilesTest : public MachineTest {
protected:
    plat::Handle Open(const char* path, TextOpen mode, bool exclusive = false) {
        return P().OpenTextFile(path, mode, exclusive);
    }
    // The result of opening in a forked child process: 0 or its error.
    std::uint32_t OpenInOtherProcess(const char* path, TextOpen mode, bool exclusive) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            plat::SimPlatform other(PrefixDir());
            const plat::Handle h = other.OpenTextFile(path, mode, exclusive);
            ::_exit(h == plat::kInvalidHandle ? static_cast<int>(other.GetLastError()) : 0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 999;
    }
};

TEST_F(TextFilesTest, WritesCrLfAndReadsLinesBack) {
    {
        plat::UniqueTextFile f(Open("C:\\log.txt", TextOpen::WriteNoTruncate));
        ASSERT_TRUE(f);
        ASSERT_TRUE(P().WriteTextFile(f.get(), "one\ntwo"));
        ASSERT_TRUE(P().WriteTextFile(f.get(), " more\n\nlast"));
    }
    EXPECT_EQ(Get("C:\\log.txt"), "one\r\ntwo more\r\n\r\nlast");
    plat::UniqueTextFile f(Open("c:\\LOG.TXT", TextOpen::Read));
    ASSERT_TRUE(f);
    std::string line;
    std::vector<std::string> lines;
    while (P().ReadTextLine(f.get(), line, 100)) lines.push_back(line);
    EXPECT_EQ(P().GetLastError(), plat::kErrorHandleEof);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two more", "", "last"}));
    EXPECT_FALSE(P().WriteTextFile(f.get(), "x"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorAccessDenied);
}

TEST_F(TextFilesTest, WriteWithoutTruncateOverwritesFromTheStartAndKeepsTheRest) {
    Put("C:\\keep.txt", "0123456789");
    {
        plat::UniqueTextFile f(Open("C:\\keep.txt", TextOpen::WriteNoTruncate));
        ASSERT_TRUE(f);
        ASSERT_TRUE(P().WriteTextFile(f.get(), "ab\n"));
    }
    EXPECT_EQ(Get("C:\\keep.txt"), "ab\r\n456789");
    {
        plat::UniqueTextFile f(Open("C:\\keep.txt", TextOpen::WriteNoTruncate));
        ASSERT_TRUE(f);
        ASSERT_TRUE(P().SeekTextFileToEnd(f.get()));
        ASSERT_TRUE(P().WriteTextFile(f.get(), "end"));
    }
    EXPECT_EQ(Get("C:\\keep.txt"), "ab\r\n456789end");
}

TEST_F(TextFilesTest, AppendAddsAtTheEndAndCreatesMissingFiles) {
    Put("C:\\app.txt", "start\r\n");
    {
        plat::UniqueTextFile f(Open("C:\\app.txt", TextOpen::Append));
        ASSERT_TRUE(f);
        ASSERT_TRUE(P().WriteTextFile(f.get(), "added\n"));
    }
    EXPECT_EQ(Get("C:\\app.txt"), "start\r\nadded\r\n");
    {
        plat::UniqueTextFile f(Open("C:\\New.txt", TextOpen::Append));
        ASSERT_TRUE(f);
    }
    EXPECT_EQ(M().List("C:\\")[1], "New.txt");  // created as written
    EXPECT_EQ(Get("C:\\new.txt"), "");
}

TEST_F(TextFilesTest, OpeningFailuresCarryWindowsCodes) {
    Put("C:\\ro.txt");
    ASSERT_TRUE(P().SetFileAttributesA("C:\\ro.txt", plat::kFileAttributeReadonly));
    struct Case {
        const char* path;
        TextOpen mode;
        std::uint32_t error;
    } cases[] = {
        {"C:\\missing.txt", TextOpen::Read, plat::kErrorFileNotFound},
        {"C:\\nofolder\\x.txt", TextOpen::Read, plat::kErrorPathNotFound},
        {"C:\\nofolder\\x.txt", TextOpen::Append, plat::kErrorPathNotFound},
        {"C:\\windows", TextOpen::WriteNoTruncate, plat::kErrorAccessDenied},
        {"C:\\ro.txt", TextOpen::Append, plat::kErrorAccessDenied},
        {"C:\\bad|name.txt", TextOpen::Append, plat::kErrorInvalidName},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Open(c.path, c.mode), plat::kInvalidHandle) << c.path;
        EXPECT_EQ(P().GetLastError(), c.error) << c.path;
    }
    plat::UniqueTextFile ro(Open("C:\\ro.txt", TextOpen::Read));
    EXPECT_TRUE(ro);
}

TEST_F(TextFilesTest, LongLinesAreCutToTheLimitAndTheRestSkipped) {
    const std::string huge(3 * 1024 * 1024, 'h');  // longer than any read buffer
    Put("C:\\long.txt", "short\r\n" + huge + "\r\nafter\r\nbare\rcr\n");
    plat::UniqueTextFile f(Open("C:\\long.txt", TextOpen::Read));
    ASSERT_TRUE(f);
    std::string line;
    ASSERT_TRUE(P().ReadTextLine(f.get(), line, 3));
    EXPECT_EQ(line, "sho");
    ASSERT_TRUE(P().ReadTextLine(f.get(), line, 10));
    EXPECT_EQ(line, std::string(10, 'h'));
    ASSERT_TRUE(P().ReadTextLine(f.get(), line, 10));
    EXPECT_EQ(line, "after");
    ASSERT_TRUE(P().ReadTextLine(f.get(), line, 10));
    EXPECT_EQ(line, "bare\rcr");  // a lone CR is no line end
    EXPECT_FALSE(P().ReadTextLine(f.get(), line, 10));
}

TEST_F(TextFilesTest, ExclusiveOpeningShutsOutEveryOtherOpener) {
    Put("C:\\shared.txt", "x");
    {
        plat::UniqueTextFile mine(Open("C:\\shared.txt", TextOpen::Append, true));
        ASSERT_TRUE(mine);
        // The same process and another process are refused alike.
        EXPECT_EQ(Open("C:\\SHARED.txt", TextOpen::Read), plat::kInvalidHandle);
        EXPECT_EQ(P().GetLastError(), plat::kErrorSharingViolation);
        EXPECT_EQ(OpenInOtherProcess("C:\\shared.txt", TextOpen::Read, false), plat::kErrorSharingViolation);
        EXPECT_EQ(OpenInOtherProcess("C:\\shared.txt", TextOpen::Append, true), plat::kErrorSharingViolation);
        // Nor can it be copied or deleted meanwhile.
        EXPECT_FALSE(P().CopyFileA("C:\\shared.txt", "C:\\copy.txt", false));
        EXPECT_EQ(P().GetLastError(), plat::kErrorSharingViolation);
        EXPECT_FALSE(P().DeleteFileA("C:\\shared.txt"));
        EXPECT_EQ(P().GetLastError(), plat::kErrorSharingViolation);
    }
    EXPECT_EQ(OpenInOtherProcess("C:\\shared.txt", TextOpen::Append, true), 0u);

    // An ordinary opener elsewhere keeps an exclusive one out, but not other ordinary ones.
    plat::UniqueTextFile reader(Open("C:\\shared.txt", TextOpen::Read));
    ASSERT_TRUE(reader);
    EXPECT_EQ(OpenInOtherProcess("C:\\shared.txt", TextOpen::Read, false), 0u);
    EXPECT_EQ(OpenInOtherProcess("C:\\shared.txt", TextOpen::WriteNoTruncate, true),
              plat::kErrorSharingViolation);
}

TEST_F(TextFilesTest, ClosedOrUnknownHandlesAreInvalid) {
    const plat::Handle h = Open("C:\\c.txt", TextOpen::Append);
    ASSERT_NE(h, plat::kInvalidHandle);
    ASSERT_TRUE(P().CloseTextFile(h));
    EXPECT_FALSE(P().WriteTextFile(h, "x"));
    EXPECT_EQ(P().GetLastError(), plat::kErrorInvalidHandle);
    EXPECT_FALSE(P().CloseTextFile(h));
    EXPECT_EQ(P().GetLastError(), plat::kErrorInvalidHandle);
}

}  // namespace
