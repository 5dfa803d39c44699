#include "tests/support/ToolRun.h"

#include <fcntl.h>
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
    sim_ = std::make_unique<plat::SimMachine>(prefix_);
    ready_ = sim_->Init();
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
    if (assignments.empty()) return RunProcess(testing_paths::ToolPath(), args, {"WINSIM_PREFIX=" + prefix_});
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
    return sim_->AddFault(operation, pattern, code, times > 0 ? times : -1);
}

std::string ToolMachine::HostPath(const std::string& windowsPath) const {
    return sim_->HostPath(windowsPath);
}

bool ToolMachine::ReadFile(const std::string& windowsPath, std::string& bytes) const {
    return sim_->ReadFile(windowsPath, bytes);
}

bool ToolMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) const {
    return sim_->WriteFile(windowsPath, bytes);
}

bool ToolMachine::FileExists(const std::string& windowsPath) const {
    return sim_->Exists(windowsPath);
}

}  // namespace toolrun
