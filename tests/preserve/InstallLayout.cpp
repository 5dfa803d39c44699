#include "tests/preserve/InstallLayout.h"

namespace preserve_test {

const char kTlWebClasses[] =
    "\\common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\CorvantaTracklightWeb.ear"
    "\\TLWebModule.war\\WEB-INF\\classes";
const char kTlWebInf[] =
    "\\Common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\CorvantaTracklightWeb.ear"
    "\\TLWebModule.war\\WEB-INF";
const char kOvlWebApp[] =
    "\\common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\OVLHSTAPP.ear\\OVLWeb.war";
const char kOvlWebClasses[] =
    "\\Common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\OVLHSTAPP.ear\\OVLWeb.war"
    "\\WEB-INF\\classes";

namespace {

const std::string kTlc = kTlWebClasses;
const std::string kTli = kTlWebInf;
const std::string kOwa = kOvlWebApp;
const std::string kOwc = kOvlWebClasses;
const std::string kProfile2 = "\\common\\mxa\\Hostlet\\profiles\\profile2";

// Files a set keeps at their mirrored place.
std::vector<Preserved> Mirrored(const std::vector<std::string>& paths) {
    std::vector<Preserved> result;
    for (const std::string& path : paths) result.push_back({path, path});
    return result;
}

// What the Tracklight name search finds below common\mxa, in the order of a
// walk in name order; spelled as the walk spells it.
const std::vector<std::string> kTracklightFinds = {
    "\\common\\mxa\\conf\\jtl.properties",
    "\\common\\mxa\\dct.properties\\csm.properties",
    "\\common\\mxa\\dct.properties\\csm.properties",  // holds two of the names
    kTlc + "\\common.properties",
    kTlc + "\\jtl.properties",
    "\\common\\mxa\\other\\xcommon.properties",
    "\\common\\mxa\\rmmanager.properties.bak",
};

const std::vector<std::string> kSpecwrightFinds = {
    kProfile2 + "\\config\\cells\\DefaultNode\\servers\\server1\\server.xml",
    kProfile2 + "\\config\\cells\\DefaultNode\\virtualhosts.xml",
    kProfile2 + "\\installedApps\\SpecNet.war\\WEB-INF\\classes\\config.txt",
};

std::string FoundLog(const std::vector<std::string>& finds, const std::string& install,
                     const std::string& root, bool debug) {
    std::string log;
    for (const std::string& rel : finds) log += "Found file " + install + rel + "\n";
    log += "Backing up individual files\nNumber of FilePaths is " + std::to_string(finds.size()) + "\n";
    if (debug) {
        for (const std::string& rel : finds) {
            log += "Backing up file: " + install + rel + "\nBacking up file to: " + root + rel + "\n\n";
        }
    }
    return log;
}

std::string DirectoryLog(const std::string& source, const std::string& destination) {
    return "Backing up directory " + source + "\nDestination to preserve to: " + destination + "\n\n";
}

std::string Log(Set set, const std::string& i, const std::string& r, bool debug,
                const std::vector<std::string>& tracklightFinds,
                const std::vector<std::string>& specwrightFinds) {
    std::string log;
    switch (set) {
        case Set::Tracklight:
            log = "Preserving Tracklight Web Directories\n\n";
            if (debug) {
                log += "jtl.properties Path: " + i + kTlc +
                       "\\jtl.properties\njtl.properties Preserve Path: " + r + kTlc + "\n\n";
            }
            return log + FoundLog(tracklightFinds, i, r, debug);
        case Set::Vaultline:
            log = "Backing up VL Files.\n\n";
            if (debug) {
                log += "VL Install location: " + i + "\\Vaultline\\var\nVL Preserve Location: " + r +
                       "\\Vaultline\\var\n\n" + DirectoryLog(i + "\\Vaultline\\var", r + "\\Vaultline\\var");
            }
            return log;
        case Set::CommonWeb:
            log = "Preserving Common Web Directories\n\n";
            if (debug) {
                const std::string pxd = "\\common\\mxa\\PXD";
                log += "PXD Path: " + i + pxd + "\nPXD Preserve Path: " + r + pxd + "\n\n";
                log += "httpd.conf Path: " + i + pxd + "\\conf\\httpd.conf\nhttpd.conf Preserve Path: " + r +
                       pxd + "\\conf\\httpd.conf\n\n";
                log += "ssl.conf Path: " + i + pxd + "\\conf\\ssl.conf\nssl.conf Preserve Path: " + r + pxd +
                       "\\conf\\ssl.conf\n\n";
                log += "common.properties Path: " + i + kTlc +
                       "\\common.properties\ncommon.properties Preserve Path: " + r + kTlc + "\n\n";
            }
            return log;
        case Set::Specwright:
            log = "Backing up SpecWr Files.\n\n";
            if (debug) {
                for (const char* dir : {"Projects", "samples", "outlines"}) {
                    log += DirectoryLog(i + "\\Specwright\\" + dir, r + "\\Specwright\\" + dir);
                }
            }
            return log + FoundLog(specwrightFinds, i, r, debug);
        case Set::Overlook:
            return "Backing up Overlook files\n\n";
    }
    return log;
}

}  // namespace

std::vector<std::string> UserFiles() {
    return {
        // Tracklight
        "\\Common\\mxa\\conf\\a.properties",
        "\\Common\\mxa\\conf\\notes.txt",
        "\\Common\\mxa\\conf\\jtl.properties",
        "\\Common\\mxa\\conf\\deeper\\b.properties",
        kTlc + "\\wpf\\conf\\wpf.properties",
        "\\Tracklight\\tlweb\\tlserver\\config\\server.properties",
        kTli + "\\web.properties",
        kTlc + "\\jtl.properties",
        kTlc + "\\common.properties",
        "\\common\\mxa\\other\\xcommon.properties",
        "\\common\\mxa\\dct.properties\\csm.properties",
        "\\common\\mxa\\rmmanager.properties.bak",
        "\\Tracklight\\tlcli\\config\\alias.init",
        "\\Tracklight\\tlcli\\config\\other.init",
        "\\Tracklight\\diagnostic\\tldiagnostics.pl",
        "\\Tracklight\\config\\log\\tlcore\\tslogger.properties",
        "\\Tracklight\\config\\log\\tlcore\\other.properties",
        // Vaultline
        "\\Vaultline\\var\\config.xml",
        "\\Vaultline\\var\\db\\store.dat",
        "\\Vaultline\\var\\db\\index\\i1.idx",
        "\\Vaultline\\bin\\vl.exe",
        // Common web
        "\\common\\mxa\\PXD\\key.kdb",
        "\\common\\mxa\\PXD\\key.sth",
        "\\common\\mxa\\PXD\\key.rdb",
        "\\common\\mxa\\PXD\\revoked.crl",
        "\\common\\mxa\\PXD\\readme.txt",
        "\\common\\mxa\\PXD\\old\\prev.kdb",
        "\\common\\mxa\\PXD\\conf\\httpd.conf",
        "\\common\\mxa\\PXD\\conf\\ssl.conf",
        "\\common\\mxa\\PXD\\conf\\mime.types",
        // Specwright
        "\\Specwright\\Projects\\Demo\\demo.swp",
        "\\Specwright\\Projects\\Demo\\model\\m.xml",
        "\\Specwright\\samples\\s1.swp",
        "\\Specwright\\outlines\\o1.txt",
        "\\Specwright\\bin\\sw.exe",
        "\\Specwright\\SpecNet\\projects\\catalog.txt",
        "\\Specwright\\SpecNet\\projects\\other.txt",
        kProfile2 + "\\installedApps\\SpecNet.war\\WEB-INF\\classes\\config.txt",
        kProfile2 + "\\config\\cells\\DefaultNode\\virtualhosts.xml",
        kProfile2 + "\\config\\cells\\DefaultNode\\servers\\server1\\server.xml",
        kProfile2 + "\\config\\cells\\DefaultNode\\servers\\server2\\server.xml",
        "\\common\\mxa\\Hostlet\\profiles\\plugin-cfg.xml",
        // Overlook
        kOwc + "\\ovl.properties",
        kOwc + "\\admin\\admin.properties",
        kOwc + "\\memsvc\\memsvc.properties",
        kOwc + "\\memsvc\\admin\\madmin.properties",
        kOwc + "\\memsvc\\sql\\sql.properties",
        kOwc + "\\memsvc\\sql\\schema.sql",
        "\\Overlook\\Overlook.ini",
        "\\Overlook\\bin\\server.ini",
        "\\Overlook\\bin\\reportserver.ini",
        "\\Overlook\\bin\\collector.ini",
        "\\Overlook\\bin\\log4j.properties",
        "\\Overlook\\bin\\other.ini",
        kOwa + "\\bin\\build-default.properties",
        kOwa + "\\tools\\i18N\\Localizer.properties",
        kOwa + "\\WEB-INF\\classes\\wpf\\wpf.properties",
        kOwa + "\\WEB-INF\\classes\\admin\\resource\\AdminResources.properties",
        kOwa + "\\WEB-INF\\classes\\memsvc\\resource\\ErrMsg.properties",
        // Administrator projects
        "\\Projects\\Alpha\\Alpha",
        "\\Projects\\Alpha\\data\\alpha.dat",
        "\\Projects\\Beta\\Beta",
    };
}

std::vector<std::string> UserDirs() {
    return {"\\Vaultline\\var\\cache", "\\Specwright\\samples\\empty"};
}

std::vector<Preserved> PreservedBy(Set set) {
    switch (set) {
        case Set::Tracklight:
            return Mirrored({
                "\\Common\\mxa\\conf\\a.properties",
                "\\Common\\mxa\\conf\\jtl.properties",
                kTlc + "\\wpf\\conf\\wpf.properties",
                "\\Tracklight\\tlweb\\tlserver\\config\\server.properties",
                kTli + "\\web.properties",
                kTlc + "\\jtl.properties",
                kTlc + "\\common.properties",
                "\\common\\mxa\\other\\xcommon.properties",
                "\\common\\mxa\\dct.properties\\csm.properties",
                "\\common\\mxa\\rmmanager.properties.bak",
                "\\Tracklight\\tlcli\\config\\alias.init",
                "\\Tracklight\\diagnostic\\tldiagnostics.pl",
                "\\Tracklight\\config\\log\\tlcore\\tslogger.properties",
            });
        case Set::Vaultline:
            return Mirrored({"\\Vaultline\\var\\config.xml", "\\Vaultline\\var\\db\\store.dat",
                             "\\Vaultline\\var\\db\\index\\i1.idx"});
        case Set::CommonWeb:
            return Mirrored({"\\common\\mxa\\PXD\\key.kdb", "\\common\\mxa\\PXD\\key.sth",
                             "\\common\\mxa\\PXD\\key.rdb", "\\common\\mxa\\PXD\\revoked.crl",
                             "\\common\\mxa\\PXD\\conf\\httpd.conf", "\\common\\mxa\\PXD\\conf\\ssl.conf",
                             kTlc + "\\common.properties"});
        case Set::Specwright: {
            std::vector<Preserved> kept =
                Mirrored({"\\Specwright\\Projects\\Demo\\demo.swp",
                          "\\Specwright\\Projects\\Demo\\model\\m.xml", "\\Specwright\\samples\\s1.swp",
                          "\\Specwright\\outlines\\o1.txt", "\\Specwright\\SpecNet\\projects\\catalog.txt",
                          "\\common\\mxa\\Hostlet\\profiles\\plugin-cfg.xml"});
            for (const Preserved& p : Mirrored(kSpecwrightFinds)) kept.push_back(p);
            return kept;
        }
        case Set::Overlook: {
            std::vector<Preserved> kept =
                Mirrored({kOwc + "\\ovl.properties", kOwc + "\\admin\\admin.properties",
                          kOwc + "\\memsvc\\memsvc.properties", kOwc + "\\memsvc\\admin\\madmin.properties",
                          kOwc + "\\memsvc\\sql\\sql.properties",
                          // These two happen to sit where the Overlook folder mirrors them.
                          "\\Overlook\\Overlook.ini", "\\Overlook\\bin\\server.ini"});
            kept.push_back({"\\Overlook\\bin\\reportserver.ini", "\\Overlook\\bin\\reportserver.ini"});
            kept.push_back({"\\Overlook\\bin\\collector.ini", "\\Overlook\\bin\\collector.ini"});
            kept.push_back({"\\Overlook\\bin\\log4j.properties", "\\Overlook\\bin\\log4j.properties"});
            kept.push_back({"\\Overlook" + kOwa + "\\bin\\build-default.properties",
                            kOwa + "\\bin\\build-default.properties"});
            kept.push_back({"\\Overlook" + kOwa + "\\tools\\i18N\\Localizer.properties",
                            kOwa + "\\tools\\i18N\\Localizer.properties"});
            kept.push_back({"\\Overlook" + kOwa + "\\WEB-INF\\classes\\wpf\\wpf.properties",
                            kOwa + "\\WEB-INF\\classes\\wpf\\wpf.properties"});
            // No WEB-INF level in these two destinations.
            kept.push_back({"\\Overlook" + kOwa + "\\classes\\admin\\resource\\AdminResources.properties",
                            kOwa + "\\WEB-INF\\classes\\admin\\resource\\AdminResources.properties"});
            kept.push_back({"\\Overlook" + kOwa + "\\classes\\memsvc\\resource\\ErrMsg.properties",
                            kOwa + "\\WEB-INF\\classes\\memsvc\\resource\\ErrMsg.properties"});
            return kept;
        }
    }
    return {};
}

std::vector<std::string> PatternCopiesOf(Set set) {
    switch (set) {
        case Set::Tracklight:
            return {"\\Common\\mxa\\conf\\a.properties", "\\Common\\mxa\\conf\\jtl.properties",
                    kTlc + "\\wpf\\conf\\wpf.properties",
                    "\\Tracklight\\tlweb\\tlserver\\config\\server.properties", kTli + "\\web.properties"};
        case Set::CommonWeb:
            return {"\\common\\mxa\\PXD\\key.kdb", "\\common\\mxa\\PXD\\key.sth",
                    "\\common\\mxa\\PXD\\key.rdb", "\\common\\mxa\\PXD\\revoked.crl"};
        case Set::Overlook:
            return {kOwc + "\\ovl.properties", kOwc + "\\admin\\admin.properties",
                    kOwc + "\\memsvc\\memsvc.properties", kOwc + "\\memsvc\\admin\\madmin.properties",
                    kOwc + "\\memsvc\\sql\\sql.properties"};
        default:
            return {};
    }
}

std::vector<std::string> EmptyDirsOf(Set set) {
    switch (set) {
        case Set::Vaultline:
            return {"\\Vaultline\\var\\cache"};
        case Set::Specwright:
            return {"\\Specwright\\samples\\empty"};
        default:
            return {};
    }
}

std::vector<std::string> DirsFromNothing(Set set) {
    switch (set) {
        case Set::Tracklight:
            return {"\\Common\\mxa\\conf",
                    kTlc + "\\wpf\\conf",
                    "\\Tracklight\\tlweb\\tlserver\\config",
                    kTli,
                    "\\Tracklight\\tlcli\\config",
                    "\\Tracklight\\diagnostic",
                    "\\Tracklight\\config\\log\\tlcore"};
        case Set::Vaultline:
            return {"\\Vaultline\\var"};
        case Set::CommonWeb:
            return {"\\common\\mxa\\PXD\\conf", kTlc};
        case Set::Specwright:
            return {"\\Specwright\\Projects", "\\Specwright\\samples", "\\Specwright\\outlines",
                    "\\Specwright\\SpecNet\\projects", "\\common\\mxa\\Hostlet\\profiles"};
        case Set::Overlook:
            return {kOwc + "\\admin",
                    kOwc + "\\memsvc\\admin",
                    kOwc + "\\memsvc\\sql",
                    "\\Overlook\\bin",
                    "\\Overlook" + kOwa + "\\bin",
                    "\\Overlook" + kOwa + "\\tools\\i18N",
                    "\\Overlook" + kOwa + "\\WEB-INF\\classes\\wpf",
                    "\\Overlook" + kOwa + "\\classes\\admin\\resource",
                    "\\Overlook" + kOwa + "\\classes\\memsvc\\resource"};
    }
    return {};
}

std::string SetLog(Set set, const std::string& install, const std::string& root, bool debug) {
    return Log(set, install, root, debug, kTracklightFinds, kSpecwrightFinds);
}

std::string SetLogFromNothing(Set set, const std::string& install, const std::string& root, bool debug) {
    return Log(set, install, root, debug, {}, {});
}

}  // namespace preserve_test
