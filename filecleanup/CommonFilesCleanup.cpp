// The Visual Studio integration of Vaultline below the common program files
// directory: unregistered, deleted, and its emptied Corvanta folders removed.
#include "app/RunCommand.h"
#include "filecleanup/CFileCleanup.h"
#include "filecleanup/FolderListing.h"
#include "filecleanup/PathText.h"

namespace {

const char* const kVisualStudioKeys[3] = {
    "Software\\Microsoft\\VisualStudio\\7.1",
    "SOFTWARE\\Microsoft\\VisualStudio\\8.0",
    "SOFTWARE\\Microsoft\\VisualStudio\\9.0",
};

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

}  // namespace

void CFileCleanup::CGetCommonProgramFilesDir() {
    std::string value;
    if (!filecleanup::ReadEnvironment("CommonProgramFiles", value)) return;
    CommonFilesDir = filecleanup::WithoutTrailingBackslashes(value);
    if (debug)
        log.WriteToLog(FormatText("DEBUG: Common Program Files directory is %s\n\n", {CommonFilesDir}));
}

void CFileCleanup::CCheckVisualStudioVersions() {
    for (int i = 0; i < 3; ++i) {
        plat::UniqueRegKey key;
        VsPresent[i] = plat::Sys().RegOpenKeyExA(plat::kHkeyLocalMachine, kVisualStudioKeys[i], 0,
                                                 plat::kKeyRead, key.put()) == plat::kErrorSuccess;
    }
}

void CFileCleanup::CCleanupCommonFiles() {
    CCheckVisualStudioVersions();
    if (!VsPresent[0] || !VsPresent[1] || !VsPresent[2]) return;
    CUnregisterVLVSIDlls();
    std::string p = CommonFilesDir + "\\Corvanta\\Vaultline";
    if (debug) log.WriteToLog(FormatText("DEBUG: Removing VL Common Files directory: %s\n\n", {p}));
    CDeleteDirectoryTree(p);
    if (!CPathExists(p)) return;
    if (debug) log.WriteToLog(FormatText("DEBUG: Removing Corvanta Common Files directory: %s\n\n", {p}));
    plat::Sys().RemoveDirectoryA(p.c_str());
    p = CommonFilesDir + "\\Corvanta";
    if (CPathExists(p)) {
        if (debug) log.WriteToLog(FormatText("DEBUG: Removing Corvanta Common Files directory: %s\n\n", {p}));
        plat::Sys().RemoveDirectoryA(p.c_str());
    }
}

void CFileCleanup::CUnregisterVLVSIDlls() {
    const std::string bin = CommonFilesDir + "\\Corvanta\\Vaultline\\VLVSI\\bin\\";
    for (const plat::FindData& entry : filecleanup::ListFolder(bin + "*.dll")) {
        const std::string fullPath = bin + entry.fileName;
        if (debug)
            log.WriteToLog(FormatText("DEBUG: Unregistering VL VS.NET integration DLL: %s\n\n", {fullPath}));
        CUnregisterDll(fullPath);
    }
}

void CFileCleanup::CUnregisterDll(const std::string& path) {
    RunCommand(FormatText("regsvr32 /u /s %s", {path}), log);
}

void CFileCleanup::CDeleteDirectoryTree(const std::string& dir) {
    for (const plat::FindData& entry : filecleanup::ListFolder(dir + "\\*.*")) {
        if (IsDotEntry(entry.fileName)) continue;
        const std::string fullPath = dir + "\\" + entry.fileName;
        if (entry.attributes & plat::kFileAttributeDirectory) {
            CDeleteDirectoryTree(fullPath);
            if (debug) log.WriteToLog(FormatText("DEBUG: VLVSI - Removing directory %s\n\n", {fullPath}));
            plat::Sys().RemoveDirectoryA(fullPath.c_str());
        } else {
            if (debug) log.WriteToLog(FormatText("DEBUG: VLVSI - Deleting file %s\n\n", {fullPath}));
            plat::Sys().DeleteFileA(fullPath.c_str());
        }
    }
    if (debug) log.WriteToLog(FormatText("DEBUG: VLVSI - Removing directory %s\n\n", {dir}));
    plat::Sys().RemoveDirectoryA(dir.c_str());
}

bool CFileCleanup::CPathExists(const std::string& path) {
    for (const plat::FindData& entry : filecleanup::ListFolder(path)) {
        if (!IsDotEntry(entry.fileName)) return true;
    }
    return false;
}
