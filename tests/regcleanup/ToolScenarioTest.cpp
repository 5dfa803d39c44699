// The registry cleanup as the real tool does it: a continuation run on a
// simulated machine with the saved package of RC Lumo, the registry left
// behind and the log sections compared whole with what is expected.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/sim/SimInstaller.h"
#include "tests/regcleanup/ExpectedLog.h"
#include "tests/regcleanup/RegistryFixture.h"
#include "tests/regcleanup/TestDatabase.h"
#include "tests/support/Paths.h"
#include "tests/support/ToolRun.h"

namespace regtest {
namespace {

const char kHklm[] = "HKEY_LOCAL_MACHINE\\";
const char kHkcu[] = "HKEY_CURRENT_USER\\";
const char kHkcr[] = "HKEY_CLASSES_ROOT\\";
const char kHku[] = "HKEY_USERS\\";
const char kVendor[] = "Software\\Corvanta Software";
const char kTempDir[] = "C:\\CorvantaSDLC_Temp";
const char kPackageCopy[] = "C:\\CorvantaSDLC_Temp\\rc_lumo.msi";
const char kDataFile[] = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
const char kLogPath[] = "C:\\rclogs\\uninstall.log";

// What the registry export covers: the vendor's trees and neighbours, the
// SharedDLLs key, the installer's Uninstall key and the package's class key.
const std::vector<std::string> kExportRoots = {
    "HKEY_LOCAL_MACHINE\\Software\\Tolvi",
    "HKEY_CURRENT_USER\\Software\\Tolvi",
    "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software",
    "HKEY_CURRENT_USER\\Software\\Corvanta Software",
    "HKEY_USERS\\.DEFAULT\\Software\\Tolvi",
    "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software",
    "HKEY_LOCAL_MACHINE\\Software\\Tolvi2",
    "HKEY_CLASSES_ROOT\\Corvanta.RcLumo.Document",
    kSharedDllsPath,
    plat::kUninstallKey,
};

struct Seed {
    std::string key;
    std::string name;
    std::string data;
    bool dword = false;
};

std::string V(const std::string& sub) {
    return std::string(kVendor) + "\\" + sub;
}

// The values RC Lumo's table names, left behind on the machine (the Root -1
// entry both per machine and per user), and others beside them.
const std::vector<Seed> kLeftovers = {
    {kHklm + V("RC Lumo"), "InstallPath", "C:\\Program Files\\Corvanta RC\\Lumo\\"},
    {kHklm + V("RC Lumo"), "Undeclared", "stays"},
    {kHklm + V("RC Lumo\\Default"), "", "default"},
    {kHklm + V("RC Lumo\\Scope"), "Where", "machine"},
    {kHkcu + V("RC Lumo\\Scope"), "Where", "user"},
    {kHklm + V("RC Common"), "Shared", "machine"},
    {std::string(kHkcr) + "Corvanta.RcLumo.Document", "", "document"},
    {kHku + std::string(".DEFAULT\\") + V("RC Lumo"), "Lang", "en"},
    {kHkcu + V("Corvanta Administrator\\ProjectList"), "Data List", "C:\\Projects\\one.cvp"},
    {kHklm + V("RC Locked"), "Value", "locked"},
    {kHklm + V("RC Sealed"), "Value", "sealed"},
};

// SharedDLLs values, in name order.
const std::vector<Seed> kSharedDlls = {
    {kSharedDllsPath, "C:\\Apps\\corvanta\\lower.dll", "1", true},
    {kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\JRE\\bin\\java.dll", "3", true},
    {kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\lumo.dll", "1", true},
    {kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\many.dll", "4", true},
    {kSharedDllsPath, "C:\\Program Files\\Other\\other.dll", "2", true},
};

// The vendor trees of a machine with no suite product left.
std::vector<Seed> TreeSeeds(const std::string& adminKey, const std::string& projectKey) {
    return {
        {"HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Locked\\Inner", "V", "1"},
        {"HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Lumo", "Version", "7.0"},
        {kHklm + V("RC Lumo"), "InstallPath", "C:\\Program Files\\Corvanta RC\\Lumo\\"},
        {kHkcu + V("Alpha"), "A", "1"},
        {kHkcu + V(adminKey + "\\Other"), "B", "1"},
        {kHkcu + V(adminKey + "\\" + projectKey), "Data List", "C:\\Projects\\one.cvp"},
        {kHkcu + V("Zeta"), "Z", "1"},
        {kHku + std::string(".DEFAULT\\") + V("RC Lumo"), "Lang", "en"},
        {"HKEY_LOCAL_MACHINE\\Software\\Tolvi2", "Keep", "1"},
        {std::string(kHkcr) + "Corvanta.RcLumo.Document", "", "document"},
    };
}

using Fault = std::tuple<std::string, std::string, std::uint32_t>;

struct Scenario {
    const char* title;
    bool keeper;      // RC Keeper stays installed
    bool allUsers;    // the package copy keeps ALLUSERS = 1
    bool noRegistry;  // the package copy has no Registry table
    std::vector<std::string> options;
    std::vector<Seed> seeds;
    std::vector<Fault> faults;
    bool sharedDllsOpens;  // the SharedDLLs search opens its key
    // The registry cleanup's text at the end of the file cleanup section.
    // "@VIEW@" stands for the text of the installer's missing-table code.
    std::string registryText;
    // Keys (whole, with everything below) and values ("key\tname") gone afterwards.
    std::vector<std::string> goneKeys;
    std::vector<std::string> goneValues;
    bool errorBox = false;
};

void PrintTo(const Scenario& c, std::ostream* os) {
    *os << c.title;
}

std::string Value(const std::string& key, const std::string& name) {
    return key + "\t" + name;
}

std::vector<Seed> Join(std::vector<Seed> a, const std::vector<Seed>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kDebugTrees =
    "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi\n" + EnteredLines("Software\\Tolvi") +
    EnteredLines("Software\\Tolvi\\Locked") + EnteredLines("Software\\Tolvi\\Locked\\Inner") +
    EnteredLines("Software\\Tolvi\\Lumo") + "DEBUG: Deleting keys from HKEY_CURRENT_USER\\SOFTWARE\\Tolvi\n" +
    EnteredLines("Software\\Tolvi") +
    "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\Software\\Corvanta Software\n" + EnteredLines(kVendor) +
    EnteredLines(V("RC Lumo")) +
    "DEBUG: Deleting keys from HKEY_CURRENT_USER\\Software\\Corvanta Software\n" + EnteredLines(kVendor) +
    EnteredLines(V("Alpha")) + EnteredLines(V("CORVANTA ADMINISTRATOR")) +
    EnteredLines(V("CORVANTA ADMINISTRATOR\\Other")) +
    EnteredLines(V("CORVANTA ADMINISTRATOR\\PROJECTLIST")) +
    KeptLine(V("CORVANTA ADMINISTRATOR\\PROJECTLIST")) +
    "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Tolvi\n" +
    EnteredLines(".DEFAULT\\Software\\Tolvi") +
    "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software\n" +
    EnteredLines(".DEFAULT\\" + std::string(kVendor)) + EnteredLines(".DEFAULT\\" + V("RC Lumo"));

const Scenario kScenarios[] = {
    {"remaining product, ALLUSERS 1, failing key and value",
     true,
     true,
     false,
     {},
     Join(kLeftovers, kSharedDlls),
     {{"RegOpenKeyExA", kHklm + V("RC Sealed"), 5}, {"RegDeleteValueA", kHklm + V("RC Locked"), 5}},
     true,
     DeletedLine(kHklm, V("RC Lumo"), "InstallPath") + DeletedLine(kHklm, V("RC Lumo\\Default"), "") +
         DeletedLine(kHklm, V("RC Lumo\\Scope"), "Where") + DeletedLine(kHklm, V("RC Common"), "Shared") +
         DeletedLine(kHkcr, "Corvanta.RcLumo.Document", "") +
         DeletedLine(kHku, ".DEFAULT\\" + V("RC Lumo"), "Lang") +
         DeleteErrorLine(5, kHklm, V("RC Locked"), "Value") + OpenErrorLine(5, kHklm, V("RC Sealed")),
     {},
     {Value(kHklm + V("RC Lumo"), "InstallPath"), Value(kHklm + V("RC Lumo\\Default"), ""),
      Value(kHklm + V("RC Lumo\\Scope"), "Where"), Value(kHklm + V("RC Common"), "Shared"),
      Value(std::string(kHkcr) + "Corvanta.RcLumo.Document", ""),
      Value(kHku + std::string(".DEFAULT\\") + V("RC Lumo"), "Lang"),
      Value(kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\lumo.dll"),
      Value(kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\many.dll")}},
    {"remaining product, no ALLUSERS, clean, SharedDLLs unopenable",
     true,
     false,
     false,
     {"-c"},
     Join(kLeftovers, kSharedDlls),
     {{"RegOpenKeyExA", kSharedDllsPath, 5}},
     false,
     DeletedLine(kHklm, V("RC Lumo"), "InstallPath") + DeletedLine(kHklm, V("RC Lumo\\Default"), "") +
         DeletedLine(kHkcu, V("RC Lumo\\Scope"), "Where") + DeletedLine(kHklm, V("RC Common"), "Shared") +
         DeletedLine(kHkcr, "Corvanta.RcLumo.Document", "") +
         DeletedLine(kHku, ".DEFAULT\\" + V("RC Lumo"), "Lang") +
         DeletedLine(kHkcu, V("Corvanta Administrator\\ProjectList"), "Data List") +
         DeletedLine(kHklm, V("RC Locked"), "Value") + DeletedLine(kHklm, V("RC Sealed"), "Value"),
     {},
     {Value(kHklm + V("RC Lumo"), "InstallPath"), Value(kHklm + V("RC Lumo\\Default"), ""),
      Value(kHkcu + V("RC Lumo\\Scope"), "Where"), Value(kHklm + V("RC Common"), "Shared"),
      Value(std::string(kHkcr) + "Corvanta.RcLumo.Document", ""),
      Value(kHku + std::string(".DEFAULT\\") + V("RC Lumo"), "Lang"),
      Value(kHkcu + V("Corvanta Administrator\\ProjectList"), "Data List"),
      Value(kHklm + V("RC Locked"), "Value"), Value(kHklm + V("RC Sealed"), "Value")}},
    {"no suite product left, clean, a key that cannot be opened",
     false,
     true,
     false,
     {"-c"},
     Join(TreeSeeds("Corvanta Administrator", "ProjectList"), kSharedDlls),
     {{"RegOpenKeyExA", "HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Locked", 5}},
     true,
     TreeOpenErrorLine(5),
     {"HKEY_CURRENT_USER\\Software\\Corvanta Software", "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software",
      "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software"},
     {Value(kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\lumo.dll"),
      Value(kSharedDllsPath, "C:\\Program Files\\Corvanta RC\\Lumo\\many.dll")}},
    {"no suite product left, project list in capitals, debug",
     false,
     true,
     false,
     {"-d"},
     TreeSeeds("CORVANTA ADMINISTRATOR", "PROJECTLIST"),
     {},
     true,
     kDebugTrees,
     {"HKEY_LOCAL_MACHINE\\Software\\Tolvi", "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software",
      "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Alpha",
      "HKEY_CURRENT_USER\\Software\\Corvanta Software\\CORVANTA ADMINISTRATOR\\Other",
      "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software"},
     {}},
    {"package without a Registry table",
     false,
     true,
     true,
     {"-c"},
     TreeSeeds("Corvanta Administrator", "ProjectList"),
     {},
     true,
     "CRemoveRegistryEntries:  @VIEW@\n\n",
     {},
     {},
     true},
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

bool Gone(const std::string& line, const Scenario& s) {
    for (const std::string& key : s.goneKeys) {
        if (line == key || line.rfind(key + "\\", 0) == 0 || line.rfind(key + "\t", 0) == 0) return true;
    }
    for (const std::string& value : s.goneValues) {
        if (line.rfind(value + " = ", 0) == 0) return true;
    }
    return false;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ToolScenarioTest : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        machine = std::make_unique<toolrun::ToolMachine>();
        ASSERT_TRUE(machine->Ready());
        sim = std::make_unique<plat::SimPlatform>(machine->Prefix());
        previous = plat::SetPlatform(sim.get());
    }
    void TearDown() override {
        plat::SetPlatform(previous);
        sim.reset();
        machine.reset();
    }
    std::unique_ptr<toolrun::ToolMachine> machine;
    std::unique_ptr<plat::SimPlatform> sim;
    plat::Platform* previous = nullptr;
};

TEST_P(ToolScenarioTest, LeavesTheExpectedRegistryAndLog) {
    const Scenario& s = GetParam();
    SCOPED_TRACE(s.title);
    toolrun::ToolMachine& m = *machine;
    if (s.keeper) {
        ASSERT_TRUE(m.Install("rc_keeper"));
    }

    // The saved package copy and the DataFile the first run would have left.
    std::ifstream in(testing_paths::PackagePath("rc_lumo"), std::ios::binary);
    const std::string package((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(m.WriteFile(kPackageCopy, package));
    std::filesystem::create_directories(m.HostPath("C:\\rclogs"));
    std::vector<std::string> changes = {"UPDATE `Registry` SET `Root` = -1 WHERE `Registry` = 'c_scope'"};
    if (!s.allUsers) changes.push_back("DELETE FROM `Property` WHERE `Property` = 'ALLUSERS'");
    if (s.noRegistry) changes = {"DROP TABLE `Registry`"};
    std::string error;
    ASSERT_TRUE(ChangeDatabase(m.HostPath(kPackageCopy), changes, error)) << error;
    ASSERT_TRUE(m.WriteFile(kDataFile, std::string("1\r\nLumo\r\nRC Lumo\r\n7.0.1\r\n"
                                                   "{7A2B3C40-0000-4000-8000-0000000A0001}\r\n") +
                                           kPackageCopy + "\r\n"));
    std::uint32_t viewCode = 0, openCode = 0;
    ASSERT_TRUE(InstallerErrorCodes(m.HostPath("C:\\rcprobe.msi"), "C:\\rcprobe.msi", viewCode, openCode));

    plat::SimRegistry& reg = sim->Registry();
    for (const Seed& seed : s.seeds) {
        if (seed.dword) {
            ASSERT_TRUE(reg.SetDword(seed.key, seed.name, static_cast<std::uint32_t>(std::stoul(seed.data))));
        } else {
            ASSERT_TRUE(reg.SetString(seed.key, seed.name, seed.data));
        }
    }
    for (const Fault& fault : s.faults) {
        ASSERT_TRUE(m.AddFault(std::get<0>(fault), std::get<1>(fault), std::get<2>(fault)));
    }
    const std::vector<std::string> before = DumpTrees(reg, kExportRoots);

    std::vector<std::string> args = {kLogPath, "-r", kDataFile};
    args.insert(args.end(), s.options.begin(), s.options.end());
    const toolrun::ProcessResult run = m.RunTool(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;

    // The registry left behind.
    std::vector<std::string> expectedAfter;
    for (const std::string& line : before) {
        if (!Gone(line, s)) expectedAfter.push_back(line);
    }
    plat::SimRegistry after(m.Prefix());
    EXPECT_EQ(DumpTrees(after, kExportRoots), expectedAfter);

    // The SharedDLLs section, on the console and in the log.
    std::vector<const Seed*> collected;
    for (const Seed& seed : s.seeds) {
        if (seed.key == kSharedDllsPath && seed.name.find("Corvanta") != std::string::npos)
            collected.push_back(&seed);
    }
    std::size_t sharedCount = 0;
    for (const std::string& line : before) {
        if (line.rfind(std::string(kSharedDllsPath) + "\t", 0) == 0) ++sharedCount;
    }
    std::string sharedLog = ToolLog::FormatMessageId(35) + "Number of entries in the key to process: " +
                            std::to_string(s.sharedDllsOpens ? sharedCount : 0) + "\n\n";
    std::string sharedOut = sharedLog;
    if (s.sharedDllsOpens) {
        for (const Seed* seed : collected) {
            sharedLog += seed->name + "\t" + seed->data + "\n";
            sharedOut += ".";
        }
        sharedLog += ToolLog::FormatMessageId(34);
        sharedOut += ToolLog::FormatMessageId(34);
    }
    if (!s.sharedDllsOpens || collected.empty()) {
        sharedLog += ToolLog::FormatMessageId(10);
        sharedOut += ToolLog::FormatMessageId(10);
    } else {
        sharedLog += ToolLog::FormatMessageId(9);
        sharedOut += ToolLog::FormatMessageId(9);
        for (const Seed* seed : collected) {
            if (seed->name.find("JRE") != std::string::npos) continue;
            sharedLog += "Deleting registry value " + seed->name + "\n";
            sharedOut += ".";
        }
        sharedLog += ToolLog::FormatMessageId(33);
        sharedOut += ToolLog::FormatMessageId(33);
    }
    const std::string entered = ToolLog::FormatMessageId(39);
    const std::string out = Unix(run.out);
    EXPECT_NE(out.find(sharedOut + entered), std::string::npos) << out;

    std::string rawLog;
    ASSERT_TRUE(m.ReadFile(kLogPath, rawLog));
    const std::string log = Unix(rawLog);
    // In the log the file cleanup's debug lines of construction may come
    // between the section and message 39.
    const std::size_t shared = log.find(ToolLog::FormatMessageId(50) + sharedLog);
    ASSERT_NE(shared, std::string::npos) << log;
    const std::string next = log.substr(shared + ToolLog::FormatMessageId(50).size() + sharedLog.size());
    EXPECT_TRUE(next.rfind(entered, 0) == 0 || next.rfind("DEBUG: ", 0) == 0) << log;

    // The registry cleanup closes the product's file cleanup section.
    const std::string registryText = Unix(Replace(s.registryText, "@VIEW@", SystemText(viewCode)));
    const std::string completed = ToolLog::FormatMessageId(53);
    const std::size_t sectionEnd = log.find(completed);
    ASSERT_NE(sectionEnd, std::string::npos) << log;
    ASSERT_GE(sectionEnd, registryText.size());
    EXPECT_EQ(log.substr(sectionEnd - registryText.size(), registryText.size()), registryText) << log;
    for (const char* prefix :
         {"CDeleteUnsharedKeys:", "CDeleteCorvantaSoftwareAndTolviKeys: ", "PreserveKeyOrValue: ",
          "CRemoveRegistryEntries: ", "CCheckForSharedRegistries:"}) {
        EXPECT_EQ(Count(log, prefix), Count(registryText, prefix)) << prefix;
    }

    // The error box: its text on standard error, once.
    const std::string boxText = ToolLog::FormatMessageId(6, {SystemText(viewCode)});
    EXPECT_EQ(Count(Unix(run.err), Unix(boxText)), s.errorBox ? 1u : 0u) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ToolScenarioTest, ::testing::ValuesIn(kScenarios));

}  // namespace
}  // namespace regtest
