// The registry store's C++ API: names, hives, order, persistence, and several
// processes writing at once.
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/registry/RegistryFixture.h"

using namespace std::string_literals;
using plat::SimRegistry;
using plat::SimRegValue;

namespace {

std::vector<std::string> Names(const std::vector<SimRegValue>& values) {
    std::vector<std::string> names;
    for (const SimRegValue& value : values) names.push_back(value.name);
    return names;
}

}  // namespace

using RegistryStoreTest = RegistryTest;

TEST_F(RegistryStoreTest, KeysAreFoundInAnyCaseAndKeepTheCaseTheyWereCreatedWith) {
    ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Corvanta Software\\Tracklight"));
    EXPECT_TRUE(store().KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\corvanta software\\TRACKLIGHT"));
    EXPECT_TRUE(store().KeyExists("hklm\\software\\Corvanta Software"));
    // Creating it again in another case changes nothing.
    ASSERT_TRUE(store().CreateKey("HKLM\\SOFTWARE\\CORVANTA SOFTWARE\\tracklight\\Common"));
    std::string stored;
    ASSERT_TRUE(store().StoredPath("hklm\\software\\corvanta software\\tracklight\\common", stored));
    // SOFTWARE exists from the start, spelled as on Windows.
    EXPECT_EQ(stored, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight\\Common");
    EXPECT_EQ(store().SubKeys("HKLM\\Software\\Corvanta Software"), std::vector<std::string>{"Tracklight"});
}

TEST_F(RegistryStoreTest, ValueNamesAreCaseInsensitiveAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\X", "DisplayVersion", "1.0"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\X", "DISPLAYVERSION", "2.0"));
    const std::vector<SimRegValue> values = store().Values("HKLM\\Software\\X");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "DisplayVersion");
    EXPECT_EQ(values[0].data, "2.0\0"s);
    std::string text;
    ASSERT_TRUE(store().GetString("hklm\\software\\x", "displayversion", text));
    EXPECT_EQ(text, "2.0");
}

TEST_F(RegistryStoreTest, AccentedLettersOfTheAnsiCodePageMatchInEitherCase) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Caf\xe9\\\xc6ther", "\xffvon", "1"));
    std::string text;
    EXPECT_TRUE(store().GetString("HKLM\\SOFTWARE\\CAF\xc9\\\xe6THER", "\x9fVON", text));
    // Signs that are no letters stay apart: the division sign is not the multiplication sign.
    ASSERT_TRUE(
        store().CreateKey("HKLM\\Software\\a\xf7"
                          "b"));
    EXPECT_FALSE(
        store().KeyExists("HKLM\\Software\\a\xd7"
                          "b"));
}

TEST_F(RegistryStoreTest, SubkeysAndValuesAreListedInCaseInsensitiveOrder) {
    for (const char* name : {"beta", "Alpha", "gamma", "DELTA", "_under", "a1"}) {
        ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Order\\"s + name));
        ASSERT_TRUE(store().SetDword("HKLM\\Software\\Order", name, 1));
    }
    // Names compare as upper case, as Windows orders them ('_' after the letters).
    const std::vector<std::string> expected{"a1", "Alpha", "beta", "DELTA", "gamma", "_under"};
    EXPECT_EQ(store().SubKeys("HKLM\\Software\\Order"), expected);
    EXPECT_EQ(Names(store().Values("HKLM\\Software\\Order")), expected);
}

