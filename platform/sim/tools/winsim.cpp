// winsim: the launcher of the simulated Windows machine (the prefix named by
// WINSIM_PREFIX, default $HOME/.winsim).
//
//   winsim init                          create or complete the prefix
//   winsim [NAME=VALUE ...] [--unset NAME ...] PROGRAM [ARGS ...]
//                                        run a program of the machine
//   winsim reg|regedit|regsvr32|msiexec ARGS ...
//                                        the built-in programs
//   winsim reboot                        restart and log on (runs RunOnce)
//   winsim fault add OPERATION PATTERN CODE [TIMES] | list | clear
//   winsim env                           print a program's environment block
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimProcess.h"
#include "platform/sim/SimSystem.h"

namespace {

using plat::SimMachine;
using plat::SimPlatform;

constexpr int kNotRun = 127;  // the program could not be started

void Usage() {
    std::fputs(
        "usage: winsim init\n"
        "       winsim [NAME=VALUE ...] [--unset NAME ...] PROGRAM [ARGS ...]\n"
        "       winsim reg|regedit|regsvr32|msiexec ARGS ...\n"
        "       winsim reboot\n"
        "       winsim fault add OPERATION PATTERN CODE [TIMES] | fault list | fault clear\n"
        "       winsim env\n"
        "The machine is the prefix folder named by WINSIM_PREFIX (default $HOME/.winsim).\n",
        stderr);
}

bool PrefixExists(const std::string& prefix) {
    struct stat st;
    return ::stat((prefix + "/drive_c").c_str(), &st) == 0;
}

// Like wine, a first use creates the machine.
bool EnsurePrefix(SimMachine& machine) {
    if (PrefixExists(machine.Prefix())) return true;
    std::string error;
    if (machine.Init(&error)) return true;
    std::fprintf(stderr, "winsim: %s\n", error.c_str());
    return false;
}

int Finish(std::uint32_t code) {
    plat::ReportExitCodeToParent(code);
    return static_cast<int>(code & 0xFFu);
}

int RunBuiltin(const std::string& name, const std::vector<std::string>& args) {
    SimMachine machine(SimPlatform::DefaultPrefix());
    if (!EnsurePrefix(machine)) return Finish(1);
    SimPlatform& platform = machine.Platform();
    platform.Kernel().modulePath =
        name == "regedit" ? "C:\\windows\\regedit.exe" : "C:\\windows\\system32\\" + name + ".exe";
    int code = 1;
    if (name == "reg") code = plat::RegBuiltin(platform, args);
    if (name == "regedit") code = plat::RegeditBuiltin(platform, args);
    if (name == "regsvr32") code = plat::Regsvr32Builtin(platform, args);
    if (name == "msiexec") code = plat::MsiexecBuiltin(platform, args);
    return Finish(static_cast<std::uint32_t>(code));
}

int Init() {
    SimMachine machine(SimPlatform::DefaultPrefix());
    std::string error;
    if (!machine.Init(&error)) {
        std::fprintf(stderr, "winsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("winsim: machine ready in %s\n", machine.Prefix().c_str());
    return 0;
}

int Reboot() {
    SimMachine machine(SimPlatform::DefaultPrefix());
    if (!EnsurePrefix(machine)) return 1;
    std::vector<std::string> report;
    machine.Reboot(&report);
    for (const auto& line : report) std::fprintf(stderr, "winsim: %s\n", line.c_str());
    return 0;
}

int Fault(const std::vector<std::string>& args) {
    SimMachine machine(SimPlatform::DefaultPrefix());
    if (args.size() == 1 && args[0] == "list") {
        for (const auto& r : machine.Faults()) {
            const std::string skip = r.skip > 0 ? " after " + std::to_string(r.skip) : "";
            std::printf("%s %s %u %s%s\n", r.operation.c_str(), r.pattern.c_str(), r.code,
                        r.times < 0 ? "always" : std::to_string(r.times).c_str(), skip.c_str());
        }
        return 0;
    }
    if (args.size() == 1 && args[0] == "clear") return machine.ClearFaults() ? 0 : 1;
    if ((args.size() == 4 || args.size() == 5) && args[0] == "add") {
        char* end = nullptr;
        const unsigned long code = std::strtoul(args[3].c_str(), &end, 0);
        int times = -1;
        bool ok = end != nullptr && *end == '\0' && !args[3].empty();
        if (args.size() == 5) {
            char* timesEnd = nullptr;
            times = static_cast<int>(std::strtol(args[4].c_str(), &timesEnd, 10));
            ok = ok && timesEnd != nullptr && *timesEnd == '\0' && times > 0;
        }
        if (!plat::SimFaults::KnownOperation(args[1])) {
            std::fprintf(stderr, "winsim: %s is not an operation of the machine\n", args[1].c_str());
            return 1;
        }
        if (ok && machine.AddFault(args[1], args[2], static_cast<std::uint32_t>(code), times)) return 0;
    }
    Usage();
    return 1;
}

int PrintEnvironment(SimPlatform& platform) {
    const plat::SimEnvironment block = platform.Kernel().Environment();
    for (const auto& e : block.Entries()) {
        std::printf("%s=%s\n", e.first.c_str(), e.second.c_str());
    }
    return 0;
}

// A host path given as the program ("./build/tool", "/usr/bin/x") becomes
// its Windows path.
std::string ProgramToken(SimPlatform& platform, const std::string& program) {
    std::string token = program;
    const bool windowsDrive = program.size() >= 2 && program[1] == ':';
    if (!windowsDrive && program.find('/') != std::string::npos) {
        char resolved[4096];
        if (::realpath(program.c_str(), resolved) != nullptr) token = platform.ToWindowsPath(resolved);
    }
    if (token.find_first_of(" \t") != std::string::npos) token = "\"" + token + "\"";
    return token;
}

int RunProgram(const std::vector<std::string>& args) {
    SimMachine machine(SimPlatform::DefaultPrefix());
    if (!EnsurePrefix(machine)) return Finish(1);
    SimPlatform& platform = machine.Platform();
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--unset") {
            if (++i == args.size()) break;
            platform.Kernel().UnsetVariable(args[i]);
            continue;
        }
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0) break;
        platform.Kernel().SetVariable(word.substr(0, eq), word.substr(eq + 1));
    }
    if (i >= args.size()) {
        Usage();
        return Finish(1);
    }
    if (args[i] == "env") return Finish(static_cast<std::uint32_t>(PrintEnvironment(platform)));
    std::string commandLine = ProgramToken(platform, args[i]);
    const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (!rest.empty()) commandLine += " " + plat::JoinCommandLine(rest);

