// Directory enumeration for the sweeps: every match of a pattern, collected
// before the caller changes anything in the folder.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace filecleanup {

// The matches of pattern in enumeration order ("." and ".." included when the
// system gives them); empty when nothing matches.
std::vector<plat::FindData> ListFolder(const std::string& pattern);

}  // namespace filecleanup
