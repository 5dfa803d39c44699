// SimPlatform: construction, the shared helpers (paths, fault rules) and the
// kernel-side calls. Each call first asks the machine's fault rules, then
// does the work through the kernel parts and sets the last error the way the
// Windows call does.
#include "platform/sim/SimPlatform.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimProcess.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSystem.h"

namespace plat {
namespace {

constexpr std::uint32_t kErrorNoMoreFiles = 18;

std::string Text(const char* s) {
    return s != nullptr ? s : "";
}

}  // namespace

SimPlatform::SimPlatform(const std::string& prefixHostPath) : prefix_(prefixHostPath) {
    // A Windows process may hold far more handles than the host's usual soft
    // limit of open files (1024); every installer database opened keeps a
    // file open, so the machine's processes run with the hard limit.
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    while (prefix_.size() > 1 && prefix_.back() == '/') prefix_.pop_back();
    kernel_ = std::make_unique<SimKernel>(*this, prefix_);
    registry_ = std::make_unique<SimRegistry>(prefix_);
    installer_ = std::make_unique<SimInstaller>(*this);
}

SimPlatform::~SimPlatform() {
    installer_.reset();
    registry_.reset();
    kernel_.reset();
}

std::string SimPlatform::DefaultPrefix() {
    const char* p = std::getenv("WINSIM_PREFIX");
    if (p != nullptr && *p != '\0') return p;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.winsim";
}

SimKernel& SimPlatform::Kernel() {
    return *kernel_;
}
SimRegistry& SimPlatform::Registry() {
    return *registry_;
}
SimInstaller& SimPlatform::Installer() {
    return *installer_;
}

bool SimPlatform::Faulted(const char* operation, const std::string& mainArg, std::uint32_t& code) {
    return kernel_->Faults().Take(Text(operation), mainArg, code);
}

bool SimPlatform::ToHostPath(const std::string& windowsPath, std::string& hostPath, std::uint32_t& error) {
    return kernel_->Paths().ToHost(windowsPath, hostPath, error);
}

std::string SimPlatform::ToWindowsPath(const std::string& hostPath) {
    return kernel_->Paths().ToWindows(hostPath);
}

std::uint32_t SimPlatform::GetLastError() {
    return kernel_->lastError;
}
void SimPlatform::SetLastError(std::uint32_t code) {
    kernel_->lastError = code;
}

// ---- helpers of the calls below ----

namespace {

// The full Windows form of a path argument for the fault rules (as given
// when it cannot be made full).
std::string FullPath(SimKernel& kernel, const std::string& path) {
    std::string full;
    std::uint32_t error = 0;
    return kernel.Paths().Normalize(path, full, error) ? full : path;
}

// The same for an enumeration pattern: the folder made full, the name kept.
std::string FullPattern(SimKernel& kernel, const std::string& pattern) {
    const std::size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string::npos) return FullPath(kernel, ".") + "\\" + pattern;
    std::string folder = FullPath(kernel, pattern.substr(0, cut + 1));
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder + pattern.substr(cut + 1);
}

bool Result(SimKernel& kernel, std::uint32_t error) {
    if (error == kErrorSuccess) return true;
    kernel.lastError = error;
    return false;
}

}  // namespace

// ---- files and directories ----

bool SimPlatform::CopyFileA(const char* existing, const char* target, bool failIfExists) {
    if (existing == nullptr || target == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("CopyFileA", FullPath(*kernel_, existing), code) ||
        Faulted("CopyFileA", FullPath(*kernel_, target), code)) {
        return Result(*kernel_, code);
    }
    return Result(*kernel_, kernel_->Files().Copy(existing, target, failIfExists));
}

bool SimPlatform::DeleteFileA(const char* path) {
    if (path == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("DeleteFileA", FullPath(*kernel_, path), code)) return Result(*kernel_, code);
    return Result(*kernel_, kernel_->Files().Delete(path));
}

bool SimPlatform::RemoveDirectoryA(const char* path) {
    if (path == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("RemoveDirectoryA", FullPath(*kernel_, path), code)) return Result(*kernel_, code);
    return Result(*kernel_, kernel_->Files().RemoveDirectory(path));
}

