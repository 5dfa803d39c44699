// The keep rule and the removal of the vendor's key trees.
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "regcleanup/CRemoveRegKeys.h"
#include "tests/regcleanup/RegistryFixture.h"
#include "tests/regcleanup/TestDatabase.h"

namespace regtest {
namespace {

const char kHklmTolvi[] = "HKEY_LOCAL_MACHINE\\Software\\Tolvi";
const char kHkcuTolvi[] = "HKEY_CURRENT_USER\\Software\\Tolvi";
const char kHklmVendor[] = "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software";
const char kHkcuVendor[] = "HKEY_CURRENT_USER\\Software\\Corvanta Software";
const char kHkuTolvi[] = "HKEY_USERS\\.DEFAULT\\Software\\Tolvi";
const char kHkuVendor[] = "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software";
// Neighbours the removal must not touch.
const char kHklmTolvi2[] = "HKEY_LOCAL_MACHINE\\Software\\Tolvi2";
const char kHkcuVendors[] = "HKEY_CURRENT_USER\\Software\\Corvanta Softwares";
const char kHkcrDocument[] = "HKEY_CLASSES_ROOT\\Corvanta.Lumo.Document";

const std::vector<std::string> kRoots = {kHklmTolvi, kHkcuTolvi,  kHklmVendor,  kHkcuVendor,  kHkuTolvi,
                                         kHkuVendor, kHklmTolvi2, kHkcuVendors, kHkcrDocument};

// The machine of every case. adminKey is the Administrator's key name,
// projectKey its project-list key name (so that their letter case can vary).
void SeedTrees(plat::SimRegistry& reg, const std::string& adminKey, const std::string& projectKey) {
    const std::string admin = std::string(kHkcuVendor) + "\\" + adminKey;
    ASSERT_TRUE(reg.SetString(std::string(kHklmTolvi) + "\\Lumo", "Version", "7.0"));
    ASSERT_TRUE(reg.SetString(std::string(kHklmTolvi) + "\\Lumo\\Sub", "X", "1"));
    ASSERT_TRUE(reg.CreateKey(kHkcuTolvi));
    ASSERT_TRUE(reg.SetString(std::string(kHklmVendor) + "\\Lumo\\Settings", "Path", "C:\\Lumo"));
    ASSERT_TRUE(reg.SetString(std::string(kHkcuVendor) + "\\Alpha\\Deep", "A", "1"));
    ASSERT_TRUE(reg.SetString(admin + "\\Other", "B", "1"));
    ASSERT_TRUE(reg.SetString(admin + "\\" + projectKey, "Data List", "C:\\Projects\\one.cvp"));
    ASSERT_TRUE(reg.SetString(std::string(kHkcuVendor) + "\\Zeta", "Z", "1"));
    ASSERT_TRUE(reg.SetString(std::string(kHkuVendor) + "\\Lumo", "Lang", "en"));
    ASSERT_TRUE(reg.SetString(kHklmTolvi2, "Keep", "1"));
    ASSERT_TRUE(reg.SetString(kHkcuVendors, "Keep", "1"));
    ASSERT_TRUE(reg.SetString(kHkcrDocument, "", "document"));
}

const std::vector<std::string> kNeighbours = {
    std::string(kHklmTolvi2),   std::string(kHklmTolvi2) + "\tKeep = 1",
    std::string(kHkcuVendors),  std::string(kHkcuVendors) + "\tKeep = 1",
    std::string(kHkcrDocument), std::string(kHkcrDocument) + "\t = document",
};

// HKCU's vendor tree after a walk that spared the project list: Alpha
// (listed before the Administrator's key) and Other (before ProjectList)
// gone, Zeta (after) kept.
std::vector<std::string> SparedUserTree(const std::string& adminKey, const std::string& projectKey) {
    const std::string admin = std::string(kHkcuVendor) + "\\" + adminKey;
    return {kHkcuVendor,
            admin,
            admin + "\\" + projectKey,
            admin + "\\" + projectKey + "\tData List = C:\\Projects\\one.cvp",
            std::string(kHkcuVendor) + "\\Zeta",
            std::string(kHkcuVendor) + "\\Zeta\tZ = 1"};
}

// The machine's tree below HKLM\Software\Tolvi, left whole.
const std::vector<std::string> kWholeMachineTolvi = {
    kHklmTolvi,
    std::string(kHklmTolvi) + "\\Lumo",
    std::string(kHklmTolvi) + "\\Lumo\tVersion = 7.0",
    std::string(kHklmTolvi) + "\\Lumo\\Sub",
    std::string(kHklmTolvi) + "\\Lumo\\Sub\tX = 1",
};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Case {
    const char* title;
    bool clean;
    std::string adminKey;
    std::string projectKey;
    std::vector<std::tuple<std::string, std::string, std::uint32_t>> faults;
    std::vector<std::string> expectedAfter;
    std::string expectedLog;  // without debug
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.title;
}

const Case kCases[] = {
    {"the project list is spared",
     false,
     "Corvanta Administrator",
     "ProjectList",
     {},
     Join({SparedUserTree("Corvanta Administrator", "ProjectList"), kNeighbours}),
     ""},
    {"the project list written in capitals is spared",
     false,
     "CORVANTA ADMINISTRATOR",
     "PROJECTLIST",
     {},
     Join({SparedUserTree("CORVANTA ADMINISTRATOR", "PROJECTLIST"), kNeighbours}),
     ""},
    {"clean: every tree goes whole", true, "Corvanta Administrator", "ProjectList", {}, kNeighbours, ""},
    {"a key that cannot be opened stays with all it holds",
     true,
     "Corvanta Administrator",
     "ProjectList",
     {{"RegOpenKeyExA", std::string(kHklmTolvi) + "\\Lumo", 5}},
     Join({kWholeMachineTolvi, kNeighbours}),
     "CDeleteCorvantaSoftwareAndTolviKeys:  " + ToolLog::GetSystemErrorText(5) + "\n\n"},
    {"a key that vanishes when opened but is still listed",
     true,
     "Corvanta Administrator",
     "ProjectList",
     {{"RegOpenKeyExA", std::string(kHklmTolvi) + "\\Lumo", 2}},
     Join({kWholeMachineTolvi, kNeighbours}),
     ""},
    {"a final deletion that fails is not reported",
     true,
     "Corvanta Administrator",
     "ProjectList",
     {{"RegDeleteKeyA", std::string(kHklmVendor) + "\\Lumo\\Settings", 5}},
     Join({{kHklmVendor, std::string(kHklmVendor) + "\\Lumo", std::string(kHklmVendor) + "\\Lumo\\Settings",
            std::string(kHklmVendor) + "\\Lumo\\Settings\tPath = C:\\Lumo"},
           kNeighbours}),
     ""},
};

class VendorTreesTest : public RegistryFixture, public ::testing::WithParamInterface<Case> {};

// With no suite product left, the package's own entries are not used and
// the six trees go instead.
TEST_P(VendorTreesTest, RemovesTheTreesWhenNoSuiteProductRemains) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.title);
    SeedTrees(Reg(), c.adminKey, c.projectKey);
    std::string error;
    ASSERT_TRUE(CreateDatabase(HostTestPath("cleaned.msi"), {{"ALLUSERS", "1"}},
                               std::vector<RegistryRow>{{"doc", 0, "Corvanta.Lumo.Document", ""},
                                                        {"tolvi2", 2, "Software\\Tolvi2", "Keep"}},
                               error))
        << error;
    for (const auto& fault : c.faults) {
        ASSERT_TRUE(AddFault(std::get<0>(fault), std::get<1>(fault), std::get<2>(fault)));
    }

