// System facts of the simulated machine: the system message texts, the
// privilege names, and the restart the machine has been asked for.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace plat {

constexpr std::uint32_t kErrorMrMidNotFound = 317;
constexpr std::uint32_t kErrorNoSuchPrivilege = 1313;
constexpr std::uint32_t kErrorPrivilegeNotHeld = 1314;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorBadExeFormat = 193;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kShutdownPrivilegeLuid = 19;

// The English system text of a Win32 error code, with its CR LF.
bool SystemMessageText(std::uint32_t code, std::string& text);

// The LUID of a privilege name ("SeShutdownPrivilege", ...), case-insensitively.
bool LookupPrivilege(const std::string& name, Luid& luid);
std::string PrivilegeName(const Luid& luid);

// The pending restart recorded by ExitWindowsEx, in a file of the prefix.
struct SimRestart {
    std::uint32_t flags = 0;
    std::uint32_t reason = 0;
};
bool WritePendingRestart(const std::string& prefixHostPath, const SimRestart& restart);
bool ReadPendingRestart(const std::string& prefixHostPath, SimRestart& restart);
bool ClearPendingRestart(const std::string& prefixHostPath);

}  // namespace plat
