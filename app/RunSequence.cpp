#include "app/RunSequence.h"

#include "products/CCorvantaProducts.h"
#include "regcleanup/CRegistryProcessor.h"

namespace {

// The cleanup shared by both run modes: SharedDLLs values, the leftover
// files with their registry values, then the package copies.
void Cleanup(CCorvantaProducts& productSet, CRegistryProcessor& sharedDlls) {
    sharedDlls.FindSharedDllEntries();
    sharedDlls.RemoveSharedDllEntries();
    productSet.CleanupFiles();
    productSet.RemoveTempPackageDir();
}

}  // namespace

void RunContinuation(const RunOptions& options, ToolLog& log) {
    CCorvantaProducts productSet(log, options.logPath, options.clean, options.verbose, options.debug,
                                 options.preservePathGiven);
    CRegistryProcessor sharedDlls(log);

    const bool read = productSet.ReadDataFile(options.dataFileArg);
    productSet.CreateTempPackageDir();
    if (!read) {
        log.Write(
            "Cannot open input file. User will have to complete the cleanup of the machine manually.\n\n");
    }
    Cleanup(productSet, sharedDlls);
    log.Close();
}

void RunFirst(const RunOptions& options, ToolLog& log) {
    CCorvantaProducts productSet(log, options.logPath, options.clean, options.verbose, options.debug,
                                 options.preservePathGiven);
    CRegistryProcessor sharedDlls(log);

    if (!productSet.FindInstalledProducts()) {
        log.Write("No Corvanta products were found on the system to uninstall.\n");
        log.Close();
        return;
    }
    if (options.preservePathGiven) productSet.SetPreservePath(options.preservePathArg);
    productSet.CreateTempPackageDir();
    productSet.SaveCachedPackages();

    productSet.PreserveTracklightWebData();
    productSet.PreserveVaultlineData();
    productSet.PreserveCommonWebData();
    productSet.PreserveSpecwrightData();
    productSet.PreserveAdministratorProjects();
    productSet.BackupRegistryKeys();
    productSet.PreserveOverlookData();

    productSet.UninstallProducts();  // a failure does not change what follows

    if (productSet.IsRebootNeeded()) {
        if (productSet.WriteDataFile()) {
            productSet.RegisterRunOnce();
            log.Write(ToolLog::FormatMessageId(options.noReboot ? 57 : 3));
            log.Close();
        } else {
            log.Write(
                "Attempt to write data file failed. The tool will be unable to clean up the machine "
                "following a "
                "reboot. You will have to manually clean up left behind files and registry entries.\n\n");
        }
        if (!options.noReboot) productSet.RestartMachine();
        log.Close();
        return;
    }

    log.Write(ToolLog::FormatMessageId(5));
    Cleanup(productSet, sharedDlls);
    log.Close();
}

int RunTool(const std::vector<std::string>& args) {
    const RunOptions options = ParseCommandLine(args);
    ToolLog log;
    if (!IsValidLogPath(options.logPath)) {
        log.WriteToConsole(ToolLog::FormatMessageId(38));
        return 0;
    }

    // A log that cannot be opened has been reported (message 37); the run is
    // unattended, so it goes on with the console only.
    log.Open(options.logPath);
    if (options.continuation) {
        log.SeekToEnd();
        log.Write(ToolLog::FormatMessageId(50));
        RunContinuation(options, log);
        return 0;
    }

    log.Write(ToolLog::FormatMessageId(47));
    log.Write(ToolLog::FormatMessageId(options.clean ? 49 : 48));
    if (options.debug) log.Write(ToolLog::FormatMessageId(54));
    if (options.verbose) log.Write(ToolLog::FormatMessageId(55));
    RunFirst(options, log);
    return 0;
}
