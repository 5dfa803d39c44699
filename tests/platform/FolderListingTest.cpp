// Case-insensitive resolution keeps a folder's listing while the folder is
// unchanged: what changes in the folder is seen at the next resolution.
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "tests/platform/MachineFixture.h"

namespace {

class FolderListingTest : public MachineTest {
protected:
    // Dates the host folder of a Windows folder back by an hour, so that its
    // listing is kept from the next resolution on.
    void Age(const std::string& hostFolder) {
        struct stat st;
        ASSERT_EQ(::stat(hostFolder.c_str(), &st), 0);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        times[1].tv_sec -= 3600;
        ASSERT_EQ(::utimensat(AT_FDCWD, hostFolder.c_str(), times, 0), 0);
    }
    std::string Resolve(const std::string& windowsPath) {
        std::string host;
        std::uint32_t error = 0;
        EXPECT_TRUE(P().ToHostPath(windowsPath, host, error)) << windowsPath;
        return host;
    }
};

TEST_F(FolderListingTest, EntriesAddedRemovedOrRenamedAfterAResolutionAreSeen) {
    Put("C:\\Listing\\Alpha.txt");
    const std::string folder = PrefixDir() + "/drive_c/Listing";
    Age(folder);
    EXPECT_EQ(Resolve("c:\\LISTING\\alpha.TXT"), folder + "/Alpha.txt");
    EXPECT_EQ(Resolve("c:\\listing\\beta.txt"), folder + "/beta.txt") << "missing: taken as written";

    // Changed on the host, behind the machine's back.
    ASSERT_EQ(::mkdir((folder + "/BETA.TXT").c_str(), 0755), 0);
    EXPECT_EQ(Resolve("c:\\listing\\beta.txt"), folder + "/BETA.TXT");
    ASSERT_EQ(::rename((folder + "/Alpha.txt").c_str(), (folder + "/ALPHA.txt").c_str()), 0);
    Age(folder);
    EXPECT_EQ(Resolve("c:\\listing\\alpha.txt"), folder + "/ALPHA.txt");
    ASSERT_EQ(::rmdir((folder + "/BETA.TXT").c_str()), 0);
    EXPECT_EQ(Resolve("c:\\listing\\beta.txt"), folder + "/beta.txt");

    // Changed through the machine.
    ASSERT_TRUE(P().CreateDirectoryA("C:\\Listing\\Gamma"));
    EXPECT_EQ(Resolve("c:\\listing\\GAMMA\\x"), folder + "/Gamma/x");
}

TEST_F(FolderListingTest, NamesDifferingOnlyInCaseResolveToTheLowestOneFromAKeptListing) {
    Put("C:\\Twins\\readme.txt");
    const std::string folder = PrefixDir() + "/drive_c/Twins";
    // The machine writes to the existing file; the twin is made on the host.
    std::ofstream(folder + "/README.TXT") << "x";
    Age(folder);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Resolve("C:\\twins\\ReadMe.txt"), folder + "/README.TXT") << "round " << round;
    }
}

}  // namespace
