// Fault rules that let calls through first: "only the n-th call fails", and
// the counting the sweep builds on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/sim/SimFaults.h"

namespace faultsweep {
namespace {

class FaultRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/faultrules-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    static plat::SimFaultRule Rule(const char* operation, int times, int skip) {
        plat::SimFaultRule rule;
        rule.operation = operation;
        rule.pattern = "C:\\a*";
        rule.code = 5;
        rule.times = times;
        rule.skip = skip;
        return rule;
    }
    std::string dir;
};

TEST_F(FaultRulesTest, OnlyTheNthMatchingCallFails) {
    struct Case {
        int times, skip;
        std::string expected;  // per call: F failed, - passed
    };
    for (const Case& c : {Case{1, 2, "--F----"}, Case{-1, 3, "---FFFF"}, Case{2, 0, "FF-----"},
                          Case{1, 0, "F------"}, Case{2, 1, "-FF----"}}) {
        SCOPED_TRACE(c.expected);
        plat::SimFaults faults(dir);
        ASSERT_TRUE(faults.Clear());
        ASSERT_TRUE(faults.Add(Rule("DeleteFileA", c.times, c.skip)));
        std::string seen;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            std::uint32_t code = 0;
            // A call that does not match neither fails nor counts.
            EXPECT_FALSE(faults.Take("DeleteFileA", "D:\\b", code));
            EXPECT_FALSE(faults.Take("CopyFileA", "C:\\a1", code));
            seen += faults.Take("DeleteFileA", "C:\\a1", code) ? 'F' : '-';
            if (seen.back() == 'F') {
                EXPECT_EQ(code, 5u);
            }
        }
        EXPECT_EQ(seen, c.expected);
    }
}

TEST_F(FaultRulesTest, TheRemainingSkipCountsTheCallsAndRulesWithoutSkipKeepTheirForm) {
    plat::SimFaults faults(dir);
    ASSERT_TRUE(faults.Add(Rule("DeleteFileA", 1, 1000)));
    ASSERT_TRUE(faults.Add(Rule("CopyFileA", 3, 0)));
    ASSERT_FALSE(faults.Add(Rule("CopyFileA", 1, -1)));
    std::uint32_t code = 0;
    for (int i = 0; i < 7; ++i) EXPECT_FALSE(faults.Take("DeleteFileA", "C:\\a", code));
    const auto rules = faults.List();
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].skip, 993);
    EXPECT_EQ(rules[0].times, 1);
    EXPECT_EQ(rules[1].skip, 0);
    EXPECT_EQ(rules[1].times, 3);
}

}  // namespace
}  // namespace faultsweep
