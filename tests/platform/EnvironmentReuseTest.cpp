// The machine's environment is read from the registry again whenever the
// registry changed, by this process or by another one.
#include <string>

#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimRegistry.h"
#include "tests/platform/MachineFixture.h"

namespace {

class EnvironmentReuseTest : public MachineTest {
protected:
    std::string Variable(const char* name) {
        char buffer[512];
        const std::uint32_t n = P().GetEnvironmentVariableA(name, buffer, sizeof buffer);
        return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
    }
};

TEST_F(EnvironmentReuseTest, ChangesOfTheStoredVariablesAreSeenAtTheNextLookup) {
    ASSERT_TRUE(M().Registry().SetString(plat::kEnvironmentKey, "BENCHVAR", "one"));
    EXPECT_EQ(Variable("BENCHVAR"), "one");
    EXPECT_EQ(Variable("BENCHVAR"), "one");

    ASSERT_TRUE(M().Registry().SetString(plat::kEnvironmentKey, "BENCHVAR", "two"));
    EXPECT_EQ(Variable("BENCHVAR"), "two") << "changed by this process";

    std::string output;
    ASSERT_EQ(Shell(Winsim() + " reg add \"HKCU\\Environment\" /v BENCHVAR /d three /f", &output), 0)
        << output;
    EXPECT_EQ(Variable("BENCHVAR"), "three") << "changed by another process";

    ASSERT_TRUE(M().Registry().DeleteValue(plat::kUserEnvironmentKey, "BENCHVAR"));
    ASSERT_TRUE(M().Registry().DeleteValue(plat::kEnvironmentKey, "BENCHVAR"));
    EXPECT_EQ(Variable("BENCHVAR"), "");
}

}  // namespace
