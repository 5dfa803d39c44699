// The preservation sets of Specwright, of the project directories the
// Administrator lists for the current user, and of Overlook.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Platform.h"
#include "preserve/PreservePaths.h"
#include "products/CCorvantaProducts.h"

namespace {

const char kOvlWebApp[] =
    "\\common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\OVLHSTAPP.ear\\OVLWeb.war";
const char kOvlWebClasses[] =
    "\\Common\\mxa\\Hostlet\\profiles\\profile1\\installedApps\\DefaultNode\\OVLHSTAPP.ear\\OVLWeb.war"
    "\\WEB-INF\\classes";

const char kProjectListKey[] = "Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";
const char kProjectListValue[] = "Data List";

struct SingleFile {
    std::string source;       // below installLocation
    std::string destination;  // below the Overlook folder of the preserve root
    bool createFolder;        // create the destination's folder first
};

}  // namespace

void CCorvantaProducts::PreserveSpecwrightData() {
    if (clean || !hasSpecwright) return;
    plat::Platform& sys = plat::Sys();
    const std::string root = preserve::PreserveRoot(preservePath);
    const std::string specwright = root + "\\Specwright";
    log.WriteToLog("Backing up SpecWr Files.\n\n");

    for (const char* dir : {"Projects", "samples", "outlines"}) {
        BackupDirectory(installLocation + "\\" + "Specwright\\" + dir, specwright + "\\" + dir);
    }

    sys.SHCreateDirectoryExA((specwright + "\\SpecNet\\projects").c_str());
    sys.CopyFileA((installLocation + "\\" + "Specwright\\SpecNet\\projects\\catalog.txt").c_str(),
                  (specwright + "\\SpecNet\\projects\\catalog.txt").c_str(), true);

    // The names carry backslashes, so each one matches a file by the tail of
    // its path.
    BackupFoundFiles({"SpecNet.war\\WEB-INF\\classes\\config.txt", "cells\\DefaultNode\\virtualhosts.xml",
                      "servers\\server1\\server.xml"},
                     installLocation + "\\common\\mxa\\Hostlet\\profiles\\profile2");

    const std::string profiles = "\\common\\mxa\\Hostlet\\profiles";
    sys.SHCreateDirectoryExA((root + profiles).c_str());
    sys.CopyFileA((installLocation + profiles + "\\plugin-cfg.xml").c_str(),
                  (root + profiles + "\\plugin-cfg.xml").c_str(), true);
}

void CCorvantaProducts::PreserveAdministratorProjects() {
    log.WriteToLog("Backing up Corvanta Administrator Directories\n\n");
    ReadAdministratorProjectList();
    const std::string root = preserve::PreserveRoot(preservePath);
    for (const std::string& dir : adminProjectDirs) {
        BackupDirectory(dir, preserve::ReplaceAll(dir, installLocation, root));
    }
}

void CCorvantaProducts::ReadAdministratorProjectList() {
    adminProjectDirs.clear();
    plat::Platform& sys = plat::Sys();
    plat::UniqueRegKey key;
    if (sys.RegOpenKeyExA(plat::kHkeyCurrentUser, kProjectListKey, 0, plat::kKeyRead, key.put()) !=
        static_cast<std::int32_t>(plat::kErrorSuccess)) {
        key.release();  // nothing was opened
        return;
    }
    std::uint32_t size = 0;
    if (sys.RegQueryValueExA(key.get(), kProjectListValue, nullptr, nullptr, &size) !=
        static_cast<std::int32_t>(plat::kErrorSuccess)) {
        return;
    }
    std::vector<std::uint8_t> data(size);
    std::uint32_t type = 0;
    if (sys.RegQueryValueExA(key.get(), kProjectListValue, &type, data.empty() ? nullptr : data.data(),
                             &size) != static_cast<std::int32_t>(plat::kErrorSuccess)) {
        return;
    }
    // The value may have changed between the two reads, or may not end with
    // its terminators: never look past what was actually read.
    if (size < data.size()) data.resize(size);

    // Consecutive NUL-terminated strings, ended by an empty one or by the end
    // of the data.
    std::vector<std::string> strings;
    std::size_t at = 0;
    while (at < data.size()) {
        std::size_t end = at;
        while (end < data.size() && data[end] != 0) ++end;
        if (end == at) break;
        strings.emplace_back(reinterpret_cast<const char*>(data.data()) + at, end - at);
        at = end + 1;
    }
    // A list the Administrator has emptied holds a lone line break.
    if (!strings.empty() && strings.front() == "\r\n") return;

    for (const std::string& projectFile : strings) {
        const std::string dir = preserve::FolderOf(projectFile);
        log.WriteToLog(FormatText("Dir path is %s\n", {dir}));
        // Only projects inside the installation are preserved.
        if (dir.find(installLocation) != std::string::npos) adminProjectDirs.push_back(dir);
    }
}

void CCorvantaProducts::PreserveOverlookData() {
    if (clean || !hasOverlook) return;
    plat::Platform& sys = plat::Sys();
    const std::string overlookRoot = preserve::PreserveRoot(preservePath) + "\\Overlook";
    log.WriteToLog("Backing up Overlook files\n\n");

    // These mirror the installation under the preserve root itself.
    const std::string classes = kOvlWebClasses;
    for (const std::string& dir : {classes, classes + "\\admin", classes + "\\memsvc",
                                   classes + "\\memsvc\\admin", classes + "\\memsvc\\sql"}) {
        CopyMatchingFiles(dir, dir, "*.properties");
    }

    sys.SHCreateDirectoryExA((overlookRoot + "\\").c_str());
    sys.SHCreateDirectoryExA((overlookRoot + "\\bin").c_str());

    const std::string webApp = kOvlWebApp;
    const SingleFile files[] = {
        {"\\Overlook\\Overlook.ini", "\\Overlook.ini", false},
        {"\\Overlook\\bin\\server.ini", "\\bin\\server.ini", false},
        {"\\Overlook\\bin\\reportserver.ini", "\\bin\\reportserver.ini", false},
        {"\\Overlook\\bin\\collector.ini", "\\bin\\collector.ini", false},
        {"\\Overlook\\bin\\log4j.properties", "\\bin\\log4j.properties", false},
        {webApp + "\\bin\\build-default.properties", webApp + "\\bin\\build-default.properties", true},
        {webApp + "\\tools\\i18N\\Localizer.properties", webApp + "\\tools\\i18N\\Localizer.properties",
         true},
        {webApp + "\\WEB-INF\\classes\\wpf\\wpf.properties",
         webApp + "\\WEB-INF\\classes\\wpf\\wpf.properties", true},
        // These two land without the WEB-INF level of their source.
        {webApp + "\\WEB-INF\\classes\\admin\\resource\\AdminResources.properties",
         webApp + "\\classes\\admin\\resource\\AdminResources.properties", true},
        {webApp + "\\WEB-INF\\classes\\memsvc\\resource\\ErrMsg.properties",
         webApp + "\\classes\\memsvc\\resource\\ErrMsg.properties", true},
    };
    for (const SingleFile& file : files) {
        const std::string destination = overlookRoot + file.destination;
        if (file.createFolder) sys.SHCreateDirectoryExA(preserve::FolderOf(destination).c_str());
        sys.CopyFileA((installLocation + file.source).c_str(), destination.c_str(), true);
    }
}
