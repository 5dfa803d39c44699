// What the installer reads again only when it changed: a package replaced in
// the same place gives its own properties at the next opening, and the
// product enumeration follows installs and uninstalls.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/msi/MsiFixture.h"
#include "tests/support/Paths.h"

namespace msitest {
namespace {

using plat::Sys;

class PackageReuseTest : public MsiTest {
protected:
    // Copies build/packages/<name>.msi to C:\reuse.msi, dated back by an hour
    // so that an opening may keep it.
    void Place(const std::string& name) {
        std::ifstream in(testing_paths::PackagePath(name), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << name;
        WriteFile("C:\\reuse.msi", bytes);
        const std::string host = Host("C:\\reuse.msi");
        struct stat st;
        ASSERT_EQ(::stat(host.c_str(), &st), 0);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        times[1].tv_sec -= 3600 + (++placed_);  // each placement its own time stamp
        ASSERT_EQ(::utimensat(AT_FDCWD, host.c_str(), times, 0), 0);
    }
    std::string ProductName() {
        plat::MsiHandle package = 0;
        EXPECT_EQ(Sys().MsiOpenPackageA("C:\\reuse.msi", &package), 0u);
        char value[256];
        std::uint32_t size = sizeof value;
        EXPECT_EQ(Sys().MsiGetPropertyA(package, "ProductName", value, &size), 0u);
        EXPECT_EQ(Sys().MsiCloseHandle(package), 0u);
        return std::string(value, size);
    }

private:
    int placed_ = 0;
};

TEST_F(PackageReuseTest, ReplacedOrRemovedPackageIsReadAgain) {
    Place("lumo");
    EXPECT_EQ(ProductName(), "Corvanta Lumo");
    EXPECT_EQ(ProductName(), "Corvanta Lumo") << "opened again, unchanged";
    Place("qualvane");
    EXPECT_EQ(ProductName(), "Corvanta Qualvane");

    ASSERT_TRUE(Sys().DeleteFileA("C:\\reuse.msi"));
    plat::MsiHandle package = 0;
    EXPECT_NE(Sys().MsiOpenPackageA("C:\\reuse.msi", &package), 0u) << "a removed package is not served";
    EXPECT_EQ(package, 0u);
}

std::vector<std::string> Products() {
    std::vector<std::string> codes;
    char code[39];
    for (std::uint32_t i = 0; Sys().MsiEnumProductsA(i, code) == 0; ++i) codes.push_back(code);
    return codes;
}

TEST_F(PackageReuseTest, EnumerationFollowsInstallsAndUninstalls) {
    const std::vector<std::string> before = Products();
    ASSERT_EQ(Install("vaultline"), 0u);
    std::vector<std::string> after = Products();
    EXPECT_EQ(after.size(), before.size() + 1);
    EXPECT_NE(std::find(after.begin(), after.end(), kVaultline), after.end());
    ASSERT_EQ(Install("tracklight"), 0u);
    EXPECT_EQ(Products().size(), before.size() + 2);
    ASSERT_EQ(Uninstall(kVaultline), 0u);
    after = Products();
    EXPECT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(std::find(after.begin(), after.end(), kVaultline), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), kTracklight), after.end());
}

}  // namespace
}  // namespace msitest
