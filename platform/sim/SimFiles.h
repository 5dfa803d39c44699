// The file and directory calls of the simulated machine, with the results and
// error codes of their Windows counterparts. Every call returns a Win32 error
// code (0 on success).
//
// Attributes: the read-only attribute of a file is its owner write bit; a
// folder has FILE_ATTRIBUTE_DIRECTORY; a file with no other attribute shows
// FILE_ATTRIBUTE_NORMAL. Files in use (see SimTextFiles.h) are protected the
// Windows way: deleting them or copying over them fails with 32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace plat {

class SimPaths;

class SimFiles {
public:
    explicit SimFiles(const SimPaths& paths) : paths_(paths) {}

    std::uint32_t Copy(const std::string& existing, const std::string& target, bool failIfExists);
    std::uint32_t Delete(const std::string& path);
    std::uint32_t RemoveDirectory(const std::string& path);
    std::uint32_t CreateDirectory(const std::string& path);
    // Creates the folder and its missing parents (183 when it exists).
    std::uint32_t CreateDirectoryTree(const std::string& path);
    std::uint32_t GetAttributes(const std::string& path, std::uint32_t& attributes);
    std::uint32_t SetAttributes(const std::string& path, std::uint32_t attributes);
    // All entries matching a FindFirstFileA pattern, in enumeration order:
    // "." and ".." first (not in a drive root), then by name case-insensitively.
    std::uint32_t Find(const std::string& pattern, std::vector<FindData>& entries);

private:
    const SimPaths& paths_;
};

// The error of a path that does not exist: 2 when its folder exists, 3 when not.
std::uint32_t MissingPathError(const std::string& hostPath);
// Windows attributes of a host file (kInvalidFileAttributes when it is missing).
std::uint32_t HostAttributes(const std::string& hostPath, std::uint64_t* size = nullptr);
// Win32 error code of an errno value.
std::uint32_t ErrnoToWin32(int error);

}  // namespace plat
