#include "tests/support/ToolRun.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Paths.h"

namespace fs = std::filesystem;

namespace toolrun {

namespace {

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first existing entry of folder whose name equals name, ignoring case.
std::string MatchEntry(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return name;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (strcasecmp(entry.c_str(), name.c_str()) == 0) return entry;
    }
    return name;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment) {
    ProcessResult result;
    char outName[] = "/tmp/toolrun-out-XXXXXX";
    char errName[] = "/tmp/toolrun-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    if (outFd < 0 || errFd < 0) {
        if (outFd >= 0) close(outFd), unlink(outName);
        if (errFd >= 0) close(errFd), unlink(errName);
        return result;
    }
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());

    const pid_t child = fork();
    if (child == 0) {
        dup2(outFd, STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        const int nullFd = open("/dev/null", O_RDONLY);
        if (nullFd >= 0) dup2(nullFd, STDIN_FILENO);
        for (const std::string& assignment : environment) {
            const std::size_t eq = assignment.find('=');
            if (eq != std::string::npos) {
                setenv(assignment.substr(0, eq).c_str(), assignment.substr(eq + 1).c_str(), 1);
            }
        }
        std::vector<char*> argv;
        for (std::string& arg : argvText) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    if (child > 0) {
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    result.out = ReadHostFile(outName);
    result.err = ReadHostFile(errName);
    unlink(outName);
    unlink(errName);
    return result;
}

ToolMachine::ToolMachine() {
    char name[] = "/tmp/toolrun-prefix-XXXXXX";
    if (mkdtemp(name) == nullptr) return;
    prefix_ = name;
    ready_ = Winsim({"init"}).exitCode == 0;
}

ToolMachine::~ToolMachine() {
    if (prefix_.empty() || std::getenv("WINSIM_KEEP") != nullptr) return;
    std::error_code ec;
    fs::remove_all(prefix_, ec);
}

ProcessResult ToolMachine::Winsim(const std::vector<std::string>& args) const {
    return RunProcess(testing_paths::WinsimPath(), args, {"WINSIM_PREFIX=" + prefix_});
}

bool ToolMachine::Install(const std::string& packageName) const {
    return Winsim({"msiexec", "/i", "Z:" + testing_paths::PackagePath(packageName), "/qn"}).exitCode == 0;
}

bool ToolMachine::Uninstall(const std::string& packageName) const {
    return Winsim({"msiexec", "/x", "Z:" + testing_paths::PackagePath(packageName), "/qn"}).exitCode == 0;
}

ProcessResult ToolMachine::RunTool(const std::vector<std::string>& args,
                                   const std::vector<std::string>& assignments) const {
    std::vector<std::string> winsimArgs = assignments;
    winsimArgs.push_back(testing_paths::ToolPath());
    winsimArgs.insert(winsimArgs.end(), args.begin(), args.end());
    return Winsim(winsimArgs);
}

ProcessResult ToolMachine::Reboot() const {
    return Winsim({"reboot"});
}

bool ToolMachine::AddFault(const std::string& operation, const std::string& pattern, std::uint32_t code,
                           int times) const {
    std::vector<std::string> args = {"fault", "add", operation, pattern, std::to_string(code)};
    if (times > 0) args.push_back(std::to_string(times));
    return Winsim(args).exitCode == 0;
}

std::string ToolMachine::HostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return std::string();
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    fs::path host = drive == 'z' ? fs::path("/") : fs::path(prefix_) / (std::string("drive_") + drive);
    std::string rest = windowsPath.substr(2);
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        if (!part.empty()) host /= MatchEntry(host, part);
        start = end + 1;
    }
    return host.string();
}

bool ToolMachine::ReadFile(const std::string& windowsPath, std::string& bytes) const {
    std::ifstream in(HostPath(windowsPath), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return true;
}

bool ToolMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) const {
    const fs::path host = HostPath(windowsPath);
    std::error_code ec;
    fs::create_directories(host.parent_path(), ec);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool ToolMachine::FileExists(const std::string& windowsPath) const {
    std::error_code ec;
    return fs::exists(HostPath(windowsPath), ec);
}

}  // namespace toolrun
