#include "tests/support/WineMachine.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/Paths.h"

namespace fs = std::filesystem;

namespace winetest {

namespace {

// The environment of every Wine program: a 32-bit prefix, no debug channel
// output, and no offer to download the .NET and HTML engines.
std::vector<std::string> WineEnvironment(const std::string& prefix) {
    return {"WINEPREFIX=" + prefix, "WINEARCH=win32", "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
}

// Holds an exclusive lock on a file while it lives (other test processes
// making the template wait for it).
class FileLock {
public:
    explicit FileLock(const std::string& path) : fd_(open(path.c_str(), O_CREAT | O_RDWR, 0644)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~FileLock() {
        if (fd_ >= 0) {
            flock(fd_, LOCK_UN);
            close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

// The initialised template prefix; made on first use. "" and a problem
// text when it cannot be made.
std::string TemplatePrefix(std::string& problem) {
    const std::string root = testing_paths::BuildDir() + "/wine";
    std::error_code ec;
    fs::create_directories(root, ec);
    const std::string prefix = root + "/template";
    const std::string ready = root + "/template.ready";
    FileLock lock(root + "/template.lock");
    if (fs::exists(ready, ec)) return prefix;
    fs::remove_all(prefix, ec);
    const std::vector<std::string> env = WineEnvironment(prefix);
    toolrun::ProcessResult boot = toolrun::RunProcess(FindProgram("wineboot"), {"-i"}, env);
    toolrun::RunProcess(FindProgram("wineserver"), {"-w"}, env);
    if (boot.exitCode != 0 || !fs::exists(prefix + "/system.reg", ec)) {
        problem = "wineboot -i failed: " + boot.err;
        return std::string();
    }
    std::ofstream(ready) << "ok\n";
    return prefix;
}

}  // namespace

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

bool WineAvailable() {
    return !FindProgram("wine").empty() && !FindProgram("wineserver").empty();
}

std::string Win32BuildDir() {
    const char* dir = std::getenv("CORVANTA_WIN32_BUILD_DIR");
    if (dir && *dir) return dir;
    return testing_paths::SourceDir() + "/build-win32";
}

std::string ToolExePath() {
    return Win32BuildDir() + "/CorvantaUninstallTool.exe";
}
std::string SelfTestExePath() {
    return Win32BuildDir() + "/win32_selftest.exe";
}

WineMachine::WineMachine() {
    const std::string tpl = TemplatePrefix(problem_);
    if (tpl.empty()) return;
    char name[] = "/tmp/wine-scenario-XXXXXX";
    if (mkdtemp(name) == nullptr) {
        problem_ = "mkdtemp failed";
        return;
    }
    prefix_ = name;
    // cp -a keeps the prefix's symbolic links (dosdevices) as they are.
    toolrun::ProcessResult copy = toolrun::RunProcess("/bin/cp", {"-a", tpl + "/.", prefix_});
    if (copy.exitCode != 0) {
        problem_ = "copying the template prefix failed: " + copy.err;
        return;
    }
    ready_ = true;
}

WineMachine::~WineMachine() {
    if (prefix_.empty()) return;
    toolrun::RunProcess(FindProgram("wineserver"), {"-k"}, WineEnvironment(prefix_));
    toolrun::RunProcess(FindProgram("wineserver"), {"-w"}, WineEnvironment(prefix_));
    if (std::getenv("WINE_KEEP") != nullptr) return;
    std::error_code ec;
    fs::remove_all(prefix_, ec);
}

toolrun::ProcessResult WineMachine::Wine(const std::vector<std::string>& args,
                                         const std::vector<std::string>& environment) const {
    std::vector<std::string> env = WineEnvironment(prefix_);
    env.insert(env.end(), environment.begin(), environment.end());
    // Wine takes the current directory from the host's: started inside
    // drive_c a program's current directory is C:\, as a program started from
    // the desktop has; elsewhere it would be a folder of Z:, the host itself.
    std::vector<std::string> shellArgs = {"-c", "cd \"$1\" && shift && exec \"$@\"", "sh",
                                          prefix_ + "/drive_c", FindProgram("wine")};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    return toolrun::RunProcess("/bin/sh", shellArgs, env);
}

void WineMachine::WaitIdle() const {
    toolrun::RunProcess(FindProgram("wineserver"), {"-w"}, WineEnvironment(prefix_));
}

std::string WineMachine::HostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return std::string();
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    fs::path host = drive == 'z' ? fs::path("/") : fs::path(prefix_) / (std::string("drive_") + drive);
    const std::string rest = windowsPath.substr(2);
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        if (!part.empty()) {
            std::string match = part;
            std::error_code ec;
            for (fs::directory_iterator it(host, ec), last; !ec && it != last; it.increment(ec)) {
                const std::string entry = it->path().filename().string();
                if (strcasecmp(entry.c_str(), part.c_str()) == 0) {
                    match = entry;
                    break;
                }
            }
            host /= match;
        }
        start = end + 1;
    }
    return host.string();
}

}  // namespace winetest
