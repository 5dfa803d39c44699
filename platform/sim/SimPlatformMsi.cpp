// The Windows Installer calls of the sim backend: all of them are served by
// the machine's SimInstaller.
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimPlatform.h"

namespace plat {

std::uint32_t SimPlatform::MsiEnumProductsA(std::uint32_t index, char* productCode) {
    return Installer().MsiEnumProductsA(index, productCode);
}

std::uint32_t SimPlatform::MsiGetProductInfoA(const char* product, const char* property, char* value,
                                              std::uint32_t* size) {
    return Installer().MsiGetProductInfoA(product, property, value, size);
}

std::uint32_t SimPlatform::MsiSetInternalUI(std::uint32_t level) {
    return Installer().MsiSetInternalUI(level);
}

std::uint32_t SimPlatform::MsiOpenProductA(const char* product, MsiHandle* handle) {
    return Installer().MsiOpenProductA(product, handle);
}

std::uint32_t SimPlatform::MsiGetPropertyA(MsiHandle install, const char* name, char* value,
                                           std::uint32_t* size) {
    return Installer().MsiGetPropertyA(install, name, value, size);
}

std::uint32_t SimPlatform::MsiOpenPackageA(const char* packagePath, MsiHandle* handle) {
    return Installer().MsiOpenPackageA(packagePath, handle);
}

std::uint32_t SimPlatform::MsiDoActionA(MsiHandle install, const char* action) {
    return Installer().MsiDoActionA(install, action);
}

std::uint32_t SimPlatform::MsiGetTargetPathA(MsiHandle install, const char* folder, char* path,
                                             std::uint32_t* size) {
    return Installer().MsiGetTargetPathA(install, folder, path, size);
}

std::uint32_t SimPlatform::MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database) {
    return Installer().MsiOpenDatabaseA(path, persist, database);
}

std::uint32_t SimPlatform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) {
    return Installer().MsiDatabaseOpenViewA(database, query, view);
}

std::uint32_t SimPlatform::MsiViewExecute(MsiHandle view, MsiHandle record) {
    return Installer().MsiViewExecute(view, record);
}

std::uint32_t SimPlatform::MsiViewFetch(MsiHandle view, MsiHandle* record) {
    return Installer().MsiViewFetch(view, record);
}

std::uint32_t SimPlatform::MsiViewClose(MsiHandle view) {
    return Installer().MsiViewClose(view);
}

MsiHandle SimPlatform::MsiCreateRecord(std::uint32_t fields) {
    return Installer().MsiCreateRecord(fields);
}

std::uint32_t SimPlatform::MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value) {
    return Installer().MsiRecordSetStringA(record, field, value);
}

std::uint32_t SimPlatform::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                               std::uint32_t* size) {
    return Installer().MsiRecordGetStringA(record, field, value, size);
}

int SimPlatform::MsiRecordGetInteger(MsiHandle record, std::uint32_t field) {
    return Installer().MsiRecordGetInteger(record, field);
}

std::uint32_t SimPlatform::MsiCloseHandle(MsiHandle handle) {
    return Installer().MsiCloseHandle(handle);
}

std::uint32_t SimPlatform::MsiEnableLogA(std::uint32_t logMode, const char* logFile,
                                         std::uint32_t attributes) {
    return Installer().MsiEnableLogA(logMode, logFile, attributes);
}

std::uint32_t SimPlatform::MsiInstallProductA(const char* packagePath, const char* commandLine) {
    return Installer().MsiInstallProductA(packagePath, commandLine);
}

}  // namespace plat
