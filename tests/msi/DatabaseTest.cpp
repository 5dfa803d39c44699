// Installation databases through the msi.dll calls: tables as msiinfo shows
// them, the parameterised Property query, records and their buffer protocol,
// the Windows error codes of bad input, and handle accounting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/sim/SimFaults.h"
#include "tests/msi/MsiFixture.h"
#include "tests/support/Paths.h"

namespace msitest {
namespace {

using plat::Sys;

class DatabaseTest : public MsiTest {};

TEST_F(DatabaseTest, TablesReadAsMsiinfoExportsThem) {
    struct Case {
        const char* package;
        const char* table;
    };
    const Case cases[] = {
        {"vaultline", "Property"},  {"vaultline", "File"},         {"vaultline", "Component"},
        {"vaultline", "Directory"}, {"vaultline", "Registry"},     {"tracklight", "Registry"},
        {"overlook", "File"},       {"administrator", "Registry"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.package) + " " + c.table);
        auto expected = MsiinfoRows(testing_paths::PackagePath(c.package), c.table);
        ASSERT_FALSE(expected.empty());
        auto actual = ViewRows(PackageWindowsPath(c.package), c.table, expected.front().size());
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual, expected);
    }
}

TEST_F(DatabaseTest, ParameterisedPropertyQuery) {
    struct Case {
        const char* package;
        const char* property;
        const char* value;  // nullptr: no row
    };
    const Case cases[] = {
        {"vaultline", "INTERNAL_PRODUCT_NAME", "Vaultline"},
        {"specwright", "INTERNAL_PRODUCT_NAME", "dyrSpecwright"},
        {"qualvane", "CORVANTA_IDENTIFICATION", nullptr},
        {"northwind", "INTERNAL_PRODUCT_NAME", nullptr},
        {"vaultline", "ALLUSERS", "1"},
        {"vaultline", "internal_product_name", nullptr},  // property names are case-sensitive
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.package) + " " + c.property);
        plat::MsiHandle db = 0, view = 0, param = 0, row = 0;
        ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath(c.package).c_str(), 0, &db), 0u);
        ASSERT_EQ(
            Sys().MsiDatabaseOpenViewA(db, "SELECT `Value` FROM `Property` WHERE `Property` = ?", &view), 0u);
        param = Sys().MsiCreateRecord(1);
        ASSERT_NE(param, 0u);
        ASSERT_EQ(Sys().MsiRecordSetStringA(param, 1, c.property), 0u);
        ASSERT_EQ(Sys().MsiViewExecute(view, param), 0u);
        std::uint32_t fetched = Sys().MsiViewFetch(view, &row);
        if (c.value) {
            ASSERT_EQ(fetched, 0u);
            char buffer[1000];
            std::uint32_t size = sizeof buffer;
            EXPECT_EQ(Sys().MsiRecordGetStringA(row, 1, buffer, &size), 0u);
            EXPECT_STREQ(buffer, c.value);
            EXPECT_EQ(Sys().MsiCloseHandle(row), 0u);
            EXPECT_EQ(Sys().MsiViewFetch(view, &row), plat::kErrorNoMoreItems);
        } else {
            EXPECT_EQ(fetched, plat::kErrorNoMoreItems);
        }
        for (plat::MsiHandle h : {param, view, db}) EXPECT_EQ(Sys().MsiCloseHandle(h), 0u);
    }
}

