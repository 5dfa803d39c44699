// msiexec.exe of the simulated machine:
//   msiexec /i PACKAGE [/qn] [/l*v LOG] [PROPERTY=VALUE ...]
//   msiexec /x PACKAGE|{PRODUCTCODE} [/qn] [/l*v LOG] [PROPERTY=VALUE ...]
// The exit code is the installer's result (0, 1603, 1605, 1619, ...), 1639
// for a command line it cannot read.
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimMsiImpl.h"
#include "platform/sim/SimPlatform.h"

namespace plat {

namespace {

constexpr int kErrorInvalidCommandLine = 1639;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

int MsiexecBuiltin(SimPlatform& machine, const std::vector<std::string>& args) {
    enum class Mode { None, Install, Uninstall } mode = Mode::None;
    std::string target, logPath;
    std::map<std::string, std::string> properties;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string option = Lower(arg);
        if ((option == "/i" || option == "-i" || option == "/x" || option == "-x" || option == "/uninstall" ||
             option == "/package") &&
            i + 1 < args.size()) {
            if (mode != Mode::None) return kErrorInvalidCommandLine;
            mode =
                (option == "/i" || option == "-i" || option == "/package") ? Mode::Install : Mode::Uninstall;
            target = args[++i];
        } else if (option.size() >= 2 && (option[0] == '/' || option[0] == '-') && option[1] == 'q') {
            // No user interface is ever shown here: every level is quiet.
        } else if (option == "/passive" || option == "/norestart" || option == "/promptrestart" ||
                   option == "/forcerestart") {
        } else if (option.size() >= 2 && (option[0] == '/' || option[0] == '-') && option[1] == 'l' &&
                   i + 1 < args.size()) {
            logPath = args[++i];
        } else if (arg.find('=') != std::string::npos && arg[0] != '/' && arg[0] != '-') {
            std::size_t eq = arg.find('=');
            properties[arg.substr(0, eq)] = arg.substr(eq + 1);
        } else {
            return kErrorInvalidCommandLine;
        }
    }
    if (mode == Mode::None || target.empty()) return kErrorInvalidCommandLine;
    SimInstaller& installer = machine.Installer();
    if (!logPath.empty()) installer.MsiEnableLogA(kInstallLogModeVerbose, logPath.c_str(), 0);
    if (mode == Mode::Install) {
        auto remove = properties.find("REMOVE");
        if (remove == properties.end() || !simmsi::EqualsNoCase(remove->second, "ALL"))
            return static_cast<int>(installer.InstallPackage(target, properties));
        mode = Mode::Uninstall;
    }
    std::string product = target;
    if (!simmsi::IsGuid(product)) {
        product = installer.PackageProductCode(target);
        if (product.empty()) return static_cast<int>(kErrorInstallPackageOpenFailed);
    }
    return static_cast<int>(installer.UninstallProduct(product, properties));
}

}  // namespace plat