TEST_F(RegistryStoreTest, HivesMapAsOnWindows) {
    struct Case {
        const char* written;
        const char* readBack;
    };
    const Case cases[] = {
        {"HKCU\\Software\\Tolvi",
         "HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1000\\Software\\Tolvi"},
        {"HKEY_CURRENT_USER\\Software\\A", "HKU\\S-1-5-21-1004336348-1177238915-682003330-1000\\Software\\A"},
        {"HKCR\\.reg", "HKEY_LOCAL_MACHINE\\Software\\Classes\\.reg"},
        {"HKEY_CLASSES_ROOT\\CLSID\\x", "HKLM\\SOFTWARE\\CLASSES\\clsid\\X"},
        {"HKU\\.DEFAULT\\Control Panel", "HKEY_USERS\\.default\\control panel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        ASSERT_TRUE(store().SetString(c.written, "v", c.written));
        std::string text;
        ASSERT_TRUE(store().GetString(c.readBack, "v", text));
        EXPECT_EQ(text, c.written);
    }
    // The user's key and the default user's key exist from the start.
    EXPECT_TRUE(store().KeyExists("HKU\\.DEFAULT"));
    EXPECT_TRUE(store().KeyExists("HKU\\"s + plat::kSimRegistryUserSid));
}

TEST_F(RegistryStoreTest, PathsWithUnknownHivesOrOverlongNamesAreRefused) {
    for (const std::string& path :
         {"HKXX\\Software"s, "Software\\X"s, ""s, "HKLM\\"s + std::string(256, 'n')}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(store().CreateKey(path));
        EXPECT_FALSE(store().SetString(path, "v", "x"));
        EXPECT_FALSE(store().KeyExists(path));
    }
    EXPECT_TRUE(store().CreateKey("HKLM\\"s + std::string(255, 'n')));
}

TEST_F(RegistryStoreTest, DeleteKeyTreeRemovesEverythingBelowAndNothingBeside) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi\\A\\B", "v", "1"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi\\C", "v", "2"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi", "v", "3"));
    // Keys whose names only begin like the deleted one stay.
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi2", "v", "4"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Tolvi Extra\\D", "v", "5"));

    ASSERT_TRUE(store().DeleteKeyTree("hklm\\software\\TOLVI"));
    for (const char* gone : {"HKLM\\Software\\Tolvi", "HKLM\\Software\\Tolvi\\A",
                             "HKLM\\Software\\Tolvi\\A\\B", "HKLM\\Software\\Tolvi\\C"}) {
        EXPECT_FALSE(store().KeyExists(gone)) << gone;
    }
    std::string text;
    EXPECT_TRUE(store().GetString("HKLM\\Software\\Tolvi2", "v", text));
    EXPECT_TRUE(store().GetString("HKLM\\Software\\Tolvi Extra\\D", "v", text));
    // Creating it again starts empty.
    ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Tolvi"));
    EXPECT_TRUE(store().Values("HKLM\\Software\\Tolvi").empty());
    EXPECT_TRUE(store().SubKeys("HKLM\\Software\\Tolvi").empty());

    EXPECT_FALSE(store().DeleteKeyTree("HKLM\\Software\\Missing"));
    EXPECT_FALSE(store().DeleteKeyTree("HKLM"));
    EXPECT_TRUE(store().KeyExists("HKLM\\Software"));
}

