// The reg, regedit and regsvr32 programs of the simulated machine: command
// syntax, output, exit codes and what they leave in the registry.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "tests/registry/RegistryFixture.h"

using namespace std::string_literals;
using plat::SimRegValue;
using Args = std::vector<std::string>;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

class RegBuiltinsTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        ASSERT_EQ(mkdir((prefix() + "/drive_c").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((prefix() + "/drive_c/windows").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((prefix() + "/drive_c/windows/system32").c_str(), 0755), 0);
    }

    // Runs a built-in with its output captured and the given answer lines on
    // standard input.
    Outcome Call(int (*program)(plat::SimPlatform&, const Args&), const Args& args,
                 const std::string& input = "") {
        int pipeFds[2];
        EXPECT_EQ(pipe(pipeFds), 0);
        EXPECT_EQ(write(pipeFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        close(pipeFds[1]);
        std::fflush(stdin);
        const int savedIn = dup(0);
        dup2(pipeFds[0], 0);
        close(pipeFds[0]);
        std::cin.clear();
        std::clearerr(stdin);

        Outcome run;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        run.exitCode = program(machine(), args);
        std::fflush(stdout);
        std::fflush(stderr);
        run.out = testing::internal::GetCapturedStdout();
        run.err = testing::internal::GetCapturedStderr();

        dup2(savedIn, 0);
        close(savedIn);
        std::cin.clear();
        std::clearerr(stdin);
        return run;
    }
    Outcome Reg(const Args& args, const std::string& input = "") {
        return Call(plat::RegBuiltin, args, input);
    }
    Outcome Regedit(const Args& args) { return Call(plat::RegeditBuiltin, args); }
    Outcome Regsvr32(const Args& args) { return Call(plat::Regsvr32Builtin, args); }

    std::string Host(const std::string& relative) { return prefix() + "/drive_c/" + relative; }
    void WriteHostFile(const std::string& relative, const std::string& content) {
        std::ofstream file(Host(relative), std::ios::binary);
        file << content;
    }
};

TEST_F(RegBuiltinsTest, AddStoresEachTypeFromItsText) {
    struct Case {
        Args typeAndData;
        std::uint32_t type;
        std::string bytes;
    };
    const Case cases[] = {
        {{"/d", "C:\\Program Files"}, plat::kRegSz, "C:\\Program Files\0"s},
        {{}, plat::kRegSz, "\0"s},
        {{"/t", "REG_EXPAND_SZ", "/d", "%WINDIR%\\x"}, plat::kRegExpandSz, "%WINDIR%\\x\0"s},
        {{"/t", "reg_multi_sz", "/d", "one\\0two"}, plat::kRegMultiSz, "one\0two\0\0"s},
        {{"/t", "REG_MULTI_SZ", "/s", ";", "/d", "a;b;c"}, plat::kRegMultiSz, "a\0b\0c\0\0"s},
        {{"/t", "REG_DWORD", "/d", "42"}, plat::kRegDword, Dword(42)},
        {{"/t", "REG_DWORD", "/d", "0xFFFFFFFF"}, plat::kRegDword, Dword(0xFFFFFFFF)},
        {{"/t", "REG_QWORD", "/d", "0x0102030405060708"},
         plat::kRegQword,
         "\x08\x07\x06\x05\x04\x03\x02\x01"s},
        {{"/t", "REG_BINARY", "/d", "00ff10"}, plat::kRegBinary, "\x00\xff\x10"s},
        {{"/t", "REG_BINARY", "/d", "abc"}, plat::kRegBinary, "\x0a\xbc"s},
        {{"/t", "REG_NONE"}, plat::kRegNone, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "v" + std::to_string(n++);
        SCOPED_TRACE(name);
        Args args{"add", "HKLM\\Software\\Added", "/v", name};
        args.insert(args.end(), c.typeAndData.begin(), c.typeAndData.end());
        args.push_back("/f");
        const Outcome run = Reg(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "The operation completed successfully.\n");
        SimRegValue value;
        ASSERT_TRUE(store().GetValue("HKLM\\Software\\Added", name, value));
        EXPECT_EQ(value.type, c.type);
        EXPECT_EQ(value.data, c.bytes);
    }
}

TEST_F(RegBuiltinsTest, AddCreatesKeysAndSetsTheDefaultValue) {
    EXPECT_EQ(Reg({"ADD", "HKCU\\Software\\Corvanta Software\\Email"}).exitCode, 0);
    EXPECT_TRUE(store().KeyExists("HKEY_USERS\\"s + plat::kSimRegistryUserSid +
                                  "\\Software\\Corvanta Software\\Email"));
    EXPECT_EQ(
        Reg({"add", "HKEY_CLASSES_ROOT\\.vlt", "/ve", "/d", "Vaultline.File", "-f", "/reg:64"}).exitCode, 0);
    std::string text;
    ASSERT_TRUE(store().GetString("HKLM\\Software\\Classes\\.vlt", "", text));
    EXPECT_EQ(text, "Vaultline.File");
}

TEST_F(RegBuiltinsTest, BadCommandsFailWithTheirMessages) {
    struct Case {
        Args args;
        std::string error;
    };
    const std::string syntax = "ERROR: Invalid syntax.\n";
    const Case cases[] = {
        {{}, syntax + "Type \"REG /?\" for usage.\n"},
        {{"frob", "HKLM\\X"}, syntax + "Type \"REG /?\" for usage.\n"},
        {{"add"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/ve"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/v", "b"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/bogus"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/t", "REG_DWORD", "/d", "12abc"},
         syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"},
         syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/t", "REG_BINARY", "/d", "zz"},
         syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/s", ",", "/d", "x"}, syntax + "Type \"REG ADD /?\" for usage.\n"},
        {{"add", "HKLM\\X", "/v", "a", "/t", "REG_FOO"},
         "ERROR: Invalid type.\nType \"REG ADD /?\" for usage.\n"},
        {{"add", "HKXX\\X"}, "ERROR: Invalid key name.\nType \"REG ADD /?\" for usage.\n"},
        {{"query", "Software\\X"}, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
        {{"query", "\\\\PC\\HKLM\\X"}, "ERROR: Invalid key name.\nType \"REG QUERY /?\" for usage.\n"},
        {{"query", "HKLM\\X", "/f"}, syntax + "Type \"REG QUERY /?\" for usage.\n"},
        {{"delete", "HKLM\\X", "/v", "a", "/va"}, syntax + "Type \"REG DELETE /?\" for usage.\n"},
        {{"export", "HKLM\\Software"}, syntax + "Type \"REG EXPORT /?\" for usage.\n"},
        {{"import"}, syntax + "Type \"REG IMPORT /?\" for usage.\n"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const Outcome run = Reg(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, c.error);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(store().KeyExists("HKLM\\X"));
}

TEST_F(RegBuiltinsTest, QueryPrintsKeysValuesAndSubkeysAsRegDoes) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Corvanta Test\\8\\Qualvane", "", "Main"));
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Corvanta Test\\8\\Qualvane", "Path", "C:\\Q"));
    ASSERT_TRUE(store().SetDword("HKLM\\Software\\Corvanta Test\\8\\Qualvane", "Build", 0x1f));
    ASSERT_TRUE(store().SetValue("HKLM\\Software\\Corvanta Test\\8\\Qualvane",
                                 {"List", plat::kRegMultiSz, "a\0b\0\0"s}));
    ASSERT_TRUE(store().SetValue("HKLM\\Software\\Corvanta Test\\8\\Qualvane\\Bin",
                                 {"Blob", plat::kRegBinary, "\x0a\xff"s}));
    ASSERT_TRUE(store().CreateKey("HKLM\\Software\\Corvanta Test\\8\\Qualvane\\Empty"));
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane";

    Outcome run = Reg({"query", "hklm\\software\\corvanta test\\8\\qualvane"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "\n" + key + "\n" +
                           "    (Default)    REG_SZ    Main\n"
                           "    Build    REG_DWORD    0x1f\n"
                           "    List    REG_MULTI_SZ    a\\0b\n"
                           "    Path    REG_SZ    C:\\Q\n"
                           "\n" +
                           key + "\\Bin\n" + key + "\\Empty\n");

    // With /s every key is listed, each followed by its values and a blank line.
    run = Reg({"query", "HKLM\\Software\\Corvanta Test\\8\\Qualvane", "/s"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "\n" + key + "\n" +
                           "    (Default)    REG_SZ    Main\n"
                           "    Build    REG_DWORD    0x1f\n"
                           "    List    REG_MULTI_SZ    a\\0b\n"
                           "    Path    REG_SZ    C:\\Q\n"
                           "\n" +
                           key + "\\Bin\n    Blob    REG_BINARY    0AFF\n\n" + key + "\\Empty\n\n");

    run = Reg({"query", "HKLM\\Software\\Corvanta Test\\8\\Qualvane", "/v", "PATH"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "\n" + key + "\n    Path    REG_SZ    C:\\Q\n\n");

    run = Reg({"query", "HKLM\\Software\\Corvanta Test\\8\\Qualvane\\Empty", "/ve"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "\n" + key + "\\Empty\n    (Default)    REG_SZ    (value not set)\n\n");

    run = Reg({"query", "HKLM\\Software\\Corvanta Test\\8\\Qualvane", "/v", "Blob", "/s"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "\n" + key + "\\Bin\n    Blob    REG_BINARY    0AFF\n\nEnd of search: 1 match(es) found.\n");

    for (const Args& missing : {Args{"query", "HKLM\\Software\\Missing"},
                                Args{"query", "HKLM\\Software\\Corvanta Test\\8\\Qualvane", "/v", "Nope"}}) {
        run = Reg(missing);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "ERROR: The system was unable to find the specified registry key or value.\n");
    }
}

TEST_F(RegBuiltinsTest, DeleteRemovesValuesKeysAndTrees) {
    const std::string key = "HKLM\\Software\\Tolvi";
    ASSERT_TRUE(store().SetString(key, "", "d"));
    ASSERT_TRUE(store().SetString(key, "a", "1"));
    ASSERT_TRUE(store().SetString(key, "b", "2"));
    ASSERT_TRUE(store().SetString(key + "\\Sub\\Deep", "c", "3"));

    EXPECT_EQ(Reg({"delete", key, "/v", "A", "/f"}).exitCode, 0);
    EXPECT_EQ(Reg({"delete", key, "/v", "a", "/f"}).exitCode, 1);
    EXPECT_EQ(Reg({"delete", key, "/ve", "/f"}).exitCode, 0);
    std::string text;
    EXPECT_FALSE(store().GetString(key, "", text));
    EXPECT_TRUE(store().GetString(key, "b", text));

    EXPECT_EQ(Reg({"delete", key, "/va", "/f"}).exitCode, 0);
    EXPECT_TRUE(store().Values(key).empty());
    EXPECT_TRUE(store().KeyExists(key + "\\Sub\\Deep"));

    const Outcome run = Reg({"delete", key, "/f"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "The operation completed successfully.\n");
    EXPECT_FALSE(store().KeyExists(key));

    EXPECT_EQ(Reg({"delete", key, "/f"}).exitCode, 1);
    EXPECT_EQ(Reg({"delete", "HKLM", "/f"}).exitCode, 1);
    EXPECT_TRUE(store().KeyExists("HKLM\\Software"));
}

TEST_F(RegBuiltinsTest, QuestionsWithoutForceAreAnsweredOnStandardInput) {
    const std::string key = "HKLM\\Software\\Ask";
    ASSERT_TRUE(store().SetString(key, "v", "old"));
    struct Case {
        Args args;
        std::string answer;
        int exitCode;
        std::string question;
    };
    const Case cases[] = {
        {{"add", key, "/v", "v", "/d", "new"}, "n\n", 1, "Value v exists, overwrite(Yes/No)? "},
        {{"delete", key, "/v", "v"}, "no\n", 1, "Delete the registry value v (Yes/No)? "},
        {{"delete", key},
         "",
         1,
         "Permanently delete the registry key HKEY_LOCAL_MACHINE\\Software\\Ask (Yes/No)? "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question);
        const Outcome run = Reg(c.args, c.answer);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.question + "The operation was canceled by the user.\n");
        std::string text;
        ASSERT_TRUE(store().GetString(key, "v", text));
        EXPECT_EQ(text, "old");
    }
    const Outcome yes = Reg({"add", key, "/v", "v", "/d", "new"}, "Yes\n");
    EXPECT_EQ(yes.exitCode, 0);
    std::string text;
    ASSERT_TRUE(store().GetString(key, "v", text));
    EXPECT_EQ(text, "new");
}

TEST_F(RegBuiltinsTest, ExportAndImportGoThroughWindowsPaths) {
    ASSERT_TRUE(store().SetString("HKCU\\Software\\Tolvi\\Vaultline", "Server", "vault:8080"));
    Outcome run = Reg({"export", "HKCU\\Software\\Tolvi", "C:\\tolvi.reg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = ReadFile(Host("tolvi.reg"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");

    // An existing file is replaced only with /y or a Yes.
    run = Reg({"export", "HKCU\\Software\\Tolvi", "C:\\TOLVI.REG"}, "n\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(
        run.out,
        "File C:\\TOLVI.REG already exists. Overwrite (Yes/No)? The operation was canceled by the user.\n");
    EXPECT_EQ(Reg({"export", "HKCU\\Software\\Tolvi", "C:\\tolvi.reg", "/y"}).exitCode, 0);

    ASSERT_TRUE(store().DeleteKeyTree("HKCU\\Software\\Tolvi"));
    run = Reg({"import", "c:\\tolvi.reg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "The operation completed successfully.\n");
    std::string text;
    ASSERT_TRUE(store().GetString("HKCU\\Software\\Tolvi\\Vaultline", "Server", text));
    EXPECT_EQ(text, "vault:8080");

    run = Reg({"import", "C:\\missing.reg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ERROR: Error opening the file. There may be a disk or file system error.\n");
    WriteHostFile("junk.reg", "not a registry file");
    run = Reg({"import", "C:\\junk.reg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ERROR: Error accessing the registry.\n");
    run = Reg({"export", "HKCU\\Software\\Missing", "C:\\m.reg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(FileExists(Host("m.reg")));
}

TEST_F(RegBuiltinsTest, RegeditExportsInBothFormsAndImportsSilently) {
    ASSERT_TRUE(store().SetString("HKLM\\Software\\Corvanta Software\\Tracklight", "Version", "7.1"));
    const std::string section = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight]\r\n";

    Outcome run = Regedit(
        {"/e:a", "C:\\tl_core_hklm.reg", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Tracklight"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(Host("tl_core_hklm.reg")),
              "Windows Registry Editor Version 5.00\r\n\r\n" + section + "\"Version\"=\"7.1\"\r\n\r\n");

    run = Regedit({"/e", "C:\\unicode.reg", "HKLM\\Software\\Corvanta Software\\Tracklight"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string unicode = ReadFile(Host("unicode.reg"));
    ASSERT_GE(unicode.size(), 4u);
    EXPECT_EQ(unicode.substr(0, 4), "\xFF\xFEW\0"s);

    // A key that is not there: no file, a message, and still exit code 0.
    run = Regedit({"/e:a", "C:\\missing.reg", "HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Email"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(FileExists(Host("missing.reg")));
    EXPECT_NE(run.err, "");
    // Into a folder that does not exist.
    run = Regedit({"/e:a", "C:\\NoSuchDir\\x.reg", "HKLM\\Software"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err, "");

    ASSERT_TRUE(store().DeleteKeyTree("HKLM\\Software\\Corvanta Software"));
    run = Regedit({"/s", "C:\\unicode.reg"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    std::string text;
    ASSERT_TRUE(store().GetString("HKLM\\Software\\Corvanta Software\\Tracklight", "Version", text));
    EXPECT_EQ(text, "7.1");
    run = Regedit({"/s", "C:\\missing.reg"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
}

TEST_F(RegBuiltinsTest, Regsvr32RecordsRegistrationsAndFailsWithThreeOnAMissingFile) {
    ASSERT_EQ(mkdir(Host("Program Files").c_str(), 0755), 0);
    WriteHostFile("Program Files/BzqLink.dll", "MZ");
    WriteHostFile("windows/system32/vmtrak32.ocx", "MZ");
    const std::string key = "HKLM\\Software\\WinSim\\Regsvr32";

    Outcome run = Regsvr32({"/s", "C:\\Program Files\\BzqLink.dll"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    std::string text;
    ASSERT_TRUE(store().GetString(key, "c:\\program files\\bzqlink.dll", text));
    EXPECT_EQ(text, "registered");

    // A bare name is found in the system folder.
    run = Regsvr32({"vmtrak32.ocx"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "RegSvr32: DllRegisterServer in vmtrak32.ocx succeeded.\n");
    EXPECT_TRUE(store().GetString(key, "c:\\windows\\system32\\vmtrak32.ocx", text));

    run = Regsvr32({"/u", "/s", "c:\\program files\\bzqlink.dll"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(store().GetString(key, "c:\\program files\\bzqlink.dll", text));
    // Unregistering again (never registered) succeeds too.
    EXPECT_EQ(Regsvr32({"/u", "/s", "C:\\Program Files\\BzqLink.dll"}).exitCode, 0);

    run = Regsvr32({"/u", "/s", "C:\\Program Files\\Gone.dll"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, "");
    run = Regsvr32({"/u", "C:\\Program Files\\Gone.dll"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("The module \"C:\\Program Files\\Gone.dll\" failed to load."), std::string::npos);
    // A folder is not a module.
    EXPECT_EQ(Regsvr32({"/s", "C:\\Program Files"}).exitCode, 3);
    EXPECT_EQ(Regsvr32({"/s"}).exitCode, 1);
}
