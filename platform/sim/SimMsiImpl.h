// Inside the simulated Windows Installer: the objects behind the handles, the
// package model read from a database's tables, and helpers shared by the
// call layer (SimInstaller.cpp) and the install engine (SimMsiInstall.cpp).
#pragma once

#include <libmsi.h>
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/sim/SimInstaller.h"

namespace plat {
namespace simmsi {

// One field of a record: null, an integer or a string.
struct Field {
    enum class Kind { Null, Int, Str } kind = Kind::Null;
    int number = 0;
    std::string text;
};
// A record owns fields 0..count, field 0 included as on Windows.
struct Record {
    std::vector<Field> fields;
};
using Row = std::vector<Field>;  // fields 1..n of a fetched row, at [0..n-1]

struct GObjectUnref {
    void operator()(void* object) const;
};
using DbPtr = std::shared_ptr<LibmsiDatabase>;
using QueryPtr = std::unique_ptr<LibmsiQuery, GObjectUnref>;

struct Database {
    DbPtr db;
    std::string path;  // the Windows path it was opened with
};
struct View {
    DbPtr db;
    QueryPtr query;
    std::string path;
    std::vector<char> types;     // column type letters ('s', 'i', 'v', ...)
    std::size_t parameters = 0;  // '?' markers of the query
    bool executed = false;
};
struct Package {
    DbPtr db;
    std::string path;
    std::map<std::string, std::string> properties;
    bool costInitialized = false;
    bool costFinalized = false;
    std::map<std::string, std::string> targets;  // resolved once at CostFinalize
};
using Object = std::variant<Database, View, Record, Package>;

// ---- Reading a database ----
// Opens a database read-only. Returns 0, or 110 for a missing file, 1627 for
// a file that is not an installation database.
std::uint32_t OpenDatabase(const std::string& hostPath, DbPtr& db);
// Runs a query and collects its rows; false when the query cannot be
// prepared (for instance the table is missing).
bool ReadRows(LibmsiDatabase* db, const std::string& query, std::vector<Row>& rows);
std::string FieldText(const Field& field);

// ---- The package model ----
struct DirectoryRow {
    std::string key, parent, defaultDir;
};
struct ComponentRow {
    std::string key, componentId, directory, keyPath;
    int attributes = 0;
};
struct FileRow {
    std::string key, component, fileName;
    std::uint64_t size = 0;
    int sequence = 0;
};
struct RegistryRow {
    std::string key;
    int root = 0;
    std::string path, name, value, component;
    bool nameNull = true, valueNull = true;
};
struct MediaRow {
    int diskId = 0, lastSequence = 0;
    std::string cabinet;
};
struct CustomActionRow {
    std::string action;
    int type = 0;
    std::string source, target;
};
struct SequenceRow {
    std::string action, condition;
    int sequence = 0;
};
struct PackageModel {
    std::map<std::string, std::string> properties;
    std::vector<DirectoryRow> directories;
    std::vector<ComponentRow> components;
    std::vector<FileRow> files;
    std::vector<RegistryRow> registry;
    std::vector<MediaRow> media;
    std::vector<CustomActionRow> customActions;
    std::vector<SequenceRow> executeSequence;
};
bool ReadPackageModel(LibmsiDatabase* db, PackageModel& model);

// The content of a stream of the database (for instance an embedded cabinet).
bool ReadStream(LibmsiDatabase* db, const std::string& name, std::string& data);
// The files of a cabinet by their names (the File keys in a package).
bool ExtractCabinet(const std::string& cabinet, std::map<std::string, std::string>& files);

// The long name of a "short|long" file or directory name.
std::string LongName(const std::string& name);
// The target part of a DefaultDir ("target:source"), long form.
std::string TargetName(const std::string& defaultDir);
// Resolves every Directory key to a path ending in a backslash. A key set as
// a property takes that value; TARGETDIR defaults to ROOTDRIVE.
std::map<std::string, std::string> ResolveDirectories(const std::vector<DirectoryRow>& rows,
                                                      const std::map<std::string, std::string>& properties);
// The properties the installer sets itself at package open: the standard
// folders from the machine's environment, ROOTDRIVE and the like.
void AddMachineProperties(SimPlatform& machine, std::map<std::string, std::string>& properties);
// Replaces [Property], [#file], [$component], [\x] and [~] references.
std::string FormatText(const std::string& text, const std::map<std::string, std::string>& properties,
                       const std::map<std::string, std::string>& filePaths,
                       const std::map<std::string, std::string>& componentDirs);

// ---- Small helpers ----
bool IsGuid(const std::string& text);
std::string UpperCase(std::string text);
bool EqualsNoCase(const std::string& a, const std::string& b);
// Copies text into a Windows buffer with the size protocol.
std::uint32_t CopyOut(const std::string& text, char* buffer, std::uint32_t* size);
// Splits "A=1 B=\"two words\"" into properties.
std::map<std::string, std::string> ParseCommandLineProperties(const std::string& commandLine);

}  // namespace simmsi

struct SimInstaller::Impl {
    explicit Impl(SimPlatform& m) : machine(m) {}
    SimPlatform& machine;
    std::map<MsiHandle, simmsi::Object> handles;
    MsiHandle nextHandle = 1;
    std::uint32_t uiLevel = 1;  // INSTALLUILEVEL_DEFAULT until changed
    std::string logPath;        // Windows path; "" = no installer log
    std::uint32_t logMode = 0;
    bool logAppend = false;
    // Packages read by OpenPackage, by host path: the database and its
    // Property table, used again while the file is unchanged.
    struct OpenedPackage {
        simmsi::DbPtr db;
        std::map<std::string, std::string> properties;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        struct timespec modified = {};
    };
    std::map<std::string, OpenedPackage> openedPackages;
    // The installed products as MsiEnumProductsA last listed them.
    std::vector<std::string> productCodes;
    bool productsValid = false;
    std::uint64_t productsStamp = 0;

    MsiHandle Add(simmsi::Object object);
    template <typename T>
    T* Get(MsiHandle handle) {
        auto it = handles.find(handle);
        return it == handles.end() ? nullptr : std::get_if<T>(&it->second);
    }
    // The path a handle's database or package was opened from ("" when unknown).
    std::string PathOf(MsiHandle handle);
    bool Faulted(const char* operation, const std::string& mainArg, std::uint32_t& code);
    bool HostPath(const std::string& windowsPath, std::string& hostPath);
    std::uint32_t OpenPackage(const std::string& packagePath, simmsi::Package& package);

    // The install engine (SimMsiInstall.cpp).
    std::uint32_t Install(const std::string& packagePath,
                          const std::map<std::string, std::string>& properties);
    std::uint32_t Uninstall(const std::string& productCode,
                            const std::map<std::string, std::string>& properties);
};

}  // namespace plat