bool SimPlatform::CreateDirectoryA(const char* path) {
    if (path == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("CreateDirectoryA", FullPath(*kernel_, path), code)) return Result(*kernel_, code);
    return Result(*kernel_, kernel_->Files().CreateDirectory(path));
}

int SimPlatform::SHCreateDirectoryExA(const char* path) {
    if (path == nullptr) return static_cast<int>(kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("SHCreateDirectoryExA", FullPath(*kernel_, path), code)) return static_cast<int>(code);
    return static_cast<int>(kernel_->Files().CreateDirectoryTree(path));
}

std::uint32_t SimPlatform::GetFileAttributesA(const char* path) {
    if (path == nullptr) {
        kernel_->lastError = kErrorInvalidParameter;
        return kInvalidFileAttributes;
    }
    std::uint32_t code = 0;
    if (Faulted("GetFileAttributesA", FullPath(*kernel_, path), code)) {
        kernel_->lastError = code;
        return kInvalidFileAttributes;
    }
    std::uint32_t attributes = kInvalidFileAttributes;
    const std::uint32_t error = kernel_->Files().GetAttributes(path, attributes);
    if (error != kErrorSuccess) {
        kernel_->lastError = error;
        return kInvalidFileAttributes;
    }
    return attributes;
}

bool SimPlatform::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    if (path == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("SetFileAttributesA", FullPath(*kernel_, path), code)) return Result(*kernel_, code);
    return Result(*kernel_, kernel_->Files().SetAttributes(path, attributes));
}

Handle SimPlatform::FindFirstFileA(const char* pattern, FindData& data) {
    if (pattern == nullptr) {
        kernel_->lastError = kErrorInvalidParameter;
        return kInvalidHandle;
    }
    const std::string full = FullPattern(*kernel_, pattern);
    std::uint32_t code = 0;
    if (Faulted("FindFirstFileA", full, code)) {
        kernel_->lastError = code;
        return kInvalidHandle;
    }
    auto find = std::make_unique<SimFindObject>();
    const std::uint32_t error = kernel_->Files().Find(pattern, find->entries);
    if (error != kErrorSuccess) {
        kernel_->lastError = error;
        return kInvalidHandle;
    }
    find->pattern = full;
    data = find->entries[0];
    find->next = 1;
    return kernel_->Add(std::move(find));
}

bool SimPlatform::FindNextFileA(Handle handle, FindData& data) {
    SimFindObject* find = kernel_->Get<SimFindObject>(handle);
    if (find == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("FindNextFileA", find->pattern, code)) return Result(*kernel_, code);
    if (find->next >= find->entries.size()) return Result(*kernel_, kErrorNoMoreFiles);
    data = find->entries[find->next++];
    return true;
}

bool SimPlatform::FindClose(Handle handle) {
    SimFindObject* find = kernel_->Get<SimFindObject>(handle);
    if (find == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("FindClose", find->pattern, code)) return Result(*kernel_, code);
    kernel_->Remove(handle);
    return true;
}

// ---- text files ----

Handle SimPlatform::OpenTextFile(const char* path, TextOpen mode, bool exclusive) {
    if (path == nullptr) {
        kernel_->lastError = kErrorInvalidParameter;
        return kInvalidHandle;
    }
    std::uint32_t code = 0;
    if (Faulted("OpenTextFile", FullPath(*kernel_, path), code)) {
        kernel_->lastError = code;
        return kInvalidHandle;
    }
    auto file = std::make_unique<SimTextFileObject>();
    const std::uint32_t error = file->file.Open(kernel_->Paths(), path, mode, exclusive);
    if (error != kErrorSuccess) {
        kernel_->lastError = error;
        return kInvalidHandle;
    }
    return kernel_->Add(std::move(file));
}

bool SimPlatform::WriteTextFile(Handle handle, const std::string& text) {
    SimTextFileObject* file = kernel_->Get<SimTextFileObject>(handle);
    if (file == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("WriteTextFile", file->file.Path(), code)) return Result(*kernel_, code);
    return Result(*kernel_, file->file.Write(text));
}

bool SimPlatform::SeekTextFileToEnd(Handle handle) {
    SimTextFileObject* file = kernel_->Get<SimTextFileObject>(handle);
    if (file == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("SeekTextFileToEnd", file->file.Path(), code)) return Result(*kernel_, code);
    return Result(*kernel_, file->file.SeekToEnd());
}

