// Installed products as the msi.dll calls report them: enumeration, product
// information with its buffer protocol, opening a product through its cached
// package, properties, and the user interface level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/sim/SimFaults.h"
#include "tests/msi/MsiFixture.h"

namespace msitest {
namespace {

using plat::Sys;

class ProductsTest : public MsiTest {
protected:
    std::vector<std::string> Enumerate() {
        std::vector<std::string> codes;
        char code[39];
        std::uint32_t index = 0, result = 0;
        while ((result = Sys().MsiEnumProductsA(index, code)) == 0) {
            codes.emplace_back(code);
            ++index;
        }
        EXPECT_EQ(result, plat::kErrorNoMoreItems);
        return codes;
    }
};

TEST(GuidPacking, PacksAsTheInstallerNamesItsKeys) {
    struct Case {
        const char* guid;
        const char* packed;
    };
    const Case cases[] = {
        {"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", "87654321CBA90FED21436587A9CBED0F"},
        {"{c0b1a001-0001-4000-8000-000000000000}", "100A1B0C100000040800000000000000"},
        {"12345678-9ABC-DEF0-1234-56789ABCDEF0", ""},
        {"{12345678-9ABC-DEF0-1234-56789ABCDEFG}", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::PackGuid(c.guid), c.packed) << c.guid;
        if (*c.packed) {
            std::string upper = c.guid;
            for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            EXPECT_EQ(plat::UnpackGuid(c.packed), upper);
        }
    }
    EXPECT_EQ(plat::UnpackGuid("100A1B0C10000004080000000000000"), "") << "31 characters";
    EXPECT_EQ(plat::UnpackGuid("100A1B0C1000000408000000000000X0"), "");
}

TEST_F(ProductsTest, EnumerationFollowsThePackedCodeOrder) {
    EXPECT_TRUE(Enumerate().empty());
    for (const char* package : {"northwind", "tracklight", "vaultline", "qualvane"})
        ASSERT_EQ(Install(package), 0u);
    std::vector<std::string> codes = Enumerate();
    std::vector<std::string> expected = {kVaultline, kTracklight, kQualvane, kNorthwind};
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return plat::PackGuid(a) < plat::PackGuid(b);
    });
    EXPECT_EQ(codes, expected);
    char code[39];
    EXPECT_EQ(Sys().MsiEnumProductsA(99, code), plat::kErrorNoMoreItems);
    EXPECT_EQ(Sys().MsiEnumProductsA(0, nullptr), plat::kErrorInvalidParameter);
    // A key that is not a packed code is not a product.
    Registry().CreateKey(
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\Junk");
    EXPECT_EQ(Enumerate().size(), 4u);
    ASSERT_EQ(Uninstall(kTracklight), 0u);
    EXPECT_EQ(Enumerate().size(), 3u);
}

TEST_F(ProductsTest, ProductInfoValuesAndErrors) {
    ASSERT_EQ(Install("vaultline"), 0u);
    struct Case {
        const char* product;
        const char* property;
        std::uint32_t result;
        std::string value;
    };
    const Case cases[] = {
        {kVaultline, "Publisher", 0, "Corvanta Software"},
        {kVaultline, "InstalledProductName", 0, "Corvanta Vaultline"},
        {kVaultline, "InstallLocation", 0, "C:\\Program Files\\Corvanta\\"},
        {kVaultline, "VersionString", 0, "7.5.0"},
        {kVaultline, "HelpLink", 0, ""},
        {kVaultline, "NoSuchProperty", plat::kErrorUnknownProperty, ""},
        {kTracklight, "Publisher", plat::kErrorUnknownProduct, ""},
        {"{C0B1A001-0001-4000-8000-00000000000}", "Publisher", plat::kErrorInvalidParameter, ""},
        {"C0B1A001-0001-4000-8000-000000000000", "Publisher", plat::kErrorInvalidParameter, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " " + c.property);
        std::string value;
        EXPECT_EQ(ProductInfo(c.product, c.property, value), c.result);
        EXPECT_EQ(value, c.value);
    }
    std::string local;
    ASSERT_EQ(ProductInfo(kVaultline, "LocalPackage", local), 0u);
    EXPECT_TRUE(FileExists(local));

    // A short buffer: 234, the truncated text and the length needed.
    char buffer[8];
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(Sys().MsiGetProductInfoA(kVaultline, "Publisher", buffer, &size), plat::kErrorMoreData);
    EXPECT_STREQ(buffer, "Corvant");
    EXPECT_EQ(size, 17u);
    size = 0;
    EXPECT_EQ(Sys().MsiGetProductInfoA(kVaultline, "Publisher", nullptr, &size), 0u);
    EXPECT_EQ(size, 17u);

    // Broken with the registry: a missing value reads as empty.
    Registry().DeleteValue(
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
            plat::PackGuid(kVaultline) + "\\InstallProperties",
        "InstallLocation");
    std::string location = "x";
    EXPECT_EQ(ProductInfo(kVaultline, "InstallLocation", location), 0u);
    EXPECT_EQ(location, "");
}

TEST_F(ProductsTest, OpenProductReadsPropertiesOfTheCachedPackage) {
    ASSERT_EQ(Install("vaultline"), 0u);
    ASSERT_EQ(Install("qualvane"), 0u);
    struct Case {
        const char* product;
        const char* property;
        std::string value;
    };
    const Case cases[] = {
        {kVaultline, "CORVANTA_IDENTIFICATION", "Zel Corvanta Software Vaultline Server"},
        {kVaultline, "INTERNAL_PRODUCT_NAME", "Vaultline"},
        {kVaultline, "ProductCode", kVaultline},
        {kVaultline, "ProgramFilesFolder", "C:\\Program Files\\"},
        {kQualvane, "CORVANTA_IDENTIFICATION", ""},
        {kQualvane, "Manufacturer", "Corvanta Software"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " " + c.property);
        plat::MsiHandle product = 0;
        ASSERT_EQ(Sys().MsiOpenProductA(c.product, &product), 0u);
        char buffer[256];
        std::uint32_t size = 255;
        EXPECT_EQ(Sys().MsiGetPropertyA(product, c.property, buffer, &size), 0u);
        EXPECT_EQ(std::string(buffer, size), c.value);
        EXPECT_EQ(Sys().MsiCloseHandle(product), 0u);
    }
    plat::MsiHandle product = 0;
    ASSERT_EQ(Sys().MsiOpenProductA(kVaultline, &product), 0u);
    char small[6];
    std::uint32_t size = sizeof small;
    EXPECT_EQ(Sys().MsiGetPropertyA(product, "INTERNAL_PRODUCT_NAME", small, &size), plat::kErrorMoreData);
    EXPECT_STREQ(small, "Vault");
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(Sys().MsiGetPropertyA(0, "ProductCode", small, &size), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiCloseHandle(product), 0u);

    // Errors: unknown product, bad code, cached package gone.
    EXPECT_EQ(Sys().MsiOpenProductA(kTracklight, &product), plat::kErrorUnknownProduct);
    EXPECT_EQ(Sys().MsiOpenProductA("{bad}", &product), plat::kErrorInvalidParameter);
    std::filesystem::remove(Host(LocalPackage(kQualvane)));
    EXPECT_EQ(Sys().MsiOpenProductA(kQualvane, &product), plat::kErrorInstallSourceAbsent);
    Registry().DeleteValue(
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" +
            plat::PackGuid(kVaultline) + "\\InstallProperties",
        "LocalPackage");
    EXPECT_EQ(Sys().MsiOpenProductA(kVaultline, &product), plat::kErrorInstallSourceAbsent);
}

TEST_F(ProductsTest, InternalUiLevelReturnsThePreviousOne) {
    EXPECT_EQ(Sys().MsiSetInternalUI(plat::kInstallUiLevelNone), 1u) << "the default level first";
    EXPECT_EQ(Sys().MsiSetInternalUI(plat::kInstallUiLevelNone), plat::kInstallUiLevelNone);
    EXPECT_EQ(Sys().MsiSetInternalUI(5), plat::kInstallUiLevelNone);
    EXPECT_EQ(Sys().MsiSetInternalUI(0), 5u) << "no change";
    EXPECT_EQ(Sys().MsiSetInternalUI(0), 5u);
    EXPECT_EQ(Sys().MsiSetInternalUI(9), 0u) << "an invalid level is refused";
    EXPECT_EQ(Sys().MsiSetInternalUI(3), 5u);
}

}  // namespace
}  // namespace msitest

