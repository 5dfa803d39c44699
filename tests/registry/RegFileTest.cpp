// .reg export and import: the exact export text, wrapping, encodings, and
// export followed by import giving back the same keys and values.
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/SimRegFile.h"
#include "tests/registry/RegistryFixture.h"

using namespace std::string_literals;
using plat::RegFileEncoding;
using plat::SimRegValue;

namespace {

// UTF-16LE bytes (with mark) -> one byte per unit, for comparing texts.
std::string FromUtf16(const std::string& bytes) {
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        EXPECT_EQ(bytes[i + 1], '\0') << "unit " << i / 2 << " is above 0xFF";
        text += bytes[i];
    }
    return text;
}

std::string ToUtf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace

class RegFileTest : public RegistryTest {
protected:
    // Every key below path (path included) with its values, by stored path.
    std::map<std::string, std::vector<SimRegValue>> Tree(const std::string& path) {
        std::map<std::string, std::vector<SimRegValue>> tree;
        std::string stored;
        if (!store().StoredPath(path, stored)) return tree;
        Collect(stored, tree);
        return tree;
    }
    void Collect(const std::string& path, std::map<std::string, std::vector<SimRegValue>>& tree) {
        tree[path] = store().Values(path);
        for (const std::string& name : store().SubKeys(path)) Collect(path + "\\" + name, tree);
    }
    void ExpectSameTree(const std::map<std::string, std::vector<SimRegValue>>& expected,
                        const std::map<std::string, std::vector<SimRegValue>>& actual) {
        ASSERT_EQ(actual.size(), expected.size());
        for (const auto& entry : expected) {
            SCOPED_TRACE(entry.first);
            const auto found = actual.find(entry.first);
            ASSERT_NE(found, actual.end());
            ASSERT_EQ(found->second.size(), entry.second.size());
            for (std::size_t i = 0; i < entry.second.size(); ++i) {
                EXPECT_EQ(found->second[i].name, entry.second[i].name);
                EXPECT_EQ(found->second[i].type, entry.second[i].type) << entry.second[i].name;
                EXPECT_EQ(found->second[i].data, entry.second[i].data) << entry.second[i].name;
            }
        }
    }
    void Fill(const std::string& key, const std::vector<SimRegValue>& values) {
        ASSERT_TRUE(store().SetValues(key, values)) << key;
    }
};

TEST_F(RegFileTest, ExportWritesTheEditorsFormat) {
    const std::string key = "HKLM\\Software\\Corvanta Test\\8\\Qualvane";
    Fill(key, {
                  {"", plat::kRegSz, "Default\0"s},
                  {"Path", plat::kRegSz, "C:\\Program Files\\Q\0"s},
                  {"Quote", plat::kRegSz, "say \"hi\"\0"s},
                  {"Count", plat::kRegDword, Dword(42)},
                  {"Bin", plat::kRegBinary, "\x00\x01\xff"s},
              });
    Fill(key + "\\Settings", {
                                 {"Exp", plat::kRegExpandSz, "%A%\0"s},
                                 {"Multi", plat::kRegMultiSz, "a\0b\0\0"s},
                                 {"Q", plat::kRegQword, "\x01\0\0\0\0\0\0\0"s},
                                 {"None", plat::kRegNone, ""},
                             });
    ASSERT_TRUE(store().CreateKey(key + "\\Empty"));
    std::string bytes;
    ASSERT_TRUE(plat::ExportRegText(store(), "hklm\\software\\corvanta test\\8\\qualvane",
                                    RegFileEncoding::Unicode, bytes));
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane]\r\n"
        "@=\"Default\"\r\n"
        "\"Bin\"=hex:00,01,ff\r\n"
        "\"Count\"=dword:0000002a\r\n"
        "\"Path\"=\"C:\\\\Program Files\\\\Q\"\r\n"
        "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane\\Empty]\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane\\Settings]\r\n"
        "\"Exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        "\"None\"=hex(0):\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\r\n";
    EXPECT_EQ(FromUtf16(bytes), expected);
    // The ANSI form is the same text, one byte per character, no mark.
    std::string ansi;
    ASSERT_TRUE(plat::ExportRegText(store(), key, RegFileEncoding::Ansi, ansi));
    EXPECT_EQ(ansi, expected);
}

