// SimMachine: the simulated machine as C++ tests and the launcher script it,
// without starting processes: creating a prefix, files by Windows path, the
// environment, fault rules, the pending restart and the logon after it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimFaults.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimSystem.h"

namespace plat {

class SimRegistry;

// The machine's one user: its name, its profile and its SID (HKEY_CURRENT_USER
// is HKEY_USERS\<kSimUserSid>).
constexpr const char* kSimUserName = "corvanta";
constexpr const char* kSimUserSid = "S-1-5-21-1004336348-1177238915-682003330-1000";
constexpr const char* kSimUserProfile = "C:\\users\\corvanta";
constexpr const char* kSimUserTemp = "C:\\users\\corvanta\\Temp";

constexpr const char* kRunOnceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class SimMachine {
public:
    // Opens the machine in this prefix folder (created when missing, but not
    // filled: see Init).
    explicit SimMachine(const std::string& prefixHostPath);
    ~SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    // Creates or completes the prefix: the folders of C:, the built-in
    // programs, the standard registry keys and the machine's environment.
    // What exists already is kept. false, with a reason, on a failure.
    bool Init(std::string* error = nullptr);

    SimPlatform& Platform() { return *platform_; }
    SimRegistry& Registry();
    const std::string& Prefix() const { return prefix_; }

    // Files by Windows path. The host path of a Windows path ("" when bad).
    std::string HostPath(const std::string& windowsPath);
    // Writes a file with exactly these bytes, creating its folders.
    bool WriteFile(const std::string& windowsPath, const std::string& content);
    // Writes a program of the machine: a host script with its run bit.
    bool WriteProgram(const std::string& windowsPath, const std::string& script);
    bool ReadFile(const std::string& windowsPath, std::string& content);
    bool Exists(const std::string& windowsPath);
    bool IsDirectory(const std::string& windowsPath);
    bool MakeDirectory(const std::string& windowsPath);  // with its parents
    bool Remove(const std::string& windowsPath);         // a file or a whole tree
    bool SetReadOnly(const std::string& windowsPath, bool readOnly);
    // The names in a folder (code page 1252), sorted case-insensitively.
    std::vector<std::string> List(const std::string& windowsFolder);

    // The machine's environment (the registry's Environment key).
    bool SetEnvironment(const std::string& name, const std::string& value);
    bool UnsetEnvironment(const std::string& name);
    bool GetEnvironment(const std::string& name, std::string& value);

    // Fault rules (see SimFaults.h); times -1 = always.
    bool AddFault(const std::string& operation, const std::string& pattern, std::uint32_t code,
                  int times = -1);
    bool ClearFaults();
    std::vector<SimFaultRule> Faults();

    // The restart ExitWindowsEx asked for, if any.
    bool PendingRestart(SimRestart& restart);

    // A restart (the pending one is cleared) and the logon that follows: each
    // RunOnce value of HKLM, then of HKCU, is deleted and its command run with
    // the machine's environment, one after the other, each waited for (a
    // value named "!..." is deleted after its command instead). Returns the
    // number of commands started; report gets a line per command.
    int Reboot(std::vector<std::string>* report = nullptr);

private:
    std::string prefix_;
    std::unique_ptr<SimPlatform> platform_;
};

}  // namespace plat
