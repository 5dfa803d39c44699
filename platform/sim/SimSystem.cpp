#include "platform/sim/SimSystem.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/sim/SimPaths.h"

namespace plat {
namespace {

struct MessageText {
    std::uint32_t code;
    const char* text;
};

// The system's texts, as FormatMessage gives them for the English locale.
const MessageText kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {18, "There are no more files."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {38, "Reached the end of the file."},
    {39, "The disk is full."},
    {53, "The network path was not found."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {120, "This function is not supported on this system."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {161, "The specified path is invalid."},
    {183, "Cannot create a file when that file already exists."},
    {193, "%1 is not a valid Win32 application."},
    {203, "The system could not find the environment option that was entered."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {267, "The directory name is invalid."},
    {317, "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {1300, "Not all privileges or groups referenced are assigned to the caller."},
    {1313, "A specified privilege does not exist."},
    {1314, "A required privilege is not held by the client."},
    {1601,
     "The Windows Installer Service could not be accessed. This can occur if the Windows Installer is not "
     "correctly installed. Contact your support personnel for assistance."},
    {1602, "User cancelled installation."},
    {1603, "Fatal error during installation."},
    {1604, "Installation suspended, incomplete."},
    {1605, "This action is only valid for products that are currently installed."},
    {1606, "Feature ID not registered."},
    {1607, "Component ID not registered."},
    {1608, "Unknown property."},
    {1609, "Handle is in an invalid state."},
    {1610, "The configuration data for this product is corrupt.  Contact your support personnel."},
    {1611, "Component qualifier not present."},
    {1612,
     "The installation source for this product is not available.  Verify that the source exists and that you "
     "can access it."},
    {1613,
     "This installation package cannot be installed by the Windows Installer service.  You must install a "
     "Windows service pack that contains a newer version of the Windows Installer service."},
    {1614, "Product is uninstalled."},
    {1615, "SQL query syntax invalid or unsupported."},
    {1616, "Record field does not exist."},
    {1617, "The device has been removed."},
    {1618,
     "Another installation is already in progress.  Complete that installation before proceeding with this "
     "install."},
    {1619,
     "This installation package could not be opened.  Verify that the package exists and that you can access "
     "it, or contact the application vendor to verify that this is a valid Windows Installer package."},
    {1620,
     "This installation package could not be opened.  Contact the application vendor to verify that this is "
     "a "
     "valid Windows Installer package."},
    {1621,
     "There was an error starting the Windows Installer service user interface.  Contact your support "
     "personnel."},
    {1622,
     "Error opening installation log file. Verify that the specified log file location exists and that you "
     "can "
     "write to it."},
    {1623, "The language of this installation package is not supported by your system."},
    {1624, "Error applying transforms.  Verify that the specified transform paths are valid."},
    {1625, "This installation is forbidden by system policy.  Contact your system administrator."},
    {1626, "Function could not be executed."},
    {1627, "Function failed during execution."},
    {1628, "Invalid or unknown table specified."},
    {1629, "Data supplied is of wrong type."},
    {1630, "Data of this type is not supported."},
    {1631, "The Windows Installer service failed to start.  Contact your support personnel."},
    {1632,
     "The Temp folder is on a drive that is full or is inaccessible. Free up space on the drive or verify "
     "that "
     "you have write permission on the Temp folder."},
    {1633, "This installation package is not supported by this processor type. Contact your product vendor."},
    {1634, "Component not used on this computer."},
    {1635,
     "This update package could not be opened.  Verify that the update package exists and that you can "
     "access "
     "it, or contact the application vendor to verify that this is a valid Windows Installer update "
     "package."},
    {1636,
     "This update package could not be opened.  Contact the application vendor to verify that this is a "
     "valid "
     "Windows Installer update package."},
    {1637,
     "This update package cannot be processed by the Windows Installer service.  You must install a Windows "
     "service pack that contains a newer version of the Windows Installer service."},
    {1638,
     "Another version of this product is already installed.  Installation of this version cannot continue.  "
     "To configure or remove the existing version of this product, use Add/Remove Programs on the Control "
     "Panel."},
    {1639,
     "Invalid command line argument.  Consult the Windows Installer SDK for detailed command line help."},
    {3010,
     "The requested operation is successful.  Changes will not be effective until the system is rebooted."},
};

struct PrivilegeEntry {
    const char* name;
    std::uint32_t luid;
};

const PrivilegeEntry kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", kShutdownPrivilegeLuid},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
    {"SeUndockPrivilege", 25},
};

std::string RestartFile(const std::string& prefix) {
    return prefix + "/winsim.restart";
}

}  // namespace

bool SystemMessageText(std::uint32_t code, std::string& text) {
    for (const auto& m : kMessages) {
        if (m.code == code) {
            text = std::string(m.text) + "\r\n";
            return true;
        }
    }
    return false;
}

bool LookupPrivilege(const std::string& name, Luid& luid) {
    for (const auto& p : kPrivileges) {
        if (EqualsNoCase(p.name, name)) {
            luid.lowPart = p.luid;
            luid.highPart = 0;
            return true;
        }
    }
    return false;
}

std::string PrivilegeName(const Luid& luid) {
    if (luid.highPart == 0)
        for (const auto& p : kPrivileges)
            if (p.luid == luid.lowPart) return p.name;
    return "";
}

bool WritePendingRestart(const std::string& prefixHostPath, const SimRestart& restart) {
    const std::string file = RestartFile(prefixHostPath);
    const std::string temp = file + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << restart.flags << ' ' << restart.reason << '\n';
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), file.c_str()) == 0;
}

bool ReadPendingRestart(const std::string& prefixHostPath, SimRestart& restart) {
    std::ifstream in(RestartFile(prefixHostPath));
    SimRestart read;
    if (!(in >> read.flags >> read.reason)) return false;
    restart = read;
    return true;
}

bool ClearPendingRestart(const std::string& prefixHostPath) {
    return ::unlink(RestartFile(prefixHostPath).c_str()) == 0 || errno == ENOENT;
}

}  // namespace plat
