#include "app/CommandLine.h"

RunOptions ParseCommandLine(const std::vector<std::string>& args) {
    RunOptions options;
    bool logPathSeen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The value of -r and -pd is the next argument, or "" when there is none.
        auto takeValue = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
        if (arg == "-c") {
            options.clean = true;
        } else if (arg == "-r") {
            options.continuation = true;
            options.dataFileArg = takeValue();
        } else if (arg == "-d") {
            options.debug = true;
        } else if (arg == "-v") {
            options.verbose = true;
        } else if (arg == "-nr") {
            options.noReboot = true;
        } else if (arg == "-pd") {
            options.preservePathGiven = true;
            options.preservePathArg = takeValue();
        } else if (!logPathSeen) {
            options.logPath = arg;
            logPathSeen = true;
        }
    }
    return options;
}

bool IsValidLogPath(const std::string& logPath) {
    return !logPath.empty() && logPath.find(':') != std::string::npos;
}
