// The run: validation of the command line, the opening messages and the
// fixed order of operations of a first run and of a continuation run.
#pragma once

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ToolLog.h"

// Runs the tool with the arguments after the program name on the current
// platform backend; returns the process exit code (0 on every path).
int RunTool(const std::vector<std::string>& args);

// The two run modes, on an opened (or unopenable) log.
void RunFirst(const RunOptions& options, ToolLog& log);
void RunContinuation(const RunOptions& options, ToolLog& log);
