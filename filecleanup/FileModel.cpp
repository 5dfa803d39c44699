// The installation database file model: which files the product installed,
// in which directories, and which of them a remaining suite product shares.
#include <cstdint>
#include <vector>

#include "filecleanup/CFileCleanup.h"

namespace {

const char kOpenDatabaseText[] =
    "Error Opening the Database, please make sure this Database is not being used by another application";
const char kOpenViewText[] =
    "Error using MsiDatabaseOpenView, make sure this database is not being used by another application";
const char kExecuteText[] =
    "Error using MsiViewExecute, make sure this database is not being used by another application";
const char kSuitePublisher[] = "Corvanta Software";

// One column of a fetched record, read whole: a value longer than the
// 260-character buffer is read again with a buffer of the size needed, so a
// file name or key is never cut short.
std::string Column(plat::MsiHandle record, std::uint32_t field) {
    std::vector<char> buffer(260, '\0');
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t result = plat::Sys().MsiRecordGetStringA(record, field, buffer.data(), &size);
    if (result == plat::kErrorMoreData) {
        buffer.assign(size + 1, '\0');
        size = static_cast<std::uint32_t>(buffer.size());
        result = plat::Sys().MsiRecordGetStringA(record, field, buffer.data(), &size);
    }
    if (result != plat::kErrorSuccess) return std::string();
    return std::string(buffer.data());
}

}  // namespace

namespace {
const char kFetchText[] = "An error occurred while fetching the records of the table.";
}  // namespace

bool CFileCleanup::ReadTable(const std::string& databasePath, const std::string& table,
                             const char* functionName, TableKind kind) {
    plat::UniqueMsiHandle database;
    std::uint32_t result =
        plat::Sys().MsiOpenDatabaseA(databasePath.c_str(), plat::kMsiDbOpenReadOnly, database.put());
    if (result != plat::kErrorSuccess) {
        log.LogError(ToolLog::GetSystemErrorText(result), functionName, kOpenDatabaseText);
        return false;
    }
    const std::string query = FormatText("SELECT * from %s", {table});
    plat::UniqueMsiHandle view;
    result = plat::Sys().MsiDatabaseOpenViewA(database.get(), query.c_str(), view.put());
    if (result != plat::kErrorSuccess) {
        log.LogError(ToolLog::GetSystemErrorText(result), functionName, kOpenViewText);
        return false;
    }
    result = plat::Sys().MsiViewExecute(view.get(), 0);
    if (result != plat::kErrorSuccess) {
        log.LogError(ToolLog::GetSystemErrorText(result), functionName, kExecuteText);
        return false;
    }
    if (kind == TableKind::Package) log.WriteToConsole(ToolLog::FormatMessageId(52));
    plat::UniqueMsiHandle record;
    while ((result = plat::Sys().MsiViewFetch(view.get(), record.put())) == plat::kErrorSuccess) {
        if (kind == TableKind::Package) {
            log.WriteToConsole(".");
            StorePackageRow(table, record.get());
        } else {
            StoreOtherProductRow(table, record.get());
        }
    }
    if (kind == TableKind::Package) log.WriteToConsole("\n");
    record.reset();
    plat::Sys().MsiViewClose(view.get());
    if (result != plat::kErrorNoMoreItems && kind != TableKind::Package) {
        // Part of a remaining product's table only: its other files would
        // look unshared.
        log.LogError(ToolLog::GetSystemErrorText(result), functionName, kFetchText);
        return false;
    }
    return true;
}

void CFileCleanup::StorePackageRow(const std::string& table, plat::MsiHandle record) {
    if (table == "File") {
        CFileObject file;
        file.fileKey = Column(record, 1);
        file.fileName = Column(record, 3);
        const std::string::size_type bar = file.fileName.find('|');
        if (bar != std::string::npos) file.fileName = file.fileName.substr(bar + 1);
        file.componentKey = Column(record, 2);
        if (!PackageComponents.empty()) {
            // A File row whose component is not in the package's own Component
            // table has no directory to be found in; it is left out.
            const auto component = PackageComponents.find(file.componentKey);
            if (component == PackageComponents.end()) return;
            file.directoryKey = component->second.directoryKey;
            UnsharedFiles[file.fileKey] = file;
        }
    } else if (table == "Component") {
        CCompObject component;
        component.directoryKey = Column(record, 3);
        component.componentKey = Column(record, 1);
        PackageComponents[component.componentKey] = component;
    }
}

void CFileCleanup::StoreOtherProductRow(const std::string& table, plat::MsiHandle record) {
    if (table == "Component") {
        CCompObject component;
        component.componentKey = Column(record, 1);
        component.directoryKey = Column(record, 3);
        OtherComponents[component.componentKey] = component;
    } else if (table == "File") {
        const std::string fileKey = Column(record, 1);
        const auto file = UnsharedFiles.find(fileKey);
        if (file == UnsharedFiles.end()) return;
        const auto component = OtherComponents.find(Column(record, 2));
        // A component the remaining product does not declare cannot share the file.
        if (component == OtherComponents.end()) return;
        if (component->second.directoryKey == file->second.directoryKey) {
            SharedFiles[fileKey] = file->second;
            UnsharedFiles.erase(file);
        }
    }
}

