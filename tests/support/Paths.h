// Where the tests find the built programs and packages.
#pragma once

#include <string>

namespace testing_paths {
std::string BuildDir();                            // the CMake build folder
std::string SourceDir();                           // the repository
std::string PackagePath(const std::string& name);  // build/packages/<name>.msi
std::string ToolPath();                            // build/CorvantaUninstallTool
std::string WinsimPath();                          // build/winsim
}  // namespace testing_paths