TEST_F(RegFileTest, ExportNamesTheHiveAsTheCallerDid) {
    ASSERT_TRUE(store().SetString("HKCU\\Software\\Tolvi", "User", "me"));
    ASSERT_TRUE(store().CreateKey("HKCR\\.vlt"));
    struct Case {
        const char* asked;
        const char* firstSection;
    };
    for (const Case& c :
         {Case{"HKEY_CURRENT_USER\\SOFTWARE\\TOLVI", "[HKEY_CURRENT_USER\\Software\\Tolvi]"},
          Case{"HKU\\S-1-5-21-1004336348-1177238915-682003330-1000\\Software\\Tolvi",
               "[HKEY_USERS\\S-1-5-21-1004336348-1177238915-682003330-1000\\Software\\Tolvi]"},
          Case{"HKCR\\.VLT", "[HKEY_CLASSES_ROOT\\.vlt]"}}) {
        SCOPED_TRACE(c.asked);
        std::string text;
        ASSERT_TRUE(plat::ExportRegText(store(), c.asked, RegFileEncoding::Ansi, text));
        const std::size_t start = text.find('[');
        ASSERT_NE(start, std::string::npos);
        EXPECT_EQ(text.substr(start, text.find("\r\n", start) - start), c.firstSection);
    }
    std::string text;
    EXPECT_FALSE(plat::ExportRegText(store(), "HKCU\\Software\\Missing", RegFileEncoding::Ansi, text));
    EXPECT_FALSE(plat::ExportRegText(store(), "HKXX\\Software", RegFileEncoding::Ansi, text));
}

TEST_F(RegFileTest, LongHexDataIsWrappedAtEightyColumns) {
    std::string blob;
    for (int i = 0; i < 100; ++i) blob += static_cast<char>(i);
    Fill("HKLM\\Software\\Wrap", {{"Blob", plat::kRegBinary, blob}});
    std::string text;
    ASSERT_TRUE(plat::ExportRegText(store(), "HKLM\\Software\\Wrap", RegFileEncoding::Ansi, text));
    std::istringstream lines(text);
    std::string line;
    std::size_t continued = 0;
    std::string joined;
    bool inValue = false;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        EXPECT_LE(line.size(), 80u) << line;
        if (line.rfind("\"Blob\"=hex:", 0) == 0) inValue = true;
        if (!inValue) continue;
        if (!joined.empty()) {
            EXPECT_EQ(line.substr(0, 2), "  ");
            ++continued;
        }
        const bool more = line.back() == '\\';
        joined += more ? line.substr(0, line.size() - 1) : line;
        if (!more) break;
    }
    EXPECT_GE(continued, 3u);
    // Nothing is lost in the wrapping.
    ASSERT_TRUE(store().DeleteKeyTree("HKLM\\Software\\Wrap"));
    std::string error;
    ASSERT_TRUE(plat::ImportRegText(store(), text, error)) << error;
    SimRegValue value;
    ASSERT_TRUE(store().GetValue("HKLM\\Software\\Wrap", "Blob", value));
    EXPECT_EQ(value.data, blob);
}

