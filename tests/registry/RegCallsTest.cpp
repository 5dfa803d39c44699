// The Reg* calls of the sim backend: results, error codes and size protocols
// as the Windows calls give them.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "tests/registry/RegistryFixture.h"

using namespace std::string_literals;
using plat::RegKey;
using plat::SimRegValue;

namespace {

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kNotFound = 2;
constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kInvalidHandle = 6;
constexpr std::int32_t kInvalidParameter = 87;
constexpr std::int32_t kBadPathname = 161;
constexpr std::int32_t kMoreData = 234;
constexpr std::int32_t kNoMoreItems = 259;
constexpr std::int32_t kKeyDeleted = 1018;

const char* const kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace

class RegCallsTest : public RegistryTest {
protected:
    // Opens a key, failing the test when it cannot.
    RegKey Open(RegKey root, const char* sub, std::uint32_t access = plat::kKeyAllAccess) {
        RegKey key = 0;
        EXPECT_EQ(machine().RegOpenKeyExA(root, sub, 0, access, &key), kOk) << sub;
        return key;
    }
    RegKey Create(RegKey root, const char* sub) {
        RegKey key = 0;
        EXPECT_EQ(machine().RegCreateKeyExA(root, sub, plat::kKeyAllAccess, &key), kOk) << sub;
        return key;
    }
    std::int32_t SetString(RegKey key, const char* name, const std::string& text) {
        return machine().RegSetValueExA(key, name, plat::kRegSz,
                                        reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                        static_cast<std::uint32_t>(text.size() + 1));
    }
    void Close(RegKey key) { EXPECT_EQ(machine().RegCloseKey(key), kOk); }
};

TEST_F(RegCallsTest, OpenGivesTheWindowsCodes) {
    ASSERT_TRUE(store().CreateKey("HKLM\\"s + kUninstall + "\\{A1B2}"));
    ASSERT_TRUE(store().CreateKey("HKCU\\Software\\Tolvi"));
    struct Case {
        RegKey root;
        std::string sub;
        std::int32_t expected;
    };
    const Case cases[] = {
        {plat::kHkeyLocalMachine, kUninstall + "\\{A1B2}"s, kOk},
        {plat::kHkeyLocalMachine, "SOFTWARE\\MICROSOFT\\windows\\currentversion\\uninstall\\{a1b2}", kOk},
        {plat::kHkeyLocalMachine, kUninstall + "\\{A1B2}\\"s, kOk},  // a trailing backslash is fine
        {plat::kHkeyLocalMachine, kUninstall + "\\{FFFF}"s, kNotFound},
        {plat::kHkeyLocalMachine, "Software\\Nothing\\Below", kNotFound},
        {plat::kHkeyLocalMachine, "", kOk},
        {plat::kHkeyLocalMachine, "\\Software", kBadPathname},
        {plat::kHkeyLocalMachine, "Software\\" + std::string(256, 'x'), kInvalidParameter},
        {plat::kHkeyCurrentUser, "Software\\Tolvi", kOk},
        {plat::kHkeyUsers, std::string(plat::kSimRegistryUserSid) + "\\Software\\Tolvi", kOk},
        {plat::kHkeyUsers, ".DEFAULT", kOk},
        {plat::kHkeyClassesRoot, "", kOk},
        {0x1234, "Software", kInvalidHandle},
        {0x80000004u, "", kInvalidHandle},  // a root this machine does not have
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sub);
        RegKey key = 0;
        EXPECT_EQ(machine().RegOpenKeyExA(c.root, c.sub.c_str(), 0, plat::kKeyRead, &key), c.expected);
        if (c.expected == kOk) {
            EXPECT_NE(key, 0u);
            Close(key);
        }
    }
    EXPECT_EQ(machine().RegOpenKeyExA(plat::kHkeyLocalMachine, "Software", 0, plat::kKeyRead, nullptr),
              kInvalidParameter);
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}

