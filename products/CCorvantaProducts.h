// The ProductSet: the run's options, the ordered list of Team products and
// the facts discovery found about the machine. Every top-level operation of
// a run is one of its methods; each group is defined in the file named after
// it (products/, app/, preserve/, filecleanup/).
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/ToolLog.h"
#include "products/CCorvantaProductInfo.h"

class CCorvantaProducts {
public:
    CCorvantaProducts(ToolLog& log, const std::string& logPath, bool clean, bool verbose, bool debug,
                      bool preservePathGiven);
    virtual ~CCorvantaProducts();
    CCorvantaProducts(const CCorvantaProducts&) = delete;
    CCorvantaProducts& operator=(const CCorvantaProducts&) = delete;

    // ---- Discovery (products/FindInstalledProducts.cpp) ----
    bool FindInstalledProducts();
    int CountSuiteProducts();
    bool GetSuiteProductAt(int n, std::string& internalName, std::string& productName, std::string& version,
                           std::string& productCode);
    bool IsPublisherCorvanta(const std::string& productCode);
    bool GetInternalProductName(const std::string& productCode, std::string& internalName);
    bool GetDisplayVersion(const std::string& productCode, std::string& version);
    bool GetInstalledProductName(const std::string& productCode, std::string& productName);
    void RecordInstallLocation(const std::string& productCode);
    void LogProductList();

    // ---- Cached packages and uninstall (products/CachedPackages.cpp) ----
    void CreateTempPackageDir();
    bool GetLocalPackage(const std::string& productCode, std::string& path);
    void SaveCachedPackages();
    bool UninstallProducts();
    void RemoveTempPackageDir();

    // ---- Reboot continuation (app/RebootContinuation.cpp) ----
    bool IsRebootNeeded() const { return rebootNeeded; }
    bool WriteDataFile();
    bool ReadDataFile(const std::string& path);
    void RegisterRunOnce();
    void RestartMachine();

    // ---- Preservation (preserve/) ----
    void SetPreservePath(const std::string& path);
    void BackupFile(const std::string& path);
    void CopyMatchingFiles(const std::string& sourceRel, const std::string& destRel,
                           const std::string& pattern);
    void CopyDirectoryTree(const std::string& source, const std::string& destination);
    void BackupDirectory(const std::string& source, const std::string& destination);
    void FindFilesByName(std::vector<std::string>& found, const std::string& directory,
                         const std::vector<std::string>& names);
    void BackupFoundFiles(const std::vector<std::string>& names, const std::string& directory);
    void BackupRegistryKeys();
    void PreserveTracklightWebData();
    void PreserveVaultlineData();
    void PreserveCommonWebData();
    void PreserveSpecwrightData();
    void PreserveAdministratorProjects();
    void ReadAdministratorProjectList();
    void PreserveOverlookData();

    // ---- Leftover cleanup (filecleanup/CleanupFiles.cpp) ----
    void CleanupFiles();

    // ---- Read access for the driver and the tests ----
    const std::list<std::unique_ptr<CCorvantaProductInfo>>& Products() const { return products; }
    const std::string& InstallLocation() const { return installLocation; }
    const std::string& TempPackageDir() const { return tempPackageDir; }
    const std::string& DataFilePath() const { return dataFilePath; }
    const std::string& PreservePath() const { return preservePath; }
    const std::list<std::string>& AdminProjectDirs() const { return adminProjectDirs; }
    ToolLog& Log() { return log; }

    // Fields, in the order the product model gives them.
    std::string logPath;
    std::string dataFilePath;
    std::list<std::unique_ptr<CCorvantaProductInfo>> products;
    ToolLog& log;
    bool rebootNeeded = false;
    bool clean = false;
    bool verbose = false;
    bool debug = false;
    std::string installLocation;
    std::string tempPackageDir;
    bool hasPilotron = false;
    bool hasOverlook = false;
    bool hasQualvane = false;
    bool hasSpecwright = false;
    bool hasVaultline = false;
    bool hasTracklight = false;
    bool preservePathGiven = false;
    std::string preservePath;
    std::list<std::string> adminProjectDirs;
};