bool SimPlatform::ReadTextLine(Handle handle, std::string& line, std::size_t maxChars) {
    line.clear();
    SimTextFileObject* file = kernel_->Get<SimTextFileObject>(handle);
    if (file == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("ReadTextLine", file->file.Path(), code)) return Result(*kernel_, code);
    return Result(*kernel_, file->file.ReadLine(line, maxChars));
}

bool SimPlatform::CloseTextFile(Handle handle) {
    SimTextFileObject* file = kernel_->Get<SimTextFileObject>(handle);
    if (file == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("CloseTextFile", file->file.Path(), code)) return Result(*kernel_, code);
    const std::uint32_t error = file->file.Close();
    kernel_->Remove(handle);
    return Result(*kernel_, error);
}

// ---- environment ----

std::uint32_t SimPlatform::GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) {
    if (name == nullptr) {
        kernel_->lastError = kErrorInvalidParameter;
        return 0;
    }
    std::uint32_t code = 0;
    if (Faulted("GetEnvironmentVariableA", name, code)) {
        kernel_->lastError = code;
        return 0;
    }
    std::string value;
    if (!kernel_->Environment().Get(name, value)) {
        kernel_->lastError = kErrorEnvvarNotFound;
        return 0;
    }
    const auto length = static_cast<std::uint32_t>(value.size());
    if (buffer == nullptr || size <= length) return length + 1;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    if (length == 0) kernel_->lastError = kErrorSuccess;
    return length;
}

// ---- processes ----

bool SimPlatform::CreateProcessA(const char* commandLine, const StartupInfo& startup,
                                 ProcessInformation& info) {
    (void)startup;  // no windows to show
    if (commandLine == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("CreateProcessA", commandLine, code)) return Result(*kernel_, code);

    std::shared_ptr<SimChild> child;
    const std::uint32_t error = kernel_->StartProcess(commandLine, child);
    if (error != kErrorSuccess) return Result(*kernel_, error);

    auto process = std::make_unique<SimProcessObject>();
    process->child = child;
    process->commandLine = commandLine;
    auto thread = std::make_unique<SimProcessObject>();
    thread->child = child;
    thread->commandLine = commandLine;
    thread->thread = true;
    info.processId = static_cast<std::uint32_t>(child->Pid());
    info.threadId = info.processId;
    info.process = kernel_->Add(std::move(process));
    info.thread = kernel_->Add(std::move(thread));
    return true;
}

std::uint32_t SimPlatform::WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
    SimProcessObject* process = kernel_->Get<SimProcessObject>(object);
    if (process == nullptr) {
        kernel_->lastError = kErrorInvalidHandle;
        return kWaitFailed;
    }
    std::uint32_t code = 0;
    if (Faulted("WaitForSingleObject", process->commandLine, code)) {
        kernel_->lastError = code;
        return kWaitFailed;
    }
    const std::uint32_t result = process->child->Wait(milliseconds);
    if (result == kWaitFailed) kernel_->lastError = kErrorInvalidHandle;
    return result;
}

bool SimPlatform::GetExitCodeProcess(Handle processHandle, std::uint32_t& exitCode) {
    SimProcessObject* process = kernel_->Get<SimProcessObject>(processHandle);
    if (process == nullptr || process->thread) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("GetExitCodeProcess", process->commandLine, code)) return Result(*kernel_, code);
    exitCode = process->child->ExitCode();
    return true;
}

