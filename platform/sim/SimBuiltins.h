// The programs built into the simulated machine. CreateProcessA runs them as
// real child processes (through the winsim launcher); each entry point takes
// the arguments after the program name, split by the Windows rules, and
// returns the process's exit code.
#pragma once

#include <string>
#include <vector>

namespace plat {

class SimPlatform;

int RegBuiltin(SimPlatform& machine, const std::vector<std::string>& args);       // reg.exe
int RegeditBuiltin(SimPlatform& machine, const std::vector<std::string>& args);   // regedit.exe
int Regsvr32Builtin(SimPlatform& machine, const std::vector<std::string>& args);  // regsvr32.exe
int MsiexecBuiltin(SimPlatform& machine, const std::vector<std::string>& args);   // msiexec.exe

}  // namespace plat
