// Windows paths of the machine: normal forms, case-insensitive resolution,
// drives, and the failures of bad paths.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/Handles.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimPaths.h"
#include "tests/platform/MachineFixture.h"

namespace {

using plat::SimPaths;

class PathsTest : public MachineTest {
protected:
    SimPaths& Paths() { return P().Kernel().Paths(); }
};

TEST_F(PathsTest, NormalFormsOfAbsoluteAndRelativePaths) {
    // The current directory of a test process is off the machine's drives: C:\ .
    ASSERT_EQ(Paths().CurrentDirectory(), "C:\\");
    struct Case {
        const char* given;
        const char* full;
    } cases[] = {
        {"C:\\a\\b", "C:\\a\\b"},
        {"c:/a/b/", "C:\\a\\b"},
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:\\..\\..\\x", "C:\\x"},
        {"C:\\a\\\\b", "C:\\a\\b"},
        {"C:\\name. . \\f.txt.", "C:\\name\\f.txt"},
        {"\\rooted\\x", "C:\\rooted\\x"},
        {"relative\\x", "C:\\relative\\x"},
        {"C:rel", "C:\\rel"},
        {"D:rel", "D:\\rel"},
        {"C:", "C:\\"},
        {"z:\\tmp", "Z:\\tmp"},
        {"\\\\?\\C:\\long\\form", "C:\\long\\form"},
    };
    for (const auto& c : cases) {
        std::string full;
        std::uint32_t error = 0;
        EXPECT_TRUE(Paths().Normalize(c.given, full, error)) << c.given;
        EXPECT_EQ(full, c.full) << c.given;
    }
}

TEST_F(PathsTest, BadPathsFailAsTheAnsiCallsDo) {
    const std::string longName(300, 'a');
    const std::string at259 = "C:\\" + std::string(256, 'b');  // 259 characters: still fine
    struct Case {
        std::string given;
        std::uint32_t error;
    } cases[] = {
        {"C:\\" + longName, plat::kErrorFilenameExcedRange},
        {at259 + "c", plat::kErrorFilenameExcedRange},
        {"C:\\a<b", plat::kErrorInvalidName},
        {"C:\\a>b", plat::kErrorInvalidName},
        {"C:\\a:b", plat::kErrorInvalidName},
        {"C:\\a\"b", plat::kErrorInvalidName},
        {"C:\\a|b", plat::kErrorInvalidName},
        {"C:\\a?b", plat::kErrorInvalidName},
        {"C:\\a*b", plat::kErrorInvalidName},
        {std::string("C:\\a\x01"), plat::kErrorInvalidName},
        {"", plat::kErrorPathNotFound},
        {"Q:\\no\\such\\drive", plat::kErrorPathNotFound},
    };
    for (const auto& c : cases) {
        std::string host;
        std::uint32_t error = 0;
        EXPECT_FALSE(P().ToHostPath(c.given, host, error)) << c.given;
        EXPECT_EQ(error, c.error) << c.given;
        // The file calls fail the same way.
        EXPECT_FALSE(P().CreateDirectoryA(c.given.c_str())) << c.given;
        EXPECT_EQ(P().GetLastError(), c.error) << c.given;
    }
    std::string host;
    std::uint32_t error = 0;
    EXPECT_TRUE(P().ToHostPath(at259, host, error));
}

TEST_F(PathsTest, ResolvesCaseInsensitivelyAndCreatesAsWritten) {
    ASSERT_TRUE(P().CreateDirectoryA("C:\\Program Files\\MiXeD Case"));
    std::string host;
    std::uint32_t error = 0;
    ASSERT_TRUE(P().ToHostPath("c:\\PROGRAM FILES\\mixed case\\New File.TXT", host, error));
    EXPECT_EQ(host, PrefixDir() + "/drive_c/Program Files/MiXeD Case/New File.TXT");
    ASSERT_TRUE(P().CreateDirectoryA("C:\\PROGRAM FILES\\mixed CASE\\Sub"));
    EXPECT_TRUE(M().IsDirectory("C:\\Program Files\\MiXeD Case\\sub"));
    EXPECT_EQ(M().List("C:\\Program Files\\MiXeD Case"), std::vector<std::string>{"Sub"});
}

TEST_F(PathsTest, DrivesMapToPrefixFoldersAndZToTheHostRoot) {
    std::string host;
    std::uint32_t error = 0;
    ASSERT_TRUE(P().ToHostPath("C:\\", host, error));
    EXPECT_EQ(host, PrefixDir() + "/drive_c");
    ASSERT_TRUE(P().ToHostPath("Z:\\", host, error));
    EXPECT_EQ(host, "/");
    ASSERT_TRUE(P().ToHostPath("Z:\\TMP", host, error));
    EXPECT_EQ(host, "/tmp");

    EXPECT_FALSE(P().ToHostPath("D:\\data", host, error));
    ASSERT_EQ(::mkdir((PrefixDir() + "/drive_d").c_str(), 0777), 0);
    ASSERT_TRUE(P().ToHostPath("d:\\data", host, error));
    EXPECT_EQ(host, PrefixDir() + "/drive_d/data");

    EXPECT_EQ(P().ToWindowsPath(PrefixDir() + "/drive_c/windows/system32"), "C:\\windows\\system32");
    EXPECT_EQ(P().ToWindowsPath(PrefixDir() + "/drive_d"), "D:\\");
    EXPECT_EQ(P().ToWindowsPath("/usr/bin/env"), "Z:\\usr\\bin\\env");
}

TEST_F(PathsTest, CurrentDirectoryFollowsTheHostWorkingDirectoryOnADrive) {
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_TRUE(M().MakeDirectory("C:\\work\\Here"));
    ASSERT_EQ(::chdir(M().HostPath("C:\\work\\Here").c_str()), 0);
    EXPECT_EQ(Paths().CurrentDirectory(), "C:\\work\\Here");
    std::string full;
    std::uint32_t error = 0;
    EXPECT_TRUE(Paths().Normalize("file.txt", full, error));
    EXPECT_EQ(full, "C:\\work\\Here\\file.txt");
    EXPECT_TRUE(Paths().Normalize("..\\x", full, error));
    EXPECT_EQ(full, "C:\\work\\x");
    EXPECT_TRUE(Paths().Normalize("\\top", full, error));
    EXPECT_EQ(full, "C:\\top");
    EXPECT_TRUE(Paths().Normalize("C:sub", full, error));
    EXPECT_EQ(full, "C:\\work\\Here\\sub");
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(Paths().CurrentDirectory(), "C:\\");
    ASSERT_EQ(::chdir(saved), 0);
}

TEST_F(PathsTest, AnsiNamesAreUtf8OnTheHostAndFoldTheirAccentedLetters) {
    // "Café\Ærø €.txt" in code page 1252.
    const std::string folder = "C:\\Caf\xE9";
    const std::string file = folder + "\\\xC6r\xF8 \x80.txt";
    ASSERT_TRUE(P().CreateDirectoryA(folder.c_str()));
    plat::UniqueTextFile f(P().OpenTextFile(file.c_str(), plat::TextOpen::Append, false));
    ASSERT_TRUE(f);
    f.reset();
    EXPECT_EQ(M().HostPath(folder), PrefixDir() + "/drive_c/Caf\u00e9");
    EXPECT_EQ(M().HostPath(file), PrefixDir() + "/drive_c/Caf\u00e9/\u00c6r\u00f8 \u20ac.txt");
    // Upper and lower case of the accented letters name the same file.
    const std::string otherCase = "C:\\CAF\xC9\\\xE6R\xD8 \x80.TXT";
    EXPECT_EQ(P().GetFileAttributesA(otherCase.c_str()), plat::kFileAttributeNormal);
    plat::FindData data;
    plat::UniqueFind find(P().FindFirstFileA((folder + "\\*.txt").c_str(), data));
    ASSERT_TRUE(find);
    EXPECT_EQ(data.fileName, "\xC6r\xF8 \x80.txt");
    EXPECT_EQ(P().ToWindowsPath(M().HostPath(file)), file);
    // A host name the code page cannot show comes out with '?'.
    EXPECT_EQ(P().ToWindowsPath("/tmp/\u65e5x"), "Z:\\tmp\\?x");
    EXPECT_EQ(plat::Utf8ToAnsi(plat::AnsiToUtf8("\x81\x9F\xFF")), "\x81\x9F\xFF");
}

TEST(WildcardTest, FindPatternsFollowTheWindowsRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*", "anything.txt", true},  {"*", ".", true},
        {"*.*", "noextension", true}, {"*.*", "a.b.c", true},
        {"*.*", ".", true},           {"*.*", "..", true},
        {"*.txt", "NOTES.TXT", true}, {"*.txt", "notes.txt.bak", false},
        {"*.txt", ".", false},        {"*.TXT", "x.txt", true},
        {"a?c", "abc", true},         {"a?c", "ac", false},
        {"a?c", "abbc", false},       {"name.*", "name", true},
        {"name.*", "name.dll", true}, {"name.*", "names", false},
        {"*.", "noext", true},        {"*.", "has.ext", false},
        {"*b*", "abc", true},         {"*b*", "ac", false},
        {"file", "FILE", true},       {"file", "file2", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plat::FindPatternMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
    }
    // The plain matcher of the fault rules has no extension rules.
    EXPECT_FALSE(plat::WildcardMatch("*.*", "noextension"));
    EXPECT_TRUE(plat::WildcardMatch("C:\\*\\LOG?.txt", "c:\\dir\\sub\\log1.TXT"));
}

}  // namespace
