#include "platform/sim/SimPaths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace plat {
namespace {

constexpr std::size_t kMaxPath = 259;  // MAX_PATH without the terminator
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kInvalidName = 123;
constexpr std::uint32_t kTooLong = 206;
constexpr std::uint32_t kBadNetPath = 53;

char LowerChar(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The upper case of a code page 1252 character, as the file system folds
// names: ASCII letters, the accented letters and the few others that have one.
unsigned char FoldUpper(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<unsigned char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<unsigned char>(u - 32);
    switch (u) {
        case 0x9A:  // s caron
        case 0x9C:  // oe
        case 0x9E:  // z caron
            return static_cast<unsigned char>(u - 0x10);
        case 0xFF:  // y diaeresis
            return 0x9F;
        default:
            return u;
    }
}

// The characters 0x80-0x9F of code page 1252 (0 = unassigned: kept as the
// control character of the same number, as Windows converts them).
const char16_t kHigh1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsForbiddenNameChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32) return true;
    switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '|':
        case '?':
        case '*':
            return true;
        default:
            return false;
    }
}

bool Exists(const std::string& hostPath) {
    struct stat st;
    return ::lstat(hostPath.c_str(), &st) == 0;
}

// The folded form of a host (UTF-8) name, as the file system compares names.
std::string FoldedHostName(const char* hostName) {
    bool ascii = true;
    for (const char* c = hostName; *c && ascii; ++c) ascii = static_cast<unsigned char>(*c) < 0x80;
    std::string name = ascii ? std::string(hostName) : Utf8ToAnsi(hostName);
    for (char& c : name) c = static_cast<char>(FoldUpper(c));
    return name;
}

// A change made within this time of a listing may carry the same time stamp
// as the folder had when it was read (the file system's clock is coarse).
constexpr long kStampGranularityNs = 50 * 1000 * 1000;

bool Before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

std::string HostCwd() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
    return buffer;
}

// Lexically normal absolute host path (no ".", "..", double or trailing '/').
std::string NormalHostPath(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') absolute = HostCwd() + "/" + absolute;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos) end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

// When host lies below root/drive_<x>, sets the Windows path and returns true.
bool DrivePath(const std::string& root, const std::string& host, std::string& windows) {
    // drive_z/ is not a drive: Z: is the host root.
    const std::string lead = root + "/drive_";
    if (root.empty() || host.size() < lead.size() + 1 || host.compare(0, lead.size(), lead) != 0)
        return false;
    const char letter = host[lead.size()];
    if (!std::isalpha(static_cast<unsigned char>(letter)) || LowerChar(letter) == 'z') return false;
    const std::string rest = host.substr(lead.size() + 1);
    if (!rest.empty() && rest[0] != '/') return false;
    windows = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) + ":";
    if (rest.empty()) {
        windows += "\\";
        return true;
    }
    for (char c : rest) windows += (c == '/') ? '\\' : c;
    return true;
}

}  // namespace

std::string SimPaths::FindNoCase(const std::string& folder, const std::string& name) const {
    const std::string path = folder.empty() ? "/" : folder;
    std::string folded = name;
    for (char& c : folded) c = static_cast<char>(FoldUpper(c));
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        listings_.erase(path);
        return "";
    }
    auto cached = listings_.find(path);
    if (cached != listings_.end() && cached->second.device == st.st_dev &&
        cached->second.inode == st.st_ino && cached->second.modified.tv_sec == st.st_mtim.tv_sec &&
        cached->second.modified.tv_nsec == st.st_mtim.tv_nsec) {
        auto it = cached->second.names.find(folded);
        return it == cached->second.names.end() ? std::string() : it->second;
    }
    // Read the folder; keep the listing only when its time stamp is old
    // enough that a later change cannot carry the same one.
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir) return "";
    Listing listing;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.modified = st.st_mtim;
    while (dirent* e = ::readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        std::string& lowest = listing.names[FoldedHostName(e->d_name)];
        // Prefer the lowest name in byte order when several differ only in case.
        if (lowest.empty() || std::string(e->d_name) < lowest) lowest = e->d_name;
    }
    auto it = listing.names.find(folded);
    std::string found = it == listing.names.end() ? std::string() : it->second;
    struct timespec settled = now;
    settled.tv_nsec -= kStampGranularityNs;
    if (settled.tv_nsec < 0) {
        settled.tv_nsec += 1000000000L;
        settled.tv_sec -= 1;
    }
    if (Before(st.st_mtim, settled))
        listings_[path] = std::move(listing);
    else
        listings_.erase(path);
    return found;
}