TEST_F(RegCallsTest, CreateMakesMissingParentsAndOpensExistingKeys) {
    const RegKey created = Create(plat::kHkeyLocalMachine, "Software\\Corvanta Software\\Tracklight\\Common");
    EXPECT_TRUE(store().KeyExists("HKLM\\Software\\Corvanta Software\\Tracklight"));
    const RegKey again = Create(plat::kHkeyLocalMachine, "SOFTWARE\\corvanta software\\TRACKLIGHT\\common");
    EXPECT_NE(created, again);
    ASSERT_EQ(SetString(created, "Dir", "C:\\Tracklight"), kOk);
    std::uint32_t size = 0;
    EXPECT_EQ(machine().RegQueryValueExA(again, "dir", nullptr, nullptr, &size), kOk);
    EXPECT_EQ(size, 14u);
    Close(created);
    Close(again);

    // Under a key opened for reading only, a missing key cannot be created.
    const RegKey readOnly = Open(plat::kHkeyLocalMachine, "Software", plat::kKeyRead);
    RegKey key = 0;
    EXPECT_EQ(machine().RegCreateKeyExA(readOnly, "NewOne", plat::kKeyAllAccess, &key), kAccessDenied);
    EXPECT_EQ(machine().RegCreateKeyExA(readOnly, "Corvanta Software", plat::kKeyRead, &key), kOk);
    Close(key);
    Close(readOnly);
    EXPECT_EQ(machine().RegCreateKeyExA(plat::kHkeyLocalMachine, "\\Software\\X", plat::kKeyAllAccess, &key),
              kBadPathname);
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}

TEST_F(RegCallsTest, QueryValueFollowsTheSizeProtocol) {
    ASSERT_TRUE(store().SetString("HKLM\\"s + kUninstall + "\\{P}", "DisplayVersion", "12.5.0"));
    const RegKey key = Open(plat::kHkeyLocalMachine, (kUninstall + "\\{P}"s).c_str(), plat::kKeyRead);
    struct Case {
        const char* what;
        const char* name;
        bool buffer;
        bool sizeGiven;
        std::uint32_t sizeIn;
        std::int32_t expected;
        std::uint32_t sizeOut;
        bool dataCopied;
    };
    const Case cases[] = {
        {"size only", "DisplayVersion", false, true, 0, kOk, 7, false},
        {"size only ignores the size given", "DisplayVersion", false, true, 500, kOk, 7, false},
        {"short buffer", "DisplayVersion", true, true, 6, kMoreData, 7, false},
        {"exact buffer", "DisplayVersion", true, true, 7, kOk, 7, true},
        {"large buffer", "displayversion", true, true, 1000, kOk, 7, true},
        {"missing value", "Publisher", true, true, 1000, kNotFound, 1000, false},
        {"buffer without size", "DisplayVersion", true, false, 0, kInvalidParameter, 0, false},
        {"existence only", "DisplayVersion", false, false, 0, kOk, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::uint8_t buffer[1000];
        std::memset(buffer, 'z', sizeof buffer);
        std::uint32_t type = 99;
        std::uint32_t size = c.sizeIn;
        EXPECT_EQ(machine().RegQueryValueExA(key, c.name, &type, c.buffer ? buffer : nullptr,
                                             c.sizeGiven ? &size : nullptr),
                  c.expected);
        if (c.sizeGiven) {
            EXPECT_EQ(size, c.sizeOut);
        }
        if (c.expected == kOk || c.expected == kMoreData) {
            EXPECT_EQ(type, plat::kRegSz);
        }
        if (c.dataCopied) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), "12.5.0\0"s);
            EXPECT_EQ(buffer[7], 'z');
        }
    }
    Close(key);
}

