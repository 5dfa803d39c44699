#include "filecleanup/ProtectedFolders.h"

#include <cstdint>
#include <vector>

#include "filecleanup/PathText.h"
#include "platform/Handles.h"
#include "platform/Platform.h"

namespace {

const char kProfileListKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The Known Folders of a profile, as the system lays them out.
const char* const kProfileFolders[] = {
    "Desktop",          "Documents",
    "Downloads",        "Music",
    "Pictures",         "Videos",
    "AppData\\Roaming", "AppData\\Local",
    "Favorites",        "AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
};

// Replaces every %NAME% by the value of the environment variable; a name
// that is not set is left as written.
std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    std::string::size_type pos = 0;
    while (pos < text.size()) {
        const std::string::size_type open = text.find('%', pos);
        if (open == std::string::npos) break;
        const std::string::size_type close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        out += text.substr(pos, open - pos);
        std::string value;
        const std::string name = text.substr(open + 1, close - open - 1);
        if (!name.empty() && filecleanup::ReadEnvironment(name.c_str(), value)) {
            out += value;
        } else {
            out += text.substr(open, close - open + 1);
        }
        pos = close + 1;
    }
    out += text.substr(pos);
    return out;
}

// A string value (REG_SZ or REG_EXPAND_SZ, expanded) of an open key.
bool QueryPath(plat::RegKey key, const char* name, std::string& value) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (plat::Sys().RegQueryValueExA(key, name, &type, nullptr, &size) != 0) return false;
    if (type != plat::kRegSz && type != plat::kRegExpandSz) return false;
    std::vector<std::uint8_t> data(size + 1, 0);
    if (plat::Sys().RegQueryValueExA(key, name, &type, data.data(), &size) != 0) return false;
    value.assign(reinterpret_cast<const char*>(data.data()));
    value = ExpandEnvironment(value);
    return true;
}

}  // namespace

std::string CProtectedFolders::Normalize(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '/') c = '\\';
    }
    // Device and long-path prefixes name the same folders.
    if (p.compare(0, 4, "\\\\?\\") == 0 || p.compare(0, 4, "\\\\.\\") == 0) {
        p = p.substr(4);
        if (filecleanup::LowerCase(p.substr(0, 4)) == "unc\\") p = "\\\\" + p.substr(4);
    }
    p = filecleanup::LowerCase(p);

    std::string root;
    std::string::size_type rest = 0;
    if (p.size() >= 2 && p[1] == ':' && ((p[0] >= 'a' && p[0] <= 'z'))) {
        if (p.size() > 2 && p[2] != '\\') return std::string();  // "c:foo" is relative
        root = p.substr(0, 2);
        rest = 2;
    } else if (p.compare(0, 2, "\\\\") == 0) {
        // \\server\share
        const std::string::size_type server = p.find('\\', 2);
        if (server == std::string::npos || server == 2) return std::string();
        std::string::size_type share = p.find('\\', server + 1);
        if (share == std::string::npos) share = p.size();
        if (share == server + 1) return std::string();
        root = p.substr(0, share);
        rest = share;
    } else if (!p.empty() && p[0] == '\\') {
        root = "\\";
        rest = 0;
    } else {
        return std::string();
    }

    std::vector<std::string> names;
    std::string::size_type pos = rest;
    while (pos <= p.size()) {
        std::string::size_type end = p.find('\\', pos);
        if (end == std::string::npos) end = p.size();
        std::string name = p.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
        if (name.empty()) continue;
        names.push_back(name);
    }
    std::string out = root == "\\" ? std::string() : root;
    for (const std::string& name : names) out += "\\" + name;
    return out.empty() ? std::string("\\") : out;
}

void CProtectedFolders::Add(const std::string& folder) {
    const std::string n = Normalize(folder);
    if (n.empty()) return;
    for (const std::string& f : folders_) {
        if (f == n) return;
    }
    folders_.push_back(n);
}

