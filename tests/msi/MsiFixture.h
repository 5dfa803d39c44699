// A fresh simulated machine per test (winsim init), installed as the process's backend,
// with helpers to install the suite's test packages and to look at the
// machine's files and registry.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

namespace msitest {

// Product codes of the packages in tests/packages.
extern const char kVaultline[];
extern const char kTracklight[];
extern const char kQualvane[];
extern const char kVlNetAll[];
extern const char kNorthwind[];

// "Z:" + the host path of build/packages/<name>.msi.
std::string PackageWindowsPath(const std::string& name);

class MsiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    plat::SimPlatform& Machine() { return machine_->Platform(); }
    plat::SimInstaller& Installer() { return Machine().Installer(); }
    plat::SimRegistry& Registry() { return Machine().Registry(); }
    const std::string& Prefix() const { return prefix_; }

    std::uint32_t Install(const std::string& package,
                          const std::map<std::string, std::string>& properties = {});
    std::uint32_t Uninstall(const std::string& productCode);  // through the product's LocalPackage

    // Files of the machine by Windows path.
    std::string Host(const std::string& windowsPath);
    bool FileExists(const std::string& windowsPath);
    bool FolderExists(const std::string& windowsPath);
    std::string ReadFile(const std::string& windowsPath);
    void WriteFile(const std::string& windowsPath, const std::string& content);
    // Every file and folder below C:\, as lower-case Windows paths.
    std::vector<std::string> DriveC();

    // A registry string (REG_SZ/REG_EXPAND_SZ without its terminator); "" with
    // found false when the value is missing.
    std::string RegText(const std::string& key, const std::string& name, bool* found = nullptr);
    std::string LocalPackage(const std::string& productCode);
    // MsiGetProductInfoA with a large buffer.
    std::uint32_t ProductInfo(const std::string& productCode, const std::string& property,
                              std::string& value);

    // The source payload of a package file (tests/packages/files/...).
    static std::string Payload(const std::string& relative);

private:
    std::string prefix_;
    std::unique_ptr<plat::SimMachine> machine_;
    plat::Platform* previous_ = nullptr;
};

// Rows of "msiinfo export PACKAGE TABLE", without its three header lines.
std::vector<std::vector<std::string>> MsiinfoRows(const std::string& hostPackage, const std::string& table);
// Rows of "SELECT * from TABLE" read through the platform calls, every field
// with MsiRecordGetStringA; the column count comes from msiinfo.
std::vector<std::vector<std::string>> ViewRows(const std::string& package, const std::string& table,
                                               std::size_t columns);
// A copy of a built package with one table dropped (host path).
std::string PackageWithoutTable(const std::string& name, const std::string& table, const std::string& folder);

}  // namespace msitest
