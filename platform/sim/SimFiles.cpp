#include "platform/sim/SimFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/sim/SimPaths.h"

namespace plat {
namespace {

constexpr std::uint32_t kBadPathname = 161;
constexpr std::size_t kMaxDirectoryPath = 247;  // CreateDirectoryA leaves room for an 8.3 name

// An owned host file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

std::string HostParent(const std::string& hostPath) {
    const std::size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return hostPath.substr(0, slash);
}

bool IsDirectory(const std::string& hostPath) {
    struct stat st;
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A lock that tells whether some opener holds the file the way Windows
// sharing would forbid (see SimTextFiles.cpp: openers hold flock locks).
std::uint32_t CheckNotInUse(int fd, bool forWriting) {
    if (::flock(fd, (forWriting ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? kErrorSharingViolation : ErrnoToWin32(errno);
    }
    return kErrorSuccess;
}

bool IsDriveRoot(const std::string& full) {
    return full.size() == 3 && full[1] == ':' && full[2] == '\\';
}

}  // namespace

std::uint32_t ErrnoToWin32(int error) {
    switch (error) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kErrorAccessDenied;
        case EEXIST:
            return kErrorAlreadyExists;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case EWOULDBLOCK:
            return kErrorSharingViolation;
        case EBADF:
            return kErrorInvalidHandle;
        default:
            return kErrorInvalidParameter;
    }
}

std::uint32_t MissingPathError(const std::string& hostPath) {
    return IsDirectory(HostParent(hostPath)) ? kErrorFileNotFound : kErrorPathNotFound;
}

std::uint32_t HostAttributes(const std::string& hostPath, std::uint64_t* size) {
    struct stat st;
    if (::stat(hostPath.c_str(), &st) != 0) return kInvalidFileAttributes;
    if (size != nullptr) *size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    if (S_ISDIR(st.st_mode)) return kFileAttributeDirectory;
    std::uint32_t attributes = 0;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kFileAttributeReadonly;
    return attributes == 0 ? kFileAttributeNormal : attributes;
}

std::uint32_t SimFiles::Copy(const std::string& existing, const std::string& target, bool failIfExists) {
    std::string source, sourceFull, dest, destFull;
    std::uint32_t error = 0;
    if (!paths_.ToHost(existing, source, sourceFull, error)) return error;
    if (!paths_.ToHost(target, dest, destFull, error)) return error;

    struct stat from;
    if (::stat(source.c_str(), &from) != 0) return MissingPathError(source);
    if (S_ISDIR(from.st_mode)) return kErrorAccessDenied;

    struct stat to;
    const bool targetExists = ::stat(dest.c_str(), &to) == 0;
    if (targetExists) {
        if (S_ISDIR(to.st_mode)) return kErrorAccessDenied;
        if (failIfExists) return kErrorFileExists;
        if (to.st_dev == from.st_dev && to.st_ino == from.st_ino) return kErrorSharingViolation;
        if ((to.st_mode & S_IWUSR) == 0) return kErrorAccessDenied;
    } else if (!IsDirectory(HostParent(dest))) {
        return kErrorPathNotFound;
    }

    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return ErrnoToWin32(errno);
    if ((error = CheckNotInUse(in.get(), false)) != 0) return error;

    Fd out(::open(dest.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (!out) return ErrnoToWin32(errno);
    if ((error = CheckNotInUse(out.get(), true)) != 0) return error;
    // Truncate only what has content: an empty new file needs none (and ext4
    // would flush a truncated file on every later close).
    struct stat opened;
    if (::fstat(out.get(), &opened) == 0 && opened.st_size > 0 && ::ftruncate(out.get(), 0) != 0) {
        return ErrnoToWin32(errno);
    }

    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || !WriteAll(out.get(), buffer, static_cast<std::size_t>(n))) {
            error = ErrnoToWin32(errno);
            if (!targetExists) ::unlink(dest.c_str());
            return error;
        }
        if (n == 0) break;
    }
    // The copy gets the source's attributes and last-write time, as on Windows.
    ::fchmod(out.get(), from.st_mode & 07777);
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    ::futimens(out.get(), times);
    return kErrorSuccess;
}

std::uint32_t SimFiles::Delete(const std::string& path) {
    std::string host;
    std::uint32_t error = 0;
    if (!paths_.ToHost(path, host, error)) return error;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return MissingPathError(host);
    if (S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    if ((st.st_mode & S_IWUSR) == 0) return kErrorAccessDenied;
    Fd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd && (error = CheckNotInUse(fd.get(), true)) != 0) return error;
    if (::unlink(host.c_str()) != 0) return ErrnoToWin32(errno);
    return kErrorSuccess;
}

std::uint32_t SimFiles::RemoveDirectory(const std::string& path) {
    std::string host, full;
    std::uint32_t error = 0;
    if (!paths_.ToHost(path, host, full, error)) return error;
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) return MissingPathError(host);
    if (!S_ISDIR(st.st_mode)) return kErrorDirectory;
    if (IsDriveRoot(full)) return kErrorAccessDenied;
    if (::rmdir(host.c_str()) != 0) {
        return (errno == ENOTEMPTY || errno == EEXIST) ? kErrorDirNotEmpty : ErrnoToWin32(errno);
    }
    return kErrorSuccess;
}

std::uint32_t SimFiles::CreateDirectory(const std::string& path) {
    std::string host, full;
    std::uint32_t error = 0;
    if (!paths_.ToHost(path, host, full, error)) return error;
    if (full.size() > kMaxDirectoryPath) return kErrorFilenameExcedRange;
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0) return kErrorAlreadyExists;
    if (!IsDirectory(HostParent(host))) return kErrorPathNotFound;
    if (::mkdir(host.c_str(), 0777) != 0) return errno == ENOENT ? kErrorPathNotFound : ErrnoToWin32(errno);
    return kErrorSuccess;
}

std::uint32_t SimFiles::CreateDirectoryTree(const std::string& path) {
    // The shell call wants a full path: "X:\..." or "\..." on the current drive.
    std::string given = path;
    std::replace(given.begin(), given.end(), '/', '\\');
    const bool full =
        (given.size() >= 3 && given[1] == ':' && given[2] == '\\') || (!given.empty() && given[0] == '\\');
    if (!full) return kBadPathname;

    std::string normal;
    std::uint32_t error = 0;
    if (!paths_.Normalize(given, normal, error)) return error;
    if (normal.size() > kMaxDirectoryPath) return kErrorFilenameExcedRange;
    std::string host;
    if (!paths_.ToHost(normal, host, error)) return error;
    struct stat st;
    if (::stat(host.c_str(), &st) == 0) return kErrorAlreadyExists;

    // Create each missing folder from the root down.
    std::size_t pos = 3;
    while (pos <= normal.size()) {
        std::size_t end = normal.find('\\', pos);
        if (end == std::string::npos) end = normal.size();
        const std::string step = normal.substr(0, end);
        pos = end + 1;
        std::string stepHost;
        if (!paths_.ToHost(step, stepHost, error)) return error;
        if (::stat(stepHost.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return kErrorPathNotFound;
            continue;
        }
        if (::mkdir(stepHost.c_str(), 0777) != 0 && errno != EEXIST) return ErrnoToWin32(errno);
    }
    return kErrorSuccess;
}

std::uint32_t SimFiles::GetAttributes(const std::string& path, std::uint32_t& attributes) {
    std::string host;
    std::uint32_t error = 0;
    attributes = kInvalidFileAttributes;
    if (!paths_.ToHost(path, host, error)) return error;
    attributes = HostAttributes(host);
    return attributes == kInvalidFileAttributes ? MissingPathError(host) : kErrorSuccess;
}

std::uint32_t SimFiles::SetAttributes(const std::string& path, std::uint32_t attributes) {
    std::string host;
    std::uint32_t error = 0;
    if (!paths_.ToHost(path, host, error)) return error;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return MissingPathError(host);
    if (S_ISDIR(st.st_mode)) return kErrorSuccess;  // a folder's read-only bit is not kept
    mode_t mode = st.st_mode & 07777;
    if ((attributes & kFileAttributeReadonly) != 0) {
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
        mode |= S_IWUSR;
    }
    if (::chmod(host.c_str(), mode) != 0) return ErrnoToWin32(errno);
    return kErrorSuccess;
}

std::uint32_t SimFiles::Find(const std::string& pattern, std::vector<FindData>& entries) {
    entries.clear();
    std::string given = pattern;
    std::replace(given.begin(), given.end(), '/', '\\');
    std::string folder, name;
    const std::size_t slash = given.find_last_of('\\');
    if (slash != std::string::npos) {
        folder = given.substr(0, slash + 1);
        name = given.substr(slash + 1);
    } else if (given.size() >= 2 && given[1] == ':') {
        folder = given.substr(0, 2);
        name = given.substr(2);
    } else {
        folder = ".";
        name = given;
    }
    if (name.empty()) return kErrorFileNotFound;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|') return kErrorInvalidName;
    }

    std::string host, full;
    std::uint32_t error = 0;
    if (!paths_.ToHost(folder, host, full, error)) return error;
    if (!IsDirectory(host)) return kErrorPathNotFound;

    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(host.c_str()), ::closedir);
    if (!dir) return ErrnoToWin32(errno);
    std::vector<std::pair<std::string, std::string>> names;  // Windows name, host name
    while (dirent* e = ::readdir(dir.get())) {
        const std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        const std::string windowsName = Utf8ToAnsi(entry);
        if (FindPatternMatch(name, windowsName)) names.emplace_back(windowsName, entry);
    }
    std::sort(names.begin(), names.end(),
              [](const std::pair<std::string, std::string>& a, const std::pair<std::string, std::string>& b) {
                  return LessNoCase(a.first, b.first);
              });

    if (!IsDriveRoot(full)) {
        for (const char* dots : {".", ".."}) {
            if (FindPatternMatch(name, dots)) {
                FindData d;
                d.attributes = kFileAttributeDirectory;
                d.fileName = dots;
                entries.push_back(d);
            }
        }
    }
    const std::string base = host == "/" ? "" : host;
    for (const auto& entry : names) {
        FindData d;
        d.attributes = HostAttributes(base + "/" + entry.second, &d.size);
        if (d.attributes == kInvalidFileAttributes) continue;  // a dangling link
        d.fileName = entry.first;
        entries.push_back(d);
    }
    return entries.empty() ? kErrorFileNotFound : kErrorSuccess;
}

}  // namespace plat
