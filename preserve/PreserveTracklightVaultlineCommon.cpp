// The preservation sets of the Tracklight web configuration, the Vaultline
// data directory and the web configuration all the web products share.
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "preserve/PreservePaths.h"
#include "products/CCorvantaProducts.h"

namespace {

// The file system ignores letter case, so "\common\mxa" and "\Common\mxa" are
// the same folder; each list keeps the spelling it has always used.
const char kTlWebClasses[] =
    "\\common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\CorvantaTracklightWeb.ear"
    "\\TLWebModule.war\\WEB-INF\\classes";
const char kTlWebInf[] =
    "\\Common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\CorvantaTracklightWeb.ear"
    "\\TLWebModule.war\\WEB-INF";

struct SingleFile {
    const char* source;       // below installLocation
    const char* destination;  // below the preserve root
};

}  // namespace

void CCorvantaProducts::PreserveTracklightWebData() {
    if (clean || !hasTracklight) return;
    const std::string root = preserve::PreserveRoot(preservePath);
    log.WriteToLog("Preserving Tracklight Web Directories\n\n");

    const std::string webClasses = kTlWebClasses;
    const std::string webInf = kTlWebInf;
    const std::string propertyDirs[] = {
        "\\Common\\mxa\\conf",
        webClasses + "\\wpf\\conf",
        "\\Tracklight\\tlweb\\tlserver\\config",
        webInf,
    };
    for (const std::string& dir : propertyDirs) CopyMatchingFiles(dir, dir, "*.properties");

    if (debug) {
        log.WriteToLog(FormatText("jtl.properties Path: %s\njtl.properties Preserve Path: %s\n\n",
                                  {installLocation + webClasses + "\\jtl.properties", root + webClasses}));
    }
    BackupFoundFiles({"jtl.properties", "rmmanager.properties", "dct.properties", "saved.properties",
                      "csm.properties", "common.properties"},
                     installLocation + "\\common\\mxa");

    plat::Platform& sys = plat::Sys();
    const char* const folders[] = {"\\Tracklight\\tlcli\\config", "\\Tracklight\\diagnostic",
                                   "\\Tracklight\\config\\log\\tlcore"};
    for (const char* folder : folders) sys.SHCreateDirectoryExA((root + folder).c_str());

    const SingleFile files[] = {
        {"\\Tracklight\\tlcli\\config\\alias.init", "\\Tracklight\\tlcli\\config\\alias.init"},
        {"\\Tracklight\\diagnostic\\tldiagnostics.pl", "\\Tracklight\\diagnostic\\tldiagnostics.pl"},
        {"\\Tracklight\\config\\log\\tlcore\\tslogger.properties",
         "\\Tracklight\\config\\log\\tlcore\\tslogger.properties"},
    };
    for (const SingleFile& file : files) {
        sys.CopyFileA((installLocation + file.source).c_str(), (root + file.destination).c_str(), true);
    }
}

void CCorvantaProducts::PreserveVaultlineData() {
    if (clean || !hasVaultline) return;
    const std::string source = installLocation + "\\Vaultline\\var";
    const std::string destination = preserve::PreserveRoot(preservePath) + "\\Vaultline\\var";
    log.WriteToLog("Backing up VL Files.\n\n");
    if (debug) {
        log.WriteToLog(
            FormatText("VL Install location: %s\nVL Preserve Location: %s\n\n", {source, destination}));
    }
    BackupDirectory(source, destination);
}

void CCorvantaProducts::PreserveCommonWebData() {
    if (clean || !(hasVaultline || hasTracklight || hasOverlook || hasSpecwright)) return;
    const std::string root = preserve::PreserveRoot(preservePath);
    const std::string pxd = "\\common\\mxa\\PXD";
    log.WriteToLog("Preserving Common Web Directories\n\n");
    if (debug) {
        log.WriteToLog(
            FormatText("PXD Path: %s\nPXD Preserve Path: %s\n\n", {installLocation + pxd, root + pxd}));
    }
    // The web server's key stores and revocation lists.
    for (const char* pattern : {"*.sth", "*.rdb", "*.kdb", "*.crl"}) CopyMatchingFiles(pxd, pxd, pattern);

    plat::Platform& sys = plat::Sys();
    const std::string confSource = installLocation + pxd + "\\conf";
    const std::string confDestination = root + pxd + "\\conf";
    if (debug) {
        log.WriteToLog(FormatText("httpd.conf Path: %s\nhttpd.conf Preserve Path: %s\n\n",
                                  {confSource + "\\httpd.conf", confDestination + "\\httpd.conf"}));
        log.WriteToLog(FormatText("ssl.conf Path: %s\nssl.conf Preserve Path: %s\n\n",
                                  {confSource + "\\ssl.conf", confDestination + "\\ssl.conf"}));
    }
    sys.SHCreateDirectoryExA(confDestination.c_str());
    for (const char* name : {"\\httpd.conf", "\\ssl.conf"}) {
        sys.CopyFileA((confSource + name).c_str(), (confDestination + name).c_str(), true);
    }

    const std::string propertiesSource = installLocation + kTlWebClasses + "\\common.properties";
    const std::string propertiesDestination = root + kTlWebClasses;
    if (debug) {
        log.WriteToLog(FormatText("common.properties Path: %s\ncommon.properties Preserve Path: %s\n\n",
                                  {propertiesSource, propertiesDestination}));
    }
    sys.SHCreateDirectoryExA(propertiesDestination.c_str());
    sys.CopyFileA(propertiesSource.c_str(), (propertiesDestination + "\\common.properties").c_str(), true);
}