    StartCapture();
    CRemoveRegKeys remover(c.clean, false);
    EXPECT_TRUE(remover.RemoveRegistry(WindowsTestPath("cleaned.msi"), {}, log));
    std::string out, err;
    StopCapture(out, err);

    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_EQ(LogText(), Unix(c.expectedLog));
    EXPECT_EQ(DumpTrees(Reg(), kRoots), c.expectedAfter);
    // Only keys are removed here, never single values.
    EXPECT_TRUE(OpenKeysAtDelete().empty());
    ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Cases, VendorTreesTest, ::testing::ValuesIn(kCases));

std::string Entered(const std::string& path) {
    return "DEBUG: Entered CDeleteCorvantaSoftwareAndTolviKeys for key " + path + "\n\n" +
           "PreserveKeyOrValue:  DEBUG: Key or value to check is " + path + "\n\n\n";
}

// Debug mode: the line of each tree, then for each key visited its own line
// and the keep rule's, before anything else happens to it.
TEST_F(RegistryFixture, DebugLinesFollowTheWalk) {
    const std::string admin = std::string(kHkcuVendor) + "\\Corvanta Administrator";
    ASSERT_TRUE(Reg().CreateKey(std::string(kHkcuVendor) + "\\Alpha"));
    ASSERT_TRUE(Reg().SetString(admin + "\\ProjectList", "Data List", "C:\\Projects\\one.cvp"));
    ASSERT_TRUE(Reg().CreateKey(std::string(kHkcuVendor) + "\\Zeta"));
    std::string error;
    ASSERT_TRUE(CreateDatabase(HostTestPath("cleaned.msi"), {}, std::vector<RegistryRow>{}, error)) << error;

    CRemoveRegKeys remover(false, true);
    EXPECT_TRUE(remover.RemoveRegistry(WindowsTestPath("cleaned.msi"), {}, log));

    const std::string vendor = "Software\\Corvanta Software";
    const std::string expected =
        "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi\n" + Entered("Software\\Tolvi") +
        "DEBUG: Deleting keys from HKEY_CURRENT_USER\\SOFTWARE\\Tolvi\n" + Entered("Software\\Tolvi") +
        "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\Software\\Corvanta Software\n" + Entered(vendor) +
        "DEBUG: Deleting keys from HKEY_CURRENT_USER\\Software\\Corvanta Software\n" + Entered(vendor) +
        Entered(vendor + "\\Alpha") + Entered(vendor + "\\Corvanta Administrator") +
        Entered(vendor + "\\Corvanta Administrator\\ProjectList") +
        "DEBUG: Preserving the value: Software\\Corvanta Software\\Corvanta Administrator\\ProjectList\n" +
        "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Tolvi\n" +
        Entered(".DEFAULT\\Software\\Tolvi") +
        "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software\n" +
        Entered(".DEFAULT\\Software\\Corvanta Software");
    EXPECT_EQ(LogText(), expected);
    EXPECT_EQ(DumpTrees(Reg(), {kHkcuVendor}),
              (std::vector<std::string>{kHkcuVendor, admin, admin + "\\ProjectList",
                                        admin + "\\ProjectList\tData List = C:\\Projects\\one.cvp",
                                        std::string(kHkcuVendor) + "\\Zeta"}));
}

