// The leftover cleanup of one uninstalled product: reads the product's saved
// package and the cached packages of the suite products still installed,
// deletes the product's unshared files, sweeps its installation directory,
// removes the Visual Studio integration below the common files directory and
// hands over to the registry cleanup.
//
// One object per product; CleanupFiles creates it, runs CRunFileCleanup on the
// product's saved package copy and destroys it.
#pragma once

#include <map>
#include <string>

#include "app/ToolLog.h"
#include "filecleanup/ProtectedFolders.h"
#include "platform/Handles.h"

// One row of a package's File table.
struct CFileObject {
    std::string fileName;      // long file name
    std::string fileKey;       // File column
    std::string componentKey;  // Component_ column
    std::string directoryKey;  // Directory_ of that component in the same package
};

// One row of a Component table.
struct CCompObject {
    std::string componentKey;  // Component column
    std::string directoryKey;  // Directory_ column
};

class CFileCleanup {
public:
    using FileMap = std::map<std::string, CFileObject>;
    using CompMap = std::map<std::string, CCompObject>;
    using PathSet = std::map<std::string, std::string>;  // path -> the same path

    CFileCleanup(ToolLog& log, bool clean, bool debug, const std::string& tempPackageDir);
    virtual ~CFileCleanup();
    CFileCleanup(const CFileCleanup&) = delete;
    CFileCleanup& operator=(const CFileCleanup&) = delete;

    // ---- Driver (CFileCleanup.cpp) ----
    void CRunFileCleanup(const std::string& packagePath);
    void CCleanupRegistry();

    // ---- Installation database file model (FileModel.cpp) ----
    bool CCreateFileObjectsFromMsiDataBase(const std::string& databasePath, const std::string& table);
    std::string CResolveFileInstallLocation(const std::string& directoryKey);
    bool CGetInstalledCorvantaProductsCachedDatabases();
    bool CIsPublisherCorvanta(const std::string& productCode, std::uint32_t* error = nullptr);
    bool CCheckForSharedFiles();
    bool CCreateCompAndDirObjects(const std::string& databasePath, const std::string& table);

    // ---- Shared and unshared file removal (UnsharedFileRemoval.cpp) ----
    void CWriteSharedFileList();
    void CWriteUnsharedFileList();
    void CRemoveUnsharedFiles();
    void CLogDeletedFile(const std::string& fullPath);

    // ---- Directory sweeps and unregistration (DirectorySweeps.cpp) ----
    bool CCheckFileBeforeDelete(const std::string& path);
    void CClearReadOnly(const std::string& path);
    void CRemoveCorvantaFilesAndDirectories(const std::string& dir);
    void CRemoveEmptyDirectories(const std::string& dir);
    void CCleanupDCProductDirs();

    // ---- Common files integration cleanup (CommonFilesCleanup.cpp) ----
    void CGetCommonProgramFilesDir();
    void CCleanupCommonFiles();
    void CCheckVisualStudioVersions();
    void CUnregisterVLVSIDlls();
    void CUnregisterDll(const std::string& path);
    void CDeleteDirectoryTree(const std::string& dir);
    bool CPathExists(const std::string& path);

    // ---- Read access for the tests ----
    const std::string& GetInstallDir() const { return InstallDir; }
    const FileMap& GetUnsharedFiles() const { return UnsharedFiles; }
    const FileMap& GetSharedFiles() const { return SharedFiles; }
    const CompMap& GetPackageComponents() const { return PackageComponents; }
    const CompMap& GetOtherComponents() const { return OtherComponents; }
    const PathSet& GetCachedDatabases() const { return CachedDatabases; }
    bool HasOtherSuiteProducts() const { return OtherSuiteProducts; }
    bool IsPackageOpen() const { return PackageOpen; }
    const std::string& GetWinDir() const { return WinDir; }
    const std::string& GetCommonFilesDir() const { return CommonFilesDir; }
    bool IsVsPresent(int index) const { return index >= 0 && index < 3 && VsPresent[index]; }
    // Only for tests that set the state up directly.
    void SetPackagePath(const std::string& path) { PackagePath = path; }
    void SetInstallDir(const std::string& dir) { InstallDir = dir; }

private:
    enum class TableKind { Package, OtherProduct };
    // The common query of both table readers.
    bool ReadTable(const std::string& databasePath, const std::string& table, const char* functionName,
                   TableKind kind);
    void StorePackageRow(const std::string& table, plat::MsiHandle record);
    void StoreOtherProductRow(const std::string& table, plat::MsiHandle record);
    void RemoveBelow(const std::string& dir);
    void RemoveEmptyBelow(const std::string& dir);
    void WriteFileList(const FileMap& files, const char* heading, const char* functionName);
    // The guard every folder sweep asks first; reports a protected folder
    // once per product and sweep.
    bool RefuseProtectedFolder(const std::string& folder, const char* functionName);

    std::string InstallDir;
    FileMap UnsharedFiles;
    CompMap PackageComponents;
    CompMap OtherComponents;
    FileMap SharedFiles;
    plat::UniqueMsiHandle packageHandle;
    bool OpenPackagePending = true;
    bool OtherSuiteProducts = false;
    bool DeletedHeaderPending = true;
    bool PackageOpen = false;
    std::string PackagePath;
    PathSet CachedDatabases;
    ToolLog& log;
    bool clean = false;
    std::string WinDir;
    bool debug = false;
    std::string tempPackageDir;
    bool VsPresent[3] = {false, false, false};
    std::string CommonFilesDir;
    CProtectedFolders protectedFolders;
    std::map<std::string, bool> protectedReported;  // function name -> reported
};
