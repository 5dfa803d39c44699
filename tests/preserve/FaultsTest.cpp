// Failures of the machine during preservation: a file that cannot be copied
// is simply not preserved, nothing is reported and the run goes on.
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "tests/preserve/InstallLayout.h"
#include "tests/preserve/PreserveFixture.h"
#include "tests/support/ToolRun.h"

namespace preserve_test {
namespace {

const std::string kI = kInstall;
const std::string kSaved = "D:\\Saved";
const std::string kRoot = kSaved + "\\Corvanta.Preserve";

std::string Parent(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

struct FaultCase {
    const char* name;
    Set set;
    void (CCorvantaProducts::*operation)();
    Found found;
    const char* operationFaulted;
    std::string pattern;
    std::uint32_t code;
    std::vector<std::string> lost;  // PreservedBy destinations not copied ("*" all)
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

Found With(bool Found::*flag) {
    Found found;
    found.*flag = true;
    return found;
}

class PreserveFaultTest : public PreserveTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(PreserveFaultTest, LosesOnlyWhatFailedAndSaysNothing) {
    const FaultCase& c = GetParam();
    SeedInstall(UserFiles());
    for (const std::string& dir : UserDirs()) SeedDir(kI + dir);
    ASSERT_TRUE(Tool().AddFault(c.operationFaulted, c.pattern, c.code));
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    (Products(options, c.found).*c.operation)();

    const bool all = c.lost.size() == 1 && c.lost.front() == "*";
    std::vector<std::string> files;
    std::vector<std::string> dirs = DirsFromNothing(c.set);
    for (const std::string& dir : EmptyDirsOf(c.set)) dirs.push_back(dir);
    for (const Preserved& p : PreservedBy(c.set)) {
        const bool lost = all || std::find(c.lost.begin(), c.lost.end(), p.dest) != c.lost.end();
        if (lost) {
            dirs.push_back(Parent(p.dest));  // made before the copy was tried
        } else {
            files.push_back(p.dest);
            EXPECT_EQ(Read(kRoot + p.dest), "src:" + p.source) << p.dest;
        }
    }
    EXPECT_EQ(Tree(kRoot), TreeOf(files, dirs));
    EXPECT_EQ(LogText(), SetLog(c.set, kI, kRoot, false));
}

INSTANTIATE_TEST_SUITE_P(Cases, PreserveFaultTest,
                         ::testing::Values(FaultCase{"OneFileOfATreeDenied",
                                                     Set::Vaultline,
                                                     &CCorvantaProducts::PreserveVaultlineData,
                                                     With(&Found::vaultline),
                                                     "CopyFileA",
                                                     "*\\Vaultline\\var\\db\\store.dat",
                                                     5,
                                                     {"\\Vaultline\\var\\db\\store.dat"}},
                                           FaultCase{"OneFoundFileLocked",
                                                     Set::Tracklight,
                                                     &CCorvantaProducts::PreserveTracklightWebData,
                                                     With(&Found::tracklight),
                                                     "CopyFileA",
                                                     "*\\other\\xcommon.properties",
                                                     32,
                                                     {"\\common\\mxa\\other\\xcommon.properties"}},
                                           FaultCase{"OnePatternCopyDenied",
                                                     Set::CommonWeb,
                                                     &CCorvantaProducts::PreserveCommonWebData,
                                                     With(&Found::overlook),
                                                     "CopyFileA",
                                                     "*\\key.kdb",
                                                     5,
                                                     {"\\common\\mxa\\PXD\\key.kdb"}},
                                           FaultCase{"DiskFull",
                                                     Set::Overlook,
                                                     &CCorvantaProducts::PreserveOverlookData,
                                                     With(&Found::overlook),
                                                     "CopyFileA",
                                                     "D:\\Saved\\*",
                                                     112,
                                                     {"*"}}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

const char kProjectListKey[] =
    "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";

struct ListFaultCase {
    const char* name;
    const char* operation;
    int times;
};

void PrintTo(const ListFaultCase& c, std::ostream* os) {
    *os << c.name;
}

class ProjectListFaultTest : public PreserveTest, public ::testing::WithParamInterface<ListFaultCase> {};

// An unreadable project list leaves the list empty: the heading and nothing
// else.
TEST_P(ProjectListFaultTest, LeavesTheListEmpty) {
    const ListFaultCase& c = GetParam();
    SeedInstall(UserFiles());
    const std::string project = kI + "\\Projects\\Alpha\\Alpha";
    ASSERT_TRUE(Machine().Registry().SetValue(
        kProjectListKey, {"Data List", 7, project + std::string(1, '\0') + std::string(1, '\0')}));
    ASSERT_TRUE(Tool().AddFault(c.operation, "*\\ProjectList", 5, c.times));
    CCorvantaProducts& products = Products();
    products.PreserveAdministratorProjects();
    EXPECT_TRUE(products.AdminProjectDirs().empty());
    EXPECT_FALSE(IsDir("C:\\Corvanta.Preserve"));
    EXPECT_EQ(LogText(), "Backing up Corvanta Administrator Directories\n\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, ProjectListFaultTest,
                         ::testing::Values(ListFaultCase{"KeyDenied", "RegOpenKeyExA", 0},
                                           ListFaultCase{"SizeUnreadable", "RegQueryValueExA", 1},
                                           ListFaultCase{"ValueUnreadable", "RegQueryValueExA", 0}),
                         [](const ::testing::TestParamInfo<ListFaultCase>& info) {
                             return std::string(info.param.name);
                         });

// The real tool: with no copy possible into the preserve folder and the
// registry editor unable to start, the products are still uninstalled.
TEST(PreserveFaultScenarioTest, TheRunGoesOnToTheUninstall) {
    toolrun::ToolMachine machine;
    ASSERT_TRUE(machine.Ready());
    ASSERT_TRUE(machine.Install("pv_vaultline"));
    ASSERT_TRUE(machine.WriteFile(kI + "\\Vaultline\\var\\db\\store.dat", "data"));
    ASSERT_TRUE(machine.AddFault("CopyFileA", "C:\\Corvanta.Preserve\\*", 112));
    ASSERT_TRUE(machine.AddFault("CreateProcessA", "regedit.exe*", 2));
    const toolrun::ProcessResult run = machine.RunTool({"C:\\uninstall.txt", "-nr"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    std::string log;
    ASSERT_TRUE(machine.ReadFile("C:\\uninstall.txt", log));
    EXPECT_NE(
        log.find(
            "Backing up VL Files.\r\n\r\nPreserving Common Web Directories\r\n\r\n"
            "Backing up Corvanta Administrator Directories\r\n\r\nBeginning uninstallation of products."),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("Uninstall of product Zel Corvanta Vaultline PV succeeded."), std::string::npos)
        << log;
    EXPECT_FALSE(machine.FileExists("C:\\Corvanta.Preserve\\Vaultline\\var\\db\\store.dat"));
    EXPECT_TRUE(machine.FileExists("C:\\Corvanta.Preserve\\Vaultline\\var\\db"));
    EXPECT_FALSE(machine.FileExists("C:\\vl_tolvi_hklm.reg"));
    EXPECT_FALSE(machine.FileExists(kI + "\\Vaultline\\var\\config.xml"));
}

}  // namespace
}  // namespace preserve_test
