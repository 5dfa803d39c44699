// The tool's command line: the log file path and the options, in any order.
#pragma once

#include <string>
#include <vector>

struct RunOptions {
    std::string logPath;             // the first argument that is not an option
    bool clean = false;              // -c
    bool continuation = false;       // -r
    std::string dataFileArg;         // the argument after -r
    bool debug = false;              // -d
    bool verbose = false;            // -v
    bool noReboot = false;           // -nr
    bool preservePathGiven = false;  // -pd
    std::string preservePathArg;     // the argument after -pd
};

// Walks the arguments after the program name. Option names are compared
// exactly and case-sensitively; -r and -pd take the next argument (empty when
// they come last); the first other argument is the log path, later ones are
// ignored.
RunOptions ParseCommandLine(const std::vector<std::string>& args);

// A log path is accepted when it is not empty and has a colon somewhere.
bool IsValidLogPath(const std::string& logPath);