    // The launcher is no program of the machine: the fault rules do not reach it.
    std::uint32_t exitCode = 0;
    const std::uint32_t error = platform.Kernel().RunProcess(commandLine, exitCode);
    if (error != plat::kErrorSuccess) {
        std::string text;
        plat::SystemMessageText(error, text);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::fprintf(stderr, "winsim: cannot run %s: %s (error %u)\n", args[i].c_str(), text.c_str(), error);
        return Finish(kNotRun);
    }
    return Finish(exitCode);
}

std::string BuiltinCommand(const std::string& word) {
    std::string name = plat::ToLowerAscii(word);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0) name.resize(name.size() - 4);
    if (name == "reg" || name == "regedit" || name == "regsvr32" || name == "msiexec") return name;
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        Usage();
        return args.empty() ? 1 : 0;
    }
    // The children of this launcher find it again through WINSIM_LAUNCHER.
    if (std::getenv(plat::kLauncherVariable) == nullptr) {
        const std::string self = plat::SelfExecutable();
        if (!self.empty()) ::setenv(plat::kLauncherVariable, self.c_str(), 1);
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::string& command = args[0];
    if (command == "init") return Init();
    if (command == "reboot") return Reboot();
    if (command == "fault") return Fault(rest);
    const std::string builtin = BuiltinCommand(command);
    if (!builtin.empty()) return RunBuiltin(builtin, rest);
    return RunProgram(args);
}
