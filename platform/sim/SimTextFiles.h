// Text files of the simulated machine, opened the ways the tool needs.
//
// Every opener holds a flock lock on the host file while it is open: shared
// for an ordinary opening, exclusive for an exclusive one. So an exclusive
// opening fails with 32 while the file is open anywhere, and any opening
// fails with 32 while someone, in any process, has it open exclusively.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace plat {

class SimPaths;

class SimTextFile {
public:
    SimTextFile() = default;
    ~SimTextFile();
    SimTextFile(const SimTextFile&) = delete;
    SimTextFile& operator=(const SimTextFile&) = delete;

    // Returns a Win32 error code.
    std::uint32_t Open(const SimPaths& paths, const std::string& path, TextOpen mode, bool exclusive);
    std::uint32_t Write(const std::string& text);
    std::uint32_t SeekToEnd();
    // 0 with a line, 38 (ERROR_HANDLE_EOF) at the end, another code on a failure.
    std::uint32_t ReadLine(std::string& line, std::size_t maxChars);
    std::uint32_t Close();

    // The full Windows path it was opened with.
    const std::string& Path() const { return path_; }

private:
    // Next byte of the file; false at the end or on a failure (error_ set).
    bool NextByte(char& c);

    int fd_ = -1;
    TextOpen mode_ = TextOpen::Read;
    std::string path_;
    char buffer_[64 * 1024] = {};
    std::size_t bufferPos_ = 0;
    std::size_t bufferEnd_ = 0;
    std::uint32_t error_ = 0;
};

}  // namespace plat