namespace msitest {
namespace {

using plat::Sys;

class FaultTest : public MsiTest {};

TEST_F(FaultTest, EachOperationAsksTheRulesWithItsMainArgument) {
    ASSERT_EQ(Install("lumo"), 0u);
    const std::string lumo = "{C0B1A004-0001-4000-8000-000000000000}";
    const std::string cached = LocalPackage(lumo);
    plat::MsiHandle package = 0;
    ASSERT_EQ(Sys().MsiOpenPackageA(cached.c_str(), &package), 0u);
    Sys().MsiDoActionA(package, "CostInitialize");

    struct Case {
        const char* operation;
        std::string pattern;
        std::function<std::uint32_t()> call;
    };
    char buffer[260];
    std::uint32_t size = 0;
    plat::MsiHandle out = 0;
    const Case cases[] = {
        {"MsiEnumProductsA", "0", [&] { return Sys().MsiEnumProductsA(0, buffer); }},
        {"MsiGetProductInfoA", lumo,
         [&] {
             return size = sizeof buffer, Sys().MsiGetProductInfoA(lumo.c_str(), "Publisher", buffer, &size);
         }},
        {"MsiOpenProductA", lumo, [&] { return Sys().MsiOpenProductA(lumo.c_str(), &out); }},
        {"MsiOpenPackageA", cached, [&] { return Sys().MsiOpenPackageA(cached.c_str(), &out); }},
        {"MsiDoActionA", cached, [&] { return Sys().MsiDoActionA(package, "CostFinalize"); }},
        {"MsiGetTargetPathA", cached,
         [&] { return size = sizeof buffer, Sys().MsiGetTargetPathA(package, "INSTALLDIR", buffer, &size); }},
        {"MsiGetPropertyA", cached,
         [&] { return size = sizeof buffer, Sys().MsiGetPropertyA(package, "ProductName", buffer, &size); }},
        {"MsiOpenDatabaseA", cached, [&] { return Sys().MsiOpenDatabaseA(cached.c_str(), 0, &out); }},
        {"MsiEnableLogA", "C:\\logs\\x.log", [&] { return Sys().MsiEnableLogA(2, "C:\\logs\\x.log", 1); }},
    };
    plat::SimFaults faults(Prefix());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        ASSERT_TRUE(faults.Add({c.operation, c.pattern, 1234, 1}));
        EXPECT_EQ(c.call(), 1234u);
        std::uint32_t again = c.call();
        EXPECT_NE(again, 1234u) << "the rule was used up";
        if (again == 0 &&
            (std::string(c.operation) == "MsiOpenProductA" || std::string(c.operation) == "MsiOpenPackageA" ||
             std::string(c.operation) == "MsiOpenDatabaseA"))
            Sys().MsiCloseHandle(out);
    }
    // A rule for another product leaves this one alone.
    ASSERT_TRUE(faults.Add({"MsiOpenProductA", "{C0B1A001-*", 5, -1}));
    ASSERT_EQ(Sys().MsiOpenProductA(lumo.c_str(), &out), 0u);
    Sys().MsiCloseHandle(out);
    Sys().MsiCloseHandle(package);
}

}  // namespace
}  // namespace msitest