TEST_F(RegFileTest, ExportThenImportGivesTheSameKeysAndValues) {
    const std::string root = "HKLM\\Software\\Round";
    Fill(root, {
                   {"", plat::kRegExpandSz, "%ProgramFiles%\\R\0"s},
                   {"back\\slash \"quoted\" name", plat::kRegSz, "a\\b \"c\"\0"s},
                   {"empty", plat::kRegSz, "\0"s},
                   {"latin", plat::kRegSz, "caf\xe9\0"s},
                   {"code page", plat::kRegSz, "\x80 \x9a\x81\0"s},
                   {"no terminator", plat::kRegSz, "raw"},
                   {"inner zero", plat::kRegSz, "a\0b\0"s},
                   {"line break", plat::kRegSz, "one\r\ntwo\0"s},
                   {"zero length", plat::kRegSz, ""},
                   {"dword", plat::kRegDword, Dword(0xFFFFFFFF)},
                   {"short dword", plat::kRegDword, "\x01\x02"s},
                   {"qword", plat::kRegQword, "\x08\x07\x06\x05\x04\x03\x02\x01"s},
                   {"binary", plat::kRegBinary, "\x00\x80\xff"s},
                   {"multi", plat::kRegMultiSz, "one\0two\0\xe9\x9c\0\0"s},
                   {"none", plat::kRegNone, "\x05"s},
                   {"odd type", 0x123, "\x01\x02"s},
               });
    Fill(root + "\\Sub Key\\Deeper", {{"x", plat::kRegSz, "y\0"s}});
    ASSERT_TRUE(store().CreateKey(root + "\\Empty"));
    ASSERT_TRUE(store().CreateKey(root + "\\[brackets]"));
    const auto before = Tree(root);
    ASSERT_EQ(before.size(), 5u);

    for (RegFileEncoding encoding : {RegFileEncoding::Unicode, RegFileEncoding::Ansi}) {
        SCOPED_TRACE(encoding == RegFileEncoding::Unicode ? "unicode" : "ansi");
        const std::string file = prefix() + "/round.reg";
        std::string error;
        ASSERT_TRUE(plat::ExportRegFile(store(), root, file, encoding, error)) << error;
        ASSERT_TRUE(store().DeleteKeyTree(root));
        ASSERT_TRUE(plat::ImportRegFile(store(), file, error)) << error;
        ExpectSameTree(before, Tree(root));
        // Importing over the existing keys changes nothing either.
        ASSERT_TRUE(plat::ImportRegFile(store(), file, error)) << error;
        ExpectSameTree(before, Tree(root));
    }
}

TEST_F(RegFileTest, ImportReadsOlderAnsiFiles) {
    const std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
        "\"Text\"=\"C:\\\\Old\"\r\n"
        "\"Exp\"=hex(2):25,41,25,00\r\n"
        "\"Multi\"=hex(7):61,00,62,00,00\r\n"
        "\"N\"=dword:00000010\r\n";
    std::string error;
    ASSERT_TRUE(plat::ImportRegText(store(), text, error)) << error;
    struct Case {
        const char* name;
        std::uint32_t type;
        std::string data;
    };
    const Case cases[] = {
        {"Text", plat::kRegSz, "C:\\Old\0"s},
        {"Exp", plat::kRegExpandSz, "%A%\0"s},
        {"Multi", plat::kRegMultiSz, "a\0b\0\0"s},
        {"N", plat::kRegDword, Dword(16)},
    };
    for (const Case& c : cases) {
        SimRegValue value;
        ASSERT_TRUE(store().GetValue("HKLM\\Software\\Old", c.name, value)) << c.name;
        EXPECT_EQ(value.type, c.type) << c.name;
        EXPECT_EQ(value.data, c.data) << c.name;
    }
}

TEST_F(RegFileTest, ImportDeletesKeysAndValuesMarkedWithAMinus) {
    Fill("HKLM\\Software\\Keep", {{"Gone", plat::kRegSz, "1\0"s}, {"Stays", plat::kRegSz, "2\0"s}});
    Fill("HKLM\\Software\\Drop\\Below", {{"v", plat::kRegSz, "3\0"s}});
    const std::string text = ToUtf16(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Drop]\r\n"
        "\"IgnoredUnderADeletedKey\"=\"x\"\r\n"
        "\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\NeverWasThere]\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Keep]\r\n"
        "\"Gone\"=-\r\n"
        "\"NotThereEither\"=-\r\n"
        "\"Joined\"=hex:01,02,\\\r\n"
        "  03,04\r\n");
    std::string error;
    ASSERT_TRUE(plat::ImportRegText(store(), text, error)) << error;
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\Drop"));
    EXPECT_FALSE(store().KeyExists("HKLM\\Software\\NeverWasThere"));
    SimRegValue value;
    EXPECT_FALSE(store().GetValue("HKLM\\Software\\Keep", "Gone", value));
    EXPECT_TRUE(store().GetValue("HKLM\\Software\\Keep", "Stays", value));
    ASSERT_TRUE(store().GetValue("HKLM\\Software\\Keep", "Joined", value));
    EXPECT_EQ(value.data, "\x01\x02\x03\x04"s);
}