std::string ToLowerAscii(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = LowerChar(c);
    return out;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldUpper(a[i]) != FoldUpper(b[i])) return false;
    return true;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    // Folded to upper case, as NTFS and the registry order names.
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldUpper(a[i]);
        const unsigned char y = FoldUpper(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::string AnsiToUtf8(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        const auto u = static_cast<unsigned char>(c);
        std::uint32_t cp = u;
        if (u < 0x80) {
            out += c;
            continue;
        }
        if (u < 0xA0 && kHigh1252[u - 0x80] != 0) cp = kHigh1252[u - 0x80];
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto u = static_cast<unsigned char>(utf8[i]);
        if (u < 0x80) {
            out += utf8[i++];
            continue;
        }
        std::size_t length = (u >= 0xF0) ? 4 : (u >= 0xE0) ? 3 : (u >= 0xC0) ? 2 : 1;
        std::uint32_t cp = (length == 4) ? (u & 0x07) : (length == 3) ? (u & 0x0F) : (u & 0x1F);
        bool valid = length > 1 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += '?';  // not UTF-8: no character of the code page
            ++i;
            continue;
        }
        i += length;
        char mapped = '?';
        if (cp >= 0xA0 && cp <= 0xFF) {
            mapped = static_cast<char>(cp);
        } else {
            for (int k = 0; k < 32; ++k) {
                if (kHigh1252[k] == cp || (kHigh1252[k] == 0 && cp == static_cast<std::uint32_t>(0x80 + k))) {
                    mapped = static_cast<char>(0x80 + k);
                    break;
                }
            }
        }
        out += mapped;
    }
    return out;
}

