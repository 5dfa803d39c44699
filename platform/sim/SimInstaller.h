// The simulated machine's Windows Installer: databases read with libmsi,
// installed products kept in the machine's registry, install and uninstall.
//
// The calls keep the protocols of msi.dll: results are Win32 error codes,
// string buffers follow the Windows size protocol (sizes in characters
// without the terminator; a short buffer gives 234, the truncated text and
// the size needed), handles are small numbers closed with MsiCloseHandle.
//
// Failures, as Windows reports them: MsiOpenDatabaseA gives 110
// (ERROR_OPEN_FAILED) for a missing file and 1627 for a file that is no
// installation database; MsiOpenPackageA gives 1619 and 1620 for the same
// two; a view on a missing table or a bad query fails with 1615; fetching
// from a view that was not executed, or executing a query whose '?' markers
// have no values, gives 1627; MsiGetTargetPathA fails with 267 until
// CostFinalize has run and for an unknown Directory key; MsiOpenProductA on a
// product whose cached package is gone gives 1612. Only read-only database
// access is served (any other persist mode: 87).
//
// Where Windows keeps its data:
//   the registration, below kInstallerUserDataKey:
//     Products\<packed product code>\InstallProperties
//   the component clients, below kInstallerUserDataKey:
//     Components\<packed component id>, one value per product holding it
//   HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\<product code>
//   C:\windows\Installer\<random>.msi                      the cached packages
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace plat {

class SimPlatform;

// Registry locations of the installer's own data.
constexpr const char* kInstallerUserDataKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
constexpr const char* kUninstallKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// "{12345678-9ABC-DEF0-1234-56789ABCDEF0}" <-> "87654321CBA90FED2143658798BADCFE",
// the form the installer uses for its registry key names. Both give "" for
// text that is not a GUID of that form.
std::string PackGuid(const std::string& guid);
std::string UnpackGuid(const std::string& packed);

class SimInstaller {
public:
    explicit SimInstaller(SimPlatform& machine);
    ~SimInstaller();
    SimInstaller(const SimInstaller&) = delete;
    SimInstaller& operator=(const SimInstaller&) = delete;

    // Handles of this process still open (databases, views, records, packages).
    std::size_t OpenHandleCount() const;

    // ---- The msi.dll calls (see Platform.h) ----
    // Each first asks the machine's fault rules under its own name, with as
    // main argument the package or database path, the product code, or for a
    // handle the path of the package or database it belongs to (the index for
    // MsiEnumProductsA, the level for MsiSetInternalUI, the log path for
    // MsiEnableLogA); a matching rule makes it fail with the rule's code.
    std::uint32_t MsiEnumProductsA(std::uint32_t index, char* productCode);
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* value,
                                     std::uint32_t* size);
    std::uint32_t MsiSetInternalUI(std::uint32_t level);
    std::uint32_t MsiOpenProductA(const char* product, MsiHandle* handle);
    std::uint32_t MsiGetPropertyA(MsiHandle install, const char* name, char* value, std::uint32_t* size);
    std::uint32_t MsiOpenPackageA(const char* packagePath, MsiHandle* handle);
    std::uint32_t MsiDoActionA(MsiHandle install, const char* action);
    std::uint32_t MsiGetTargetPathA(MsiHandle install, const char* folder, char* path, std::uint32_t* size);
    std::uint32_t MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database);
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view);
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle record);
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record);
    std::uint32_t MsiViewClose(MsiHandle view);
    MsiHandle MsiCreateRecord(std::uint32_t fields);
    std::uint32_t MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value);
    std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                      std::uint32_t* size);
    int MsiRecordGetInteger(MsiHandle record, std::uint32_t field);
    std::uint32_t MsiCloseHandle(MsiHandle handle);
    std::uint32_t MsiEnableLogA(std::uint32_t logMode, const char* logFile, std::uint32_t attributes);
    // "REMOVE=ALL" in the command line uninstalls the package's product;
    // otherwise the package is installed with the command line's properties.
    std::uint32_t MsiInstallProductA(const char* packagePath, const char* commandLine);

    // ---- What msiexec needs beyond the calls ----
    // Installs the package (a Windows path) with these properties set.
    std::uint32_t InstallPackage(const std::string& packagePath,
                                 const std::map<std::string, std::string>& properties);
    // Uninstalls an installed product given by its product code.
    std::uint32_t UninstallProduct(const std::string& productCode,
                                   const std::map<std::string, std::string>& properties);
    // The product code a package declares ("" when it cannot be read).
    std::string PackageProductCode(const std::string& packagePath);

    // The installer's inner state (SimMsiImpl.h), shared by its own files.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat
