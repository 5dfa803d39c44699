// The install engine of the simulated Windows Installer: puts a package's
// files, registry values and product registration on the machine, caches
// the package, and takes everything away again on uninstall while other
// products still holding a component keep it. Each run can write an
// installer log (MsiEnableLogA).
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/sim/SimMsiImpl.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

namespace plat {

using namespace simmsi;

namespace {

namespace fs = std::filesystem;

constexpr const char* kSharedDllsKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kClassesProductsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Products";
constexpr int kComponentSharedDllRefCount = 8;  // msidbComponentAttributesSharedDllRefCount
constexpr int kCustomActionInScript = 0x400;    // msidbCustomActionTypeInScript (deferred)

std::string Lookup(const std::map<std::string, std::string>& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

std::string ProductRegKey(const std::string& productCode) {
    return std::string(kInstallerUserDataKey) + "\\Products\\" + PackGuid(productCode);
}

std::string ComponentClientsKey(const std::string& componentId) {
    return std::string(kInstallerUserDataKey) + "\\Components\\" + PackGuid(componentId);
}

std::string RootName(int root, bool perMachine) {
    switch (root) {
        case -1:
            return perMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
        case 0:
            return "HKEY_CLASSES_ROOT";
        case 1:
            return "HKEY_CURRENT_USER";
        case 2:
            return "HKEY_LOCAL_MACHINE";
        case 3:
            return "HKEY_USERS";
        default:
            return "";
    }
}

// Registry table values: "#n" a DWORD, "#x.." binary, "#%.." expandable,
// "##.." a string beginning with '#', text with [~] a multi-string.
SimRegValue RegistryValue(const std::string& name, const std::string& formatted) {
    SimRegValue value;
    value.name = name;
    const std::string& v = formatted;
    if (v.size() >= 2 && v[0] == '#' && (v[1] == 'x' || v[1] == 'X')) {
        value.type = kRegBinary;
        for (std::size_t i = 2; i + 1 < v.size(); i += 2)
            value.data += static_cast<char>(std::stoi(v.substr(i, 2), nullptr, 16));
    } else if (v.size() >= 2 && v[0] == '#' && v[1] == '%') {
        value.type = kRegExpandSz;
        value.data = v.substr(2) + '\0';
    } else if (v.size() >= 2 && v[0] == '#' && v[1] == '#') {
        value.type = kRegSz;
        value.data = v.substr(1) + '\0';
    } else if (!v.empty() && v[0] == '#') {
        value.type = kRegDword;
        std::uint32_t n = static_cast<std::uint32_t>(std::strtol(v.c_str() + 1, nullptr, 10));
        for (int i = 0; i < 4; ++i) value.data += static_cast<char>((n >> (8 * i)) & 0xFF);
    } else if (v.find('\0') != std::string::npos) {
        value.type = kRegMultiSz;
        std::size_t start = 0;
        while (start <= v.size()) {
            std::size_t end = v.find('\0', start);
            if (end == std::string::npos) end = v.size();
            if (end > start) value.data += v.substr(start, end - start) + '\0';
            start = end + 1;
        }
        value.data += '\0';
    } else {
        value.type = kRegSz;
        value.data = v + '\0';
    }
    return value;
}

std::string Today() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%d", &tm);
    return buffer;
}

std::string Clock() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m/%d/%Y  %H:%M:%S", &tm);
    return buffer;
}

std::uint32_t VersionNumber(const std::string& version) {
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &build);
    return (major & 0xFF) << 24 | (minor & 0xFF) << 16 | (build & 0xFFFF);
}

// Parent folder of a path ending in a backslash, also ending in one.
std::string ParentFolder(const std::string& folder) {
    std::string f = folder;
    if (!f.empty() && f.back() == '\\') f.pop_back();
    std::size_t cut = f.rfind('\\');
    return cut == std::string::npos ? "" : f.substr(0, cut + 1);
}

bool IsRegistryKeyPath(const std::string& keyPath) {
    return keyPath.size() > 3 && std::isdigit(static_cast<unsigned char>(keyPath[0])) &&
           std::isdigit(static_cast<unsigned char>(keyPath[1])) && keyPath[2] == ':';
}

