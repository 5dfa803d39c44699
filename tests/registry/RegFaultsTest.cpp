// Fault rules on the Reg* calls: each call asks the rules with its own name
// and the full path of its key, hive spelled out as the caller named it.
#include <functional>
#include <string>

#include "platform/sim/SimFaults.h"
#include "tests/registry/RegistryFixture.h"

using namespace std::string_literals;
using plat::RegKey;

namespace {
const char* const kShared = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
}

class RegFaultsTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_TRUE(store().SetDword("HKLM\\"s + kShared, "C:\\Corvanta\\a.dll", 1));
        ASSERT_TRUE(store().SetString("HKCU\\Software\\Tolvi\\Sub", "v", "1"));
    }
    void AddRule(const std::string& operation, const std::string& pattern, std::uint32_t code, int times) {
        plat::SimFaults faults(prefix());
        plat::SimFaultRule rule;
        rule.operation = operation;
        rule.pattern = pattern;
        rule.code = code;
        rule.times = times;
        ASSERT_TRUE(faults.Add(rule));
    }
    RegKey Open(RegKey root, const char* sub) {
        RegKey key = 0;
        EXPECT_EQ(machine().RegOpenKeyExA(root, sub, 0, plat::kKeyAllAccess, &key), 0) << sub;
        return key;
    }
};

TEST_F(RegFaultsTest, EachCallFailsWithTheRuleCodeWhenItsKeyMatches) {
    using Call = std::function<std::int32_t(plat::SimPlatform&, RegKey)>;
    struct Case {
        const char* operation;
        const char* pattern;
        Call call;
    };
    char name[260];
    std::uint32_t nameSize = 0;
    std::uint32_t count = 0;
    const std::uint8_t one[] = {1, 0, 0, 0};
    const Case cases[] = {
        {"RegOpenKeyExA", "HKEY_CURRENT_USER\\Software\\Tolvi\\Sub",
         [](plat::SimPlatform& m, RegKey) {
             RegKey k = 0;
             const std::int32_t rc =
                 m.RegOpenKeyExA(plat::kHkeyCurrentUser, "software\\tolvi\\sub", 0, plat::kKeyRead, &k);
             if (rc == 0) m.RegCloseKey(k);
             return rc;
         }},
        {"RegCreateKeyExA", "HKEY_CURRENT_USER\\Software\\Tolvi\\New*",
         [](plat::SimPlatform& m, RegKey) {
             RegKey k = 0;
             const std::int32_t rc = m.RegCreateKeyExA(plat::kHkeyCurrentUser, "Software\\Tolvi\\NewKey",
                                                       plat::kKeyAllAccess, &k);
             if (rc == 0) m.RegCloseKey(k);
             return rc;
         }},
        {"RegQueryValueExA", "hkey_current_user\\software\\tolvi",
         [](plat::SimPlatform& m, RegKey key) {
             return m.RegQueryValueExA(key, "x", nullptr, nullptr, nullptr);
         }},
        {"RegSetValueExA", "HKEY_CURRENT_USER\\Software\\Tol?i",
         [&](plat::SimPlatform& m, RegKey key) {
             return m.RegSetValueExA(key, "n", plat::kRegDword, one, 4);
         }},
        {"RegQueryInfoKeyA", "*\\Tolvi",
         [&](plat::SimPlatform& m, RegKey key) { return m.RegQueryInfoKeyA(key, nullptr, &count); }},
        {"RegEnumValueA", "HKEY_CURRENT_USER\\*",
         [&](plat::SimPlatform& m, RegKey key) {
             nameSize = sizeof name;
             return m.RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr);
         }},
        {"RegEnumKeyExA", "HKEY_CURRENT_USER\\Software\\Tolvi",
         [&](plat::SimPlatform& m, RegKey key) {
             nameSize = sizeof name;
             return m.RegEnumKeyExA(key, 0, name, &nameSize);
         }},
        {"RegDeleteValueA", "HKEY_CURRENT_USER\\Software\\Tolvi",
         [](plat::SimPlatform& m, RegKey key) { return m.RegDeleteValueA(key, "x"); }},
        {"RegDeleteKeyA", "HKEY_CURRENT_USER\\Software\\Tolvi\\Sub",
         [](plat::SimPlatform& m, RegKey key) { return m.RegDeleteKeyA(key, "Sub"); }},
    };
    ASSERT_TRUE(store().SetString("HKCU\\Software\\Tolvi", "x", "1"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        const RegKey key = Open(plat::kHkeyCurrentUser, "Software\\Tolvi");
        // A rule for another operation or another key changes nothing.
        AddRule(c.operation, "HKEY_LOCAL_MACHINE\\*", 1234, -1);
        AddRule(c.operation == "RegOpenKeyExA"s ? "RegQueryValueExA" : "RegOpenKeyExA", c.pattern, 1234, -1);
        AddRule(c.operation, c.pattern, 31, 1);
        EXPECT_EQ(c.call(machine(), key), 31);
        // Used up: the next call runs.
        EXPECT_EQ(c.call(machine(), key), 0);
        plat::SimFaults(prefix()).Clear();
        EXPECT_EQ(machine().RegCloseKey(key), 0);
    }
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}

TEST_F(RegFaultsTest, ARuleWithoutCountFailsEveryCallAndCloseCanFailToo) {
    AddRule("RegOpenKeyExA", "HKEY_LOCAL_MACHINE\\"s + kShared, 5, -1);
    for (int i = 0; i < 3; ++i) {
        RegKey key = 0;
        EXPECT_EQ(machine().RegOpenKeyExA(plat::kHkeyLocalMachine, kShared, 0, plat::kKeyAllAccess, &key), 5);
    }
    plat::SimFaults(prefix()).Clear();
    const RegKey key = Open(plat::kHkeyLocalMachine, kShared);
    AddRule("RegCloseKey", "*SharedDLLs", 6, 1);
    EXPECT_EQ(machine().RegCloseKey(key), 6);
    EXPECT_EQ(store().OpenKeyCount(), 1u);
    EXPECT_EQ(machine().RegCloseKey(key), 0);
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}