TEST_F(RegCallsTest, SetValueStoresEveryTypeAsGiven) {
    const RegKey key = Create(plat::kHkeyLocalMachine, "Software\\Types");
    const SimRegValue values[] = {
        {"sz", plat::kRegSz, "text\0"s},
        {"expand", plat::kRegExpandSz, "%WINDIR%\\x\0"s},
        {"multi", plat::kRegMultiSz, "a\0bc\0\0"s},
        {"dword", plat::kRegDword, Dword(0x12345678)},
        {"qword", plat::kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
        {"binary", plat::kRegBinary, "\x00\xff\x10"s},
        {"none", plat::kRegNone, ""},
        {"", plat::kRegSz, "default\0"s},
    };
    for (const SimRegValue& v : values) {
        ASSERT_EQ(machine().RegSetValueExA(key, v.name.empty() ? nullptr : v.name.c_str(), v.type,
                                           reinterpret_cast<const std::uint8_t*>(v.data.data()),
                                           static_cast<std::uint32_t>(v.data.size())),
                  kOk)
            << v.name;
    }
    Close(key);
    Reopen();
    const RegKey reopened = Open(plat::kHkeyLocalMachine, "Software\\Types", plat::kKeyRead);
    for (const SimRegValue& v : values) {
        SCOPED_TRACE(v.name);
        std::uint8_t buffer[64];
        std::uint32_t size = sizeof buffer;
        std::uint32_t type = 99;
        ASSERT_EQ(machine().RegQueryValueExA(reopened, v.name.c_str(), &type, buffer, &size), kOk);
        EXPECT_EQ(type, v.type);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), v.data);
    }
    Close(reopened);
}

TEST_F(RegCallsTest, AccessMaskLimitsWhatAHandleMayDo) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Access\\Sub", "v", "1"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Access", "v", "1"));
    const RegKey reader = Open(plat::kHkeyLocalMachine, "Software\\Access", plat::kKeyRead);
    const RegKey writer = Open(plat::kHkeyLocalMachine, "Software\\Access", plat::kKeyWrite);
    char name[260];
    std::uint32_t nameSize = sizeof name;
    std::uint32_t count = 0;
    // Reading.
    EXPECT_EQ(machine().RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr), kOk);
    EXPECT_EQ(machine().RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr), kAccessDenied);
    EXPECT_EQ(machine().RegEnumKeyExA(writer, 0, name, &nameSize), kAccessDenied);
    EXPECT_EQ(machine().RegQueryInfoKeyA(writer, nullptr, &count), kAccessDenied);
    // Writing.
    EXPECT_EQ(SetString(reader, "w", "x"), kAccessDenied);
    EXPECT_EQ(machine().RegDeleteValueA(reader, "v"), kAccessDenied);
    EXPECT_EQ(SetString(writer, "CorvantaUninstallTool", "tool -r"), kOk);
    EXPECT_EQ(machine().RegDeleteValueA(writer, "v"), kOk);
    Close(reader);
    Close(writer);
}

TEST_F(RegCallsTest, EnumerationFollowsNameOrderAndEndsWith259) {
    for (const char* name : {"Tolvi", "corvanta", "Beta", "alpha"}) {
        ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Enum\\"s + name));
        ASSERT_TRUE(store().SetString("HKLM\\Software\\Enum", name, name));
    }
    const RegKey key = Open(plat::kHkeyLocalMachine, "Software\\Enum", plat::kKeyRead);
    const std::vector<std::string> expected{"alpha", "Beta", "corvanta", "Tolvi"};
    char name[1000];
    std::uint32_t nameSize = 0;
    for (std::uint32_t i = 0; i < expected.size(); ++i) {
        nameSize = 260;
        ASSERT_EQ(machine().RegEnumKeyExA(key, i, name, &nameSize), kOk);
        EXPECT_EQ(name, expected[i]);
        EXPECT_EQ(nameSize, expected[i].size());
        nameSize = 1000;
        std::uint32_t type = 0;
        ASSERT_EQ(machine().RegEnumValueA(key, i, name, &nameSize, &type, nullptr, nullptr), kOk);
        EXPECT_EQ(name, expected[i]);
        EXPECT_EQ(type, plat::kRegSz);
    }
    nameSize = 260;
    EXPECT_EQ(machine().RegEnumKeyExA(key, 4, name, &nameSize), kNoMoreItems);
    nameSize = 1000;
    EXPECT_EQ(machine().RegEnumValueA(key, 4, name, &nameSize, nullptr, nullptr, nullptr), kNoMoreItems);
    EXPECT_EQ(machine().RegEnumValueA(key, 99, name, &nameSize, nullptr, nullptr, nullptr), kNoMoreItems);

    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
    EXPECT_EQ(machine().RegQueryInfoKeyA(key, &subKeys, &values), kOk);
    EXPECT_EQ(subKeys, 4u);
    EXPECT_EQ(values, 4u);
    EXPECT_EQ(machine().RegQueryInfoKeyA(key, nullptr, &values), kOk);
    Close(key);
}