// Keys of the system that stay even when empty: the hives, Software at any
// depth, and the first level below HKLM and HKU.
bool IsStandingKey(const std::string& key) {
    std::size_t depth = static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\'));
    std::string name = UpperCase(key.substr(key.rfind('\\') + 1));
    if (depth == 0 || name == "SOFTWARE" || name == "CLASSES") return true;
    std::string hive = UpperCase(key.substr(0, key.find('\\')));
    return depth == 1 && (hive == "HKEY_LOCAL_MACHINE" || hive == "HKEY_USERS");
}

// The installer log of one install or uninstall run.
class RunLog {
public:
    RunLog(SimInstaller::Impl& installer) : installer_(installer) {}
    ~RunLog() { Flush(); }
    void Line(const std::string& text) { lines_ += "MSI (s) (" + Clock() + "): " + text + "\r\n"; }
    void Start(const std::string& what) {
        lines_ += "=== Logging started: " + Clock() + " ===\r\n";
        Line(what);
    }
    void Stop(std::uint32_t code) {
        Line("Windows Installer returned " + std::to_string(code) + ".");
        lines_ += "=== Logging stopped: " + Clock() + " ===\r\n";
    }

private:
    void Flush() {
        if (installer_.logPath.empty() || lines_.empty()) return;
        std::string host;
        if (!installer_.HostPath(installer_.logPath, host)) return;
        std::ofstream out(host, std::ios::binary | (installer_.logAppend ? std::ios::app : std::ios::trunc));
        out << lines_;
    }
    SimInstaller::Impl& installer_;
    std::string lines_;
};

// Folder keys whose place comes from the machine or the package root.
bool IsFixedFolder(const std::string& key, const std::map<std::string, std::string>& machineProperties,
                   const std::vector<DirectoryRow>& rows) {
    if (machineProperties.count(key)) return true;
    for (const DirectoryRow& r : rows)
        if (r.key == key) return r.parent.empty() || r.parent == r.key;
    return true;  // not in the table: not ours
}

// What an install changed so far, to be taken back when it fails later, as
// the Windows Installer rolls a failed install back.
class Rollback {
public:
    explicit Rollback(SimRegistry& registry) : registry_(registry) {}
    // Before a folder (host path) is created: its folders that do not exist yet.
    void Folder(const std::string& hostFolder) {
        std::vector<std::string> missing;
        std::error_code ec;
        for (fs::path p = hostFolder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            missing.push_back(p.string());
            if (p == p.parent_path()) break;
        }
        undo_.push_back([missing] {
            std::error_code ec;
            for (const std::string& folder : missing)
                if (fs::is_directory(folder, ec) && fs::is_empty(folder, ec)) fs::remove(folder, ec);
        });
    }
    // Before a file (host path) is written: its earlier content, if any.
    void File(const std::string& hostFile) {
        std::error_code ec;
        bool existed = fs::is_regular_file(hostFile, ec);
        std::string before;
        if (existed) {
            std::ifstream in(hostFile, std::ios::binary);
            before.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        undo_.push_back([hostFile, existed, before] {
            std::error_code ec;
            if (existed)
                std::ofstream(hostFile, std::ios::binary | std::ios::trunc) << before;
            else
                fs::remove(hostFile, ec);
        });
    }
    // Before a key is created: the keys of its path that do not exist yet.
    void Key(const std::string& key) {
        std::vector<std::string> missing;
        for (std::string k = key; !k.empty() && !registry_.KeyExists(k);) {
            missing.push_back(k);
            std::size_t cut = k.rfind('\\');
            k = cut == std::string::npos ? "" : k.substr(0, cut);
        }
        undo_.push_back([this, missing] {
            for (const std::string& k : missing)
                if (registry_.SubKeys(k).empty() && registry_.Values(k).empty()) registry_.DeleteKeyTree(k);
        });
    }
    // Before a value is written: its earlier data, if any.
    void Value(const std::string& key, const std::string& name) {
        Key(key);
        SimRegValue before;
        bool existed = registry_.GetValue(key, name, before);
        undo_.push_back([this, key, name, existed, before] {
            if (existed)
                registry_.SetValue(key, before);
            else
                registry_.DeleteValue(key, name);
        });
    }
    void Undo() {
        for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) (*it)();
        undo_.clear();
    }

private:
    SimRegistry& registry_;
    std::vector<std::function<void()>> undo_;
};

}  // namespace

std::uint32_t SimInstaller::Impl::Install(const std::string& packagePath,
                                          const std::map<std::string, std::string>& commandProperties) {
    RunLog log(*this);
    log.Start("Product install: package '" + packagePath + "'.");
    Package package;
    std::uint32_t result = OpenPackage(packagePath, package);
    if (result != kErrorSuccess) {
        log.Line("Note: 1: 2203 2: " + packagePath + " 3: cannot open the installation package.");
        log.Stop(result);
        return result;
    }
    PackageModel model;
    ReadPackageModel(package.db.get(), model);
    std::map<std::string, std::string> props = package.properties;
    for (const auto& [name, value] : commandProperties) props[name] = value;
    const std::string productCode = Lookup(props, "ProductCode");
    if (!IsGuid(productCode)) {
        log.Line("The package declares no product code.");
        log.Stop(kErrorInstallPackageInvalid);
        return kErrorInstallPackageInvalid;
    }
    SimRegistry& registry = machine.Registry();
    if (registry.KeyExists(ProductRegKey(productCode) + "\\InstallProperties")) {
        log.Line("Product " + productCode + " is already installed: nothing to do.");
        log.Stop(kErrorSuccess);
        return kErrorSuccess;
    }

    std::map<std::string, std::string> dirs = ResolveDirectories(model.directories, props);
    for (const auto& [key, path] : dirs) props[key] = path;
    // Property-setting custom actions (type 51) in their sequence order.
    std::vector<SequenceRow> sequence = model.executeSequence;
    std::sort(sequence.begin(), sequence.end(),
              [](const SequenceRow& a, const SequenceRow& b) { return a.sequence < b.sequence; });
    std::map<std::string, std::string> filePaths, componentDirs;
    for (const ComponentRow& c : model.components) componentDirs[c.key] = Lookup(dirs, c.directory);
    for (const FileRow& f : model.files)
        filePaths[f.key] = Lookup(componentDirs, f.component) + LongName(f.fileName);
    // Only immediate ones sequenced before RegisterProduct change what is registered.
    int registerAt = 1 << 30;
    for (const SequenceRow& step : sequence)
        if (step.action == "RegisterProduct") registerAt = step.sequence;
    for (const SequenceRow& step : sequence)
        for (const CustomActionRow& ca : model.customActions)
            if (ca.action == step.action && (ca.type & 0x3F) == 51 && !(ca.type & kCustomActionInScript) &&
                step.sequence < registerAt)
                props[ca.source] = FormatText(ca.target, props, filePaths, componentDirs);

    std::map<std::string, std::string> contents;
    for (const MediaRow& m : model.media) {
        if (m.cabinet.size() < 2 || m.cabinet[0] != '#') continue;
        std::string cab;
        if (ReadStream(package.db.get(), m.cabinet.substr(1), cab)) ExtractCabinet(cab, contents);
    }
    const bool perMachine = Lookup(props, "ALLUSERS") == "1" || Lookup(props, "ALLUSERS") == "2";
    const std::string packedProduct = PackGuid(productCode);
    Rollback rollback(registry);
    auto fail = [&](const std::string& line) {
        log.Line(line);
        rollback.Undo();
        log.Line("Product: " + Lookup(props, "ProductName") +
                 " -- Installation failed; the changes were rolled back.");
        log.Stop(kErrorInstallFailure);
        return kErrorInstallFailure;
    };

    for (const ComponentRow& c : model.components) {
        const std::string dir = Lookup(componentDirs, c.key);
        std::string hostDir;
        if (dir.empty() || !HostPath(dir, hostDir))
            return fail("Component " + c.key + ": its folder " + c.directory + " cannot be resolved.");
        std::error_code ec;
        rollback.Folder(hostDir);
        fs::create_directories(hostDir, ec);
        for (const FileRow& f : model.files) {
            if (f.component != c.key) continue;
            std::string target = Lookup(filePaths, f.key), hostFile;
            auto content = contents.find(f.key);
            std::string data;
            if (content != contents.end()) {
                data = content->second;
            } else {
                std::string pattern = LongName(f.fileName) + " ";
                while (data.size() < f.size) data += pattern;
                data.resize(f.size);
            }
            std::ofstream out;
            if (HostPath(target, hostFile)) {
                rollback.File(hostFile);
                out.open(hostFile, std::ios::binary | std::ios::trunc);
            }
            if (!out || !out.write(data.data(), static_cast<std::streamsize>(data.size())))
                return fail("Error 1310. Error writing to file: " + target + ".");
            log.Line("File: " + target + "; installed.");
        }
        std::string keyPathValue = dir;
        for (const RegistryRow& r : model.registry) {
            if (r.component != c.key) continue;
            std::string root = RootName(r.root, perMachine);
            std::string key = FormatText(r.path, props, filePaths, componentDirs);
            if (root.empty() || key.empty()) continue;
            std::string full = root + "\\" + key;
            std::string name = FormatText(r.name, props, filePaths, componentDirs);
            if (r.valueNull && (r.nameNull || name == "+" || name == "-" || name == "*")) {
                if (name != "-") {
                    rollback.Key(full);
                    registry.CreateKey(full);
                }
            } else {
                rollback.Value(full, name);
                registry.SetValue(full,
                                  RegistryValue(name, FormatText(r.value, props, filePaths, componentDirs)));
                log.Line("Registry: " + full + " \"" + name + "\" written.");
            }
            if (r.key == c.keyPath) {
                char prefix[16];
                std::snprintf(prefix, sizeof prefix, "%02d:", r.root < 0 ? (perMachine ? 2 : 1) : r.root);
                keyPathValue = prefix + std::string("\\") + key + "\\" + name;
            }
        }
        if (filePaths.count(c.keyPath)) keyPathValue = filePaths[c.keyPath];
        if (!c.componentId.empty()) {
            rollback.Value(ComponentClientsKey(c.componentId), packedProduct);
            registry.SetString(ComponentClientsKey(c.componentId), packedProduct, keyPathValue);
        }
        if ((c.attributes & kComponentSharedDllRefCount) && filePaths.count(c.keyPath)) {
            SimRegValue count;
            std::uint32_t n = 0;
            if (registry.GetValue(kSharedDllsKey, keyPathValue, count) && count.data.size() >= 4)
                for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(count.data[i]);
            rollback.Value(kSharedDllsKey, keyPathValue);
            registry.SetDword(kSharedDllsKey, keyPathValue, n + 1);
        }
    }

    // The cached package under a new random name.
    std::string installerDir = Lookup(props, "WindowsFolder") + "Installer\\";
    std::string hostInstallerDir, cached, hostCached, hostSource;
    HostPath(installerDir, hostInstallerDir);
    std::error_code ec;
    fs::create_directories(hostInstallerDir, ec);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "%x.msi", (random() & 0xFFFFFF) | 0x100000);
        cached = installerDir + name;
        if (HostPath(cached, hostCached) && !fs::exists(hostCached)) break;
    }
    if (!HostPath(packagePath, hostSource) || !fs::copy_file(hostSource, hostCached, ec)) {
        fs::remove(hostCached, ec);
        return fail("Error 1311. Could not cache the package as " + cached + ".");
    }

    // The registration, and the Add/Remove Programs entry.
    const std::string name = Lookup(props, "ProductName");
    const std::string version = Lookup(props, "ProductVersion");
    const std::string publisher = Lookup(props, "Manufacturer");
    const std::string location = Lookup(props, "ARPINSTALLLOCATION");
    std::string source = packagePath.substr(0, packagePath.find_last_of("\\/") + 1);
    const std::string uninstallString = "MsiExec.exe /X" + productCode;
    for (const std::string& key : {ProductRegKey(productCode) + "\\InstallProperties",
                                   std::string(kUninstallKey) + "\\" + productCode}) {
        registry.SetString(key, "DisplayName", name);
        registry.SetString(key, "DisplayVersion", version);
        registry.SetString(key, "Publisher", publisher);
        registry.SetString(key, "InstallLocation", location);
        registry.SetString(key, "InstallSource", source);
        registry.SetString(key, "InstallDate", Today());
        registry.SetString(key, "UninstallString", uninstallString, kRegExpandSz);
        registry.SetDword(key, "Version", VersionNumber(version));
        registry.SetDword(key, "Language",
                          static_cast<std::uint32_t>(std::atoi(Lookup(props, "ProductLanguage").c_str())));
        registry.SetDword(key, "WindowsInstaller", 1);
    }
    const std::string registration = ProductRegKey(productCode) + "\\InstallProperties";
    registry.SetString(registration, "LocalPackage", cached);
    registry.SetDword(registration, "AssignmentType", perMachine ? 1 : 0);
    registry.SetString(std::string(kClassesProductsKey) + "\\" + packedProduct, "ProductName", name);
    log.Line("Product: " + name + " -- Installation completed successfully.");
    log.Stop(kErrorSuccess);
    return kErrorSuccess;
}

