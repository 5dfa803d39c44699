// The command line parser: the input is split at zero bytes into arguments.
#include "app/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    const RunOptions options = ParseCommandLine(args);
    IsValidLogPath(options.logPath);
    // What the parser gives back comes from the arguments.
    if (options.continuation && options.dataFileArg.size() > size) std::abort();
    if (options.logPath.size() > size || options.preservePathArg.size() > size) std::abort();
    return 0;
}