// What one tree walk reports back, and what it leaves.
struct WalkCase {
    const char* title;
    bool clean;
    std::string path;  // below HKEY_CURRENT_USER
    int result;
    bool staysAfter;
};

void PrintTo(const WalkCase& c, std::ostream* os) {
    *os << c.title;
}

const WalkCase kWalks[] = {
    {"missing tree", false, "Software\\Tolvi\\Absent", 1, false},
    {"key without subkeys", false, "Software\\Corvanta Software\\Zeta", 1, false},
    {"tree holding the project list", false, "Software\\Corvanta Software", 0, true},
    {"the project list itself", false, "Software\\Corvanta Software\\Corvanta Administrator\\ProjectList", 0,
     true},
    {"tree holding the project list, clean", true, "Software\\Corvanta Software", 1, false},
};

class TreeWalkTest : public RegistryFixture, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(TreeWalkTest, TellsWhetherTheKeyIsGone) {
    const WalkCase& c = GetParam();
    SCOPED_TRACE(c.title);
    SeedTrees(Reg(), "Corvanta Administrator", "ProjectList");
    CRemoveRegKeys remover(c.clean, false, log);
    EXPECT_EQ(remover.CDeleteCorvantaSoftwareAndTolviKeys(plat::kHkeyCurrentUser, c.path), c.result);
    EXPECT_EQ(Reg().KeyExists("HKEY_CURRENT_USER\\" + c.path), c.staysAfter);
    ExpectNothingLeftOpen();
    EXPECT_EQ(LogText(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, TreeWalkTest, ::testing::ValuesIn(kWalks));

struct KeepCase {
    std::string text;
    bool clean;
    bool kept;
};

const KeepCase kKeeps[] = {
    {"Software\\Corvanta Software\\Corvanta Administrator\\ProjectList", false, true},
    {"SOFTWARE\\CORVANTA SOFTWARE\\CORVANTA ADMINISTRATOR\\PROJECTLIST", false, true},
    {".DEFAULT\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList\\Recent", false, true},
    {"Software\\Corvanta Software\\Corvanta Administrator", false, false},
    {"Software\\Corvanta Software\\Corvanta Administrator\\Project List", false, false},
    {"Data List", false, false},
    {"Software\\Corvanta Software\\Corvanta Administrator\\ProjectList", true, false},
};

// The keep rule, with the lines it writes in debug mode.
TEST_F(RegistryFixture, KeepRuleSparesOnlyTheProjectList) {
    std::string expected;
    for (const KeepCase& c : kKeeps) {
        SCOPED_TRACE(c.text);
        CRemoveRegKeys remover(c.clean, true, log);
        EXPECT_EQ(remover.PreserveKeyOrValue(c.text), c.kept);
        if (c.clean) continue;  // nothing is written with -c
        expected += "PreserveKeyOrValue:  DEBUG: Key or value to check is " + c.text + "\n\n\n";
        if (c.kept) expected += "DEBUG: Preserving the value: " + c.text + "\n";
    }
    EXPECT_EQ(LogText(), expected);
}

}  // namespace
}  // namespace regtest
