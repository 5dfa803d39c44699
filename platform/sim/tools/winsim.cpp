// winsim: the launcher of the simulated Windows machine.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "platform/sim/SimPlatform.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fprintf(stderr, "usage: winsim init | reboot | fault ... | PROGRAM [ARGS...]\n");
        return 1;
    }
    plat::SimPlatform machine(plat::SimPlatform::DefaultPrefix());
    const std::string command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "reg") return plat::RegBuiltin(machine, rest);
    if (command == "regedit") return plat::RegeditBuiltin(machine, rest);
    if (command == "regsvr32") return plat::Regsvr32Builtin(machine, rest);
    if (command == "msiexec") return plat::MsiexecBuiltin(machine, rest);
    std::fprintf(stderr, "winsim: unknown command %s\n", command.c_str());
    return 1;
}