TEST_F(RegCallsTest, EnumerationBuffersFollowTheSizeProtocol) {
    ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Buf\\Eight888"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Buf", "Name5", "data"));
    const RegKey key = Open(plat::kHkeyLocalMachine, "Software\\Buf", plat::kKeyRead);
    char name[32];
    struct Case {
        std::uint32_t nameSize;
        std::int32_t expected;
    };
    // The size counts the terminator: a name of n characters needs n + 1.
    for (const Case& c : {Case{8, kMoreData}, Case{9, kOk}, Case{0, kMoreData}}) {
        std::uint32_t size = c.nameSize;
        EXPECT_EQ(machine().RegEnumKeyExA(key, 0, name, &size), c.expected) << c.nameSize;
        if (c.expected == kOk) {
            EXPECT_EQ(size, 8u);
        }
    }
    for (const Case& c : {Case{5, kMoreData}, Case{6, kOk}}) {
        std::uint32_t size = c.nameSize;
        EXPECT_EQ(machine().RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr), c.expected)
            << c.nameSize;
    }
    std::uint32_t nameSize = sizeof name;
    std::uint8_t data[8];
    std::uint32_t dataSize = 3;
    EXPECT_EQ(machine().RegEnumValueA(key, 0, name, &nameSize, nullptr, data, &dataSize), kMoreData);
    EXPECT_EQ(dataSize, 5u);
    nameSize = sizeof name;
    dataSize = 0;
    EXPECT_EQ(machine().RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, &dataSize), kOk);
    EXPECT_EQ(dataSize, 5u);
    nameSize = sizeof name;
    dataSize = sizeof data;
    EXPECT_EQ(machine().RegEnumValueA(key, 0, name, &nameSize, nullptr, data, &dataSize), kOk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), "data\0"s);
    EXPECT_EQ(machine().RegEnumKeyExA(key, 0, nullptr, &nameSize), kInvalidParameter);
    EXPECT_EQ(machine().RegEnumValueA(key, 0, name, nullptr, nullptr, nullptr, nullptr), kInvalidParameter);
    Close(key);
}

TEST_F(RegCallsTest, DeleteKeyRefusesKeysWithSubkeys) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi\\Vaultline\\Settings", "v", "1"));
    struct Case {
        RegKey root;
        const char* sub;
        std::int32_t expected;
    };
    const Case cases[] = {
        {plat::kHkeyLocalMachine, "Software\\Tolvi", kAccessDenied},
        {plat::kHkeyLocalMachine, "Software\\Tolvi\\Vaultline", kAccessDenied},
        {plat::kHkeyLocalMachine, "Software\\Tolvi\\Missing", kNotFound},
        {plat::kHkeyLocalMachine, "SOFTWARE\\TOLVI\\VAULTLINE\\SETTINGS", kOk},  // values go with it
        {plat::kHkeyLocalMachine, "Software\\Tolvi\\Vaultline\\Settings", kNotFound},
        {plat::kHkeyLocalMachine, "Software\\Tolvi\\Vaultline", kOk},
        {plat::kHkeyLocalMachine, "Software\\Tolvi", kOk},
        {plat::kHkeyLocalMachine, "", kAccessDenied},
        {plat::kHkeyCurrentUser, "", kAccessDenied},
        {0x4444, "Software", kInvalidHandle},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(machine().RegDeleteKeyA(c.root, c.sub), c.expected) << c.sub;
    }
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\Tolvi"));
    EXPECT_TRUE(store().KeyExists("HKCU"));
}

