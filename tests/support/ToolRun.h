// A small harness for scenario tests: a fresh simulated machine in a temporary
// prefix, the test packages installed through the machine's msiexec, the real
// tool binary run on it through winsim, and its files read back by Windows
// path.
//
//   ToolMachine machine;                        // fresh prefix, initialised
//   ASSERT_TRUE(machine.Ready());
//   machine.Install("Vaultline");               // build/packages/Vaultline.msi, /qn
//   ProcessResult run = machine.RunTool({"C:\\logs\\u.txt", "-nr"});
//   // run.exitCode, run.out (stdout bytes), run.err (stderr bytes)
//   std::string log;
//   machine.ReadFile("C:\\logs\\u.txt", log);   // raw bytes, CR LF kept
//   machine.Reboot();                           // "winsim reboot": runs RunOnce
//
// Every program runs with WINSIM_PREFIX set to the machine's prefix; nothing
// touches the user's own prefix. The prefix is removed on destruction unless
// the environment variable WINSIM_KEEP is set (for looking at a failure).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimMachine.h"

namespace toolrun {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be started or did not exit normally
    std::string out;    // everything written to standard output
    std::string err;    // everything written to standard error
};

// Runs a host program with arguments and extra environment assignments
// ("NAME=VALUE"), captures both output streams and the exit code.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {});

class ToolMachine {
public:
    ToolMachine();
    ~ToolMachine();
    ToolMachine(const ToolMachine&) = delete;
    ToolMachine& operator=(const ToolMachine&) = delete;

    // True when the prefix was created and initialised.
    bool Ready() const { return ready_; }
    const std::string& Prefix() const { return prefix_; }
    // The machine in this process (files, environment, registry, faults).
    // Its handles are its own: a run of the tool is a separate process.
    plat::SimMachine& Sim() { return *sim_; }

    // build/winsim with the given arguments on this machine.
    ProcessResult Winsim(const std::vector<std::string>& args) const;
    // Installs build/packages/<name>.msi silently; true on exit code 0.
    bool Install(const std::string& packageName) const;
    // Uninstalls a product by package name the same way; true on exit code 0.
    bool Uninstall(const std::string& packageName) const;
    // Runs the tool as a program of the machine: "winsim [assignments] tool
    // args"; without assignments the binary is started directly, which is
    // the same.
    ProcessResult RunTool(const std::vector<std::string>& args,
                          const std::vector<std::string>& assignments = {}) const;
    // "winsim reboot": the machine restarts and runs its RunOnce commands.
    ProcessResult Reboot() const;
    // A fault rule: OPERATION fails with CODE where its main argument
    // matches PATTERN; times 0 = every call.
    bool AddFault(const std::string& operation, const std::string& pattern, std::uint32_t code,
                  int times = 0) const;

    // The host path of a Windows path of the machine.
    std::string HostPath(const std::string& windowsPath) const;
    // Whole file as bytes; false when it cannot be read.
    bool ReadFile(const std::string& windowsPath, std::string& bytes) const;
    // Writes the bytes as they are (creating the parent folders).
    bool WriteFile(const std::string& windowsPath, const std::string& bytes) const;
    bool FileExists(const std::string& windowsPath) const;

private:
    std::string prefix_;
    std::unique_ptr<plat::SimMachine> sim_;
    bool ready_ = false;
};

}  // namespace toolrun