std::uint32_t SimInstaller::Impl::Uninstall(const std::string& productCode,
                                            const std::map<std::string, std::string>& commandProperties) {
    RunLog log(*this);
    log.Start("Product removal: " + productCode + ".");
    if (!IsGuid(productCode)) {
        log.Stop(kErrorInvalidParameter);
        return kErrorInvalidParameter;
    }
    SimRegistry& registry = machine.Registry();
    const std::string registration = ProductRegKey(productCode) + "\\InstallProperties";
    if (!registry.KeyExists(registration)) {
        log.Line("Product " + productCode + " is not installed.");
        log.Stop(kErrorUnknownProduct);
        return kErrorUnknownProduct;
    }
    std::string localPackage;
    registry.GetString(registration, "LocalPackage", localPackage);
    Package package;
    if (localPackage.empty() || OpenPackage(localPackage, package) != kErrorSuccess) {
        log.Line("The cached package '" + localPackage + "' of the product is gone.");
        log.Stop(kErrorInstallSourceAbsent);
        return kErrorInstallSourceAbsent;
    }
    PackageModel model;
    ReadPackageModel(package.db.get(), model);
    std::map<std::string, std::string> machineProps;
    AddMachineProperties(machine, machineProps);
    std::map<std::string, std::string> props = package.properties;
    for (const auto& [name, value] : commandProperties) props[name] = value;
    SimRegValue assignment;
    bool perMachine = registry.GetValue(registration, "AssignmentType", assignment) &&
                      !assignment.data.empty() && assignment.data[0] == 1;
    const std::string packedProduct = PackGuid(productCode);

    // Where the components went: their key paths, and the folders above them.
    std::map<std::string, const DirectoryRow*> dirRows;
    for (const DirectoryRow& r : model.directories) dirRows[r.key] = &r;
    std::map<std::string, std::string> placed;
    std::map<std::string, bool> removeComponent;
    for (const ComponentRow& c : model.components) {
        bool unshared = true;
        if (!c.componentId.empty()) {
            const std::string clients = ComponentClientsKey(c.componentId);
            SimRegValue mine;
            if (registry.GetValue(clients, packedProduct, mine)) {
                std::string keyPath = mine.data.substr(0, mine.data.find('\0'));
                if (!IsRegistryKeyPath(keyPath) && !keyPath.empty())
                    placed[c.directory] = c.keyPath.empty() ? keyPath : ParentFolder(keyPath);
                registry.DeleteValue(clients, packedProduct);
            }
            unshared = registry.Values(clients).empty();
            if (unshared) registry.DeleteKeyTree(clients);
        }
        removeComponent[c.key] = unshared;
    }
    for (const auto& start : std::map<std::string, std::string>(placed)) {
        std::string key = start.first, path = start.second;
        for (int depth = 0; depth < 64; ++depth) {
            auto row = dirRows.find(key);
            if (row == dirRows.end() || IsFixedFolder(key, machineProps, model.directories)) break;
            std::string name = TargetName(row->second->defaultDir);
            std::string parentPath = (name == "." || name.empty()) ? path : ParentFolder(path);
            key = row->second->parent;
            path = parentPath;
            if (placed.count(key) || path.empty() || IsFixedFolder(key, machineProps, model.directories))
                break;
            placed[key] = path;
        }
    }
    for (const auto& [key, path] : placed) props[key] = path;
    std::map<std::string, std::string> dirs = ResolveDirectories(model.directories, props);
    std::map<std::string, std::string> filePaths, componentDirs;
    for (const ComponentRow& c : model.components) componentDirs[c.key] = Lookup(dirs, c.directory);
    for (const FileRow& f : model.files)
        filePaths[f.key] = Lookup(componentDirs, f.component) + LongName(f.fileName);

    std::vector<std::string> touchedKeys;
    for (const ComponentRow& c : model.components) {
        if (!removeComponent[c.key]) {
            log.Line("Component " + c.key + " is still used by another product: kept.");
            continue;
        }
        for (const FileRow& f : model.files) {
            if (f.component != c.key) continue;
            std::string target = Lookup(filePaths, f.key), host;
            std::error_code ec;
            if (HostPath(target, host) && fs::remove(host, ec)) log.Line("File: " + target + "; removed.");
        }
        for (const RegistryRow& r : model.registry) {
            if (r.component != c.key) continue;
            std::string root = RootName(r.root, perMachine);
            std::string key = FormatText(r.path, props, filePaths, componentDirs);
            if (root.empty() || key.empty()) continue;
            std::string full = root + "\\" + key;
            std::string name = FormatText(r.name, props, filePaths, componentDirs);
            if (r.valueNull && (name == "-" || name == "*")) {
                registry.DeleteKeyTree(full);
            } else if (!(r.valueNull && (r.nameNull || name == "+"))) {
                registry.DeleteValue(full, name);
                log.Line("Registry: " + full + " \"" + name + "\" removed.");
            }
            touchedKeys.push_back(full);
        }
        if ((c.attributes & kComponentSharedDllRefCount) && filePaths.count(c.keyPath)) {
            SimRegValue count;
            const std::string path = filePaths[c.keyPath];
            if (registry.GetValue(kSharedDllsKey, path, count) && count.data.size() >= 4) {
                std::uint32_t n = 0;
                for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(count.data[i]);
                if (n > 1)
                    registry.SetDword(kSharedDllsKey, path, n - 1);
                else
                    registry.DeleteValue(kSharedDllsKey, path);
            }
        }
    }
    // Keys the rows named, and their parents, when nothing is left in them.
    std::sort(touchedKeys.begin(), touchedKeys.end());
    touchedKeys.erase(std::unique(touchedKeys.begin(), touchedKeys.end()), touchedKeys.end());
    for (std::string key : touchedKeys) {
        while (!IsStandingKey(key) && registry.KeyExists(key) && registry.SubKeys(key).empty() &&
               registry.Values(key).empty()) {
            registry.DeleteKeyTree(key);
            const std::size_t slash = key.rfind('\\');
            if (slash == std::string::npos) break;
            key.resize(slash);
        }
    }
    // Folders of the package left empty, the deepest first.
    std::vector<std::string> folders;
    for (const auto& [key, path] : dirs)
        if (!IsFixedFolder(key, machineProps, model.directories)) folders.push_back(path);
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : folders) {
        std::string host;
        std::error_code ec;
        if (HostPath(folder, host) && fs::is_directory(host, ec) && fs::is_empty(host, ec) &&
            fs::remove(host, ec))
            log.Line("Folder: " + folder + "; removed.");
    }

    registry.DeleteKeyTree(ProductRegKey(productCode));
    registry.DeleteKeyTree(std::string(kUninstallKey) + "\\" + productCode);
    registry.DeleteKeyTree(std::string(kClassesProductsKey) + "\\" + packedProduct);
    package = Package();
    std::string hostCached;
    std::error_code ec;
    if (HostPath(localPackage, hostCached)) fs::remove(hostCached, ec);
    log.Line("Product: " + Lookup(props, "ProductName") + " -- Removal completed successfully.");
    log.Stop(kErrorSuccess);
    return kErrorSuccess;
}

}  // namespace plat
