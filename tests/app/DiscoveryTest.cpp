// Product discovery inside this process on a simulated machine with the test
// packages installed: identification, the facts found, and lookups that fail.
#include <gtest/gtest.h>

#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimRegistry.h"
#include "products/CCorvantaProducts.h"
#include "products/CMSIProperty.h"
#include "tests/app/AppFixture.h"

namespace {

using apptest::ConsoleCapture;
using apptest::Crlf;

const char kVaultline[] = "{C0B1A001-0001-4000-8000-000000000000}";
const char kLumo[] = "{C0B1A004-0001-4000-8000-000000000000}";
const char kQualvane[] = "{C0B1A006-0001-4000-8000-000000000000}";
const char kPilotron[] = "{C0B1A007-0001-4000-8000-000000000000}";
const char kVlNetAll[] = "{C0B1A008-0001-4000-8000-000000000000}";
const char kNorthwind[] = "{C0B1A00D-0001-4000-8000-000000000000}";

class DiscoveryTest : public apptest::InProcessMachine {
protected:
    void SetUp() override {
        InProcessMachine::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
        ASSERT_TRUE(log.Open("C:\\logs\\d.txt"));
    }
    void TearDown() override {
        log.Close();
        InProcessMachine::TearDown();
    }
    void Install(std::initializer_list<const char*> packages) {
        for (const char* p : packages) ASSERT_TRUE(machine.Install(p)) << p;
    }
    std::string LogText() {
        log.Close();
        std::string text;
        machine.ReadFile("C:\\logs\\d.txt", text);
        return text;
    }
    std::string LocalPackage(const char* code) {
        std::string path;
        machine.Sim().Registry().GetString(std::string(plat::kInstallerUserDataKey) + "\\Products\\" +
                                               plat::PackGuid(code) + "\\InstallProperties",
                                           "LocalPackage", path);
        return path;
    }
    ToolLog log;
};

TEST_F(DiscoveryTest, IdentificationIsAPrefixOfTheProperty) {
    Install({"vaultline", "vlnetall", "qualvane", "northwind"});
    const struct {
        const char* code;
        bool suite;
        const char* value;  // nullptr: the property is not found
    } cases[] = {
        {kVaultline, true, "Zel Corvanta Software Vaultline Server"},
        // Handed on in a field of 38 characters.
        {kVlNetAll, true, "Zel Corvanta Software Vaultline Networ"},
        {kQualvane, false, ""},
        {kNorthwind, false, ""},
        {"{00000000-0000-0000-0000-000000000000}", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        CMSIProperty product{std::string(c.code)};
        EXPECT_EQ(product.IsCorvantaProduct(), c.suite);
        std::string value = "unchanged";
        std::size_t length = 99;
        const bool found = product.GetProperty("CORVANTA_IDENTIFICATION", value, length);
        EXPECT_EQ(found, c.value != nullptr);
        if (c.value != nullptr) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(length, value.size());
        }
    }
    EXPECT_EQ(machine.Sim().Platform().Installer().OpenHandleCount(), 0u);
}

TEST_F(DiscoveryTest, ProductThatCannotBeOpenedNeverAsksForItsProperties) {
    ASSERT_TRUE(machine.AddFault("MsiGetPropertyA", "*", 5, 1));
    CMSIProperty product{std::string("{00000000-0000-0000-0000-000000000000}")};
    EXPECT_FALSE(product.IsCorvantaProduct());
    const std::vector<plat::SimFaultRule> rules = machine.Sim().Faults();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].times, 1);  // not used up: MsiGetPropertyA was not called
}

TEST_F(DiscoveryTest, FactsFoundAboutTheMachine) {
    Install({"vaultline", "lumo", "qualvane", "pilotron", "administrator", "northwind"});
    CCorvantaProducts set(log, "C:\\logs\\d.txt", false, false, true, false);
    {
        ConsoleCapture console;
        ASSERT_TRUE(set.FindInstalledProducts());
    }
    std::vector<std::string> names;
    for (const auto& p : set.Products()) names.push_back(p->GetInternalName());
    EXPECT_EQ(names, (std::vector<std::string>{"Vaultline", "Lumo", "kvoQualvane", "kvoPilotron"}));
    EXPECT_TRUE(set.IsRebootNeeded());
    EXPECT_TRUE(set.hasVaultline);
    EXPECT_TRUE(set.hasQualvane);
    EXPECT_TRUE(set.hasPilotron);
    EXPECT_FALSE(set.hasTracklight);
    EXPECT_FALSE(set.hasSpecwright);
    EXPECT_FALSE(set.hasOverlook);
    EXPECT_EQ(set.InstallLocation(), "C:\\Program Files\\Corvanta");
    for (const auto& p : set.Products()) {
        EXPECT_EQ(p->GetLocalPackage(), "");
        EXPECT_EQ(p->GetPackageCopy(), "");
    }
    const std::string text = LogText();
    const std::string line = Crlf("InstallLocation found through MSI is C:\\Program Files\\Corvanta\\\n\n");
    std::size_t lines = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++lines;
    EXPECT_EQ(lines, 4u) << text;
}

TEST_F(DiscoveryTest, LookupsThatFindNothingLeaveTheirFieldsEmpty) {
    Install({"lumo", "qualvane"});
    // No DisplayVersion for Lumo; Qualvane's package cannot be read as a
    // database, so it has no internal name and is not a Team product.
    ASSERT_TRUE(machine.Sim().Registry().DeleteValue(std::string(plat::kUninstallKey) + "\\" + kLumo,
                                                     "DisplayVersion"));
    ASSERT_TRUE(machine.AddFault("MsiOpenDatabaseA", LocalPackage(kQualvane), 1619));
    CCorvantaProducts set(log, "C:\\logs\\d.txt", true, false, false, false);
    std::string console;
    {
        ConsoleCapture capture;
        ASSERT_TRUE(set.FindInstalledProducts());
        console = capture.Text();
    }
    const std::string expected =
        "Number of Corvanta products found: 2\n\n"
        "Corvanta Product found, non-Team Product\nProduct Name: Corvanta Qualvane\n\n"
        "The following products will be uninstalled from this system:\n\n"
        "Product Name: Corvanta Lumo\nVersion: \nProduct Code: {C0B1A004-0001-4000-8000-000000000000}\n\n"
        "Reboot not needed following uninstall of products.\n\n";
    EXPECT_EQ(console, expected);
    EXPECT_EQ(LogText(), Crlf(expected));
    EXPECT_FALSE(set.IsRebootNeeded());
    EXPECT_FALSE(set.hasQualvane);
}

}  // namespace