TEST_F(RegistryStoreTest, ValuesKeepTheirRawBytesAndType) {
    const SimRegValue written[] = {
        {"", plat::kRegSz, "default\0"s},
        {"bin", plat::kRegBinary, "\x00\x01\xff\x80"s},
        {"empty", plat::kRegNone, ""},
        {"multi", plat::kRegMultiSz, "a\0b\0\0"s},
        {"q", plat::kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
    };
    for (const SimRegValue& value : written) ASSERT_TRUE(store().SetValue("HKLM\\Software\\Raw", value));
    Reopen();
    for (const SimRegValue& value : written) {
        SCOPED_TRACE(value.name);
        SimRegValue read;
        ASSERT_TRUE(store().GetValue("HKLM\\Software\\Raw", value.name, read));
        EXPECT_EQ(read.type, value.type);
        EXPECT_EQ(read.data, value.data);
    }
    EXPECT_TRUE(store().DeleteValue("HKLM\\Software\\Raw", "BIN"));
    EXPECT_FALSE(store().DeleteValue("HKLM\\Software\\Raw", "bin"));
    EXPECT_FALSE(store().DeleteValue("HKLM\\Software\\Missing", "bin"));
    SimRegValue read;
    EXPECT_FALSE(store().GetValue("HKLM\\Software\\Raw", "bin", read));
}

TEST_F(RegistryStoreTest, GetStringRefusesNumbersAndDropsTheTerminator) {
    ASSERT_TRUE(store().SetDword("HKLM\\Software\\S", "n", 7));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\S", "path", "%WINDIR%\\x", plat::kRegExpandSz));
    std::string text = "unchanged";
    EXPECT_FALSE(store().GetString("HKLM\\Software\\S", "n", text));
    EXPECT_EQ(text, "unchanged");
    ASSERT_TRUE(store().GetString("HKLM\\Software\\S", "path", text));
    EXPECT_EQ(text, "%WINDIR%\\x");
    SimRegValue number;
    ASSERT_TRUE(store().GetValue("HKLM\\Software\\S", "n", number));
    EXPECT_EQ(number.data, Dword(7));
}

TEST_F(RegistryStoreTest, BatchWithoutCommitLeavesNothingAndNestedBatchesJoin) {
    {
        SimRegistry::Batch batch(store());
        ASSERT_TRUE(store().SetString("HKLM\\Software\\Batch", "a", "1"));
        {
            SimRegistry::Batch inner(store());
            ASSERT_TRUE(store().SetString("HKLM\\Software\\Batch", "b", "2"));
            ASSERT_TRUE(inner.Commit());
        }
        // No commit of the outer batch.
    }
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\Batch"));
    {
        SimRegistry::Batch batch(store());
        ASSERT_TRUE(store().SetString("HKLM\\Software\\Batch", "a", "1"));
        ASSERT_TRUE(batch.Commit());
    }
    Reopen();
    EXPECT_EQ(Names(store().Values("HKLM\\Software\\Batch")), std::vector<std::string>{"a"});
}

TEST_F(RegistryStoreTest, NothingIsStoredOutsideAnExistingPrefix) {
    SimRegistry missing(prefix() + "/no/such/folder");
    EXPECT_FALSE(missing.CreateKey("HKLM\\Software\\X"));
    EXPECT_FALSE(missing.KeyExists("HKLM"));
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    // Nothing is open in this process when the children start: each process
    // uses its own connection.
    constexpr int kPerProcess = 300;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            SimRegistry own(prefix());
            bool ok = true;
            for (int i = 0; i < kPerProcess; ++i) {
                const std::string name = "p" + std::to_string(child) + "_" + std::to_string(i);
                ok = own.SetString("HKLM\\Software\\Shared", name, name) && ok;
                ok = own.CreateKey("HKLM\\Software\\Shared\\" + name) && ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(store().Values("HKLM\\Software\\Shared").size(), 2u * kPerProcess);
    EXPECT_EQ(store().SubKeys("HKLM\\Software\\Shared").size(), 2u * kPerProcess);
    std::string text;
    ASSERT_TRUE(store().GetString("HKLM\\Software\\Shared", "p1_299", text));
    EXPECT_EQ(text, "p1_299");
}

TEST_F(RegistryStoreTest, AChildThatInheritedAnOpenStoreUsesItsOwnConnection) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Before", "v", "parent"));
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::string text;
        const bool ok = store().GetString("HKLM\\Software\\Before", "v", text) && text == "parent" &&
                        store().SetString("HKLM\\Software\\After", "v", "child");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string text;
    ASSERT_TRUE(store().GetString("HKLM\\Software\\After", "v", text));
    EXPECT_EQ(text, "child");
}

TEST_F(RegistryStoreTest, AProcessKilledMidRunLeavesEveryCommittedChange) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        SimRegistry own(prefix());
        for (int i = 0;; ++i) {
            if (!own.SetDword("HKLM\\Software\\Killed", "n" + std::to_string(i),
                              static_cast<std::uint32_t>(i)))
                _exit(1);
            if (i == 200) {
                const char byte = 1;
                if (write(ready[1], &byte, 1) != 1) _exit(1);
            }
        }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    // Every value 0..k is there with its data; none is half written.
    const std::vector<SimRegValue> values = store().Values("HKLM\\Software\\Killed");
    ASSERT_GE(values.size(), 201u);
    for (std::size_t i = 0; i < values.size(); ++i) {
        SimRegValue value;
        ASSERT_TRUE(store().GetValue("HKLM\\Software\\Killed", "n" + std::to_string(i), value)) << i;
        EXPECT_EQ(value.data, Dword(static_cast<std::uint32_t>(i)));
    }
    // And the store takes new writes.
    EXPECT_TRUE(store().SetDword("HKLM\\Software\\Killed", "after", 1));
}