bool CProtectedFolders::IsProtected(const std::string& folder) const {
    const std::string n = Normalize(folder);
    if (n.empty()) return true;
    // A root: "x:", "\\server\share" or "\".
    if (n == "\\" || (n.size() == 2 && n[1] == ':')) return true;
    if (n.compare(0, 2, "\\\\") == 0 && n.find('\\', n.find('\\', 2) + 1) == std::string::npos) return true;
    for (const std::string& f : folders_) {
        if (f == n) return true;
        if (f.size() > n.size() && f.compare(0, n.size(), n) == 0 && f[n.size()] == '\\') return true;
    }
    return false;
}

void CProtectedFolders::AddEnvironment(const char* name) {
    std::string value;
    if (filecleanup::ReadEnvironment(name, value)) Add(value);
}

void CProtectedFolders::AddProfile(const std::string& profile) {
    if (Normalize(profile).empty()) return;
    Add(profile);
    const std::string base = filecleanup::WithBackslash(profile);
    for (const char* sub : kProfileFolders) Add(base + sub);
}

void CProtectedFolders::LoadProfileList() {
    plat::UniqueRegKey list;
    if (plat::Sys().RegOpenKeyExA(plat::kHkeyLocalMachine, kProfileListKey, 0, plat::kKeyRead, list.put()) !=
        0) {
        return;
    }
    // The profiles folders: the one the list names, and the folder of each profile.
    std::vector<std::string> profileFolders;
    std::string value;
    if (QueryPath(list.get(), "ProfilesDirectory", value)) profileFolders.push_back(value);
    if (QueryPath(list.get(), "ProgramData", value)) Add(value);
    if (QueryPath(list.get(), "Public", value)) AddProfile(value);
    if (QueryPath(list.get(), "Default", value)) AddProfile(value);
    for (std::uint32_t index = 0;; ++index) {
        char name[260] = {0};
        std::uint32_t size = sizeof(name);
        if (plat::Sys().RegEnumKeyExA(list.get(), index, name, &size) != 0) break;
        plat::UniqueRegKey profile;
        if (plat::Sys().RegOpenKeyExA(list.get(), name, 0, plat::kKeyRead, profile.put()) != 0) continue;
        if (!QueryPath(profile.get(), "ProfileImagePath", value)) continue;
        AddProfile(value);
        const std::string folder = filecleanup::WithoutTrailingBackslashes(value);
        const std::string::size_type slash = folder.find_last_of("\\/");
        if (slash != std::string::npos) profileFolders.push_back(folder.substr(0, slash));
    }
    // Every profiles folder holds the Public and the Default profile.
    for (const std::string& folder : profileFolders) {
        Add(folder);
        AddProfile(folder + "\\Public");
        AddProfile(folder + "\\Default");
    }
}

void CProtectedFolders::LoadShellFolders(const char* key) {
    plat::UniqueRegKey folders;
    if (plat::Sys().RegOpenKeyExA(plat::kHkeyCurrentUser, key, 0, plat::kKeyRead, folders.put()) != 0) return;
    for (std::uint32_t index = 0;; ++index) {
        char name[1000] = {0};
        std::uint32_t size = sizeof(name);
        if (plat::Sys().RegEnumValueA(folders.get(), index, name, &size, nullptr, nullptr, nullptr) != 0)
            break;
        std::string value;
        if (QueryPath(folders.get(), name, value)) Add(value);
    }
}

void CProtectedFolders::Load() {
    folders_.clear();
    // The Windows folder, Program Files and the common files folders.
    for (const char* name : {"WINDIR", "SystemRoot", "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432",
                             "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432"}) {
        AddEnvironment(name);
    }
    // The profiles of every user, ProgramData and the Public profile.
    LoadProfileList();
    for (const char* name : {"ProgramData", "ALLUSERSPROFILE", "PUBLIC"}) AddEnvironment(name);
    // The current user: the profile and the Known Folders wherever they were moved.
    std::string profile;
    if (filecleanup::ReadEnvironment("USERPROFILE", profile)) AddProfile(profile);
    for (const char* name : {"APPDATA", "LOCALAPPDATA"}) AddEnvironment(name);
    LoadShellFolders(kShellFoldersKey);
    LoadShellFolders(kUserShellFoldersKey);
}
