// The sim backend: a simulated Windows machine ("prefix") on Linux, laid out
// like a Wine prefix (drive_c/ is C:, drive_<x>/ is X:, Z: is the host root).
//
// The class is shared by three parts, each in its own files:
//   - the kernel side (paths, files, text files, environment, processes,
//     system calls, fault rules): SimPlatform.cpp and the Sim*.cpp it uses;
//   - the registry: SimRegistry.{h,cpp}, the Reg* methods in SimPlatformRegistry.cpp;
//   - the Windows Installer: SimInstaller.{h,cpp}, the Msi* methods in SimPlatformMsi.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Platform.h"

namespace plat {

class SimKernel;
class SimRegistry;
class SimInstaller;

class SimPlatform : public Platform {
public:
    // prefixHostPath: the prefix folder on the host. Opening does not create
    // it; SimMachine::Init (winsim init) does.
    explicit SimPlatform(const std::string& prefixHostPath);
    ~SimPlatform() override;
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    // The prefix named by WINSIM_PREFIX, default $HOME/.winsim.
    static std::string DefaultPrefix();

    const std::string& Prefix() const { return prefix_; }
    SimKernel& Kernel();
    SimRegistry& Registry();
    SimInstaller& Installer();

    // Fault rules: true when a rule for this operation matches mainArg (a full
    // Windows path, or a key path with its hive spelled out); code is then the
    // error to fail with. A rule with a count is used up by this call.
    bool Faulted(const char* operation, const std::string& mainArg, std::uint32_t& code);

    // Windows path <-> host path. ToHostPath resolves case-insensitively
    // (existing components keep their case on disk; missing ones are taken as
    // written) and fails with 206 (too long), 123 (bad character) or 3.
    bool ToHostPath(const std::string& windowsPath, std::string& hostPath, std::uint32_t& error);
    std::string ToWindowsPath(const std::string& hostPath);

    // ---- Platform ----
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t code) override;

    bool CopyFileA(const char* existing, const char* target, bool failIfExists) override;
    bool DeleteFileA(const char* path) override;
    bool RemoveDirectoryA(const char* path) override;
    bool CreateDirectoryA(const char* path) override;
    int SHCreateDirectoryExA(const char* path) override;
    std::uint32_t GetFileAttributesA(const char* path) override;
    bool SetFileAttributesA(const char* path, std::uint32_t attributes) override;
    Handle FindFirstFileA(const char* pattern, FindData& data) override;
    bool FindNextFileA(Handle find, FindData& data) override;
    bool FindClose(Handle find) override;

    Handle OpenTextFile(const char* path, TextOpen mode, bool exclusive) override;
    bool WriteTextFile(Handle file, const std::string& text) override;
    bool SeekTextFileToEnd(Handle file) override;
    bool ReadTextLine(Handle file, std::string& line, std::size_t maxChars) override;
    bool CloseTextFile(Handle file) override;

    std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) override;

    bool CreateProcessA(const char* commandLine, const StartupInfo& startup,
                        ProcessInformation& info) override;
    std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds) override;
    bool GetExitCodeProcess(Handle process, std::uint32_t& exitCode) override;
    bool CloseHandle(Handle object) override;

    std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) override;
    bool OpenProcessToken(std::uint32_t desiredAccess, Handle& token) override;
    bool LookupPrivilegeValueA(const char* name, Luid& luid) override;
    bool AdjustTokenPrivileges(Handle token, bool disableAll, const Luid& luid,
                               std::uint32_t attributes) override;
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    std::uint32_t FormatMessageA(std::uint32_t flags, std::uint32_t messageId, std::uint32_t languageId,
                                 std::string& text) override;
    int MessageBoxA(const char* text, const char* caption, std::uint32_t type) override;

    std::int32_t RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                               std::uint32_t samDesired, RegKey* result) override;
    std::int32_t RegCreateKeyExA(RegKey key, const char* subKey, std::uint32_t samDesired,
                                 RegKey* result) override;
    std::int32_t RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* dataSize) override;
    std::int32_t RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize) override;
    std::int32_t RegQueryInfoKeyA(RegKey key, std::uint32_t* subKeys, std::uint32_t* values) override;
    std::int32_t RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
    std::int32_t RegEnumKeyExA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize) override;
    std::int32_t RegDeleteValueA(RegKey key, const char* valueName) override;
    std::int32_t RegDeleteKeyA(RegKey key, const char* subKey) override;
    std::int32_t RegCloseKey(RegKey key) override;

    std::uint32_t MsiEnumProductsA(std::uint32_t index, char* productCode) override;
    std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* value,
                                     std::uint32_t* size) override;
    std::uint32_t MsiSetInternalUI(std::uint32_t level) override;
    std::uint32_t MsiOpenProductA(const char* product, MsiHandle* handle) override;
    std::uint32_t MsiGetPropertyA(MsiHandle install, const char* name, char* value,
                                  std::uint32_t* size) override;
    std::uint32_t MsiOpenPackageA(const char* packagePath, MsiHandle* handle) override;
    std::uint32_t MsiDoActionA(MsiHandle install, const char* action) override;
    std::uint32_t MsiGetTargetPathA(MsiHandle install, const char* folder, char* path,
                                    std::uint32_t* size) override;
    std::uint32_t MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database) override;
    std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) override;
    std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle record) override;
    std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record) override;
    std::uint32_t MsiViewClose(MsiHandle view) override;
    MsiHandle MsiCreateRecord(std::uint32_t fields) override;
    std::uint32_t MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value) override;
    std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                      std::uint32_t* size) override;
    int MsiRecordGetInteger(MsiHandle record, std::uint32_t field) override;
    std::uint32_t MsiCloseHandle(MsiHandle handle) override;
    std::uint32_t MsiEnableLogA(std::uint32_t logMode, const char* logFile,
                                std::uint32_t attributes) override;
    std::uint32_t MsiInstallProductA(const char* packagePath, const char* commandLine) override;

private:
    std::string prefix_;
    std::unique_ptr<SimKernel> kernel_;
    std::unique_ptr<SimRegistry> registry_;
    std::unique_ptr<SimInstaller> installer_;
};

}  // namespace plat