TEST_F(DatabaseTest, PackagesCarryTheSuiteIdentity) {
    struct Case {
        const char* package;
        const char* internalName;    // "" : no such property
        const char* identification;  // "" : none
        const char* manufacturer;
        const char* allUsers;
    };
    const Case cases[] = {
        {"vaultline", "Vaultline", "Zel Corvanta Software Vaultline Server", "Corvanta Software", "1"},
        {"tracklight", "Tracklight", "Zel Corvanta Software Tracklight", "Corvanta Software", ""},
        {"specwright", "dyrSpecwright", "Zel Corvanta Software Specwright", "Corvanta Software", ""},
        {"lumo", "Lumo", "Zel Corvanta Software Lumo", "Corvanta Software", ""},
        {"overlook", "Overlook", "Zel Corvanta Software Overlook", "Corvanta Software", ""},
        {"qualvane", "kvoQualvane", "", "Corvanta Software", ""},
        {"pilotron", "kvoPilotron", "Zel Corvanta Software Pilotron", "Corvanta Software Inc.", ""},
        {"vlnetall", "vlNETALL", "Zel Corvanta Software Vaultline Network", "Corvanta Software", "1"},
        {"vlnetwan", "vlNETWAN", "Zel Corvanta Software Vaultline WAN", "Corvanta Software", "1"},
        {"vlnetlan", "vlNETLAN", "Zel Corvanta Software Vaultline LAN", "Corvanta Software", "1"},
        {"seathub", "mfxSeatHub", "Zel Corvanta Software SeatHub", "Corvanta Software", ""},
        {"administrator", "Administrator", "Zel Corvanta Software Administrator", "Corvanta Software", ""},
        {"northwind", "", "", "Northwind Tools", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package);
        std::map<std::string, std::string> properties;
        for (const auto& row : ViewRows(PackageWindowsPath(c.package), "Property", 2))
            properties[row[0]] = row[1];
        auto value = [&](const char* name) {
            return properties.count(name) ? properties[name] : std::string();
        };
        EXPECT_EQ(value("INTERNAL_PRODUCT_NAME"), c.internalName);
        EXPECT_EQ(value("CORVANTA_IDENTIFICATION"), c.identification);
        EXPECT_EQ(value("Manufacturer"), c.manufacturer);
        EXPECT_EQ(value("ALLUSERS"), c.allUsers);
    }
}

TEST_F(DatabaseTest, ViewProtocol) {
    plat::MsiHandle db = 0, view = 0, row = 0;
    ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("lumo").c_str(), 0, &db), 0u);
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from File", &view), 0u);
    EXPECT_EQ(Sys().MsiViewFetch(view, &row), plat::kErrorFunctionFailed) << "fetch before execute";
    ASSERT_EQ(Sys().MsiViewExecute(view, 0), 0u);
    int count = 0;
    while (Sys().MsiViewFetch(view, &row) == 0) {
        ++count;
        Sys().MsiCloseHandle(row);
    }
    EXPECT_EQ(count, 2);
    EXPECT_EQ(Sys().MsiViewFetch(view, &row), plat::kErrorNoMoreItems) << "stays at the end";
    // Executing again starts the walk anew; closing ends it.
    ASSERT_EQ(Sys().MsiViewExecute(view, 0), 0u);
    ASSERT_EQ(Sys().MsiViewFetch(view, &row), 0u);
    Sys().MsiCloseHandle(row);
    EXPECT_EQ(Sys().MsiViewClose(view), 0u);
    EXPECT_EQ(Sys().MsiViewFetch(view, &row), plat::kErrorFunctionFailed);
    // A parameterised view without its parameter record fails, it does not crash.
    plat::MsiHandle pview = 0;
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT `Value` FROM `Property` WHERE `Property` = ?", &pview),
              0u);
    EXPECT_EQ(Sys().MsiViewExecute(pview, 0), plat::kErrorFunctionFailed);
    EXPECT_EQ(Sys().MsiViewExecute(pview, db), plat::kErrorInvalidHandle) << "a database is no record";
    plat::MsiHandle empty = Sys().MsiCreateRecord(0), unset = Sys().MsiCreateRecord(1);
    EXPECT_EQ(Sys().MsiViewExecute(pview, empty), plat::kErrorFunctionFailed) << "too few fields";
    EXPECT_EQ(Sys().MsiViewExecute(pview, unset), 0u) << "a null parameter matches no row";
    EXPECT_EQ(Sys().MsiViewFetch(pview, &row), plat::kErrorNoMoreItems);
    for (plat::MsiHandle h : {empty, unset}) EXPECT_EQ(Sys().MsiCloseHandle(h), 0u);
    for (plat::MsiHandle h : {pview, view, db}) EXPECT_EQ(Sys().MsiCloseHandle(h), 0u);
}

