// The registry exports: which command lines run, in which order, where the
// .reg files land, and that they bring the same keys and values back.
#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "platform/sim/SimRegistry.h"
#include "tests/preserve/PreserveFixture.h"

namespace preserve_test {
namespace {

using namespace std::string_literals;

struct ExportRow {
    bool Found::*needs;
    const char* file;
    const char* key;
};

// The exports in the order they run.
const ExportRow kRows[] = {
    {&Found::tracklight, "tl_core_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight"},
    {&Found::tracklight, "tl_core_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight"},
    {&Found::tracklight, "tl_email_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Email"},
    {&Found::tracklight, "tl_email_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Email"},
    {&Found::tracklight, "tl_intsvr_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Tracklight\\Common\\TLIntSvr"},
    {&Found::vaultline, "vl_tolvi_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi"},
    {&Found::vaultline, "vl_tolvi_hkcu.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Tolvi"},
    {&Found::qualvane, "qv_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane"},
    {&Found::pilotron, "pilotron_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Pilotron"},
    {&Found::specwright, "sw_addins_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\AddIns"},
    {&Found::specwright, "sw_preferences_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Preferences"},
    {&Found::specwright, "sw_projects_hkcu.reg",
     "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Specwright\\4.0\\Projects"},
};

const char* const kAllReg[] = {
    "tl_core_hkcu.reg",   "tl_core_hklm.reg",   "tl_email_hkcu.reg",       "tl_email_hklm.reg",
    "tl_intsvr_hkcu.reg", "vl_tolvi_hklm.reg",  "vl_tolvi_hkcu.reg",       "qv_hklm.reg",
    "pilotron_hklm.reg",  "sw_addins_hkcu.reg", "sw_preferences_hkcu.reg", "sw_projects_hkcu.reg"};

std::string Bytes(std::initializer_list<int> bytes) {
    std::string data;
    for (int b : bytes) data += static_cast<char>(b);
    return data;
}

class RegistryExportTest : public PreserveTest {
protected:
    // Settings of every exported key: values of several types, a default
    // value, names that need quoting, and a subkey.
    void SeedKeys() {
        plat::SimRegistry& reg = Machine().Registry();
        for (const ExportRow& row : kRows) {
            const std::string key = row.key;
            ASSERT_TRUE(reg.SetString(key, "Name", std::string(row.file) + " value"));
            ASSERT_TRUE(reg.SetString(key, "", "default of " + std::string(row.file)));
            ASSERT_TRUE(reg.SetDword(key, "Count", 0x1234abcd));
            ASSERT_TRUE(reg.SetValue(key, {"Paths", 7, "C:\\a\0D:\\b \"q\"\0\0"s}));
            ASSERT_TRUE(reg.SetValue(key, {"Raw", 3, Bytes({0, 1, 0xfe, 0xff})}));
            ASSERT_TRUE(reg.SetString(key, "Expand", "%SystemRoot%\\x", 2));
            ASSERT_TRUE(
                reg.SetString(key + "\\Sub Key", "Quote \"and\" \\slash", "C:\\Program Files\\\"x\""));
        }
    }

    // Every value below a key, by "subkey path|value name".
    std::map<std::string, plat::SimRegValue> Snapshot(const std::string& key) {
        std::map<std::string, plat::SimRegValue> values;
        Collect(key, "", values);
        return values;
    }

    void Collect(const std::string& key, const std::string& rel,
                 std::map<std::string, plat::SimRegValue>& out) {
        plat::SimRegistry& reg = Machine().Registry();
        for (const plat::SimRegValue& value : reg.Values(key))
            out[Lower(rel) + "|" + Lower(value.name)] = value;
        for (const std::string& sub : reg.SubKeys(key)) Collect(key + "\\" + sub, rel + "\\" + sub, out);
    }

    CCorvantaProducts& Run(const Found& found, const RunOptions& options) { return Products(options, found); }

    std::string ExpectedLog(const Found& found, const std::string& directory) {
        std::string log = "DEBUG: Entered BackupRegistryKeys()\n\n";
        for (const ExportRow& row : kRows) {
            if (!(found.*row.needs)) continue;
            log +=
                "DEBUG: Preparing to launch regedit.exe with the following cmd line:\nregedit.exe /e:a \"" +
                directory + "\\" + row.file + "\" \"" + row.key + "\"\n\n";
        }
        return log;
    }
};

struct ExportCase {
    const char* name;
    Found found;
    RunOptions options;
    std::string fileDir;               // where the .reg files land
    std::vector<std::string> written;  // their names
};

void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.name;
}

Found Flags(bool tl, bool vl, bool ov, bool sw, bool qv, bool pt) {
    Found found;
    found.tracklight = tl;
    found.vaultline = vl;
    found.overlook = ov;
    found.specwright = sw;
    found.qualvane = qv;
    found.pilotron = pt;
    return found;
}

RunOptions Pd(const std::string& path, bool clean = false) {
    RunOptions options;
    options.debug = true;
    options.pd = true;
    options.pdPath = path;
    options.clean = clean;
    return options;
}

class ExportTableTest : public RegistryExportTest, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportTableTest, RunsTheExportsOfTheProductsFound) {
    const ExportCase& c = GetParam();
    SeedKeys();
    SeedDir("D:\\Saved");
    Run(c.found, c.options).BackupRegistryKeys();

