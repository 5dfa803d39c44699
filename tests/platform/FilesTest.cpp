// The file and directory calls: results, attributes and Windows error codes.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/Handles.h"
#include "tests/platform/MachineFixture.h"

namespace {

constexpr std::uint32_t kNoMoreFiles = 18;

class FilesTest : public MachineTest {
protected:
    // CopyFileA's result and, on failure, its error (0 on success).
    std::uint32_t Copy(const char* from, const char* to, bool failIfExists) {
        P().SetLastError(0);
        return P().CopyFileA(from, to, failIfExists) ? 0 : P().GetLastError();
    }
    std::uint32_t Error(bool ok) { return ok ? 0 : P().GetLastError(); }

    // Names FindFirstFileA/FindNextFileA list for a pattern, or the error.
    std::vector<std::string> Find(const std::string& pattern, std::uint32_t* error = nullptr) {
        std::vector<std::string> names;
        plat::FindData data;
        plat::UniqueFind find(P().FindFirstFileA(pattern.c_str(), data));
        if (!find) {
            if (error != nullptr) *error = P().GetLastError();
            return names;
        }
        do {
            names.push_back(data.fileName);
        } while (P().FindNextFileA(find.get(), data));
        EXPECT_EQ(P().GetLastError(), kNoMoreFiles);
        if (error != nullptr) *error = 0;
        return names;
    }
};

TEST_F(FilesTest, CopyFileCopiesBytesAndRefusesAsWindowsDoes) {
    Put("C:\\src\\a.txt", "first");
    Put("C:\\src\\b.txt", "second");
    EXPECT_EQ(Copy("C:\\src\\a.txt", "C:\\dst.txt", true), 0u);
    EXPECT_EQ(Get("C:\\dst.txt"), "first");
    EXPECT_EQ(Copy("C:\\src\\b.txt", "C:\\DST.TXT", true), plat::kErrorFileExists);
    EXPECT_EQ(Get("C:\\dst.txt"), "first");
    EXPECT_EQ(Copy("C:\\src\\b.txt", "c:\\dst.txt", false), 0u);
    EXPECT_EQ(Get("C:\\dst.txt"), "second");
    EXPECT_EQ(M().List("C:\\"), (std::vector<std::string>{"dst.txt", "Program Files", "ProgramData", "src",
                                                          "users", "windows"}));

    EXPECT_EQ(Copy("C:\\src\\missing.txt", "C:\\x.txt", false), plat::kErrorFileNotFound);
    EXPECT_EQ(Copy("C:\\nofolder\\a.txt", "C:\\x.txt", false), plat::kErrorPathNotFound);
    EXPECT_EQ(Copy("C:\\src\\a.txt", "C:\\nofolder\\x.txt", false), plat::kErrorPathNotFound);
    EXPECT_EQ(Copy("C:\\src", "C:\\x.txt", false), plat::kErrorAccessDenied);
    EXPECT_EQ(Copy("C:\\src\\a.txt", "C:\\src", false), plat::kErrorAccessDenied);
    EXPECT_EQ(Copy("C:\\src\\a.txt", "C:\\src\\A.TXT", false), plat::kErrorSharingViolation);
    EXPECT_FALSE(M().Exists("C:\\x.txt"));
}

TEST_F(FilesTest, CopyKeepsTheReadOnlyAttributeAndWillNotOverwriteIt) {
    Put("C:\\ro.txt", "locked");
    Put("C:\\other.txt", "other");
    ASSERT_TRUE(P().SetFileAttributesA("C:\\ro.txt", plat::kFileAttributeReadonly));
    EXPECT_EQ(Copy("C:\\ro.txt", "C:\\copy.txt", true), 0u);
    EXPECT_EQ(P().GetFileAttributesA("C:\\copy.txt"), plat::kFileAttributeReadonly);
    EXPECT_EQ(Copy("C:\\other.txt", "C:\\copy.txt", false), plat::kErrorAccessDenied);
    EXPECT_EQ(Get("C:\\copy.txt"), "locked");
}

TEST_F(FilesTest, DeleteFileRefusesReadOnlyFilesFoldersAndFilesInUse) {
    Put("C:\\d\\plain.txt");
    Put("C:\\d\\ro.txt");
    Put("C:\\d\\open.txt");
    ASSERT_TRUE(P().SetFileAttributesA("C:\\d\\ro.txt", plat::kFileAttributeReadonly));
    EXPECT_EQ(Error(P().DeleteFileA("C:\\d\\ro.txt")), plat::kErrorAccessDenied);
    EXPECT_EQ(Error(P().DeleteFileA("C:\\d")), plat::kErrorAccessDenied);
    EXPECT_EQ(Error(P().DeleteFileA("C:\\d\\missing.txt")), plat::kErrorFileNotFound);
    EXPECT_EQ(Error(P().DeleteFileA("C:\\nofolder\\x.txt")), plat::kErrorPathNotFound);
    {
        plat::UniqueTextFile open(P().OpenTextFile("C:\\d\\open.txt", plat::TextOpen::Read, false));
        ASSERT_TRUE(open);
        EXPECT_EQ(Error(P().DeleteFileA("C:\\d\\open.txt")), plat::kErrorSharingViolation);
    }
    EXPECT_EQ(Error(P().DeleteFileA("C:\\D\\OPEN.TXT")), 0u);
    EXPECT_EQ(Error(P().DeleteFileA("C:\\d\\PLAIN.txt")), 0u);
    EXPECT_EQ(M().List("C:\\d"), std::vector<std::string>{"ro.txt"});
    ASSERT_TRUE(P().SetFileAttributesA("C:\\d\\ro.txt", plat::kFileAttributeNormal));
    EXPECT_EQ(Error(P().DeleteFileA("C:\\d\\ro.txt")), 0u);
}

TEST_F(FilesTest, DirectoriesAreCreatedAndRemovedWithWindowsCodes) {
    EXPECT_EQ(Error(P().CreateDirectoryA("C:\\top")), 0u);
    EXPECT_EQ(Error(P().CreateDirectoryA("C:\\TOP")), plat::kErrorAlreadyExists);
    Put("C:\\file.txt");
    EXPECT_EQ(Error(P().CreateDirectoryA("C:\\file.txt")), plat::kErrorAlreadyExists);
    EXPECT_EQ(Error(P().CreateDirectoryA("C:\\no\\parent")), plat::kErrorPathNotFound);
    EXPECT_EQ(Error(P().CreateDirectoryA("C:\\file.txt\\below")), plat::kErrorPathNotFound);

    Put("C:\\top\\inner.txt");
    EXPECT_EQ(Error(P().RemoveDirectoryA("C:\\top")), plat::kErrorDirNotEmpty);
    EXPECT_EQ(Error(P().RemoveDirectoryA("C:\\file.txt")), plat::kErrorDirectory);
    EXPECT_EQ(Error(P().RemoveDirectoryA("C:\\missing")), plat::kErrorFileNotFound);
    EXPECT_EQ(Error(P().RemoveDirectoryA("C:\\missing\\deeper")), plat::kErrorPathNotFound);
    ASSERT_TRUE(P().DeleteFileA("C:\\top\\inner.txt"));
    EXPECT_EQ(Error(P().RemoveDirectoryA("c:\\Top")), 0u);
    EXPECT_FALSE(M().Exists("C:\\top"));
}

TEST_F(FilesTest, ShellCreateDirectoryMakesTheParentsToo) {
    EXPECT_EQ(P().SHCreateDirectoryExA("C:\\a\\b\\c"), 0);
    EXPECT_TRUE(M().IsDirectory("C:\\a\\b\\c"));
    EXPECT_EQ(P().SHCreateDirectoryExA("C:\\A\\B\\C"), static_cast<int>(plat::kErrorAlreadyExists));
    EXPECT_EQ(P().SHCreateDirectoryExA("C:/a/b/d/e"), 0);
    EXPECT_TRUE(M().IsDirectory("C:\\a\\b\\d\\e"));
    Put("C:\\a\\file");
    EXPECT_EQ(P().SHCreateDirectoryExA("C:\\a\\file\\x"), static_cast<int>(plat::kErrorPathNotFound));
    EXPECT_EQ(P().SHCreateDirectoryExA("relative\\x"), 161);  // ERROR_BAD_PATHNAME: not a full path
    EXPECT_EQ(P().SHCreateDirectoryExA(("C:\\" + std::string(260, 'n')).c_str()),
              static_cast<int>(plat::kErrorFilenameExcedRange));
}

TEST_F(FilesTest, AttributesShowFoldersReadOnlyAndNormalFiles) {
    Put("C:\\f.txt");
    EXPECT_EQ(P().GetFileAttributesA("C:\\f.txt"), plat::kFileAttributeNormal);
    EXPECT_EQ(P().GetFileAttributesA("C:\\windows"), plat::kFileAttributeDirectory);
    ASSERT_TRUE(
        P().SetFileAttributesA("C:\\F.TXT", plat::kFileAttributeReadonly | plat::kFileAttributeArchive));
    EXPECT_EQ(P().GetFileAttributesA("C:\\f.txt"), plat::kFileAttributeReadonly);
    // Kept as the owner's write bit on the host file.
    struct stat st;
    ASSERT_EQ(::stat(M().HostPath("C:\\f.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0u);
    ASSERT_TRUE(P().SetFileAttributesA("C:\\f.txt", plat::kFileAttributeNormal));
    EXPECT_EQ(P().GetFileAttributesA("C:\\f.txt"), plat::kFileAttributeNormal);

    EXPECT_EQ(P().GetFileAttributesA("C:\\missing.txt"), plat::kInvalidFileAttributes);
    EXPECT_EQ(P().GetLastError(), plat::kErrorFileNotFound);
    EXPECT_EQ(P().GetFileAttributesA("C:\\missing\\x.txt"), plat::kInvalidFileAttributes);
    EXPECT_EQ(P().GetLastError(), plat::kErrorPathNotFound);
    EXPECT_FALSE(P().SetFileAttributesA("C:\\missing.txt", plat::kFileAttributeNormal));
    EXPECT_EQ(P().GetLastError(), plat::kErrorFileNotFound);
}

TEST_F(FilesTest, FindListsDotsFirstThenNamesInCaseInsensitiveOrder) {
    for (const char* name : {"b.txt", "A.txt", "c.LOG", "noext", "Sub"}) Put(std::string("C:\\dir\\") + name);
    ASSERT_TRUE(M().Remove("C:\\dir\\Sub"));
    ASSERT_TRUE(M().MakeDirectory("C:\\dir\\Sub"));
    Put("C:\\dir\\Sub\\deep.txt");

    struct Case {
        const char* pattern;
        std::vector<std::string> names;
    } cases[] = {
        {"C:\\dir\\*", {".", "..", "A.txt", "b.txt", "c.LOG", "noext", "Sub"}},
        {"C:\\dir\\*.*", {".", "..", "A.txt", "b.txt", "c.LOG", "noext", "Sub"}},
        {"C:\\DIR\\*.txt", {"A.txt", "b.txt"}},
        {"C:\\dir\\*.log", {"c.LOG"}},
        {"C:\\dir\\?.txt", {"A.txt", "b.txt"}},
        {"C:\\dir\\*.", {".", "..", "noext", "Sub"}},
        {"C:\\dir\\sub", {"Sub"}},
        {"c:/dir/sub/*", {".", "..", "deep.txt"}},
        {"C:\\*.*", {"dir", "Program Files", "ProgramData", "users", "windows"}},  // no dots in a root
    };
    for (const auto& c : cases) {
        std::uint32_t error = 1;
        EXPECT_EQ(Find(c.pattern, &error), c.names) << c.pattern;
        EXPECT_EQ(error, 0u) << c.pattern;
    }

    plat::FindData data;
    {
        plat::UniqueFind find(P().FindFirstFileA("C:\\dir\\sub", data));
        ASSERT_TRUE(find);
        EXPECT_EQ(data.attributes, plat::kFileAttributeDirectory);
    }
    {
        plat::UniqueFind find(P().FindFirstFileA("C:\\dir\\b.txt", data));
        ASSERT_TRUE(find);
        EXPECT_EQ(data.size, 1u);
        EXPECT_EQ(data.attributes, plat::kFileAttributeNormal);
    }

    struct Failure {
        const char* pattern;
        std::uint32_t error;
    } failures[] = {
        {"C:\\dir\\*.exe", plat::kErrorFileNotFound}, {"C:\\dir\\missing", plat::kErrorFileNotFound},
        {"C:\\nodir\\*", plat::kErrorPathNotFound},   {"C:\\dir\\b.txt\\*", plat::kErrorPathNotFound},
        {"C:\\dir\\", plat::kErrorFileNotFound},      {"C:\\dir\\a|b", plat::kErrorInvalidName},
    };
    for (const auto& f : failures) {
        std::uint32_t error = 0;
        EXPECT_TRUE(Find(f.pattern, &error).empty()) << f.pattern;
        EXPECT_EQ(error, f.error) << f.pattern;
    }
    EXPECT_FALSE(P().FindNextFileA(0x12345, data));
    EXPECT_EQ(P().GetLastError(), plat::kErrorInvalidHandle);
    EXPECT_FALSE(P().FindClose(0x12345));
}

}  // namespace