TEST_F(DatabaseTest, FailuresGiveTheWindowsCodes) {
    const std::string folder = Prefix() + "/drive_c/packages";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/notes.msi") << "This is a text file, not an installation database.\n";
    PackageWithoutTable("lumo", "Registry", folder);
    const std::string noRegistry = "C:\\packages\\lumo-no-Registry.msi";

    struct OpenCase {
        std::string path;
        std::uintptr_t persist;
        std::uint32_t database;  // MsiOpenDatabaseA
        std::uint32_t package;   // MsiOpenPackageA
    };
    const OpenCase opens[] = {
        {"C:\\packages\\missing.msi", 0, 110, plat::kErrorInstallPackageOpenFailed},
        {"C:\\nofolder\\missing.msi", 0, 110, plat::kErrorInstallPackageOpenFailed},
        {"C:\\packages\\notes.msi", 0, plat::kErrorFunctionFailed, plat::kErrorInstallPackageInvalid},
        {"C:\\packages", 0, 110, plat::kErrorInstallPackageOpenFailed},
        {PackageWindowsPath("lumo"), 1, plat::kErrorInvalidParameter, 0},
    };
    for (const OpenCase& c : opens) {
        SCOPED_TRACE(c.path);
        plat::MsiHandle h = 0;
        EXPECT_EQ(Sys().MsiOpenDatabaseA(c.path.c_str(), c.persist, &h), c.database);
        EXPECT_EQ(h, 0u);
        std::uint32_t opened = Sys().MsiOpenPackageA(c.path.c_str(), &h);
        EXPECT_EQ(opened, c.package);
        if (opened == 0) Sys().MsiCloseHandle(h);
    }

    plat::MsiHandle db = 0, view = 0;
    ASSERT_EQ(Sys().MsiOpenDatabaseA(noRegistry.c_str(), 0, &db), 0u);
    for (const char* query : {"SELECT * from Registry", "SELECT * from NoSuchTable", "SELEKT nonsense",
                              "SELECT `Nope` FROM `Property`"}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(Sys().MsiDatabaseOpenViewA(db, query, &view), plat::kErrorBadQuerySyntax);
    }
    EXPECT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from Property", &view), 0u) << "the rest is readable";
    EXPECT_EQ(Sys().MsiCloseHandle(view), 0u);
    EXPECT_EQ(Sys().MsiCloseHandle(db), 0u);

    // Handles of the wrong kind or already closed.
    plat::MsiHandle package = 0;
    ASSERT_EQ(Sys().MsiOpenPackageA(noRegistry.c_str(), &package), 0u);
    EXPECT_EQ(Sys().MsiDatabaseOpenViewA(package, "SELECT * from File", &view), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiCloseHandle(package), 0u);
    EXPECT_EQ(Sys().MsiDatabaseOpenViewA(12345, "SELECT * from File", &view), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiViewExecute(db, 0), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiViewFetch(db, &view), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiViewClose(db), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiCloseHandle(db), plat::kErrorInvalidHandle);
    EXPECT_EQ(Sys().MsiCloseHandle(0), 0u);
    EXPECT_EQ(Sys().MsiOpenDatabaseA(nullptr, 0, &db), plat::kErrorInvalidParameter);
}

TEST_F(DatabaseTest, RecordStringsFollowTheBufferProtocol) {
    plat::MsiHandle record = Sys().MsiCreateRecord(3);
    ASSERT_NE(record, 0u);
    ASSERT_EQ(Sys().MsiRecordSetStringA(record, 1, "INTERNAL"), 0u);
    ASSERT_EQ(Sys().MsiRecordSetStringA(record, 2, "42"), 0u);
    EXPECT_EQ(Sys().MsiRecordSetStringA(record, 4, "x"), plat::kErrorInvalidParameter) << "beyond the count";

    struct Case {
        std::uint32_t field;
        std::uint32_t size;
        std::uint32_t result;
        const char* text;
        std::uint32_t sizeAfter;
    };
    const Case cases[] = {
        {1, 100, 0, "INTERNAL", 8},                  // fits
        {1, 9, 0, "INTERNAL", 8},                    // exactly room for the terminator
        {1, 8, plat::kErrorMoreData, "INTERNA", 8},  // one short: truncated
        {1, 4, plat::kErrorMoreData, "INT", 8},
        {1, 1, plat::kErrorMoreData, "", 8},
        {2, 100, 0, "42", 2},
        {3, 100, 0, "", 0},  // null field
        {9, 100, 0, "", 0},  // beyond the count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("field " + std::to_string(c.field) + " size " + std::to_string(c.size));
        char buffer[128];
        std::memset(buffer, 'Z', sizeof buffer);
        std::uint32_t size = c.size;
        EXPECT_EQ(Sys().MsiRecordGetStringA(record, c.field, buffer, &size), c.result);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(size, c.sizeAfter);
    }
    std::uint32_t size = 0;
    EXPECT_EQ(Sys().MsiRecordGetStringA(record, 1, nullptr, &size), 0u) << "size query";
    EXPECT_EQ(size, 8u);
    char buffer[8];
    EXPECT_EQ(Sys().MsiRecordGetStringA(record, 1, buffer, nullptr), plat::kErrorInvalidParameter);

    struct IntCase {
        const char* text;  // nullptr: null field
        int value;
    };
    const IntCase ints[] = {{"42", 42},
                            {"-7", -7},
                            {"4x", plat::kMsiNullInteger},
                            {"", plat::kMsiNullInteger},
                            {nullptr, plat::kMsiNullInteger},
                            {"99999999999", plat::kMsiNullInteger}};
    for (const IntCase& c : ints) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        if (c.text)
            Sys().MsiRecordSetStringA(record, 3, c.text);
        else
            Sys().MsiRecordSetStringA(record, 3, nullptr);
        EXPECT_EQ(Sys().MsiRecordGetInteger(record, 3), c.value);
    }
    EXPECT_EQ(Sys().MsiRecordGetInteger(record, 7), plat::kMsiNullInteger);
    EXPECT_EQ(Sys().MsiRecordGetInteger(0, 1), plat::kMsiNullInteger);
    EXPECT_EQ(Sys().MsiCloseHandle(record), 0u);
    EXPECT_EQ(Sys().MsiRecordGetStringA(record, 1, buffer, &size), plat::kErrorInvalidHandle);
}

