#include "filecleanup/CFileCleanup.h"

#include "filecleanup/PathText.h"
#include "regcleanup/CRemoveRegKeys.h"

namespace {
const char kProtectedFolderText[] =
    "The folder is, or holds, a drive root, a system folder or a user folder; it is left untouched.\n";
}  // namespace

CFileCleanup::CFileCleanup(ToolLog& log, bool clean, bool debug, const std::string& tempPackageDir)
    : log(log), clean(clean), debug(debug), tempPackageDir(tempPackageDir) {
    std::string windir;
    filecleanup::ReadEnvironment("WINDIR", windir);
    WinDir = filecleanup::LowerCase(windir);
    CGetCommonProgramFilesDir();
    if (debug) log.WriteToLog(FormatText("DEBUG: WINDIR is %s\n\n", {WinDir}));
    protectedFolders.Load();
}

CFileCleanup::~CFileCleanup() = default;

void CFileCleanup::CRunFileCleanup(const std::string& packagePath) {
    PackagePath = packagePath;
    log.Write(ToolLog::FormatMessageId(39));
    if (CCreateFileObjectsFromMsiDataBase(PackagePath, "Component")) {
        CCreateFileObjectsFromMsiDataBase(PackagePath, "File");
        if (CGetInstalledCorvantaProductsCachedDatabases() && CCheckForSharedFiles()) {
            if (debug) {
                CWriteSharedFileList();
                CWriteUnsharedFileList();
            }
            CRemoveUnsharedFiles();
            if (OtherSuiteProducts) CCleanupDCProductDirs();
            CRemoveEmptyDirectories(InstallDir);
            CCleanupCommonFiles();
            CCleanupRegistry();
        }
    }
    log.Write(ToolLog::FormatMessageId(53));
}

void CFileCleanup::CCleanupRegistry() {
    CRemoveRegKeys remover(clean, debug);
    remover.RemoveRegistry(std::string(PackagePath), CachedDatabases, log);
}

bool CFileCleanup::RefuseProtectedFolder(const std::string& folder, const char* functionName) {
    if (!protectedFolders.IsProtected(folder)) return false;
    bool& reported = protectedReported[functionName];
    if (!reported) {
        reported = true;
        log.LogError(kProtectedFolderText, functionName, folder);
    }
    return true;
}
