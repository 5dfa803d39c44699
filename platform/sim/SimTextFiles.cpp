#include "platform/sim/SimTextFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sim/SimFiles.h"
#include "platform/sim/SimPaths.h"

namespace plat {

SimTextFile::~SimTextFile() {
    Close();
}

std::uint32_t SimTextFile::Open(const SimPaths& paths, const std::string& path, TextOpen mode,
                                bool exclusive) {
    Close();
    std::string host, full;
    std::uint32_t error = 0;
    if (!paths.ToHost(path, host, full, error)) return error;

    struct stat st;
    const bool exists = ::stat(host.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    int flags = O_CLOEXEC;
    if (mode == TextOpen::Read) {
        if (!exists) return MissingPathError(host);
        flags |= O_RDONLY;
    } else {
        if (exists && (st.st_mode & S_IWUSR) == 0) return kErrorAccessDenied;
        if (!exists && MissingPathError(host) == kErrorPathNotFound) return kErrorPathNotFound;
        flags |= O_WRONLY | O_CREAT;
        if (mode == TextOpen::Append) flags |= O_APPEND;
    }
    const int fd = ::open(host.c_str(), flags, 0666);
    if (fd < 0) return ErrnoToWin32(errno);
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        return e == EWOULDBLOCK ? kErrorSharingViolation : ErrnoToWin32(e);
    }
    fd_ = fd;
    mode_ = mode;
    path_ = full;
    bufferPos_ = bufferEnd_ = 0;
    return kErrorSuccess;
}

std::uint32_t SimTextFile::Write(const std::string& text) {
    if (fd_ < 0) return kErrorInvalidHandle;
    if (mode_ == TextOpen::Read) return kErrorAccessDenied;
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    const char* data = out.data();
    std::size_t left = out.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrnoToWin32(errno);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

std::uint32_t SimTextFile::SeekToEnd() {
    if (fd_ < 0) return kErrorInvalidHandle;
    if (::lseek(fd_, 0, SEEK_END) < 0) return ErrnoToWin32(errno);
    return kErrorSuccess;
}

bool SimTextFile::NextByte(char& c) {
    if (bufferPos_ == bufferEnd_) {
        ssize_t n;
        do {
            n = ::read(fd_, buffer_, sizeof buffer_);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) {
            error_ = n == 0 ? kErrorHandleEof : ErrnoToWin32(errno);
            return false;
        }
        bufferPos_ = 0;
        bufferEnd_ = static_cast<std::size_t>(n);
    }
    c = buffer_[bufferPos_++];
    return true;
}

std::uint32_t SimTextFile::ReadLine(std::string& line, std::size_t maxChars) {
    line.clear();
    if (fd_ < 0) return kErrorInvalidHandle;
    if (mode_ != TextOpen::Read) return kErrorAccessDenied;
    bool any = false;
    bool pendingCr = false;  // a CR whose meaning depends on the next byte
    auto keep = [&line, maxChars](char c) {
        if (line.size() < maxChars) line += c;
    };
    char c;
    while (NextByte(c)) {
        any = true;
        if (c == '\n') return kErrorSuccess;  // CR LF or a bare LF ends the line
        if (pendingCr) keep('\r');
        pendingCr = (c == '\r');
        if (!pendingCr) keep(c);
    }
    if (error_ != kErrorHandleEof) return error_;
    if (pendingCr) keep('\r');
    return any ? kErrorSuccess : kErrorHandleEof;
}

std::uint32_t SimTextFile::Close() {
    if (fd_ < 0) return kErrorInvalidHandle;
    const int result = ::close(fd_);  // releases the lock
    fd_ = -1;
    return result == 0 ? kErrorSuccess : ErrnoToWin32(errno);
}

}  // namespace plat
