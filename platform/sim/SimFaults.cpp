#include "platform/sim/SimFaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "platform/sim/SimPaths.h"

namespace plat {
namespace {

// The rules file opened and locked for the life of the object.
class LockedFile {
public:
    LockedFile(const std::string& path, bool write) {
        fd_ = ::open(path.c_str(), (write ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0666);
        if (fd_ >= 0 && ::flock(fd_, write ? LOCK_EX : LOCK_SH) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    bool ok() const { return fd_ >= 0; }

    std::string ReadAll() const {
        std::string text;
        char buffer[4096];
        ::lseek(fd_, 0, SEEK_SET);
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    bool Replace(const std::string& text) {
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return false;
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int fd_ = -1;
};

// One rule a line: operation TAB pattern TAB code TAB times, then TAB skip
// when the rule skips calls.
std::vector<SimFaultRule> ParseRules(const std::string& text) {
    std::vector<SimFaultRule> rules;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        std::vector<std::string> fields;
        std::size_t f = 0;
        while (f <= line.size()) {
            std::size_t tab = line.find('\t', f);
            if (tab == std::string::npos) tab = line.size();
            fields.push_back(line.substr(f, tab - f));
            f = tab + 1;
        }
        if (fields.size() != 4 && fields.size() != 5) continue;
        SimFaultRule rule;
        rule.operation = fields[0];
        rule.pattern = fields[1];
        rule.code = static_cast<std::uint32_t>(std::strtoul(fields[2].c_str(), nullptr, 10));
        rule.times = std::atoi(fields[3].c_str());
        if (fields.size() == 5) rule.skip = std::atoi(fields[4].c_str());
        rules.push_back(rule);
    }
    return rules;
}

std::string FormatRules(const std::vector<SimFaultRule>& rules) {
    std::string text;
    for (const auto& r : rules) {
        text += r.operation + "\t" + r.pattern + "\t" + std::to_string(r.code) + "\t" +
                std::to_string(r.times) + (r.skip > 0 ? "\t" + std::to_string(r.skip) : std::string()) + "\n";
    }
    return text;
}

// The operations of the platform interface a rule can name.
const char* const kOperations[] = {
    "CopyFileA",
    "DeleteFileA",
    "RemoveDirectoryA",
    "CreateDirectoryA",
    "SHCreateDirectoryExA",
    "GetFileAttributesA",
    "SetFileAttributesA",
    "FindFirstFileA",
    "FindNextFileA",
    "FindClose",
    "OpenTextFile",
    "WriteTextFile",
    "SeekTextFileToEnd",
    "ReadTextLine",
    "CloseTextFile",
    "GetEnvironmentVariableA",
    "CreateProcessA",
    "WaitForSingleObject",
    "GetExitCodeProcess",
    "CloseHandle",
    "GetModuleFileNameA",
    "OpenProcessToken",
    "LookupPrivilegeValueA",
    "AdjustTokenPrivileges",
    "ExitWindowsEx",
    "FormatMessageA",
    "MessageBoxA",
    "RegOpenKeyExA",
    "RegCreateKeyExA",
    "RegQueryValueExA",
    "RegSetValueExA",
    "RegQueryInfoKeyA",
    "RegEnumValueA",
    "RegEnumKeyExA",
    "RegDeleteValueA",
    "RegDeleteKeyA",
    "RegCloseKey",
    "MsiEnumProductsA",
    "MsiGetProductInfoA",
    "MsiSetInternalUI",
    "MsiOpenProductA",
    "MsiGetPropertyA",
    "MsiOpenPackageA",
    "MsiDoActionA",
    "MsiGetTargetPathA",
    "MsiOpenDatabaseA",
    "MsiDatabaseOpenViewA",
    "MsiViewExecute",
    "MsiViewFetch",
    "MsiViewClose",
    "MsiCreateRecord",
    "MsiRecordSetStringA",
    "MsiRecordGetStringA",
    "MsiRecordGetInteger",
    "MsiCloseHandle",
    "MsiEnableLogA",
    "MsiInstallProductA",
};

bool Printable(const std::string& text) {
    for (char c : text)
        if (c == '\t' || c == '\n') return false;
    return true;
}

}  // namespace

const std::vector<std::string>& SimFaults::Operations() {
    static const std::vector<std::string> operations(std::begin(kOperations), std::end(kOperations));
    return operations;
}

bool SimFaults::KnownOperation(const std::string& operation) {
    for (const char* known : kOperations)
        if (EqualsNoCase(known, operation)) return true;
    return false;
}

SimFaults::SimFaults(const std::string& prefixHostPath) : file_(prefixHostPath + "/winsim.faults") {}

bool SimFaults::Add(const SimFaultRule& rule) {
    if (!KnownOperation(rule.operation) || !Printable(rule.pattern) || rule.times == 0 || rule.times < -1 ||
        rule.skip < 0) {
        return false;
    }
    LockedFile file(file_, true);
    if (!file.ok()) return false;
    std::vector<SimFaultRule> rules = ParseRules(file.ReadAll());
    rules.push_back(rule);
    return file.Replace(FormatRules(rules));
}

std::vector<SimFaultRule> SimFaults::List() const {
    LockedFile file(file_, false);
    if (!file.ok()) return {};
    return ParseRules(file.ReadAll());
}

bool SimFaults::Clear() {
    struct stat st;
    if (::stat(file_.c_str(), &st) != 0) return errno == ENOENT;
    LockedFile file(file_, true);
    return file.ok() && file.Replace("");
}

bool SimFaults::Take(const std::string& operation, const std::string& mainArg, std::uint32_t& code) {
    // Most calls meet no rules at all: one stat tells.
    struct stat st;
    if (::stat(file_.c_str(), &st) != 0 || st.st_size == 0) return false;
    LockedFile file(file_, true);
    if (!file.ok()) return false;
    std::vector<SimFaultRule> rules = ParseRules(file.ReadAll());
    bool skipped = false;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        SimFaultRule& r = rules[i];
        if (!EqualsNoCase(r.operation, operation) || !WildcardMatch(r.pattern, mainArg)) continue;
        if (r.skip > 0) {
            --r.skip;
            skipped = true;
            continue;
        }
        code = r.code;
        if (skipped && r.times <= 0) file.Replace(FormatRules(rules));
        if (r.times > 0) {
            if (--r.times == 0) rules.erase(rules.begin() + static_cast<std::ptrdiff_t>(i));
            file.Replace(FormatRules(rules));
        }
        return true;
    }
    if (skipped) file.Replace(FormatRules(rules));
    return false;
}

}  // namespace plat
