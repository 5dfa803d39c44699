// A damaged installation package (one byte changed in a good one, found by
// fuzzing the database readers) is refused by the installer calls instead
// of bringing the process down, and a continuation run whose package copy is
// such a file ends normally.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/sim/SimPlatform.h"
#include "tests/support/Paths.h"
#include "tests/support/ToolRun.h"

namespace faultsweep {
namespace {

const char kCopy[] = "C:\\CorvantaSDLC_Temp\\damaged.msi";

std::string Damaged() {
    std::ifstream in(testing_paths::SourceDir() + "/tests/fuzz/seeds/msidatabase/damaged-open.msi",
                     std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(DamagedPackageTest, TheInstallerCallsRefuseIt) {
    toolrun::ToolMachine machine;
    ASSERT_TRUE(machine.Ready());
    const std::string bytes = Damaged();
    ASSERT_FALSE(bytes.empty());
    ASSERT_TRUE(machine.WriteFile(kCopy, bytes));
    plat::Platform* previous = plat::SetPlatform(&machine.Sim().Platform());
    plat::MsiHandle database = 0;
    const std::uint32_t openDatabase = plat::Sys().MsiOpenDatabaseA(kCopy, 0, &database);
    plat::MsiHandle package = 0;
    const std::uint32_t openPackage = plat::Sys().MsiOpenPackageA(kCopy, &package);
    if (database != 0) plat::Sys().MsiCloseHandle(database);
    if (package != 0) plat::Sys().MsiCloseHandle(package);
    plat::SetPlatform(previous);
    EXPECT_EQ(openDatabase, 1620u);
    EXPECT_EQ(openPackage, 1620u);
}

TEST(DamagedPackageTest, ACleanupOfItEndsNormally) {
    toolrun::ToolMachine machine;
    ASSERT_TRUE(machine.Ready());
    ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
    ASSERT_TRUE(machine.WriteFile(kCopy, Damaged()));
    ASSERT_TRUE(machine.WriteFile("C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt",
                                  std::string("1\r\nLumo\r\nCorvanta Lumo\r\n2.0.0\r\n"
                                              "{C0B1A004-0001-4000-8000-000000000000}\r\n") +
                                      kCopy + "\r\n"));
    const toolrun::ProcessResult run =
        machine.RunTool({"C:\\logs\\u.txt", "-c", "-r", "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::string log;
    ASSERT_TRUE(machine.ReadFile("C:\\logs\\u.txt", log));
    EXPECT_NE(log.find("Completed file cleanup."), std::string::npos) << log;
}

}  // namespace
}  // namespace faultsweep
