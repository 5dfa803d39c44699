// The SharedDLLs search and removal on a simulated machine.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "regcleanup/CRegistryProcessor.h"
#include "tests/regcleanup/RegistryFixture.h"

namespace regtest {
namespace {

struct SharedValue {
    std::string name;
    std::int32_t count;
    bool asText = false;  // stored as a REG_SZ too long for the 4-byte read
};

// Inserted in this order, which is also their order by name (with or without
// regard to case), so the enumeration order is the same whichever the
// registry keeps.
const std::vector<SharedValue> kMixed = {
    {"C:\\Apps\\CORVANTA\\upper.dll", 1},
    {"C:\\Apps\\corvanta\\lower.dll", 1},
    {"C:\\Apps\\Other\\plain.dll", 3},
    // Too long for the enumeration's name buffer: passed over.
    {"C:\\Corvanta\\" + std::string(1000, 'a') + ".dll", 1},
    {"C:\\Program Files\\Corvanta\\JRE\\bin\\java.dll", 2},
    {"C:\\Program Files\\Corvanta\\Lumo\\lumo.dll", 1},
    {"C:\\Program Files\\Corvanta\\Lumo\\many.dll", 5},
    {"C:\\Program Files\\Corvanta\\Lumo\\negative.dll", -1},
    {"C:\\Program Files\\Corvanta\\Lumo\\text.dll", 0, true},
    {"C:\\Program Files\\Corvanta\\Tools\\jre\\lower-jre.dll", 1},
};
const std::vector<SharedValue> kNoVendor = {
    {"C:\\Apps\\corvanta\\lower.dll", 1},
    {"C:\\Apps\\Other\\plain.dll", 1},
};

enum class Fault { None, OpenInSearch, OpenInRemoval, DeleteOneValue };

struct Case {
    const char* title;
    bool keyPresent;
    const std::vector<SharedValue>* values;
    Fault fault;
    // What the search collects, in order (the names with their counts).
    std::vector<SharedValue> collected;
    // Whether the removal gets to delete (its key opens).
    bool removalOpens;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.title;
}

const SharedValue kJava = kMixed[4];
const SharedValue kLumo = kMixed[5];
const SharedValue kMany = kMixed[6];
const SharedValue kNegative = kMixed[7];
const SharedValue kLowerJre = kMixed[9];

const Case kCases[] = {
    {"vendor word in exact case only, JRE kept, any count",
     true,
     &kMixed,
     Fault::None,
     {kJava, kLumo, kMany, kNegative, kLowerJre},
     true},
    {"no vendor value", true, &kNoVendor, Fault::None, {}, true},
    {"no SharedDLLs key", false, &kNoVendor, Fault::None, {}, true},
    {"key unopenable in the search", true, &kMixed, Fault::OpenInSearch, {}, true},
    {"key unopenable in the removal",
     true,
     &kMixed,
     Fault::OpenInRemoval,
     {kJava, kLumo, kMany, kNegative, kLowerJre},
     false},
    {"a deletion fails",
     true,
     &kMixed,
     Fault::DeleteOneValue,
     {kJava, kLumo, kMany, kNegative, kLowerJre},
     true},
};

std::string Message(int id) {
    return ToolLog::FormatMessageId(id);
}

class SharedDllsTest : public RegistryFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(SharedDllsTest, ListsAndDeletesTheVendorValues) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.title);
    Reg().DeleteKeyTree(kSharedDllsPath);
    if (c.keyPresent) {
        ASSERT_TRUE(Reg().CreateKey(kSharedDllsPath));
        for (const SharedValue& value : *c.values) {
            if (value.asText) {
                ASSERT_TRUE(Reg().SetString(kSharedDllsPath, value.name, "longer than four bytes"));
            } else {
                ASSERT_TRUE(
                    Reg().SetDword(kSharedDllsPath, value.name, static_cast<std::uint32_t>(value.count)));
            }
        }
    }
    const std::vector<std::string> before = DumpTrees(Reg(), {kSharedDllsPath});
    if (c.fault == Fault::OpenInSearch) {
        ASSERT_TRUE(AddFault("RegOpenKeyExA", kSharedDllsPath, 5));
    }
    if (c.fault == Fault::DeleteOneValue) {
        // The first deletion (the first collected value without "JRE") fails.
        ASSERT_TRUE(AddFault("RegDeleteValueA", kSharedDllsPath, 5, 1));
    }

    StartCapture();
    CRegistryProcessor processor(log);
    processor.FindSharedDllEntries();
    if (c.fault == Fault::OpenInRemoval) {
        ASSERT_TRUE(AddFault("RegOpenKeyExA", kSharedDllsPath, 5));
    }
    processor.RemoveSharedDllEntries();
    std::string out, err;
    StopCapture(out, err);

    // What the search kept.
    ASSERT_EQ(processor.Entries().size(), c.collected.size());
    auto entry = processor.Entries().begin();
    for (const SharedValue& expected : c.collected) {
        EXPECT_EQ((*entry)->GetName(), expected.name);
        EXPECT_EQ((*entry)->GetCount(), expected.count);
        ++entry;
    }

    // The whole log and console text.
    const bool opened = c.keyPresent && c.fault != Fault::OpenInSearch;
    const std::size_t total = opened ? c.values->size() : 0;
    std::string expectedLog =
        Message(35) + "Number of entries in the key to process: " + std::to_string(total) + "\n\n";
    std::string expectedOut = expectedLog;
    if (opened) {
        for (const SharedValue& value : c.collected) {
            expectedLog += value.name + "\t" + std::to_string(value.count) + "\n";
            expectedOut += ".";
        }
        expectedLog += Message(34);
        expectedOut += Message(34);
    }
    std::vector<std::string> deleted;
    if (c.collected.empty()) {
        expectedLog += Message(10);
        expectedOut += Message(10);
    } else {
        expectedLog += Message(9);
        expectedOut += Message(9);
        if (c.removalOpens) {
            for (const SharedValue& value : c.collected) {
                if (value.name.find("JRE") != std::string::npos) continue;
                expectedLog += "Deleting registry value " + value.name + "\n";
                expectedOut += ".";
                if (!(c.fault == Fault::DeleteOneValue && value.name == kLumo.name))
                    deleted.push_back(value.name);
            }
            expectedLog += Message(33);
            expectedOut += Message(33);
        }
    }
    EXPECT_EQ(out, expectedOut);
    EXPECT_EQ(err, "");
    EXPECT_EQ(LogText(), expectedLog);

    // The key left behind: the values before, less those deleted.
    std::vector<std::string> expectedAfter;
    for (const std::string& line : before) {
        bool gone = false;
        for (const std::string& name : deleted) {
            if (line.rfind(std::string(kSharedDllsPath) + "\t" + name + " = ", 0) == 0) gone = true;
        }
        if (!gone) expectedAfter.push_back(line);
    }
    EXPECT_EQ(DumpTrees(Reg(), {kSharedDllsPath}), expectedAfter);
    // Only the SharedDLLs key is open while its values go.
    for (std::size_t open : OpenKeysAtDelete()) EXPECT_EQ(open, 1u);
    ExpectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(Cases, SharedDllsTest, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace regtest
