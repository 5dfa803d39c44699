// Removal of the registry values a package declares, less those a remaining
// suite product declares too.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "regcleanup/CRemoveRegKeys.h"
#include "tests/regcleanup/ExpectedLog.h"
#include "tests/regcleanup/RegistryFixture.h"
#include "tests/regcleanup/TestDatabase.h"

namespace regtest {
namespace {

const char kLumo[] = "Software\\Corvanta Software\\Lumo";
const char kCommon[] = "Software\\Corvanta Software\\Common";
const char kProjects[] = "Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";
const char kHklm[] = "HKEY_LOCAL_MACHINE\\";
const char kHkcu[] = "HKEY_CURRENT_USER\\";
const char kHkcr[] = "HKEY_CLASSES_ROOT\\";
const char kHku[] = "HKEY_USERS\\";

// What happens to one entry of the cleaned package.
enum class Outcome {
    Deleted,      // value removed, success line
    ValueGone,    // key opened, value already gone: nothing written
    KeyGone,      // key already gone: nothing written
    Shared,       // a remaining product declares it: untouched, nothing written
    Kept,         // the keep rule spares it
    OpenError,    // key cannot be opened: one line
    DeleteError,  // the value cannot be deleted: one line
};

struct Entry {
    RegistryRow row;
    std::string hivePrefix;  // where the value is looked for ("" for no hive)
};

struct Value {
    std::string key;  // with its hive spelled out
    std::string name;
    std::string data;
};

// The values on the machine before the cleanup.
const std::vector<Value> kSeed = {
    {std::string(kHklm) + kLumo, "InstallPath", "C:\\Lumo"},
    {std::string(kHklm) + kLumo, "Keep", "not declared"},
    {std::string(kHklm) + kLumo, "Odd", "odd root"},
    {std::string(kHklm) + kLumo + "\\Default", "", "default"},
    {std::string(kHklm) + kLumo + "\\Default", "Other", "not declared"},
    {std::string(kHklm) + kLumo + "\\Scope", "Where", "machine"},
    {std::string(kHkcu) + kLumo + "\\Scope", "Where", "user"},
    {std::string(kHkcu) + kCommon, "Shared", "user"},
    {std::string(kHklm) + kCommon, "Shared", "machine"},
    {std::string(kHklm) + kCommon, "Other", "machine"},
    {std::string(kHkcr) + "Corvanta.Lumo.Document", "", "document"},
    {std::string(kHku) + ".DEFAULT\\" + kLumo, "Lang", "en"},
    {std::string(kHkcu) + kProjects, "Data List", "C:\\Projects\\one.cvp"},
};

const std::vector<std::string> kRoots = {std::string(kHklm) + "Software\\Corvanta Software",
                                         std::string(kHkcu) + "Software\\Corvanta Software",
                                         std::string(kHkcr) + "Corvanta.Lumo.Document",
                                         std::string(kHku) + ".DEFAULT\\Software\\Corvanta Software"};

// The cleaned package's Registry table; scopeHive is where Root -1 lands.
std::vector<Entry> CleanedEntries(const std::string& scopeHive) {
    return {
        {{"a_path", 2, kLumo, "InstallPath"}, kHklm},
        {{"b_default", 2, std::string(kLumo) + "\\Default", ""}, kHklm},
        {{"c_scope", -1, std::string(kLumo) + "\\Scope", "Where"}, scopeHive},
        {{"d_gone_key", 2, "Software\\Corvanta Software\\Missing", "X"}, kHklm},
        {{"e_gone_value", 2, kLumo, "NotThere"}, kHklm},
        {{"f_shared", 1, kCommon, "Shared"}, kHkcu},
        {{"g_other_hive", 2, kCommon, "Shared"}, kHklm},
        {{"h_other_id", 2, kCommon, "Other"}, kHklm},
        {{"i_classes", 0, "Corvanta.Lumo.Document", ""}, kHkcr},
        {{"j_users", 3, std::string(".DEFAULT\\") + kLumo, "Lang"}, kHku},
        {{"k_projects", 1, kProjects, "Data List"}, kHkcu},
        {{"l_bad_root", 7, kLumo, "Odd"}, ""},
    };
}

// The remaining product's table: f_shared in other letter case, g_other_hive
// under another hive, h_other_id's key and name under another id.
const std::vector<RegistryRow> kKeeperRows = {
    {"f_shared", 1, "SOFTWARE\\CORVANTA SOFTWARE\\COMMON", "SHARED"},
    {"g_other_hive", 1, kCommon, "Shared"},
    {"h_another_id", 2, kCommon, "Other"},
    {"z_keeper_only", 2, kCommon, "Keeper"},
};

struct Case {
    const char* title;
    PropertyList properties;
    bool clean;
    bool debug;
    std::string scopeHive;  // where the Root -1 entry is looked for
    // Outcome per entry id; ids not listed are Deleted.
    std::map<std::string, Outcome> outcomes;
    // Fault rules (operation, pattern, code).
    std::vector<std::tuple<std::string, std::string, std::uint32_t>> faults;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.title;
}

const std::map<std::string, Outcome> kUsual = {
    {"d_gone_key", Outcome::KeyGone}, {"e_gone_value", Outcome::ValueGone}, {"f_shared", Outcome::Shared},
    {"k_projects", Outcome::Kept},    {"l_bad_root", Outcome::OpenError},
};

std::map<std::string, Outcome> With(std::map<std::string, Outcome> outcomes,
                                    const std::map<std::string, Outcome>& changes) {
    for (const auto& change : changes) outcomes[change.first] = change.second;
    return outcomes;
}

const Case kCases[] = {
    {"ALLUSERS 1: Root -1 is the machine",
     {{"ALLUSERS", "1"}, {"ProductName", "Lumo"}},
     false,
     false,
     kHklm,
     kUsual,
     {}},
    {"no ALLUSERS: Root -1 is the user", {{"ProductName", "Lumo"}}, false, false, kHkcu, kUsual, {}},
    {"ALLUSERS 2: Root -1 is the user", {{"ALLUSERS", "2"}}, false, false, kHkcu, kUsual, {}},
    {"ALLUSERS named in other case", {{"allusers", "1"}}, false, false, kHklm, kUsual, {}},
    {"clean: the project list goes too",
     {{"ALLUSERS", "1"}},
     true,
     false,
     kHklm,
     With(kUsual, {{"k_projects", Outcome::Deleted}}),
     {}},
    {"debug: the keep rule speaks", {{"ALLUSERS", "1"}}, false, true, kHklm, kUsual, {}},
    {"a key that cannot be opened and a value that cannot be deleted",
     {{"ALLUSERS", "1"}},
     false,
     false,
     kHklm,
     With(kUsual, {{"a_path", Outcome::OpenError},
                   {"e_gone_value", Outcome::OpenError},
                   {"g_other_hive", Outcome::DeleteError},
                   {"h_other_id", Outcome::DeleteError}}),
     {{"RegOpenKeyExA", std::string(kHklm) + kLumo, 5},
      {"RegDeleteValueA", std::string(kHklm) + kCommon, 5}}},
};

// The code the platform gives for opening under no hive at all.
std::uint32_t NoHiveOpenCode() {
    plat::RegKey key = 0;
    const std::int32_t result = plat::Sys().RegOpenKeyExA(kNoHive, kLumo, 0, plat::kKeyAllAccess, &key);
    if (result == 0) plat::Sys().RegCloseKey(key);
    return static_cast<std::uint32_t>(result);
}

class PackageRegistryTest : public RegistryFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(PackageRegistryTest, DeletesTheUnsharedValues) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.title);
    for (const Value& value : kSeed) ASSERT_TRUE(Reg().SetString(value.key, value.name, value.data));
    const std::vector<Entry> entries = CleanedEntries(c.scopeHive);
    std::vector<RegistryRow> rows;
    for (const Entry& entry : entries) rows.push_back(entry.row);
    std::string error;
    ASSERT_TRUE(CreateDatabase(HostTestPath("cleaned.msi"), c.properties, rows, error)) << error;
    ASSERT_TRUE(CreateDatabase(HostTestPath("keeper.msi"), {{"ALLUSERS", "1"}}, kKeeperRows, error)) << error;
    const std::uint32_t noHiveCode = NoHiveOpenCode();
    for (const auto& fault : c.faults) {
        ASSERT_TRUE(AddFault(std::get<0>(fault), std::get<1>(fault), std::get<2>(fault)));
    }
    const std::vector<std::string> before = DumpTrees(Reg(), kRoots);

