// Processes of the simulated machine: Windows command lines, the program
// search of CreateProcessA, and real child processes.
//
// Programs of the machine are host executables. The built-in programs (reg,
// regedit, regsvr32, msiexec) live in C:\windows\system32 and C:\windows and
// run as a child "winsim <name> ARGS...". A child learns its parent's
// environment block, the prefix and the launcher from host variables; a
// winsim child also hands back its full 32-bit exit code through a pipe
// (host exit statuses keep only 8 bits).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class SimPaths;
class SimEnvironment;

constexpr const char* kLauncherVariable = "WINSIM_LAUNCHER";
constexpr const char* kExitFdVariable = "WINSIM_EXIT_FD";
constexpr const char* kExitPidVariable = "WINSIM_EXIT_PID";

// The program token of a command line: quoted up to the next quote, or up to
// the first blank. rest is what follows it.
void SplitProgramToken(const std::string& commandLine, std::string& program, std::string& rest);
// The arguments of a command line after the program token, split by the
// rules of CommandLineToArgvW (quotes, 2n / 2n+1 backslashes before a quote).
std::vector<std::string> SplitArguments(const std::string& arguments);
// The reverse: one argument quoted so that SplitArguments gives it back.
std::string QuoteArgument(const std::string& argument);
std::string JoinCommandLine(const std::vector<std::string>& words);

// Where a command line's program was found.
struct SimProgram {
    std::string windowsPath;  // as Windows names it, e.g. C:\windows\regedit.exe
    std::string hostPath;     // the host executable (the launcher for a built-in)
    std::string builtin;      // "reg", "regedit", "regsvr32", "msiexec" or ""
    std::string arguments;    // the command line after the program
};

// The program search of CreateProcessA: ".exe" is added to a name without an
// extension; a bare name is looked for in the current directory,
// C:\windows\system32, C:\windows and the block's PATH. An unquoted first
// token with blanks is tried at each blank, shortest first, as Windows does.
// Returns a Win32 error code (2 when nothing was found).
std::uint32_t FindProgram(const SimPaths& paths, const SimEnvironment& environment,
                          const std::string& commandLine, SimProgram& program);

// The winsim launcher: $WINSIM_LAUNCHER, else "winsim" next to the running
// program or one folder up. "" when none is found.
std::string LauncherPath();

// The running program's host path.
std::string SelfExecutable();

// A child process. Wait and ExitCode return Win32-style results.
class SimChild {
public:
    SimChild() = default;
    ~SimChild();
    SimChild(const SimChild&) = delete;
    SimChild& operator=(const SimChild&) = delete;

    // Starts argv[0] with the host environment plus the machine's variables.
    // Returns a Win32 error code.
    std::uint32_t Start(const std::vector<std::string>& argv, const std::string& prefix,
                        const SimEnvironment& environment, const std::string& launcher);
    // kWaitObject0, 258 (timeout) or kWaitFailed.
    std::uint32_t Wait(std::uint32_t milliseconds);
    // kStillActive while it runs.
    std::uint32_t ExitCode();
    pid_t Pid() const { return pid_; }

private:
    bool Reap(bool block);

    pid_t pid_ = -1;
    int exitPipe_ = -1;  // read end of the exit code pipe
    bool ended_ = false;
    std::uint32_t exitCode_ = 0;
};

// For the launcher: hands a full exit code to the parent that started this
// process through CreateProcessA (nothing when there is none).
void ReportExitCodeToParent(std::uint32_t code);

}  // namespace plat