bool CFileCleanup::CCreateFileObjectsFromMsiDataBase(const std::string& databasePath,
                                                     const std::string& table) {
    if (OpenPackagePending) {
        InstallDir = CResolveFileInstallLocation("INSTALLDIR");
        if (InstallDir.empty()) return false;
    }
    return ReadTable(databasePath, table, "CCreateFileObjectsFromMsiDataBase: ", TableKind::Package);
}

std::string CFileCleanup::CResolveFileInstallLocation(const std::string& directoryKey) {
    if (OpenPackagePending) {
        OpenPackagePending = false;
        plat::Sys().MsiSetInternalUI(plat::kInstallUiLevelNone);
        const std::uint32_t result = plat::Sys().MsiOpenPackageA(PackagePath.c_str(), packageHandle.put());
        if (result != plat::kErrorSuccess) {
            PackageOpen = false;
            packageHandle.release();
            log.LogError(ToolLog::GetSystemErrorText(result), "CResolveFileInstallLocation: ", "");
            return std::string();
        }
        PackageOpen = true;
        plat::Sys().MsiDoActionA(packageHandle.get(), "CostInitialize");
        plat::Sys().MsiDoActionA(packageHandle.get(), "FileCost");
        plat::Sys().MsiDoActionA(packageHandle.get(), "CostFinalize");
    }
    if (!PackageOpen) return std::string();
    char path[260] = {0};
    std::uint32_t size = sizeof(path);
    const std::uint32_t result =
        plat::Sys().MsiGetTargetPathA(packageHandle.get(), directoryKey.c_str(), path, &size);
    if (result != plat::kErrorSuccess) {
        log.LogError(ToolLog::GetSystemErrorText(result), "CResolveFileInstallLocation: ",
                     "An unknown error occurred while using MsiGetTargetPath.");
        return std::string();
    }
    return std::string(path);
}

bool CFileCleanup::CIsPublisherCorvanta(const std::string& productCode, std::uint32_t* error) {
    char publisher[260] = {0};
    std::uint32_t size = sizeof(publisher);
    const std::uint32_t result =
        plat::Sys().MsiGetProductInfoA(productCode.c_str(), "Publisher", publisher, &size);
    if (result != plat::kErrorSuccess) {
        // No publisher, a product gone meanwhile, or a name longer than the
        // suite's: not a suite product. Any other failure leaves it unknown.
        if (error != nullptr && result != plat::kErrorUnknownProperty &&
            result != plat::kErrorUnknownProduct && result != plat::kErrorMoreData) {
            *error = result;
        }
        return false;
    }
    return std::string(publisher) == kSuitePublisher;
}

bool CFileCleanup::CGetInstalledCorvantaProductsCachedDatabases() {
    for (std::uint32_t index = 0;; ++index) {
        char productCode[39] = {0};
        const std::uint32_t enumResult = plat::Sys().MsiEnumProductsA(index, productCode);
        if (enumResult == plat::kErrorNoMoreItems) break;
        // A failed enumeration is not the end of the list: a product not seen
        // would make its shared files look unshared, so nothing is removed.
        std::uint32_t publisherError = plat::kErrorSuccess;
        if (enumResult == plat::kErrorSuccess && !CIsPublisherCorvanta(productCode, &publisherError) &&
            publisherError == plat::kErrorSuccess) {
            continue;
        }
        if (enumResult != plat::kErrorSuccess || publisherError != plat::kErrorSuccess) {
            log.LogError(
                ToolLog::GetSystemErrorText(enumResult != plat::kErrorSuccess ? enumResult : publisherError),
                "CGetInstalledCorvantaProductsCachedDatabases: ",
                "Error while generating the list of cached MSIs...");
            return false;
        }
        std::vector<char> package(260, '\0');
        std::uint32_t size = static_cast<std::uint32_t>(package.size());
        std::uint32_t result =
            plat::Sys().MsiGetProductInfoA(productCode, "LocalPackage", package.data(), &size);
        if (result == plat::kErrorMoreData) {
            // A longer path is read whole rather than failing the cleanup.
            package.assign(size + 1, '\0');
            size = static_cast<std::uint32_t>(package.size());
            result = plat::Sys().MsiGetProductInfoA(productCode, "LocalPackage", package.data(), &size);
        }
        if (result != plat::kErrorSuccess) {
            log.LogError(ToolLog::GetSystemErrorText(result),
                         "CGetInstalledCorvantaProductsCachedDatabases: ",
                         "Error while generating the list of cached MSIs...");
            return false;
        }
        const std::string path(package.data());
        CachedDatabases[path] = path;
    }
    return true;
}

bool CFileCleanup::CCheckForSharedFiles() {
    if (CachedDatabases.empty()) return true;
    OtherSuiteProducts = true;
    for (const auto& entry : CachedDatabases) {
        // Both tables of every remaining product are needed: a File table
        // not read would make that product's files look unshared.
        if (!CCreateCompAndDirObjects(entry.first, "Component")) return false;
        if (!CCreateCompAndDirObjects(entry.first, "File")) return false;
    }
    return true;
}

bool CFileCleanup::CCreateCompAndDirObjects(const std::string& databasePath, const std::string& table) {
    return ReadTable(databasePath, table, "CCreateCompAndDirObjects", TableKind::OtherProduct);
}