    const std::map<std::string, std::string> remaining = {
        {WindowsTestPath("keeper.msi"), WindowsTestPath("keeper.msi")}};
    StartCapture();
    CRemoveRegKeys remover(c.clean, c.debug);
    EXPECT_TRUE(remover.RemoveRegistry(WindowsTestPath("cleaned.msi"), remaining, log));
    std::string out, err;
    StopCapture(out, err);

    std::string expectedLog;
    std::vector<std::string> deletedLines;
    for (const Entry& entry : entries) {
        const auto found = c.outcomes.find(entry.row.id);
        const Outcome outcome = found == c.outcomes.end() ? Outcome::Deleted : found->second;
        const std::string where = entry.hivePrefix + entry.row.key;
        const bool opened = outcome == Outcome::Deleted || outcome == Outcome::ValueGone ||
                            outcome == Outcome::Kept || outcome == Outcome::DeleteError;
        if (opened && c.debug && !c.clean) {
            expectedLog += KeepCheckLine(entry.row.key);
            expectedLog += outcome == Outcome::Kept ? KeptLine(entry.row.key) : KeepCheckLine(entry.row.name);
        }
        switch (outcome) {
            case Outcome::Deleted:
                expectedLog += DeletedLine(entry.hivePrefix, entry.row.key, entry.row.name);
                deletedLines.push_back(where + "\t" + entry.row.name + " = ");
                break;
            case Outcome::OpenError:
                expectedLog +=
                    OpenErrorLine(entry.hivePrefix.empty() ? noHiveCode : 5, entry.hivePrefix, entry.row.key);
                break;
            case Outcome::DeleteError:
                expectedLog += DeleteErrorLine(5, entry.hivePrefix, entry.row.key, entry.row.name);
                break;
            default:
                break;
        }
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(LogText(), Unix(expectedLog));

    std::vector<std::string> expectedAfter;
    for (const std::string& line : before) {
        bool gone = false;
        for (const std::string& deleted : deletedLines) gone = gone || line.rfind(deleted, 0) == 0;
        if (!gone) expectedAfter.push_back(line);
    }
    EXPECT_EQ(DumpTrees(Reg(), kRoots), expectedAfter);
    // Each entry's key is the only one open while its value goes, and
    // nothing stays open afterwards.
    EXPECT_FALSE(OpenKeysAtDelete().empty());
    for (std::size_t open : OpenKeysAtDelete()) EXPECT_EQ(open, 1u);
    ExpectNothingLeftOpen();

    // Only the shared entry moved aside; the rest stayed listed.
    ASSERT_EQ(remover.SharedEntries().size(), 1u);
    EXPECT_EQ(remover.SharedEntries().begin()->first, "f_shared");
    EXPECT_EQ(remover.Entries().size(), entries.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageRegistryTest, ::testing::ValuesIn(kCases));

// ---- Tables that cannot be read ---------------------------------------------

enum class Db { Good, NoRegistry, Missing };

struct TableCase {
    const char* title;
    Db cleaned;
    std::vector<Db> remaining;  // keeper1.msi, keeper2.msi, ...
    // The expected log line prefixes, one per failing table, in order.
    std::vector<std::string> prefixes;
    std::vector<std::uint32_t> codes;  // 0 = the view failure, 1 = the open failure
};

void PrintTo(const TableCase& c, std::ostream* os) {
    *os << c.title;
}

const TableCase kTableCases[] = {
    {"package without a Registry table", Db::NoRegistry, {}, {"CRemoveRegistryEntries: "}, {0}},
    {"package without a Registry table, products remaining",
     Db::NoRegistry,
     {Db::Good},
     {"CRemoveRegistryEntries: "},
     {0}},
    {"package missing", Db::Missing, {}, {"CRemoveRegistryEntries: "}, {1}},
    {"remaining package without a Registry table",
     Db::Good,
     {Db::NoRegistry, Db::Good},
     {"CCheckForSharedRegistries:"},
     {0}},
    {"remaining package missing, the next still read",
     Db::Good,
     {Db::Missing, Db::Good},
     {"CCheckForSharedRegistries: "},
     {1}},
    {"both remaining packages unreadable",
     Db::Good,
     {Db::Missing, Db::NoRegistry},
     {"CCheckForSharedRegistries: ", "CCheckForSharedRegistries:"},
     {1, 0}},
};

class UnreadableTableTest : public RegistryFixture, public ::testing::WithParamInterface<TableCase> {};

bool MakeDatabase(const std::string& hostPath, Db kind, const std::vector<RegistryRow>& rows,
                  std::string& error) {
    if (kind == Db::Missing) return true;
    if (kind == Db::NoRegistry) return CreateDatabase(hostPath, {{"ALLUSERS", "1"}}, std::nullopt, error);
    return CreateDatabase(hostPath, {{"ALLUSERS", "1"}}, rows, error);
}

TEST_P(UnreadableTableTest, ShowsTheErrorAndDeletesNothing) {
    const TableCase& c = GetParam();
    SCOPED_TRACE(c.title);
    for (const Value& value : kSeed) ASSERT_TRUE(Reg().SetString(value.key, value.name, value.data));
    ASSERT_TRUE(Reg().SetString("HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Lumo", "Version", "7.0"));
    std::vector<RegistryRow> rows;
    for (const Entry& entry : CleanedEntries(kHklm)) rows.push_back(entry.row);
    std::string error;
    ASSERT_TRUE(MakeDatabase(HostTestPath("cleaned.msi"), c.cleaned, rows, error)) << error;
    std::map<std::string, std::string> remaining;
    for (std::size_t i = 0; i < c.remaining.size(); ++i) {
        const std::string name = "keeper" + std::to_string(i + 1) + ".msi";
        ASSERT_TRUE(MakeDatabase(HostTestPath(name), c.remaining[i], kKeeperRows, error)) << error;
        remaining[WindowsTestPath(name)] = WindowsTestPath(name);
    }
    std::vector<std::string> roots = kRoots;
    roots.push_back("HKEY_LOCAL_MACHINE\\Software\\Tolvi");
    const std::vector<std::string> before = DumpTrees(Reg(), roots);

    std::uint32_t viewCode = 0, openCode = 0;
    ASSERT_TRUE(
        InstallerErrorCodes(HostTestPath("probe.msi"), WindowsTestPath("probe.msi"), viewCode, openCode));

    StartCapture();
    CRemoveRegKeys remover(false, true);
    EXPECT_FALSE(remover.RemoveRegistry(WindowsTestPath("cleaned.msi"), remaining, log));
    std::string out, err;
    StopCapture(out, err);

    std::string expectedLog;
    ASSERT_EQ(Boxes().size(), c.prefixes.size());
    for (std::size_t i = 0; i < c.prefixes.size(); ++i) {
        const std::string text = SystemText(c.codes[i] == 0 ? viewCode : openCode);
        expectedLog += c.prefixes[i] + " " + text + "\n\n";
        EXPECT_EQ(Boxes()[i].text, ToolLog::FormatMessageId(6, {text}));
        EXPECT_EQ(Boxes()[i].text.rfind(
                      "A problem was found during execution of this program, the associated error is: ", 0),
                  0u);
        EXPECT_EQ(Boxes()[i].caption, "Error Message");
        EXPECT_EQ(Boxes()[i].type, 0x10u);  // error icon, one OK button
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(LogText(), Unix(expectedLog));
    EXPECT_EQ(DumpTrees(Reg(), roots), before);
    EXPECT_TRUE(OpenKeysAtDelete().empty());
    ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Cases, UnreadableTableTest, ::testing::ValuesIn(kTableCases));

// A remaining package that cannot be read does not stop the next one: the
// entry the readable one shares is found shared all the same.
TEST_F(RegistryFixture, CheckGoesOnAfterAnUnreadablePackage) {
    std::string error;
    std::vector<RegistryRow> rows;
    for (const Entry& entry : CleanedEntries(kHklm)) rows.push_back(entry.row);
    ASSERT_TRUE(CreateDatabase(HostTestPath("cleaned.msi"), {{"ALLUSERS", "1"}}, rows, error)) << error;
    ASSERT_TRUE(CreateDatabase(HostTestPath("b.msi"), {}, kKeeperRows, error)) << error;
    const std::map<std::string, std::string> remaining = {
        {WindowsTestPath("a-missing.msi"), WindowsTestPath("a-missing.msi")},
        {WindowsTestPath("b.msi"), WindowsTestPath("b.msi")}};
    CRemoveRegKeys remover(false, false);
    EXPECT_FALSE(remover.RemoveRegistry(WindowsTestPath("cleaned.msi"), remaining, log));
    ASSERT_EQ(remover.SharedEntries().size(), 1u);
    EXPECT_EQ(remover.SharedEntries().begin()->first, "f_shared");
    EXPECT_EQ(remover.AllUsers(), "1");
}

}  // namespace
}  // namespace regtest
