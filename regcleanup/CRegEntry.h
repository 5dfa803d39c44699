// One row of a package's Registry table, and the rule that turns its Root
// column into a registry hive.
#pragma once

#include <string>

#include "platform/Platform.h"

// No hive: a Root value the table does not define.
constexpr plat::RegKey kNoHive = 0;

// The hive of a Registry row's Root column. Root -1 is the per-machine or
// per-user location depending on the package's ALLUSERS property.
plat::RegKey HiveFromRoot(int root, const std::string& allUsers);

// "HKEY_LOCAL_MACHINE\\" and the like for log lines; empty for no hive.
std::string HivePrefix(plat::RegKey hive);

struct CRegEntry {
    std::string id;               // Registry column, the table's key
    plat::RegKey hive = kNoHive;  // from the Root column
    std::string key;              // Key column, as stored
    std::string name;             // Name column, as stored; empty = default value
};
