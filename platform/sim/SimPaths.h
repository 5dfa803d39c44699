// Windows paths of the simulated machine and where they live on the host.
//
// drive_c/ under the prefix is C:, any drive_<letter>/ is that drive and Z:
// is the host root. Names resolve case-insensitively against what is on disk
// and missing names are taken as written, so new files keep their case.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plat {

// Case-insensitive helpers shared by the kernel parts (code page 1252
// letters fold as the file system folds them; ToLowerAscii only ASCII).
std::string ToLowerAscii(const std::string& text);
bool EqualsNoCase(const std::string& a, const std::string& b);
bool LessNoCase(const std::string& a, const std::string& b);

// Names of the machine are code page 1252 (the ANSI code page); on the host
// they are UTF-8, as under Wine. Characters the code page lacks become '?'.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);

// '*' matches any run, '?' one character, compared case-insensitively.
bool WildcardMatch(const std::string& pattern, const std::string& text);
// The matching of directory enumeration patterns: WildcardMatch plus the
// Windows extension rules ("*.*" and "name.*" also match names without a dot,
// a trailing '.' matches names without an extension).
bool FindPatternMatch(const std::string& pattern, const std::string& name);

class SimPaths {
public:
    explicit SimPaths(const std::string& prefixHostPath);

    // The Windows form of the current directory: the host working directory
    // when it lies on a drive of the machine, otherwise C:\ .
    std::string CurrentDirectory() const;

    // Makes a Windows path absolute and normal ("C:\a\b": backslashes, no
    // "." or "..", no trailing separator except at a drive root). Fails with
    // 206 (too long), 123 (bad character in a name) or 3 (no such drive / bad form).
    bool Normalize(const std::string& windowsPath, std::string& full, std::uint32_t& error) const;

    // Normalize, then find the host path (see the header comment).
    bool ToHost(const std::string& windowsPath, std::string& hostPath, std::uint32_t& error) const;
    bool ToHost(const std::string& windowsPath, std::string& hostPath, std::string& full,
                std::uint32_t& error) const;

    // The Windows path of a host path: X:\... below a drive folder, Z:\... otherwise.
    std::string ToWindows(const std::string& hostPath) const;

    // The host folder of a drive letter ("" when the machine has no such drive).
    std::string DriveFolder(char letter) const;

    const std::string& Prefix() const { return prefix_; }

private:
    // The entry of a host folder whose name equals name case-insensitively
    // ("" if none), from the folder's listing kept while the folder is unchanged.
    std::string FindNoCase(const std::string& folder, const std::string& name) const;

    // A folder's names by their folded form, with what tells whether the
    // folder changed since it was read.
    struct Listing {
        dev_t device = 0;
        ino_t inode = 0;
        struct timespec modified = {};
        std::map<std::string, std::string> names;  // folded name -> lowest name on disk
    };

    std::string prefix_;      // as given, without a trailing '/'
    std::string realPrefix_;  // the same with links resolved (for ToWindows)
    mutable std::map<std::string, Listing> listings_;
};

// Splits "C:\a\b\c" into its parent "C:\a\b" and its name "c" (the parent of
// a drive root is itself, with an empty name).
void SplitWindowsPath(const std::string& full, std::string& parent, std::string& name);

}  // namespace plat
