// Deleting the product's unshared files, the debug file lists and, when no
// suite product is left, the emptying of the installation directory.
#include "filecleanup/CFileCleanup.h"
#include "filecleanup/PathText.h"

void CFileCleanup::WriteFileList(const FileMap& files, const char* heading, const char* functionName) {
    const std::string path = FormatText("%s\\unshared_files.txt", {tempPackageDir});
    plat::UniqueTextFile file(plat::Sys().OpenTextFile(path.c_str(), plat::TextOpen::Append, true));
    if (!file) {
        const std::uint32_t code = plat::Sys().GetLastError();
        log.LogError(ToolLog::GetSystemErrorText(code), functionName, path);
        return;
    }
    log.WriteToLog(FormatText(heading, {path}));
    for (const auto& entry : files) {
        plat::Sys().WriteTextFile(
            file.get(), FormatText("Key: %s\nFile name: %s\nDirectory: %s\n\n",
                                   {entry.first, entry.second.fileName, entry.second.directoryKey}));
    }
}

void CFileCleanup::CWriteSharedFileList() {
    WriteFileList(SharedFiles, "Writing out list of shared files to %s\n\n", "CWriteSharedFileList: ");
}

void CFileCleanup::CWriteUnsharedFileList() {
    WriteFileList(UnsharedFiles, "Writing out list of unshared files to %s\n\n", "CWriteUnsharedFileList: ");
}

void CFileCleanup::CLogDeletedFile(const std::string& fullPath) {
    if (DeletedHeaderPending) {
        log.WriteToLog(ToolLog::FormatMessageId(8));
        DeletedHeaderPending = false;
    }
    log.WriteToLog(fullPath + "\n");
}

namespace {

// A file name of a package row names one file in its folder: no folder part,
// no drive, no wildcard, not "." or "..". Anything else could reach a file
// outside the folder the package gives it.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("\\/:*?") == std::string::npos;
}

const char kNotPlainText[] =
    "The file name of the package names more than one file; the file is left alone.\n";

}  // namespace

void CFileCleanup::CRemoveUnsharedFiles() {
    for (const auto& entry : UnsharedFiles) {
        const CFileObject& file = entry.second;
        std::string dir = CResolveFileInstallLocation(file.directoryKey);
        if (!PackageOpen) break;
        if (dir.empty()) continue;
        dir = filecleanup::WithBackslash(dir);
        const std::string fullPath = dir + file.fileName;
        if (!IsPlainFileName(file.fileName)) {
            log.LogError(kNotPlainText, "CRemoveUnsharedFiles: ", fullPath);
            continue;
        }
        {
            plat::FindData data;
            plat::UniqueFind find(plat::Sys().FindFirstFileA(fullPath.c_str(), data));
            if (!find) continue;
        }
        if (CCheckFileBeforeDelete(fullPath)) continue;
        if (plat::Sys().DeleteFileA(fullPath.c_str())) {
            CLogDeletedFile(fullPath);
        } else {
            const std::uint32_t code = plat::Sys().GetLastError();
            log.WriteToConsole(ToolLog::FormatMessageId(40, {file.fileName}));
            log.LogError(
                ToolLog::FormatMessageId(11, {dir, file.fileName, ToolLog::GetSystemErrorText(code)}),
                "CRemoveUnsharedFiles: ", "");
        }
    }

    if (!OtherSuiteProducts) {
        // A package whose INSTALLDIR is a drive root, a system folder or a
        // user folder would otherwise have it emptied here.
        const bool refused = RefuseProtectedFolder(InstallDir, "CRemoveUnsharedFiles: ");
        if (!refused) CRemoveCorvantaFilesAndDirectories(InstallDir);
        if (!InstallDir.empty() && InstallDir.back() == '\\') {
            InstallDir = filecleanup::WithoutTrailingBackslashes(InstallDir);
        }
        if (clean && !refused && !plat::Sys().RemoveDirectoryA(InstallDir.c_str())) {
            const std::uint32_t code = plat::Sys().GetLastError();
            if (code != 0 && code != plat::kErrorDirNotEmpty) {
                log.LogError(ToolLog::GetSystemErrorText(code),
                             "CRemoveUnsharedFiles:", ToolLog::FormatMessageId(12, {InstallDir}));
            }
        }
    }

    if (PackageOpen) packageHandle.reset();
}