    for (const char* file : kAllReg) {
        const bool expected =
            std::find(c.written.begin(), c.written.end(), std::string(file)) != c.written.end();
        EXPECT_EQ(IsFile(c.fileDir + "\\" + file), expected) << file;
    }
    EXPECT_EQ(LogText(), ExpectedLog(c.found, c.options.pdPath));
}

RunOptions NoPd() {
    RunOptions options;
    options.debug = true;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportTableTest,
    ::testing::Values(ExportCase{"TracklightAndSpecwright",
                                 Flags(true, false, false, true, false, false),
                                 Pd("D:\\Saved"),
                                 "D:\\Saved",
                                 {"tl_core_hkcu.reg", "tl_core_hklm.reg", "tl_email_hkcu.reg",
                                  "tl_email_hklm.reg", "tl_intsvr_hkcu.reg", "sw_addins_hkcu.reg",
                                  "sw_preferences_hkcu.reg", "sw_projects_hkcu.reg"}},
                      ExportCase{"VaultlineAndQualvaneAtTheDriveRoot",
                                 Flags(false, true, false, false, true, false),
                                 NoPd(),
                                 "C:",
                                 {"vl_tolvi_hklm.reg", "vl_tolvi_hkcu.reg", "qv_hklm.reg"}},
                      ExportCase{"PilotronWithClean",
                                 Flags(false, false, false, false, false, true),
                                 Pd("D:\\Saved", true),
                                 "D:\\Saved",
                                 {"pilotron_hklm.reg"}},
                      ExportCase{"OverlookExportsNothing",
                                 Flags(false, false, true, false, false, false),
                                 Pd("D:\\Saved"),
                                 "D:\\Saved",
                                 {}},
                      ExportCase{"PdWithTrailingBackslash",
                                 Flags(false, true, false, false, false, false),
                                 Pd("D:\\Saved\\"),
                                 "D:\\Saved",
                                 {"vl_tolvi_hklm.reg", "vl_tolvi_hkcu.reg"}},
                      // The exports do not make the folder.
                      ExportCase{"PdFolderMissing",
                                 Flags(false, true, false, false, false, false),
                                 Pd("D:\\Missing"),
                                 "D:\\Missing",
                                 {}},
                      ExportCase{"Everything",
                                 Flags(true, true, true, true, true, true),
                                 Pd("D:\\Saved"),
                                 "D:\\Saved",
                                 {"tl_core_hkcu.reg", "tl_core_hklm.reg", "tl_email_hkcu.reg",
                                  "tl_email_hklm.reg", "tl_intsvr_hkcu.reg", "vl_tolvi_hklm.reg",
                                  "vl_tolvi_hkcu.reg", "qv_hklm.reg", "pilotron_hklm.reg",
                                  "sw_addins_hkcu.reg", "sw_preferences_hkcu.reg", "sw_projects_hkcu.reg"}}),
    [](const ::testing::TestParamInfo<ExportCase>& info) { return std::string(info.param.name); });

TEST_F(RegistryExportTest, WithoutDebugNothingIsLogged) {
    SeedKeys();
    RunOptions options;
    options.pd = true;
    options.pdPath = "D:\\";
    Run(Flags(true, true, true, true, true, true), options).BackupRegistryKeys();
    for (const char* file : kAllReg) EXPECT_TRUE(IsFile(std::string("D:\\") + file)) << file;
    EXPECT_EQ(LogText(), "");
}

// Deleting the keys and importing the exports gives back the same keys and
// values.
TEST_F(RegistryExportTest, ExportsImportBackToTheSameKeysAndValues) {
    SeedKeys();
    SeedDir("D:\\Saved");
    std::map<std::string, std::map<std::string, plat::SimRegValue>> before;
    for (const ExportRow& row : kRows) before[row.key] = Snapshot(row.key);
    Run(Flags(true, true, false, true, true, true), Pd("D:\\Saved")).BackupRegistryKeys();

    plat::SimRegistry& reg = Machine().Registry();
    for (const char* tree :
         {"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi", "HKEY_CURRENT_USER\\SOFTWARE\\Tolvi",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test"}) {
        ASSERT_TRUE(reg.DeleteKeyTree(tree)) << tree;
    }
    for (const ExportRow& row : kRows) ASSERT_FALSE(reg.KeyExists(row.key)) << row.key;

    for (const char* file : kAllReg) {
        EXPECT_EQ(plat::RegBuiltin(Machine(), {"import", std::string("D:\\Saved\\") + file}), 0) << file;
    }
    for (const ExportRow& row : kRows) {
        const std::map<std::string, plat::SimRegValue> after = Snapshot(row.key);
        ASSERT_EQ(after.size(), before[row.key].size()) << row.key;
        for (const auto& entry : before[row.key]) {
            const auto it = after.find(entry.first);
            ASSERT_NE(it, after.end()) << row.key << " " << entry.first;
            EXPECT_EQ(it->second.name, entry.second.name) << row.key << " " << entry.first;
            EXPECT_EQ(it->second.type, entry.second.type) << row.key << " " << entry.first;
            EXPECT_EQ(it->second.data, entry.second.data) << row.key << " " << entry.first;
        }
    }
}

}  // namespace
}  // namespace preserve_test
