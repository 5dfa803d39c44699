// The log lines the registry cleanup writes, spelled out for the tests'
// expectations.
#pragma once

#include <cstdint>
#include <string>

#include "app/ToolLog.h"

namespace regtest {

inline std::string SystemText(std::uint32_t code) {
    return ToolLog::GetSystemErrorText(code);
}

// hivePrefix is "HKEY_LOCAL_MACHINE\\" and the like.
inline std::string DeletedLine(const std::string& hivePrefix, const std::string& key,
                               const std::string& name) {
    return "CDeleteUnsharedKeys: RegDeleteValue result = " + SystemText(0) + " The key is: " + hivePrefix +
           key + "\t" + name + "\n\n";
}
inline std::string OpenErrorLine(std::uint32_t code, const std::string& hivePrefix, const std::string& key) {
    return "CDeleteUnsharedKeys: RegOpenKeyEx result = " + SystemText(code) + " The key is: " + hivePrefix +
           key + "\n\n";
}
inline std::string DeleteErrorLine(std::uint32_t code, const std::string& hivePrefix, const std::string& key,
                                   const std::string& name) {
    return "CDeleteUnsharedKeys:  Error removing: " + hivePrefix + key + "\\" + name + "\t" +
           SystemText(code) + "\n\n";
}
inline std::string KeepCheckLine(const std::string& text) {
    return "PreserveKeyOrValue:  DEBUG: Key or value to check is " + text + "\n\n\n";
}
inline std::string KeptLine(const std::string& text) {
    return "DEBUG: Preserving the value: " + text + "\n";
}
// One key visited by the tree removal in debug mode (without -c).
inline std::string EnteredLines(const std::string& path, bool clean = false) {
    return "DEBUG: Entered CDeleteCorvantaSoftwareAndTolviKeys for key " + path + "\n\n" +
           (clean ? std::string() : KeepCheckLine(path));
}
inline std::string TreeOpenErrorLine(std::uint32_t code) {
    return "CDeleteCorvantaSoftwareAndTolviKeys:  " + SystemText(code) + "\n\n";
}
inline std::string TableErrorLine(const std::string& prefix, std::uint32_t code) {
    return ToolLog::FormatMessageId(41, {prefix, SystemText(code)});
}

}  // namespace regtest
