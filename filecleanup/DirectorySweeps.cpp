// The sweeps below the installation directory, and the keep rule every
// removal of the file cleanup asks first.
#include <vector>

#include "app/RunCommand.h"
#include "filecleanup/CFileCleanup.h"
#include "filecleanup/FolderListing.h"
#include "filecleanup/PathText.h"

namespace {

// Product directory words, matched case-sensitively anywhere in the path.
const char* const kProductDirectoryWords[] = {"Vaultline", "Tracklight",    "Specwright",
                                              "Overlook",  "Corvanta Test", "LumoWord"};

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

}  // namespace

bool CFileCleanup::CCheckFileBeforeDelete(const std::string& path) {
    if (debug) log.WriteToLog(FormatText("DEBUG: Checking file %s\n", {path}));
    const std::string lower = filecleanup::LowerCase(path);
    const bool isControl =
        lower.find("vmtrak32.ocx") != std::string::npos || lower.find("bzqlink.dll") != std::string::npos;
    if (lower.find(WinDir) != std::string::npos && !isControl) {
        log.WriteToLog(FormatText("File %s is in WINDIR. Preserving this file.\n", {path}));
        return true;
    }
    if (isControl) {
        const std::string commandLine = FormatText("regsvr32.exe /u /s %s", {lower});
        if (debug) {
            log.WriteToLog(
                FormatText("DEBUG: Preparing to launch regsvr32.exe with the following cmd line:\n%s\n\n",
                           {commandLine}));
        }
        RunCommand(commandLine, log);
    }
    return false;
}

void CFileCleanup::CClearReadOnly(const std::string& path) {
    if (plat::Sys().GetFileAttributesA(path.c_str()) & plat::kFileAttributeReadonly) {
        plat::Sys().SetFileAttributesA(path.c_str(), plat::kFileAttributeNormal);
    }
}

void CFileCleanup::CRemoveCorvantaFilesAndDirectories(const std::string& dir) {
    if (RefuseProtectedFolder(dir, "CRemoveCorvantaFilesAndDirectories: ")) return;
    RemoveBelow(dir);
}

void CFileCleanup::RemoveBelow(const std::string& dir) {
    const std::string d = filecleanup::WithBackslash(dir);
    for (const plat::FindData& entry : filecleanup::ListFolder(d + "*.*")) {
        if (IsDotEntry(entry.fileName)) continue;
        const std::string fullPath = d + entry.fileName;
        if (entry.attributes & plat::kFileAttributeDirectory) {
            RemoveBelow(fullPath);
            if (CCheckFileBeforeDelete(fullPath)) continue;
            if (!plat::Sys().RemoveDirectoryA(fullPath.c_str())) {
                const std::uint32_t code = plat::Sys().GetLastError();
                if (code != 0 && code != plat::kErrorDirNotEmpty) {
                    log.LogError(ToolLog::FormatMessageId(13, {fullPath, ToolLog::GetSystemErrorText(code)}),
                                 "CRemoveCorvantaFilesAndDirectories: ", ToolLog::FormatMessageId(12, {d}));
                }
            }
        } else {
            CClearReadOnly(fullPath);
            if (CCheckFileBeforeDelete(fullPath)) continue;
            if (!plat::Sys().DeleteFileA(fullPath.c_str())) {
                const std::uint32_t code = plat::Sys().GetLastError();
                log.LogError(ToolLog::FormatMessageId(42, {fullPath, ToolLog::GetSystemErrorText(code)}),
                             "CRemoveCorvantaFilesAndDirectories: ", "");
            }
        }
    }
}

void CFileCleanup::CRemoveEmptyDirectories(const std::string& dir) {
    if (RefuseProtectedFolder(dir, "CRemoveEmptyDirectories: ")) return;
    RemoveEmptyBelow(dir);
}

void CFileCleanup::RemoveEmptyBelow(const std::string& dir) {
    const std::string d = filecleanup::WithBackslash(dir);
    for (const plat::FindData& entry : filecleanup::ListFolder(d + "*.*")) {
        if (!(entry.attributes & plat::kFileAttributeDirectory) || IsDotEntry(entry.fileName)) continue;
        const std::string fullPath = d + entry.fileName;
        RemoveEmptyBelow(fullPath);
        if (CCheckFileBeforeDelete(fullPath)) continue;
        if (!plat::Sys().RemoveDirectoryA(fullPath.c_str())) {
            const std::uint32_t code = plat::Sys().GetLastError();
            if (code != 0 && code != plat::kErrorDirNotEmpty) {
                log.LogError(ToolLog::FormatMessageId(13, {fullPath, ToolLog::GetSystemErrorText(code)}),
                             "CRemoveEmptyDirectories: ", ToolLog::FormatMessageId(12, {d}));
            }
        }
    }
}

void CFileCleanup::CCleanupDCProductDirs() {
    if (RefuseProtectedFolder(InstallDir, "CCleanupDCProductDirs: ")) return;
    const std::string d = filecleanup::WithBackslash(InstallDir);
    for (const plat::FindData& entry : filecleanup::ListFolder(d + "*.*")) {
        if (!(entry.attributes & plat::kFileAttributeDirectory) || IsDotEntry(entry.fileName)) continue;
        const std::string fullPath = d + entry.fileName;
        log.WriteToLog(FormatText("Path found in CCleanupDCProductDirs: %s\n\n", {fullPath}));
        for (const char* word : kProductDirectoryWords) {
            if (fullPath.find(word) != std::string::npos) {
                CRemoveCorvantaFilesAndDirectories(fullPath);
                break;
            }
        }
    }
}
