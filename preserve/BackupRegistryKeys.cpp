// Exports the products' registry keys with the system's registry editor
// before the uninstall and the registry cleanup remove them. The .reg files
// go straight into the -pd directory, beside Corvanta.Preserve.
#include <string>

#include "app/RunCommand.h"
#include "products/CCorvantaProducts.h"

namespace {

enum class Needs { Tracklight, Vaultline, Qualvane, Pilotron, Specwright };

struct RegistryExport {
    Needs needs;
    const char* commandLine;  // %s: the -pd directory, unchanged
};

// In the order they run.
const RegistryExport kExports[] = {
    {Needs::Tracklight,
     "regedit.exe /e:a \"%s\\tl_core_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta "
     "Software\\Tracklight\""},
    {Needs::Tracklight,
     "regedit.exe /e:a \"%s\\tl_core_hklm.reg\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta "
     "Software\\Tracklight\""},
    {Needs::Tracklight,
     "regedit.exe /e:a \"%s\\tl_email_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta Software\\Email\""},
    {Needs::Tracklight,
     "regedit.exe /e:a \"%s\\tl_email_hklm.reg\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Software\\Email\""},
    {Needs::Tracklight,
     "regedit.exe /e:a \"%s\\tl_intsvr_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta "
     "Software\\Tracklight\\Common\\TLIntSvr\""},
    {Needs::Vaultline, "regedit.exe /e:a \"%s\\vl_tolvi_hklm.reg\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi\""},
    {Needs::Vaultline, "regedit.exe /e:a \"%s\\vl_tolvi_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Tolvi\""},
    {Needs::Qualvane,
     "regedit.exe /e:a \"%s\\qv_hklm.reg\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta Test\\8\\Qualvane\""},
    {Needs::Pilotron,
     "regedit.exe /e:a \"%s\\pilotron_hklm.reg\" \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvanta "
     "Test\\8\\Pilotron\""},
    {Needs::Specwright,
     "regedit.exe /e:a \"%s\\sw_addins_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta "
     "Software\\Specwright\\4.0\\AddIns\""},
    {Needs::Specwright,
     "regedit.exe /e:a \"%s\\sw_preferences_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta "
     "Software\\Specwright\\4.0\\Preferences\""},
    {Needs::Specwright,
     "regedit.exe /e:a \"%s\\sw_projects_hkcu.reg\" \"HKEY_CURRENT_USER\\SOFTWARE\\Corvanta "
     "Software\\Specwright\\4.0\\Projects\""},
};

}  // namespace

void CCorvantaProducts::BackupRegistryKeys() {
    const std::string& directory = preservePath;
    if (debug) log.WriteToLog("DEBUG: Entered BackupRegistryKeys()\n\n");
    for (const RegistryExport& row : kExports) {
        bool present = false;
        switch (row.needs) {
            case Needs::Tracklight:
                present = hasTracklight;
                break;
            case Needs::Vaultline:
                present = hasVaultline;
                break;
            case Needs::Qualvane:
                present = hasQualvane;
                break;
            case Needs::Pilotron:
                present = hasPilotron;
                break;
            case Needs::Specwright:
                present = hasSpecwright;
                break;
        }
        if (!present) continue;
        const std::string commandLine = FormatText(row.commandLine, {directory});
        if (debug) {
            log.WriteToLog(
                FormatText("DEBUG: Preparing to launch regedit.exe with the following cmd line:\n%s\n\n",
                           {commandLine}));
        }
        // The exit code is of no interest: a missing key or a failed export
        // never stops the run.
        RunCommand(commandLine, log);
    }
}
