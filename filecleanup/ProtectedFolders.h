// The folders no sweep of the file cleanup may empty or remove: drive roots,
// the Windows folder, the Program Files and common files folders, the
// profiles folder, every user profile with its Known Folders, ProgramData and
// the Public profile. A folder is protected when it is one of them or holds
// one of them.
//
// The list comes from the machine itself: the environment of the run, the
// profile list in HKEY_LOCAL_MACHINE and the current user's shell folders.
#pragma once

#include <string>
#include <vector>

class CProtectedFolders {
public:
    // Collects the folders of the machine the backend runs on.
    void Load();
    // Adds one folder (tests and callers with a folder of their own).
    void Add(const std::string& folder);

    // True when folder is a drive root, is one of the collected folders or
    // holds one of them. A folder that is not an absolute path counts as
    // protected too: a sweep never works on a path it cannot place.
    bool IsProtected(const std::string& folder) const;

    // The folders collected, normalised (lower case, "\\" separators, no
    // trailing backslash).
    const std::vector<std::string>& Folders() const { return folders_; }

    // Normalised form of an absolute path: lower case, "/" taken as "\\",
    // "." and ".." resolved, repeated and trailing separators and the
    // trailing dots and blanks of each name dropped (the system ignores
    // them). The root is "x:", "\\\\server\\share" or "\\" (root of the
    // current drive). Empty when the path is not absolute.
    static std::string Normalize(const std::string& path);

private:
    void AddEnvironment(const char* name);
    void AddProfile(const std::string& profile);
    void LoadProfileList();
    void LoadShellFolders(const char* key);

    std::vector<std::string> folders_;
};
