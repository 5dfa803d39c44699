#include "tests/support/Paths.h"

namespace testing_paths {
std::string BuildDir() {
    return CORVANTA_BUILD_DIR;
}
std::string SourceDir() {
    return CORVANTA_SOURCE_DIR;
}
std::string PackagePath(const std::string& name) {
    return BuildDir() + "/packages/" + name + ".msi";
}
std::string ToolPath() {
    return BuildDir() + "/CorvantaUninstallTool";
}
std::string WinsimPath() {
    return BuildDir() + "/winsim";
}
}  // namespace testing_paths