TEST_F(RegCallsTest, DeletingATreeByEnumeratingIndexZeroReachesEveryKey) {
    // The walk of the vendor key cleanup: delete; when that fails, take the
    // subkey at index 0 again and again, deleting each one first.
    for (const char* path : {"A\\A1", "A\\A2\\Deep", "B", "C\\C1", "C\\C2", "C\\C3"}) {
        ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Corvanta Software\\"s + path));
    }
    std::function<bool(const std::string&)> remove = [&](const std::string& path) {
        if (machine().RegDeleteKeyA(plat::kHkeyLocalMachine, path.c_str()) == kOk) return true;
        plat::UniqueRegKey key;
        if (machine().RegOpenKeyExA(plat::kHkeyLocalMachine, path.c_str(), 0, plat::kKeyAllAccess,
                                    key.put()) != kOk)
            return false;
        char name[260];
        for (;;) {
            std::uint32_t size = sizeof name;
            if (machine().RegEnumKeyExA(key.get(), 0, name, &size) != kOk) break;
            if (!remove(path + "\\" + name)) return false;
        }
        return machine().RegDeleteKeyA(plat::kHkeyLocalMachine, path.c_str()) == kOk;
    };
    plat::Platform* previous = plat::SetPlatform(&machine());
    EXPECT_TRUE(remove("Software\\Corvanta Software"));
    plat::SetPlatform(previous);
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\Corvanta Software"));
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}

TEST_F(RegCallsTest, EnumerationSeesChangesMadeByAnotherProcess) {
    for (const char* name : {"a", "b", "c"}) ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Live\\"s + name));
    const RegKey key = Open(plat::kHkeyLocalMachine, "Software\\Live");
    char name[260];
    std::uint32_t size = sizeof name;
    ASSERT_EQ(machine().RegEnumKeyExA(key, 0, name, &size), kOk);
    EXPECT_STREQ(name, "a");
    {
        // Another connection to the same store, as another process has.
        plat::SimRegistry other(prefix());
        ASSERT_TRUE(other.DeleteKeyTree("HKLM\\Software\\Live\\a"));
        ASSERT_TRUE(other.CreateKey("HKLM\\Software\\Live\\0first"));
    }
    const std::vector<std::string> expected{"0first", "b", "c"};
    for (std::uint32_t i = 0; i < expected.size(); ++i) {
        size = sizeof name;
        ASSERT_EQ(machine().RegEnumKeyExA(key, i, name, &size), kOk);
        EXPECT_EQ(name, expected[i]);
    }
    Close(key);
}

TEST_F(RegCallsTest, AHandleToADeletedKeyFailsWith1018) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Gone", "v", "1"));
    const RegKey key = Open(plat::kHkeyLocalMachine, "Software\\Gone");
    ASSERT_TRUE(store().DeleteKeyTree("HKLM\\Software\\Gone"));
    char name[260];
    std::uint32_t size = sizeof name;
    std::uint32_t count = 0;
    EXPECT_EQ(machine().RegQueryValueExA(key, "v", nullptr, nullptr, &size), kKeyDeleted);
    EXPECT_EQ(machine().RegEnumKeyExA(key, 0, name, &size), kKeyDeleted);
    EXPECT_EQ(machine().RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr), kKeyDeleted);
    EXPECT_EQ(machine().RegQueryInfoKeyA(key, nullptr, &count), kKeyDeleted);
    EXPECT_EQ(SetString(key, "v", "again"), kKeyDeleted);
    EXPECT_EQ(machine().RegDeleteValueA(key, "v"), kKeyDeleted);
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\Gone"));
    Close(key);
}