TEST_F(RegFileTest, ImportRefusesWhatIsNotARegistryFileAndSkipsBadLines) {
    struct Case {
        const char* what;
        std::string text;
    };
    const Case notRegistry[] = {
        {"empty", ""},
        {"no header", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"a\"=\"b\"\r\n"},
        {"other header", "Windows Registry Editor Version 4.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n"},
    };
    for (const Case& c : notRegistry) {
        std::string error;
        EXPECT_FALSE(plat::ImportRegText(store(), c.text, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(store().KeyExists("HKLM\\Software\\X")) << c.what;
    }
    const std::string mixed =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_NOWHERE\\X]\r\n"
        "\"under bad key\"=\"x\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mixed]\r\n"
        "\"good\"=\"1\"\r\n"
        "\"bad dword\"=dword:xyz\r\n"
        "\"bad hex\"=hex:1,2g\r\n"
        "\"unclosed=\"2\"\r\n"
        "\"no equals\" \"3\"\r\n"
        "\"also good\"=dword:00000001\r\n";
    std::string error;
    EXPECT_FALSE(plat::ImportRegText(store(), mixed, error));
    EXPECT_NE(error.find("line 3"), std::string::npos) << error;
    EXPECT_NE(error.find("line 7"), std::string::npos) << error;
    std::vector<std::string> names;
    for (const SimRegValue& value : store().Values("HKLM\\Software\\Mixed")) names.push_back(value.name);
    EXPECT_EQ(names, (std::vector<std::string>{"also good", "good"}));
}

TEST_F(RegFileTest, UnicodeTextMapsToTheAnsiCodePage) {
    struct Case {
        const char* what;
        std::string unit;  // one UTF-16LE unit
        std::string ansi;
    };
    const Case cases[] = {
        {"plain letter", "A\0"s, "A"},
        {"latin small e acute", "\xe9\0"s, "\xe9"},
        {"euro sign", "\xac\x20"s, "\x80"},
        {"s with caron", "\x61\x01"s, "\x9a"},
        {"right single quotation mark", "\x19\x20"s, "\x92"},
        {"unused byte 0x81", "\x81\0"s, "\x81"},
        {"cyrillic ka", "\x3a\x04"s, "?"},
        {"C1 control the code page does not have", "\x9a\0"s, "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = ToUtf16(
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wide]\r\n"
            "\"v\"=\"a");
        bytes += c.unit;
        bytes += ToUtf16("b\"\r\n").substr(2);
        std::string error;
        ASSERT_TRUE(plat::ImportRegText(store(), bytes, error)) << error;
        std::string text;
        ASSERT_TRUE(store().GetString("HKLM\\Software\\Wide", "v", text));
        EXPECT_EQ(text, "a" + c.ansi + "b");
        // And back: the export writes the same unit (a '?' stays one).
        std::string exported;
        ASSERT_TRUE(plat::ExportRegText(store(), "HKLM\\Software\\Wide", RegFileEncoding::Unicode, exported));
        const std::string expectedUnit = c.ansi == "?" ? "?\0"s : c.unit;
        EXPECT_NE(exported.find(ToUtf16("\"v\"=\"a").substr(2) + expectedUnit + ToUtf16("b\"").substr(2)),
                  std::string::npos);
    }
}

TEST_F(RegFileTest, ExportFileIsReplacedAndAWholeRegistryExportHasBothHives) {
    const std::string file = prefix() + "/all.reg";
    {
        std::ofstream old(file);
        old << "old content that is longer than nothing";
    }
    Fill("HKLM\\Software\\Everything", {{"v", plat::kRegSz, "1\0"s}});
    std::string error;
    ASSERT_TRUE(plat::ExportRegFile(store(), "", file, RegFileEncoding::Unicode, error)) << error;
    const std::string text = FromUtf16(ReadFile(file));
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Everything]\r\n\"v\"=\"1\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_USERS\\.DEFAULT]"), std::string::npos);
    EXPECT_EQ(text.find("old content"), std::string::npos);
    EXPECT_FALSE(plat::ExportRegFile(store(), "HKLM\\Software\\Everything", prefix() + "/no/dir/x.reg",
                                     RegFileEncoding::Unicode, error));
}