TEST_F(DatabaseTest, RegistryRootsAndIntegerFields) {
    // Root is read as a number, -1 for the per-user-or-machine rows.
    plat::MsiHandle db = 0, view = 0, row = 0;
    ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("vaultline").c_str(), 0, &db), 0u);
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from Registry", &view), 0u);
    ASSERT_EQ(Sys().MsiViewExecute(view, 0), 0u);
    std::map<int, int> roots;
    while (Sys().MsiViewFetch(view, &row) == 0) {
        ++roots[Sys().MsiRecordGetInteger(row, 2)];
        Sys().MsiCloseHandle(row);
    }
    EXPECT_EQ(roots, (std::map<int, int>{{-1, 1}, {0, 1}, {1, 1}, {2, 4}, {3, 1}}));
    Sys().MsiCloseHandle(view);
    Sys().MsiCloseHandle(db);
}

TEST_F(DatabaseTest, HandlesAreCountedUntilClosed) {
    const std::size_t before = Installer().OpenHandleCount();
    plat::MsiHandle db = 0, view = 0, row = 0, pkg = 0;
    ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("lumo").c_str(), 0, &db), 0u);
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from File", &view), 0u);
    ASSERT_EQ(Sys().MsiViewExecute(view, 0), 0u);
    ASSERT_EQ(Sys().MsiViewFetch(view, &row), 0u);
    ASSERT_EQ(Sys().MsiOpenPackageA(PackageWindowsPath("lumo").c_str(), &pkg), 0u);
    EXPECT_EQ(Installer().OpenHandleCount(), before + 4);
    std::vector<plat::MsiHandle> all = {db, view, row, pkg};
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end()) << "every handle is distinct";
    // The database closes first; its view still reads.
    EXPECT_EQ(Sys().MsiCloseHandle(db), 0u);
    Sys().MsiCloseHandle(row);
    EXPECT_EQ(Sys().MsiViewFetch(view, &row), 0u);
    for (plat::MsiHandle h : {row, view, pkg}) EXPECT_EQ(Sys().MsiCloseHandle(h), 0u);
    EXPECT_EQ(Installer().OpenHandleCount(), before);
}

TEST_F(DatabaseTest, FaultRulesFailTheNamedOperation) {
    plat::SimFaults faults(Prefix());
    ASSERT_TRUE(faults.Add({"MsiOpenDatabaseA", "*lumo.msi", 5, 1}));
    ASSERT_TRUE(faults.Add({"MsiViewExecute", "*vaultline.msi", 1627, -1}));
    plat::MsiHandle db = 0, view = 0;
    EXPECT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("lumo").c_str(), 0, &db), 5u);
    ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("lumo").c_str(), 0, &db), 0u)
        << "the rule was used up";
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from File", &view), 0u);
    EXPECT_EQ(Sys().MsiViewExecute(view, 0), 0u) << "the rule names another package";
    Sys().MsiCloseHandle(view);
    Sys().MsiCloseHandle(db);
    ASSERT_EQ(Sys().MsiOpenDatabaseA(PackageWindowsPath("vaultline").c_str(), 0, &db), 0u);
    ASSERT_EQ(Sys().MsiDatabaseOpenViewA(db, "SELECT * from File", &view), 0u);
    EXPECT_EQ(Sys().MsiViewExecute(view, 0), 1627u);
    Sys().MsiCloseHandle(view);
    Sys().MsiCloseHandle(db);
}

}  // namespace
}  // namespace msitest
