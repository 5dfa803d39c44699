// Runs an external program (regedit, regsvr32) and waits for its end.
#pragma once

#include <cstdint>
#include <string>

#include "app/ToolLog.h"

// Starts the command line as a new process (the system finds the program from
// its first token), waits without a time limit and returns the exit code.
// Returns 0 without a word when the process cannot be started. When the exit
// code cannot be read, message 23 with the error code goes to both channels
// and the result is 0.
std::uint32_t RunCommand(const std::string& commandLine, ToolLog& log);
