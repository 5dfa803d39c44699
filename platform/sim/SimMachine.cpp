#include "platform/sim/SimMachine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimRegistry.h"

namespace fs = std::filesystem;

namespace plat {
namespace {

constexpr const char* kRunOnceUserKey =
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The folders of a fresh C: drive.
const char* const kFolders[] = {
    "C:\\windows",
    "C:\\windows\\system32",
    "C:\\windows\\Installer",
    "C:\\windows\\temp",
    "C:\\Program Files",
    "C:\\Program Files\\Common Files",
    "C:\\ProgramData",
    "C:\\users\\Public",
    "C:\\users\\corvanta",
    "C:\\users\\corvanta\\Temp",
    "C:\\users\\corvanta\\AppData\\Roaming",
    "C:\\users\\corvanta\\AppData\\Local",
    "C:\\users\\corvanta\\Desktop",
    "C:\\users\\corvanta\\Documents",
};

// Where the built-in programs are found (their files only mark the place: the
// launcher runs them).
const char* const kBuiltinFiles[] = {
    "C:\\windows\\system32\\reg.exe",      "C:\\windows\\system32\\regedit.exe", "C:\\windows\\regedit.exe",
    "C:\\windows\\system32\\regsvr32.exe", "C:\\windows\\system32\\msiexec.exe",
};

struct EnvironmentSeed {
    const char* name;
    const char* value;
    std::uint32_t type;
};

const EnvironmentSeed kEnvironment[] = {
    {"ALLUSERSPROFILE", "C:\\ProgramData", kRegSz},
    {"APPDATA", "C:\\users\\corvanta\\AppData\\Roaming", kRegSz},
    {"CommonProgramFiles", "C:\\Program Files\\Common Files", kRegSz},
    {"COMPUTERNAME", "CORVANTA-PC", kRegSz},
    {"ComSpec", "%SystemRoot%\\system32\\cmd.exe", kRegExpandSz},
    {"LOCALAPPDATA", "C:\\users\\corvanta\\AppData\\Local", kRegSz},
    {"OS", "Windows_NT", kRegSz},
    {"PATH", "%SystemRoot%\\system32;%SystemRoot%", kRegExpandSz},
    {"PATHEXT", ".COM;.EXE;.BAT;.CMD", kRegSz},
    {"ProgramData", "C:\\ProgramData", kRegSz},
    {"ProgramFiles", "C:\\Program Files", kRegSz},
    {"SystemDrive", "C:", kRegSz},
    {"SystemRoot", "C:\\windows", kRegSz},
    {"TEMP", "C:\\users\\corvanta\\Temp", kRegSz},
    {"TMP", "C:\\users\\corvanta\\Temp", kRegSz},
    {"USERNAME", "corvanta", kRegSz},
    {"USERPROFILE", "C:\\users\\corvanta", kRegSz},
    {"WINDIR", "C:\\windows", kRegSz},
};

const char* const kStandardKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_CURRENT_USER\\Environment",
    kEnvironmentKey,
};

std::string OpenPrefix(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return path;
}

std::string Strip(std::string data) {
    while (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
}

}  // namespace

SimMachine::SimMachine(const std::string& prefixHostPath)
    : prefix_(OpenPrefix(prefixHostPath)), platform_(std::make_unique<SimPlatform>(prefix_)) {}

SimMachine::~SimMachine() = default;

SimRegistry& SimMachine::Registry() {
    return platform_->Registry();
}

bool SimMachine::Init(std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    std::error_code ec;
    fs::create_directories(prefix_ + "/drive_c", ec);
    if (ec) return fail("cannot create " + prefix_ + "/drive_c: " + ec.message());
    for (const char* folder : kFolders) {
        if (!MakeDirectory(folder)) return fail(std::string("cannot create ") + folder);
    }
    for (const char* file : kBuiltinFiles) {
        if (!Exists(file) &&
            !WriteProgram(file, "#!/bin/sh\n# a built-in program of the machine\nexit 0\n")) {
            return fail(std::string("cannot create ") + file);
        }
    }

    SimRegistry& registry = Registry();
    for (const char* key : kStandardKeys) {
        if (!registry.CreateKey(key)) return fail(std::string("cannot create the registry key ") + key);
    }
    const std::string profileKey =
        std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") +
        kSimUserSid;
    const std::string versionKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> facts = {
        {profileKey, {"ProfileImagePath", kSimUserProfile}},
        {versionKey, {"ProgramFilesDir", "C:\\Program Files"}},
        {versionKey, {"CommonFilesDir", "C:\\Program Files\\Common Files"}},
    };
    for (const auto& f : facts) {
        SimRegValue existing;
        if (!registry.GetValue(f.first, f.second.first, existing) &&
            !registry.SetString(f.first, f.second.first, f.second.second)) {
            return fail("cannot write the registry value " + f.second.first);
        }
    }
    for (const auto& seed : kEnvironment) {
        SimRegValue existing;
        if (registry.GetValue(kEnvironmentKey, seed.name, existing)) continue;
        if (!registry.SetString(kEnvironmentKey, seed.name, seed.value, seed.type)) {
            return fail(std::string("cannot write the environment variable ") + seed.name);
        }
    }
    return true;
}

std::string SimMachine::HostPath(const std::string& windowsPath) {
    std::string host;
    std::uint32_t error = 0;
    return platform_->ToHostPath(windowsPath, host, error) ? host : "";
}

bool SimMachine::WriteFile(const std::string& windowsPath, const std::string& content) {
    const std::string host = HostPath(windowsPath);
    if (host.empty()) return false;
    std::error_code ec;
    fs::create_directories(fs::path(host).parent_path(), ec);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

bool SimMachine::WriteProgram(const std::string& windowsPath, const std::string& script) {
    if (!WriteFile(windowsPath, script)) return false;
    return ::chmod(HostPath(windowsPath).c_str(), 0755) == 0;
}

bool SimMachine::ReadFile(const std::string& windowsPath, std::string& content) {
    const std::string host = HostPath(windowsPath);
    if (host.empty()) return false;
    std::ifstream in(host, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool SimMachine::Exists(const std::string& windowsPath) {
    const std::string host = HostPath(windowsPath);
    struct stat st;
    return !host.empty() && ::stat(host.c_str(), &st) == 0;
}

bool SimMachine::IsDirectory(const std::string& windowsPath) {
    const std::string host = HostPath(windowsPath);
    struct stat st;
    return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SimMachine::MakeDirectory(const std::string& windowsPath) {
    // One level at a time, so that each new name is matched against what exists.
    std::string full;
    std::uint32_t error = 0;
    if (!platform_->Kernel().Paths().Normalize(windowsPath, full, error)) return false;
    std::size_t pos = 3;
    while (pos <= full.size()) {
        std::size_t end = full.find('\\', pos);
        if (end == std::string::npos) end = full.size();
        const std::string host = HostPath(full.substr(0, end));
        pos = end + 1;
        if (host.empty()) return false;
        struct stat st;
        if (::stat(host.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return false;
            continue;
        }
        if (::mkdir(host.c_str(), 0777) != 0) return false;
    }
    return IsDirectory(full);
}

bool SimMachine::Remove(const std::string& windowsPath) {
    const std::string host = HostPath(windowsPath);
    if (host.empty() || host == "/") return false;
    std::error_code ec;
    fs::remove_all(host, ec);
    return !ec;
}

bool SimMachine::SetReadOnly(const std::string& windowsPath, bool readOnly) {
    return platform_->Kernel().Files().SetAttributes(
               windowsPath, readOnly ? kFileAttributeReadonly : kFileAttributeNormal) == 0;
}

std::vector<std::string> SimMachine::List(const std::string& windowsFolder) {
    std::vector<std::string> names;
    const std::string host = HostPath(windowsFolder);
    std::error_code ec;
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(Utf8ToAnsi(it->path().filename().string()));
    }
    std::sort(names.begin(), names.end(), LessNoCase);
    return names;
}

bool SimMachine::SetEnvironment(const std::string& name, const std::string& value) {
    return Registry().SetString(kEnvironmentKey, name, value);
}

bool SimMachine::UnsetEnvironment(const std::string& name) {
    return Registry().DeleteValue(kEnvironmentKey, name);
}

bool SimMachine::GetEnvironment(const std::string& name, std::string& value) {
    return SimEnvironment::FromRegistry(Registry()).Get(name, value);
}

bool SimMachine::AddFault(const std::string& operation, const std::string& pattern, std::uint32_t code,
                          int times) {
    SimFaultRule rule;
    rule.operation = operation;
    rule.pattern = pattern;
    rule.code = code;
    rule.times = times;
    return platform_->Kernel().Faults().Add(rule);
}

bool SimMachine::ClearFaults() {
    return platform_->Kernel().Faults().Clear();
}

std::vector<SimFaultRule> SimMachine::Faults() {
    return platform_->Kernel().Faults().List();
}

bool SimMachine::PendingRestart(SimRestart& restart) {
    return ReadPendingRestart(prefix_, restart);
}

int SimMachine::Reboot(std::vector<std::string>* report) {
    auto note = [report](const std::string& line) {
        if (report != nullptr) report->push_back(line);
    };
    SimRestart pending;
    if (ReadPendingRestart(prefix_, pending)) {
        char line[64];
        std::snprintf(line, sizeof line, "restart (flags 0x%X, reason 0x%08X)", pending.flags,
                      pending.reason);
        note(line);
        ClearPendingRestart(prefix_);
    }
    // The logon: the programs start with the machine's environment.
    SimKernel& kernel = platform_->Kernel();
    kernel.UseMachineEnvironment();
    const SimEnvironment environment = kernel.Environment();

    int started = 0;
    for (const char* key : {kRunOnceKey, kRunOnceUserKey}) {
        for (const SimRegValue& listed : Registry().Values(key)) {
            // A command run before may have removed or changed a later value.
            SimRegValue value;
            if (!Registry().GetValue(key, listed.name, value)) continue;
            if (value.type != kRegSz && value.type != kRegExpandSz) continue;
            std::string command = Strip(value.data);
            if (value.type == kRegExpandSz) command = environment.Expand(command);
            const bool deleteAfter = !value.name.empty() && value.name[0] == '!';
            if (!deleteAfter) Registry().DeleteValue(key, value.name);

            // The logon is the machine's own work: the fault rules do not reach it.
            std::uint32_t exitCode = 0;
            const std::uint32_t error = kernel.RunProcess(command, exitCode);
            if (error != kErrorSuccess) {
                note("cannot run " + value.name + ": " + command + " (error " + std::to_string(error) + ")");
            } else {
                ++started;
                note("ran " + value.name + ": " + command + " (exit code " + std::to_string(exitCode) + ")");
            }
            if (deleteAfter) Registry().DeleteValue(key, value.name);
        }
    }
    return started;
}

}  // namespace plat
