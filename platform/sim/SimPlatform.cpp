// SimPlatform: construction, the shared helpers, and the kernel-side calls.
#include "platform/sim/SimPlatform.h"

#include <cstdlib>

#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimKernel.h"
#include "platform/sim/SimRegistry.h"

namespace plat {
namespace {
constexpr std::uint32_t kNotYet = 120;  // ERROR_CALL_NOT_IMPLEMENTED
}

SimPlatform::SimPlatform(const std::string& prefixHostPath) : prefix_(prefixHostPath) {
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

SimKernel& SimPlatform::Kernel() { return *kernel_; }
SimRegistry& SimPlatform::Registry() { return *registry_; }
SimInstaller& SimPlatform::Installer() { return *installer_; }

bool SimPlatform::Faulted(const char*, const std::string&, std::uint32_t&) { return false; }

bool SimPlatform::ToHostPath(const std::string&, std::string&, std::uint32_t& error) {
    error = kNotYet;
    return false;
}

std::string SimPlatform::ToWindowsPath(const std::string& hostPath) { return hostPath; }

std::uint32_t SimPlatform::GetLastError() { return kernel_->lastError; }
void SimPlatform::SetLastError(std::uint32_t code) { kernel_->lastError = code; }

#define SIM_NOT_YET(value)              \
    do {                                \
        kernel_->lastError = kNotYet;   \
        return value;                   \
    } while (0)

bool SimPlatform::CopyFileA(const char*, const char*, bool) { SIM_NOT_YET(false); }
bool SimPlatform::DeleteFileA(const char*) { SIM_NOT_YET(false); }
bool SimPlatform::RemoveDirectoryA(const char*) { SIM_NOT_YET(false); }
bool SimPlatform::CreateDirectoryA(const char*) { SIM_NOT_YET(false); }
int SimPlatform::SHCreateDirectoryExA(const char*) { return static_cast<int>(kNotYet); }
std::uint32_t SimPlatform::GetFileAttributesA(const char*) { SIM_NOT_YET(kInvalidFileAttributes); }
bool SimPlatform::SetFileAttributesA(const char*, std::uint32_t) { SIM_NOT_YET(false); }
Handle SimPlatform::FindFirstFileA(const char*, FindData&) { SIM_NOT_YET(kInvalidHandle); }
bool SimPlatform::FindNextFileA(Handle, FindData&) { SIM_NOT_YET(false); }
bool SimPlatform::FindClose(Handle) { SIM_NOT_YET(false); }
Handle SimPlatform::OpenTextFile(const char*, TextOpen, bool) { SIM_NOT_YET(kInvalidHandle); }
bool SimPlatform::WriteTextFile(Handle, const std::string&) { SIM_NOT_YET(false); }
bool SimPlatform::SeekTextFileToEnd(Handle) { SIM_NOT_YET(false); }
bool SimPlatform::ReadTextLine(Handle, std::string&, std::size_t) { SIM_NOT_YET(false); }
bool SimPlatform::CloseTextFile(Handle) { SIM_NOT_YET(false); }
std::uint32_t SimPlatform::GetEnvironmentVariableA(const char*, char*, std::uint32_t) { SIM_NOT_YET(0); }
bool SimPlatform::CreateProcessA(const char*, const StartupInfo&, ProcessInformation&) { SIM_NOT_YET(false); }
std::uint32_t SimPlatform::WaitForSingleObject(Handle, std::uint32_t) { SIM_NOT_YET(kWaitFailed); }
bool SimPlatform::GetExitCodeProcess(Handle, std::uint32_t&) { SIM_NOT_YET(false); }
bool SimPlatform::CloseHandle(Handle) { SIM_NOT_YET(false); }
std::uint32_t SimPlatform::GetModuleFileNameA(char*, std::uint32_t) { SIM_NOT_YET(0); }
bool SimPlatform::OpenProcessToken(std::uint32_t, Handle&) { SIM_NOT_YET(false); }
bool SimPlatform::LookupPrivilegeValueA(const char*, Luid&) { SIM_NOT_YET(false); }
bool SimPlatform::AdjustTokenPrivileges(Handle, bool, const Luid&, std::uint32_t) { SIM_NOT_YET(false); }
bool SimPlatform::ExitWindowsEx(std::uint32_t, std::uint32_t) { SIM_NOT_YET(false); }
std::uint32_t SimPlatform::FormatMessageA(std::uint32_t, std::uint32_t, std::uint32_t, std::string&) {
    SIM_NOT_YET(0);
}
int SimPlatform::MessageBoxA(const char*, const char*, std::uint32_t) { return kIdOk; }

}  // namespace plat
