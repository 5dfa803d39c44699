#include "app/RunCommand.h"

#include "platform/Handles.h"

std::uint32_t RunCommand(const std::string& commandLine, ToolLog& log) {
    plat::Platform& sys = plat::Sys();
    plat::StartupInfo startup;
    startup.flags = plat::kStartfUseShowWindow;
    startup.showWindow = plat::kSwShowNormal;
    plat::ProcessInformation info;
    if (!sys.CreateProcessA(commandLine.c_str(), startup, info)) return 0;

    plat::UniqueKernelHandle process(info.process);
    plat::UniqueKernelHandle thread(info.thread);
    sys.WaitForSingleObject(process.get(), plat::kInfinite);
    std::uint32_t exitCode = 0;
    if (!sys.GetExitCodeProcess(process.get(), exitCode)) {
        const std::uint32_t error = sys.GetLastError();
        log.Write(ToolLog::FormatMessageId(23, {std::to_string(error)}));
        exitCode = 0;
    }
    return exitCode;
}
