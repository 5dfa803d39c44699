// The kernel side of the simulated machine: the per-process state behind the
// file, text file, environment, process and system calls of SimPlatform
// (last error, handle table, environment block, token), and the parts that
// serve them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimEnvironment.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimTextFiles.h"

namespace plat {

class SimPlatform;
class SimChild;

// What a Handle stands for.
struct SimKernelObject {
    virtual ~SimKernelObject() = default;
};

struct SimFindObject : SimKernelObject {
    std::vector<FindData> entries;
    std::size_t next = 0;
    std::string pattern;
};

struct SimProcessObject : SimKernelObject {
    std::shared_ptr<SimChild> child;  // shared by the process and its thread handle
    std::string commandLine;
    bool thread = false;
};

struct SimTextFileObject : SimKernelObject {
    SimTextFile file;
};

struct SimTokenObject : SimKernelObject {
    std::uint32_t access = 0;
};

class SimKernel {
public:
    SimKernel(SimPlatform& machine, const std::string& prefixHostPath);
    ~SimKernel();
    SimKernel(const SimKernel&) = delete;
    SimKernel& operator=(const SimKernel&) = delete;

    std::uint32_t lastError = 0;

    SimPaths& Paths() { return paths_; }
    SimFiles& Files() { return files_; }
    SimFaults& Faults() { return faults_; }

    // The process's environment: the inherited block, or else the machine's
    // (read from the registry at each use until the process changes it).
    SimEnvironment Environment();
    // Changes this process's block (and so what its children inherit).
    void SetVariable(const std::string& name, const std::string& value);
    void UnsetVariable(const std::string& name);
    // Drops this process's own block: from now on the machine's is used.
    void UseMachineEnvironment();

    // Starts a command line as CreateProcessA does, but without asking the
    // fault rules: for the machine's own work (the launcher, the logon).
    // Returns a Win32 error code.
    std::uint32_t StartProcess(const std::string& commandLine, std::shared_ptr<SimChild>& child);
    // The same, waiting for the end: the exit code in exitCode.
    std::uint32_t RunProcess(const std::string& commandLine, std::uint32_t& exitCode);

    // Handles. Add returns the new handle value.
    Handle Add(std::unique_ptr<SimKernelObject> object);
    template <typename T>
    T* Get(Handle handle) {
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }
    bool Remove(Handle handle);

    // The token of the process: whether the shutdown privilege is enabled.
    bool shutdownPrivilegeEnabled = false;

    // The Windows path GetModuleFileNameA gives ("" = the running program's).
    std::string modulePath;

private:
    SimPlatform& machine_;
    SimPaths paths_;
    SimFiles files_;
    SimFaults faults_;
    std::optional<SimEnvironment> environment_;
    // The machine's environment as last read from the registry, kept while
    // the registry is unchanged.
    std::optional<SimEnvironment> machineEnvironment_;
    std::uint64_t machineEnvironmentStamp_ = 0;
    std::map<Handle, std::unique_ptr<SimKernelObject>> objects_;
    Handle nextHandle_ = 0x100;
};

}  // namespace plat
