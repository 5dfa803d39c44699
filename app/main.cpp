// CorvantaUninstallTool: removes the desktop products of the Corvanta suite,
// preserving their users' configuration, in one unattended run (continued
// after a reboot when a product needs one).
#include <cstdio>
#include <string>
#include <vector>

#include "app/RunSequence.h"

int main(int argc, char** argv) {
    if (argc < 1 || argv == nullptr) {
        std::fputs("CorvantaUninstallTool: cannot initialise the program (no command line).\n", stderr);
        return 1;
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return RunTool(args);
}
