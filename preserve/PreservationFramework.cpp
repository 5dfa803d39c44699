// The preserve directory and the copy operations every preservation set is
// built from. Results of the file-system calls are deliberately not examined:
// a file that cannot be copied is simply not preserved, and the run goes on.
#include <cctype>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Platform.h"
#include "preserve/PreservePaths.h"
#include "products/CCorvantaProducts.h"

namespace preserve {

std::string PreserveRoot(const std::string& preservePath) {
    return preservePath + "\\Corvanta.Preserve";
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string result;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type hit = text.find(from, start);
        if (hit == std::string::npos) break;
        result.append(text, start, hit - start);
        result += to;
        start = hit + from.size();
    }
    result.append(text, start, std::string::npos);
    return result;
}

std::string FolderWithSeparator(const std::string& path) {
    const std::string::size_type slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::string::size_type i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace preserve

namespace {

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

bool IsDirectory(const plat::FindData& data) {
    return (data.attributes & plat::kFileAttributeDirectory) != 0;
}

// Copies the tree below source into destination without replacing existing
// files. `skip` is the top destination of the whole copy: when it lies inside
// the source tree, walking into it would copy the copy again and again until
// the paths grow too long, so that one directory is left out.
void CopyTree(const std::string& source, const std::string& destination, const std::string& skip) {
    plat::Platform& sys = plat::Sys();
    sys.CreateDirectoryA(destination.c_str());
    plat::FindData data;
    plat::UniqueFind find(sys.FindFirstFileA((source + "\\*.*").c_str(), data));
    if (!find) return;
    do {
        if (IsDotEntry(data.fileName)) continue;
        const std::string entry = source + "\\" + data.fileName;
        const std::string target = destination + "\\" + data.fileName;
        if (IsDirectory(data)) {
            if (preserve::SamePath(entry, skip)) continue;
            sys.CreateDirectoryA(target.c_str());
            CopyTree(entry, target, skip);
        } else {
            sys.CopyFileA(entry.c_str(), target.c_str(), true);
        }
    } while (sys.FindNextFileA(find.get(), data));
}

}  // namespace

void CCorvantaProducts::SetPreservePath(const std::string& path) {
    preservePath = path;
}

void CCorvantaProducts::BackupFile(const std::string& path) {
    const std::string root = preserve::PreserveRoot(preservePath);
    const std::string destinationDir =
        preserve::ReplaceAll(preserve::FolderWithSeparator(path), installLocation, root);
    const std::string destinationFile = preserve::ReplaceAll(path, installLocation, root);
    if (debug) {
        log.WriteToLog(
            FormatText("Backing up file: %s\nBacking up file to: %s\n\n", {path, destinationFile}));
    }
    plat::Sys().SHCreateDirectoryExA(destinationDir.c_str());
    plat::Sys().CopyFileA(path.c_str(), destinationFile.c_str(), true);
}

void CCorvantaProducts::CopyMatchingFiles(const std::string& sourceRel, const std::string& destRel,
                                          const std::string& pattern) {
    plat::Platform& sys = plat::Sys();
    const std::string sourceDir = installLocation + sourceRel;
    const std::string destinationDir = preserve::PreserveRoot(preservePath) + destRel;
    sys.SHCreateDirectoryExA(destinationDir.c_str());
    plat::FindData data;
    plat::UniqueFind find(sys.FindFirstFileA((sourceDir + "\\" + pattern).c_str(), data));
    if (!find) return;
    do {
        if (IsDotEntry(data.fileName) || IsDirectory(data)) continue;
        const std::string entry = sourceDir + "\\" + data.fileName;
        const std::string target = destinationDir + "\\" + data.fileName;
        sys.CopyFileA(entry.c_str(), target.c_str(), false);
    } while (sys.FindNextFileA(find.get(), data));
}

void CCorvantaProducts::CopyDirectoryTree(const std::string& source, const std::string& destination) {
    CopyTree(source, destination, destination);
}

void CCorvantaProducts::BackupDirectory(const std::string& source, const std::string& destination) {
    if (debug) {
        log.WriteToLog(
            FormatText("Backing up directory %s\nDestination to preserve to: %s\n\n", {source, destination}));
    }
    plat::Sys().SHCreateDirectoryExA(destination.c_str());
    CopyDirectoryTree(source, destination);
}

void CCorvantaProducts::FindFilesByName(std::vector<std::string>& found, const std::string& directory,
                                        const std::vector<std::string>& names) {
    plat::Platform& sys = plat::Sys();
    plat::FindData data;
    plat::UniqueFind find(sys.FindFirstFileA((directory + "\\*.*").c_str(), data));
    if (!find) return;
    do {
        if (IsDotEntry(data.fileName)) continue;
        const std::string entry = directory + "\\" + data.fileName;
        if (IsDirectory(data)) {
            FindFilesByName(found, entry, names);
            continue;
        }
        // A name counts only after the first character of the path, and once
        // per name: a path holding two of the names is listed twice.
        for (const std::string& name : names) {
            const std::string::size_type at = entry.find(name);
            if (at != std::string::npos && at > 0) {
                found.push_back(entry);
                log.WriteToLog(FormatText("Found file %s\n", {entry}));
            }
        }
    } while (sys.FindNextFileA(find.get(), data));
}

void CCorvantaProducts::BackupFoundFiles(const std::vector<std::string>& names,
                                         const std::string& directory) {
    std::vector<std::string> found;
    FindFilesByName(found, directory, names);
    log.WriteToLog(FormatText("Backing up individual files\nNumber of FilePaths is %d\n",
                              {static_cast<long>(found.size())}));
    for (const std::string& path : found) BackupFile(path);
}