bool SimPlatform::CloseHandle(Handle object) {
    SimProcessObject* process = kernel_->Get<SimProcessObject>(object);
    SimTokenObject* token = kernel_->Get<SimTokenObject>(object);
    if (process == nullptr && token == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    std::uint32_t code = 0;
    if (Faulted("CloseHandle", process != nullptr ? process->commandLine : "", code)) {
        return Result(*kernel_, code);
    }
    kernel_->Remove(object);
    return true;
}

// ---- system ----

std::uint32_t SimPlatform::GetModuleFileNameA(char* buffer, std::uint32_t size) {
    const std::string path =
        kernel_->modulePath.empty() ? kernel_->Paths().ToWindows(SelfExecutable()) : kernel_->modulePath;
    std::uint32_t code = 0;
    if (Faulted("GetModuleFileNameA", path, code)) {
        kernel_->lastError = code;
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        kernel_->lastError = kErrorInsufficientBuffer;
        return 0;
    }
    if (path.size() >= size) {
        // Windows: truncated, terminated, the buffer size returned.
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        kernel_->lastError = kErrorInsufficientBuffer;
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<std::uint32_t>(path.size());
}

bool SimPlatform::OpenProcessToken(std::uint32_t desiredAccess, Handle& token) {
    std::uint32_t code = 0;
    if (Faulted("OpenProcessToken", "", code)) return Result(*kernel_, code);
    auto object = std::make_unique<SimTokenObject>();
    object->access = desiredAccess;
    token = kernel_->Add(std::move(object));
    return true;
}

bool SimPlatform::LookupPrivilegeValueA(const char* name, Luid& luid) {
    if (name == nullptr) return Result(*kernel_, kErrorInvalidParameter);
    std::uint32_t code = 0;
    if (Faulted("LookupPrivilegeValueA", name, code)) return Result(*kernel_, code);
    if (!LookupPrivilege(name, luid)) return Result(*kernel_, kErrorNoSuchPrivilege);
    return true;
}

bool SimPlatform::AdjustTokenPrivileges(Handle tokenHandle, bool disableAll, const Luid& luid,
                                        std::uint32_t attributes) {
    SimTokenObject* token = kernel_->Get<SimTokenObject>(tokenHandle);
    if (token == nullptr) return Result(*kernel_, kErrorInvalidHandle);
    if ((token->access & kTokenAdjustPrivileges) == 0) return Result(*kernel_, kErrorAccessDenied);
    const std::string name = PrivilegeName(luid);
    std::uint32_t code = 0;
    if (Faulted("AdjustTokenPrivileges", name, code)) {
        // A privilege that is not granted is no failure of the call itself.
        if (code == kErrorNotAllAssigned) {
            kernel_->lastError = code;
            return true;
        }
        return Result(*kernel_, code);
    }
    if (disableAll) {
        kernel_->shutdownPrivilegeEnabled = false;
    } else {
        if (name.empty()) {
            kernel_->lastError = kErrorNotAllAssigned;
            return true;
        }
        if (luid.lowPart == kShutdownPrivilegeLuid && luid.highPart == 0) {
            kernel_->shutdownPrivilegeEnabled = (attributes & kSePrivilegeEnabled) != 0;
        }
    }
    kernel_->lastError = kErrorSuccess;
    return true;
}

bool SimPlatform::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    std::uint32_t code = 0;
    if (Faulted("ExitWindowsEx", "", code)) return Result(*kernel_, code);
    if (!kernel_->shutdownPrivilegeEnabled) return Result(*kernel_, kErrorPrivilegeNotHeld);
    SimRestart restart;
    restart.flags = flags;
    restart.reason = reason;
    if (!WritePendingRestart(prefix_, restart)) return Result(*kernel_, kErrorAccessDenied);
    return true;
}

std::uint32_t SimPlatform::FormatMessageA(std::uint32_t flags, std::uint32_t messageId,
                                          std::uint32_t languageId, std::string& text) {
    (void)languageId;  // the machine speaks English only
    text.clear();
    std::uint32_t code = 0;
    if (Faulted("FormatMessageA", std::to_string(messageId), code)) {
        kernel_->lastError = code;
        return 0;
    }
    if ((flags & kFormatMessageFromSystem) == 0) {
        kernel_->lastError = kErrorInvalidParameter;
        return 0;
    }
    if (!SystemMessageText(messageId, text)) {
        kernel_->lastError = kErrorMrMidNotFound;
        return 0;
    }
    return static_cast<std::uint32_t>(text.size());
}

int SimPlatform::MessageBoxA(const char* text, const char* caption, std::uint32_t type) {
    (void)type;  // there is one button to press, and nobody to press it
    std::uint32_t code = 0;
    if (Faulted("MessageBoxA", Text(caption), code)) {
        kernel_->lastError = code;
        return 0;
    }
    std::string shown = Text(caption) + ": " + Text(text);
    if (shown.empty() || shown.back() != '\n') shown += '\n';
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
    return kIdOk;
}

}  // namespace plat
