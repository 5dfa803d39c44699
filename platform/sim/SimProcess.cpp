#include "platform/sim/SimProcess.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/Platform.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimSystem.h"

extern char** environ;

namespace plat {
namespace {

const char* const kBuiltins[] = {"reg", "regedit", "regsvr32", "msiexec"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsRegularFile(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsExecutableFile(const std::string& host) {
    struct stat st;
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

std::string HostDirName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The name part of a Windows path.
std::string BaseName(const std::string& windowsPath) {
    const std::size_t cut = windowsPath.find_last_of("\\/:");
    return cut == std::string::npos ? windowsPath : windowsPath.substr(cut + 1);
}

std::string BuiltinName(const std::string& fileName) {
    std::string name = ToLowerAscii(fileName);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
    for (const char* b : kBuiltins)
        if (name == b) return b;
    return "";
}

bool IsSystemFolder(const std::string& full) {
    return EqualsNoCase(full, "C:\\windows") || EqualsNoCase(full, "C:\\windows\\system32");
}

// The file names tried for one token: ".exe" added when the name has no
// extension, then the name as written (host programs often have none).
std::vector<std::string> NamesToTry(const std::string& token) {
    const std::string base = BaseName(token);
    if (base.find('.') != std::string::npos) return {token};
    return {token + ".exe", token};
}

// Looks for the program file full (a normal Windows path).
bool ProbeFile(const SimPaths& paths, const std::string& full, SimProgram& program) {
    std::string parent, name;
    SplitWindowsPath(full, parent, name);
    const std::string builtin = BuiltinName(name);
    if (!builtin.empty() && IsSystemFolder(parent)) {
        program.builtin = builtin;
        program.windowsPath = parent + "\\" + builtin + ".exe";
        program.hostPath = LauncherPath();
        return !program.hostPath.empty();
    }
    std::string host;
    std::uint32_t error = 0;
    if (!paths.ToHost(full, host, error) || !IsRegularFile(host)) return false;
    program.builtin.clear();
    program.windowsPath = full;
    program.hostPath = host;
    return true;
}

// Resolves one program token; error says why it was not found.
bool ResolveToken(const SimPaths& paths, const SimEnvironment& environment, const std::string& token,
                  SimProgram& program, std::uint32_t& error) {
    error = kErrorFileNotFound;
    if (token.empty()) return false;
    const bool hasFolder = token.find_first_of("\\/:") != std::string::npos;
    std::vector<std::string> folders;
    if (hasFolder) {
        folders.push_back("");
    } else {
        folders.push_back(paths.ToWindows(HostDirName(SelfExecutable())));
        folders.push_back(paths.CurrentDirectory());
        folders.push_back("C:\\windows\\system32");
        folders.push_back("C:\\windows");
        std::string path;
        if (environment.Get("PATH", path)) {
            std::size_t start = 0;
            while (start <= path.size()) {
                std::size_t end = path.find(';', start);
                if (end == std::string::npos) end = path.size();
                std::string entry = path.substr(start, end - start);
                start = end + 1;
                while (!entry.empty() && IsBlank(entry.back())) entry.pop_back();
                while (!entry.empty() && IsBlank(entry.front())) entry.erase(0, 1);
                // PATH entries may be quoted ("C:\Program Files\x";...).
                if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"') {
                    entry = entry.substr(1, entry.size() - 2);
                }
                if (!entry.empty()) folders.push_back(entry);
            }
        }
    }
    for (const auto& folder : folders) {
        for (const auto& name : NamesToTry(token)) {
            std::string candidate = folder.empty() ? name : folder;
            if (!folder.empty()) {
                if (candidate.back() != '\\') candidate += '\\';
                candidate += name;
            }
            std::string full;
            std::uint32_t normalError = 0;
            if (!paths.Normalize(candidate, full, normalError)) {
                if (hasFolder) error = normalError;
                continue;
            }
            if (ProbeFile(paths, full, program)) return true;
            if (hasFolder) {
                std::string parent, base, parentHost;
                SplitWindowsPath(full, parent, base);
                struct stat st;
                if (paths.ToHost(parent, parentHost, normalError) &&
                    !(::stat(parentHost.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
                    error = kErrorPathNotFound;
                }
            }
        }
    }
    return false;
}

// The errno of a failed exec as a Win32 code.
std::uint32_t ExecError(int e) {
    switch (e) {
        case ENOENT:
            return kErrorFileNotFound;
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case ENOEXEC:
            return kErrorBadExeFormat;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        default:
            return kErrorBadExeFormat;
    }
}

// A Windows-like exit code for a host child killed by a signal.
std::uint32_t SignalExitCode(int sig) {
    switch (sig) {
        case SIGSEGV:
        case SIGBUS:
            return 0xC0000005u;  // access violation
        case SIGFPE:
            return 0xC0000094u;  // integer divide by zero
        case SIGABRT:
            return 3;  // what abort() leaves on Windows
        default:
            return 0xC000013Au;  // ended by Ctrl+C / killed
    }
}

bool StartsWithVariable(const char* entry, const char* name) {
    const std::size_t n = std::strlen(name);
    return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

}  // namespace

void SplitProgramToken(const std::string& commandLine, std::string& program, std::string& rest) {
    std::size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    if (i < commandLine.size() && commandLine[i] == '"') {
        const std::size_t close = commandLine.find('"', i + 1);
        if (close == std::string::npos) {
            program = commandLine.substr(i + 1);
            rest.clear();
        } else {
            program = commandLine.substr(i + 1, close - i - 1);
            rest = commandLine.substr(close + 1);
        }
        return;
    }
    std::size_t end = i;
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    program = commandLine.substr(i, end - i);
    rest = commandLine.substr(end);
}

std::vector<std::string> SplitArguments(const std::string& s) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = s.size();
    for (;;) {
        while (i < n && IsBlank(s[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            const char c = s[i];
            if (c == '\\') {
                std::size_t count = 0;
                while (i + count < n && s[i + count] == '\\') ++count;
                if (i + count < n && s[i + count] == '"') {
                    arg.append(count / 2, '\\');
                    i += count;
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                    i += count;
                }
            } else if (c == '"') {
                if (quoted && i + 1 < n && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else if (IsBlank(c) && !quoted) {
                break;
            } else {
                arg += c;
                ++i;
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string out = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < argument.size() && argument[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i == argument.size()) {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (argument[i] == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out += argument[i];
    }
    return out + "\"";
}

std::string JoinCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& w : words) {
        if (!line.empty()) line += ' ';
        line += QuoteArgument(w);
    }
    return line;
}

std::uint32_t FindProgram(const SimPaths& paths, const SimEnvironment& environment,
                          const std::string& commandLine, SimProgram& program) {
    std::size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    const std::string line = commandLine.substr(start);
    std::uint32_t error = kErrorFileNotFound;
    if (line.empty()) return error;
    if (line[0] == '"') {
        std::string token, rest;
        SplitProgramToken(line, token, rest);
        if (!ResolveToken(paths, environment, token, program, error)) return error;
        program.arguments = rest;
        return kErrorSuccess;
    }
    // Unquoted: "C:\Program Files\x.exe a" is tried as "C:\Program" first.
    std::uint32_t firstError = 0;
    for (std::size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlank(line[end])) continue;
        if (end > 0 && IsBlank(line[end - 1])) continue;
        const std::string token = line.substr(0, end);
        if (ResolveToken(paths, environment, token, program, error)) {
            program.arguments = line.substr(end);
            return kErrorSuccess;
        }
        if (firstError == 0) firstError = error;
    }
    return firstError != 0 ? firstError : error;
}

std::string SelfExecutable() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string LauncherPath() {
    const char* given = std::getenv(kLauncherVariable);
    if (given != nullptr && IsExecutableFile(given)) return given;
    const std::string self = SelfExecutable();
    if (self.empty()) return "";
    const std::string here = HostDirName(self);
    for (const std::string& folder : {here, HostDirName(here), HostDirName(HostDirName(here))}) {
        const std::string candidate = (folder == "/" ? "" : folder) + "/winsim";
        if (IsExecutableFile(candidate)) return candidate;
    }
    return "";
}

SimChild::~SimChild() {
    if (!ended_ && pid_ > 0) Reap(false);
    if (exitPipe_ >= 0) ::close(exitPipe_);
}

std::uint32_t SimChild::Start(const std::vector<std::string>& argv, const std::string& prefix,
                              const SimEnvironment& environment, const std::string& launcher) {
    if (argv.empty()) return kErrorInvalidParameter;
    if (!IsRegularFile(argv[0])) return kErrorFileNotFound;
    if (!IsExecutableFile(argv[0])) return kErrorBadExeFormat;

    int exitPipe[2];
    int errorPipe[2];
    if (::pipe2(exitPipe, O_CLOEXEC) != 0) return kErrorNotEnoughMemory;
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        ::close(exitPipe[0]);
        ::close(exitPipe[1]);
        return kErrorNotEnoughMemory;
    }

    // Everything the child needs is prepared before the fork.
    std::string absolutePrefix = prefix;
    if (absolutePrefix.empty() || absolutePrefix[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) != nullptr) absolutePrefix = std::string(cwd) + "/" + prefix;
    }
    std::vector<std::string> added = {
        std::string("WINSIM_PREFIX=") + absolutePrefix,
        std::string(kEnvironmentVariable) + "=" + environment.Serialize(),
        std::string(kExitFdVariable) + "=" + std::to_string(exitPipe[1]),
    };
    if (!launcher.empty()) added.push_back(std::string(kLauncherVariable) + "=" + launcher);
    std::string pidEntry = std::string(kExitPidVariable) + "=" + std::string(20, '\0');
    const std::size_t pidAt = std::strlen(kExitPidVariable) + 1;

    std::vector<char*> envp;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (StartsWithVariable(*e, "WINSIM_PREFIX") || StartsWithVariable(*e, kEnvironmentVariable) ||
            StartsWithVariable(*e, kExitFdVariable) || StartsWithVariable(*e, kExitPidVariable) ||
            StartsWithVariable(*e, kLauncherVariable)) {
            continue;
        }
        envp.push_back(*e);
    }
    for (auto& a : added) envp.push_back(&a[0]);
    envp.push_back(&pidEntry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& a : args) argp.push_back(&a[0]);
    argp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {exitPipe[0], exitPipe[1], errorPipe[0], errorPipe[1]}) ::close(fd);
        return kErrorNotEnoughMemory;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to the exec.
        char digits[20];
        int count = 0;
        for (pid_t self = ::getpid(); self > 0 && count < 20; self /= 10)
            digits[count++] = char('0' + self % 10);
        for (int k = 0; k < count; ++k) pidEntry[pidAt + static_cast<std::size_t>(k)] = digits[count - 1 - k];
        ::fcntl(exitPipe[1], F_SETFD, 0);
        ::execve(argp[0], argp.data(), envp.data());
        const int e = errno;
        ssize_t ignored = ::write(errorPipe[1], &e, sizeof e);
        (void)ignored;
        ::_exit(127);
    }
    ::close(exitPipe[1]);
    ::close(errorPipe[1]);
    int childErrno = 0;
    ssize_t n;
    do {
        n = ::read(errorPipe[0], &childErrno, sizeof childErrno);
    } while (n < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    pid_ = pid;
    exitPipe_ = exitPipe[0];
    if (n == static_cast<ssize_t>(sizeof childErrno)) {
        Reap(true);
        pid_ = -1;
        return ExecError(childErrno);
    }
    return kErrorSuccess;
}

bool SimChild::Reap(bool block) {
    if (ended_) return true;
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    ended_ = true;
    if (r < 0) {
        exitCode_ = 0xC000013Au;
    } else if (WIFEXITED(status)) {
        exitCode_ = static_cast<std::uint32_t>(WEXITSTATUS(status));
    } else {
        exitCode_ = SignalExitCode(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
    if (exitPipe_ >= 0) {
        ::fcntl(exitPipe_, F_SETFL, O_NONBLOCK);
        unsigned char bytes[4];
        if (::read(exitPipe_, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes)) {
            const std::uint32_t full =
                bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
            // Trust the reported code only when it agrees with what the host kept.
            if (r > 0 && WIFEXITED(status) && (full & 0xFFu) == exitCode_) exitCode_ = full;
        }
        ::close(exitPipe_);
        exitPipe_ = -1;
    }
    return true;
}

std::uint32_t SimChild::Wait(std::uint32_t milliseconds) {
    if (pid_ <= 0) return kWaitFailed;
    if (ended_) return kWaitObject0;
    if (milliseconds == kInfinite) return Reap(true) ? kWaitObject0 : kWaitFailed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (Reap(false)) return kWaitObject0;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return kWaitTimeout;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
    }
}

std::uint32_t SimChild::ExitCode() {
    if (!ended_ && !Reap(false)) return kStillActive;
    return exitCode_;
}

void ReportExitCodeToParent(std::uint32_t code) {
    const char* fdText = std::getenv(kExitFdVariable);
    const char* pidText = std::getenv(kExitPidVariable);
    if (fdText == nullptr || pidText == nullptr) return;
    if (std::strtol(pidText, nullptr, 10) != static_cast<long>(::getpid())) return;
    const int fd = static_cast<int>(std::strtol(fdText, nullptr, 10));
    if (fd < 0) return;
    const unsigned char bytes[4] = {static_cast<unsigned char>(code), static_cast<unsigned char>(code >> 8),
                                    static_cast<unsigned char>(code >> 16),
                                    static_cast<unsigned char>(code >> 24)};
    ssize_t ignored = ::write(fd, bytes, sizeof bytes);
    (void)ignored;
    ::close(fd);
}

}  // namespace plat