bool WildcardMatch(const std::string& pattern, const std::string& text) {
    std::size_t p = 0, t = 0;
    std::size_t starP = std::string::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || FoldUpper(pattern[p]) == FoldUpper(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FindPatternMatch(const std::string& pattern, const std::string& name) {
    if (WildcardMatch(pattern, name)) return true;
    if (name.find('.') != std::string::npos || name == "." || name == "..") return false;
    const std::size_t n = pattern.size();
    if (n >= 2 && pattern.compare(n - 2, 2, ".*") == 0) return WildcardMatch(pattern.substr(0, n - 2), name);
    if (n >= 1 && pattern[n - 1] == '.') return WildcardMatch(pattern.substr(0, n - 1), name);
    return false;
}

void SplitWindowsPath(const std::string& full, std::string& parent, std::string& name) {
    const std::size_t slash = full.find_last_of('\\');
    if (slash == std::string::npos || slash + 1 == full.size()) {
        parent = full;
        name.clear();
        return;
    }
    name = full.substr(slash + 1);
    parent = full.substr(0, slash);
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
}

SimPaths::SimPaths(const std::string& prefixHostPath) : prefix_(prefixHostPath) {
    while (prefix_.size() > 1 && prefix_.back() == '/') prefix_.pop_back();
    if (!prefix_.empty()) prefix_ = NormalHostPath(prefix_);
}

std::string SimPaths::CurrentDirectory() const {
    const std::string windows = ToWindows(HostCwd());
    return windows[0] == 'Z' ? "C:\\" : windows;
}

std::string SimPaths::DriveFolder(char letter) const {
    const char lower = LowerChar(letter);
    if (!std::isalpha(static_cast<unsigned char>(lower))) return "";
    if (lower == 'z') return "/";
    const std::string exact = prefix_ + "/drive_" + std::string(1, lower);
    if (Exists(exact)) return exact;
    const std::string other = FindNoCase(prefix_, "drive_" + std::string(1, lower));
    if (!other.empty()) return prefix_ + "/" + other;
    return "";
}

bool SimPaths::Normalize(const std::string& windowsPath, std::string& full, std::uint32_t& error) const {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (path.empty()) {
        error = kPathNotFound;
        return false;
    }
    if (path.compare(0, 4, "\\\\?\\") == 0) path = path.substr(4);
    if (path.compare(0, 2, "\\\\") == 0) {
        error = kBadNetPath;
        return false;
    }

    char drive = 0;
    std::string rest;
    std::string base;  // the folder a relative path is taken against ("X:\...")
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            const std::string cwd = CurrentDirectory();
            base = (cwd[0] == drive) ? cwd : std::string(1, drive) + ":\\";
        }
    } else {
        const std::string cwd = CurrentDirectory();
        drive = cwd[0];
        rest = path;
        if (rest[0] != '\\') base = cwd;
    }
    for (char c : rest) {
        if (IsForbiddenNameChar(c)) {
            error = kInvalidName;
            return false;
        }
    }

    std::vector<std::string> parts;
    auto addParts = [&parts](const std::string& text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\\', start);
            if (end == std::string::npos) end = text.size();
            std::string part = text.substr(start, end - start);
            start = end + 1;
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
                continue;
            }
            // Windows drops trailing dots and spaces of a name.
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
            if (!part.empty()) parts.push_back(part);
        }
    };
    if (!base.empty()) addParts(base.substr(2));
    addParts(rest);

    full = std::string(1, drive) + ":";
    if (parts.empty()) full += "\\";
    for (const auto& p : parts) full += "\\" + p;
    if (full.size() > kMaxPath) {
        error = kTooLong;
        return false;
    }
    return true;
}

bool SimPaths::ToHost(const std::string& windowsPath, std::string& hostPath, std::uint32_t& error) const {
    std::string full;
    return ToHost(windowsPath, hostPath, full, error);
}

bool SimPaths::ToHost(const std::string& windowsPath, std::string& hostPath, std::string& full,
                      std::uint32_t& error) const {
    if (!Normalize(windowsPath, full, error)) return false;
    std::string host = DriveFolder(full[0]);
    if (host.empty()) {
        error = kPathNotFound;
        return false;
    }
    if (host == "/") host.clear();
    bool missing = false;
    std::size_t start = 3;
    while (start < full.size()) {
        std::size_t end = full.find('\\', start);
        if (end == std::string::npos) end = full.size();
        const std::string part = full.substr(start, end - start);
        start = end + 1;
        const std::string hostPart = AnsiToUtf8(part);  // host names are UTF-8
        if (!missing) {
            if (Exists(host + "/" + hostPart)) {
                host += "/" + hostPart;
                continue;
            }
            const std::string onDisk = FindNoCase(host, part);
            if (!onDisk.empty()) {
                host += "/" + onDisk;
                continue;
            }
            missing = true;
        }
        host += "/" + hostPart;
    }
    hostPath = host.empty() ? "/" : host;
    return true;
}

std::string SimPaths::ToWindows(const std::string& hostPath) const {
    const std::string host = NormalHostPath(hostPath);
    std::string windows;
    if (DrivePath(prefix_, host, windows)) return Utf8ToAnsi(windows);
    char resolved[PATH_MAX];
    if (::realpath(prefix_.c_str(), resolved) != nullptr && DrivePath(resolved, host, windows)) {
        return Utf8ToAnsi(windows);
    }
    windows = "Z:";
    for (char c : host) windows += (c == '/') ? '\\' : c;
    return Utf8ToAnsi(windows);
}

}  // namespace plat
