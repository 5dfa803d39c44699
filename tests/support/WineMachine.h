// A Windows machine under Wine for the end-to-end tests: a fresh 32-bit
// WINEPREFIX per machine, copied from one initialised template prefix (made
// once in the build folder and shared by every test process), with the
// programs of the prefix run through `wine`.
//
//   WineMachine machine;                     // fresh prefix
//   ASSERT_TRUE(machine.Ready()) << machine.Problem();
//   machine.Wine({"msiexec", "/i", "Z:/path/x.msi", "/qn"});
//   machine.WaitIdle();                      // every program of the prefix has ended
//
// The prefix is removed on destruction unless WINE_KEEP is set.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ToolRun.h"

namespace winetest {

// The full path of a program found on PATH, "" when there is none.
std::string FindProgram(const std::string& name);
// True when wine and wineserver can be found.
bool WineAvailable();
// The folder of the cross build (CORVANTA_WIN32_BUILD_DIR, default
// <source>/build-win32) and the Windows programs in it.
std::string Win32BuildDir();
std::string ToolExePath();
std::string SelfTestExePath();

class WineMachine {
public:
    WineMachine();
    ~WineMachine();
    WineMachine(const WineMachine&) = delete;
    WineMachine& operator=(const WineMachine&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Problem() const { return problem_; }
    const std::string& Prefix() const { return prefix_; }

    // `wine ARGS...` in this prefix; extra "NAME=VALUE" environment entries.
    toolrun::ProcessResult Wine(const std::vector<std::string>& args,
                                const std::vector<std::string>& environment = {}) const;
    // Waits until the prefix's wineserver has ended (every program gone).
    void WaitIdle() const;

    // The host path of a Windows path on C: or Z: (components matched
    // ignoring case, missing ones taken as written).
    std::string HostPath(const std::string& windowsPath) const;

private:
    std::string prefix_;
    std::string problem_;
    bool ready_ = false;
};

}  // namespace winetest