TEST_F(RegCallsTest, DeleteValueGivesTwoWhenMissing) {
    ASSERT_TRUE(store().SetDword("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                                 "C:\\Program Files\\Corvanta\\x.dll", 1));
    const RegKey key =
        Open(plat::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
    EXPECT_EQ(machine().RegDeleteValueA(key, "c:\\program files\\corvanta\\X.DLL"), kOk);
    EXPECT_EQ(machine().RegDeleteValueA(key, "C:\\Program Files\\Corvanta\\x.dll"), kNotFound);
    EXPECT_EQ(machine().RegDeleteValueA(key, nullptr), kNotFound);  // no default value
    Close(key);
}

TEST_F(RegCallsTest, CloseCountsOpenKeysAndRefusesUnknownHandles) {
    EXPECT_EQ(store().OpenKeyCount(), 0u);
    const RegKey a = Open(plat::kHkeyLocalMachine, "Software");
    const RegKey b = Open(plat::kHkeyLocalMachine, "Software");
    EXPECT_NE(a, b);
    EXPECT_EQ(store().OpenKeyCount(), 2u);
    EXPECT_EQ(machine().RegCloseKey(a), kOk);
    EXPECT_EQ(machine().RegCloseKey(a), kInvalidHandle);
    EXPECT_EQ(machine().RegCloseKey(0x7777), kInvalidHandle);
    EXPECT_EQ(store().OpenKeyCount(), 1u);
    // The predefined roots are never counted and closing one does nothing.
    EXPECT_EQ(machine().RegCloseKey(plat::kHkeyLocalMachine), kOk);
    std::uint32_t values = 0;
    EXPECT_EQ(machine().RegQueryInfoKeyA(plat::kHkeyLocalMachine, nullptr, &values), kOk);
    // A closed handle is no longer usable.
    EXPECT_EQ(machine().RegQueryInfoKeyA(a, nullptr, &values), kInvalidHandle);
    Close(b);
    EXPECT_EQ(store().OpenKeyCount(), 0u);
}

TEST_F(RegCallsTest, RootHandlesReachTheMappedHives) {
    const RegKey user =
        Create(plat::kHkeyCurrentUser, "Software\\Corvanta Software\\Specwright\\4.0\\Projects");
    ASSERT_EQ(SetString(user, "Data List", "C:\\Projects\\One"), kOk);
    Close(user);
    const RegKey classes = Create(plat::kHkeyClassesRoot, "CLSID\\{X}");
    Close(classes);
    std::string text;
    EXPECT_TRUE(store().GetString("HKEY_USERS\\"s + plat::kSimRegistryUserSid +
                                      "\\Software\\Corvanta Software\\Specwright\\4.0\\Projects",
                                  "Data List", text));
    EXPECT_EQ(text, "C:\\Projects\\One");
    EXPECT_TRUE(store().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}"));
    const RegKey viaMachine = Open(plat::kHkeyLocalMachine, "Software\\Classes\\clsid\\{x}");
    Close(viaMachine);
}

TEST_F(RegCallsTest, HundredThousandValuesEnumerateByIndex) {
    constexpr std::uint32_t kCount = 100000;
    std::vector<SimRegValue> values;
    values.reserve(kCount);
    for (std::uint32_t i = 0; i < kCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "C:\\Lib\\file%06u.dll", i);
        values.push_back({name, plat::kRegDword, Dword(i)});
    }
    ASSERT_TRUE(store().SetValues("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", values));
    const RegKey key = Open(plat::kHkeyLocalMachine,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", plat::kKeyRead);
    std::uint32_t count = 0;
    ASSERT_EQ(machine().RegQueryInfoKeyA(key, nullptr, &count), kOk);
    ASSERT_EQ(count, kCount);
    char name[1000];
    std::uint32_t i = 0;
    for (;; ++i) {
        std::uint32_t nameSize = sizeof name;
        std::uint8_t data[4];
        std::uint32_t dataSize = sizeof data;
        const std::int32_t rc = machine().RegEnumValueA(key, i, name, &nameSize, nullptr, data, &dataSize);
        if (rc == kNoMoreItems) break;
        ASSERT_EQ(rc, kOk) << i;
        // Names were made in their sort order: index i is value i.
        ASSERT_EQ(std::string(name, nameSize), values[i].name);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), values[i].data);
    }
    EXPECT_EQ(i, kCount);
    Close(key);
}
