// The msi.dll calls of the simulated machine: handles, databases, views and
// records over libmsi; installed products read from the machine's registry;
// packages with their costing and target paths.
#include "platform/sim/SimInstaller.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/sim/SimMsiImpl.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

namespace plat {

using namespace simmsi;

namespace {

constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorFunctionNotCalled = 1626;

std::string ProductKey(const std::string& productCode) {
    return std::string(kInstallerUserDataKey) + "\\Products\\" + PackGuid(productCode) +
           "\\InstallProperties";
}

bool ProductRegistered(SimRegistry& registry, const std::string& productCode) {
    return registry.KeyExists(ProductKey(productCode));
}

// MsiGetProductInfo property names and the InstallProperties values they read.
const std::map<std::string, std::string>& ProductInfoValues() {
    static const std::map<std::string, std::string> values = {
        {"InstalledProductName", "DisplayName"},
        {"VersionString", "DisplayVersion"},
        {"Publisher", "Publisher"},
        {"LocalPackage", "LocalPackage"},
        {"InstallLocation", "InstallLocation"},
        {"InstallSource", "InstallSource"},
        {"InstallDate", "InstallDate"},
        {"HelpLink", "HelpLink"},
        {"HelpTelephone", "HelpTelephone"},
        {"URLInfoAbout", "URLInfoAbout"},
        {"URLUpdateInfo", "URLUpdateInfo"},
        {"Language", "Language"},
        {"Version", "Version"},
        {"ProductID", "ProductID"},
        {"RegCompany", "RegCompany"},
        {"RegOwner", "RegOwner"},
        {"PackageCode", "PackageCode"},
        {"ProductName", "DisplayName"},
        {"PackageName", "PackageName"},
        {"Transforms", "Transforms"},
        {"AssignmentType", "AssignmentType"},
    };
    return values;
}

bool FileExists(const std::string& hostPath) {
    struct stat st {};
    return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

// ---- GUIDs ----------------------------------------------------------------

std::string PackGuid(const std::string& guid) {
    if (!IsGuid(guid)) return "";
    std::string hex;
    for (char c : guid)
        if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::toupper(c));
    std::string packed;
    packed.append(hex.rbegin() + 24, hex.rbegin() + 32);  // first 8, reversed
    packed.append(hex.rbegin() + 20, hex.rbegin() + 24);  // next 4, reversed
    packed.append(hex.rbegin() + 16, hex.rbegin() + 20);  // next 4, reversed
    for (std::size_t i = 16; i < 32; i += 2) {
        packed += hex[i + 1];
        packed += hex[i];
    }
    return packed;
}

std::string UnpackGuid(const std::string& packed) {
    if (packed.size() != 32) return "";
    for (char c : packed)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    std::string p = UpperCase(packed);
    std::string hex;
    hex.append(p.rbegin() + 24, p.rbegin() + 32);
    hex.append(p.rbegin() + 20, p.rbegin() + 24);
    hex.append(p.rbegin() + 16, p.rbegin() + 20);
    for (std::size_t i = 16; i < 32; i += 2) {
        hex += p[i + 1];
        hex += p[i];
    }
    return "{" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20) + "}";
}

namespace simmsi {

bool IsGuid(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return UpperCase(a) == UpperCase(b);
}

std::uint32_t CopyOut(const std::string& text, char* buffer, std::uint32_t* size) {
    if (!size) return buffer ? kErrorInvalidParameter : kErrorSuccess;
    std::uint32_t length = static_cast<std::uint32_t>(text.size());
    if (!buffer) {
        *size = length;
        return kErrorSuccess;
    }
    if (length >= *size) {
        if (*size > 0) {
            std::memcpy(buffer, text.data(), *size - 1);
            buffer[*size - 1] = '\0';
        }
        *size = length;
        return kErrorMoreData;
    }
    std::memcpy(buffer, text.c_str(), length + 1);
    *size = length;
    return kErrorSuccess;
}

void GObjectUnref::operator()(void* object) const {
    if (object) g_object_unref(object);
}

namespace {

// The installation database library can crash on a damaged file where the
// system's installer would refuse it. The file is opened once in a child
// process first: a child that does not end normally marks it as invalid.
bool OpensWithoutCrash(const std::string& hostPath) {
    const pid_t child = fork();
    if (child < 0) return true;  // no probe possible: open it directly
    if (child == 0) {
        GError* error = nullptr;
        LibmsiDatabase* raw =
            libmsi_database_new(hostPath.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
        // A damaged table can also crash libmsi when it is queried, after
        // the open went well: read every table the tool and the installer
        // read, row by row, before the database is taken.
        static const char* const kTables[] = {"Property",  "File",     "Component", "Directory",
                                              "Registry",  "Feature",  "FeatureComponents",
                                              "Media",     "CustomAction", "InstallExecuteSequence"};
        for (const char* table : kTables) {
            if (!raw) break;
            const std::string sql = std::string("SELECT * FROM `") + table + "`";
            GError* queryError = nullptr;
            LibmsiQuery* query = libmsi_query_new(raw, sql.c_str(), &queryError);
            if (queryError) g_error_free(queryError);
            if (!query) continue;
            queryError = nullptr;
            if (libmsi_query_execute(query, nullptr, &queryError)) {
                for (;;) {
                    GError* fetchError = nullptr;
                    LibmsiRecord* row = libmsi_query_fetch(query, &fetchError);
                    if (fetchError) g_error_free(fetchError);
                    if (!row) break;
                    const guint fields = libmsi_record_get_field_count(row);
                    for (guint i = 1; i <= fields; ++i) {
                        gchar* text = libmsi_record_get_string(row, i);
                        g_free(text);
                    }
                    g_object_unref(row);
                }
            }
            if (queryError) g_error_free(queryError);
            g_object_unref(query);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return true;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::uint32_t OpenDatabase(const std::string& hostPath, DbPtr& db) {
    if (!FileExists(hostPath)) return kErrorOpenFailed;
    if (!OpensWithoutCrash(hostPath)) return kErrorInstallPackageInvalid;
    GError* error = nullptr;
    LibmsiDatabase* raw = libmsi_database_new(hostPath.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
    if (error) g_error_free(error);
    if (!raw) return kErrorFunctionFailed;
    db = DbPtr(raw, [](LibmsiDatabase* d) { g_object_unref(d); });
    return kErrorSuccess;
}

namespace {

std::vector<char> ColumnTypes(LibmsiQuery* query) {
    std::vector<char> types;
    GError* error = nullptr;
    LibmsiRecord* info = libmsi_query_get_column_info(query, LIBMSI_COL_INFO_TYPES, &error);
    if (error) g_error_free(error);
    if (!info) return types;
    guint count = libmsi_record_get_field_count(info);
    for (guint i = 1; i <= count; ++i) {
        gchar* type = libmsi_record_get_string(info, i);
        types.push_back(type && *type ? static_cast<char>(std::tolower(static_cast<unsigned char>(type[0])))
                                      : 's');
        g_free(type);
    }
    g_object_unref(info);
    return types;
}

// The '?' markers of a query, outside quoted names and strings.
std::size_t CountParameters(const std::string& query) {
    std::size_t count = 0;
    char quote = 0;
    for (char c : query) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '`') {
            quote = c;
        } else if (c == '?') {
            ++count;
        }
    }
    return count;
}

Row ToRow(LibmsiRecord* record, const std::vector<char>& types) {
    Row row;
    guint count = libmsi_record_get_field_count(record);
    for (guint i = 1; i <= count; ++i) {
        Field field;
        char type = i - 1 < types.size() ? types[i - 1] : 's';
        if (type == 'v') {
            field.kind = Field::Kind::Null;  // streams are not read as fields
        } else if (libmsi_record_is_null(record, i)) {
            field.kind = Field::Kind::Null;
        } else if (type == 'i') {
            field.kind = Field::Kind::Int;
            field.number = libmsi_record_get_int(record, i);
        } else {
            field.kind = Field::Kind::Str;
            gchar* text = libmsi_record_get_string(record, i);
            field.text = text ? text : "";
            g_free(text);
            if (field.text.empty()) field.kind = Field::Kind::Null;
        }
        row.push_back(field);
    }
    return row;
}

}  // namespace

bool ReadRows(LibmsiDatabase* db, const std::string& query, std::vector<Row>& rows) {
    GError* error = nullptr;
    QueryPtr q(libmsi_query_new(db, query.c_str(), &error));
    if (error) g_error_free(error);
    if (!q) return false;
    error = nullptr;
    if (!libmsi_query_execute(q.get(), nullptr, &error)) {
        if (error) g_error_free(error);
        return false;
    }
    std::vector<char> types = ColumnTypes(q.get());
    for (;;) {
        error = nullptr;
        LibmsiRecord* record = libmsi_query_fetch(q.get(), &error);
        if (error) g_error_free(error);
        if (!record) break;
        rows.push_back(ToRow(record, types));
        g_object_unref(record);
    }
    libmsi_query_close(q.get(), nullptr);
    return true;
}

std::string FieldText(const Field& field) {
    switch (field.kind) {
        case Field::Kind::Int:
            return std::to_string(field.number);
        case Field::Kind::Str:
            return field.text;
        case Field::Kind::Null:
            break;
    }
    return "";
}

}  // namespace simmsi

// ---- The installer object -------------------------------------------------

MsiHandle SimInstaller::Impl::Add(Object object) {
    while (nextHandle == 0 || handles.count(nextHandle)) ++nextHandle;
    MsiHandle handle = nextHandle++;
    handles.emplace(handle, std::move(object));
    return handle;
}

std::string SimInstaller::Impl::PathOf(MsiHandle handle) {
    auto it = handles.find(handle);
    if (it == handles.end()) return "";
    if (auto* d = std::get_if<Database>(&it->second)) return d->path;
    if (auto* v = std::get_if<View>(&it->second)) return v->path;
    if (auto* p = std::get_if<Package>(&it->second)) return p->path;
    return "";
}

bool SimInstaller::Impl::Faulted(const char* operation, const std::string& mainArg, std::uint32_t& code) {
    return machine.Faulted(operation, mainArg, code);
}

bool SimInstaller::Impl::HostPath(const std::string& windowsPath, std::string& hostPath) {
    std::uint32_t error = 0;
    return machine.ToHostPath(windowsPath, hostPath, error);
}

std::uint32_t SimInstaller::Impl::OpenPackage(const std::string& packagePath, Package& package) {
    std::string host;
    if (!HostPath(packagePath, host)) return kErrorInstallPackageOpenFailed;
    // A package file read before and unchanged since is not read again.
    struct stat st;
    if (!FileExists(host) || ::stat(host.c_str(), &st) != 0) {
        openedPackages.erase(host);
        return kErrorInstallPackageOpenFailed;
    }
    auto cached = openedPackages.find(host);
    const bool same = cached != openedPackages.end() && cached->second.device == st.st_dev &&
                      cached->second.inode == st.st_ino && cached->second.size == st.st_size &&
                      cached->second.modified.tv_sec == st.st_mtim.tv_sec &&
                      cached->second.modified.tv_nsec == st.st_mtim.tv_nsec;
    if (!same) {
        OpenedPackage opened;
        if (OpenDatabase(host, opened.db) != kErrorSuccess) return kErrorInstallPackageInvalid;
        std::vector<Row> rows;
        if (!ReadRows(opened.db.get(), "SELECT `Property`, `Value` FROM `Property`", rows))
            return kErrorInstallPackageInvalid;
        for (const Row& row : rows)
            if (row.size() >= 2) opened.properties[FieldText(row[0])] = FieldText(row[1]);
        opened.device = st.st_dev;
        opened.inode = st.st_ino;
        opened.size = st.st_size;
        opened.modified = st.st_mtim;
        // Kept only when its time stamp is old enough that a later change
        // cannot carry the same one (the file system's clock is coarse).
        struct timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        const long long ageNs = (static_cast<long long>(now.tv_sec) - st.st_mtim.tv_sec) * 1000000000LL +
                                (now.tv_nsec - st.st_mtim.tv_nsec);
        package.db = opened.db;
        package.path = packagePath;
        AddMachineProperties(machine, package.properties);
        for (const auto& [name, value] : opened.properties) package.properties[name] = value;
        if (ageNs > 50LL * 1000 * 1000)
            openedPackages.insert_or_assign(host, std::move(opened));
        else
            openedPackages.erase(host);
        package.properties["OriginalDatabase"] = packagePath;
        return kErrorSuccess;
    }
    package.db = cached->second.db;
    package.path = packagePath;
    AddMachineProperties(machine, package.properties);
    for (const auto& [name, value] : cached->second.properties) package.properties[name] = value;
    package.properties["OriginalDatabase"] = packagePath;
    return kErrorSuccess;
}

namespace {
// libmsi reports every failed open and missing table as a glib warning on
// stderr; the calls' results already say it, and a program's console is no
// place for it.
void QuietLibmsiWarnings(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
}  // namespace

SimInstaller::SimInstaller(SimPlatform& machine) : impl_(std::make_unique<Impl>(machine)) {
    g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                      QuietLibmsiWarnings, nullptr);
}
SimInstaller::~SimInstaller() = default;

std::size_t SimInstaller::OpenHandleCount() const {
    return impl_->handles.size();
}

// ---- Products ---------------------------------------------------------------

std::uint32_t SimInstaller::MsiEnumProductsA(std::uint32_t index, char* productCode) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiEnumProductsA", std::to_string(index), code)) return code;
    if (!productCode) return kErrorInvalidParameter;
    // Enumerating by growing index lists the products once: the list is kept
    // while the registry is unchanged, by this process or any other.
    SimRegistry& registry = impl_->machine.Registry();
    const std::uint64_t stamp = registry.ChangeStamp();
    if (!impl_->productsValid || impl_->productsStamp != stamp) {
        impl_->productCodes.clear();
        for (const std::string& packed :
             registry.SubKeys(std::string(kInstallerUserDataKey) + "\\Products")) {
            std::string guid = UnpackGuid(packed);
            if (!guid.empty()) impl_->productCodes.push_back(guid);
        }
        impl_->productsValid = true;
        impl_->productsStamp = stamp;
    }
    const std::vector<std::string>& codes = impl_->productCodes;
    if (index >= codes.size()) return kErrorNoMoreItems;
    std::memcpy(productCode, codes[index].c_str(), codes[index].size() + 1);
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiGetProductInfoA(const char* product, const char* property, char* value,
                                               std::uint32_t* size) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiGetProductInfoA", product ? product : "", code)) return code;
    if (!product || !property || !IsGuid(product)) return kErrorInvalidParameter;
    if (value && !size) return kErrorInvalidParameter;
    SimRegistry& registry = impl_->machine.Registry();
    if (!ProductRegistered(registry, product)) return kErrorUnknownProduct;
    auto it = ProductInfoValues().find(property);
    if (it == ProductInfoValues().end()) return kErrorUnknownProperty;
    std::string text;
    SimRegValue raw;
    if (registry.GetValue(ProductKey(product), it->second, raw)) {
        if (raw.type == kRegDword && raw.data.size() >= 4) {
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(raw.data[i]);
            text = std::to_string(n);
        } else {
            text = raw.data.substr(0, raw.data.find('\0'));
        }
    }
    return CopyOut(text, value, size);
}

std::uint32_t SimInstaller::MsiSetInternalUI(std::uint32_t level) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiSetInternalUI", std::to_string(level), code)) return 0;
    std::uint32_t previous = impl_->uiLevel;
    std::uint32_t base = level & 0x0F;
    if (base > 5 || (level & ~0x1EFu) != 0) return 0;  // INSTALLUILEVEL_NOCHANGE: refused
    if (base != 0) impl_->uiLevel = level;
    return previous;
}

std::uint32_t SimInstaller::MsiOpenProductA(const char* product, MsiHandle* handle) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiOpenProductA", product ? product : "", code)) return code;
    if (!product || !handle || !IsGuid(product)) return kErrorInvalidParameter;
    SimRegistry& registry = impl_->machine.Registry();
    if (!ProductRegistered(registry, product)) return kErrorUnknownProduct;
    std::string localPackage;
    registry.GetString(ProductKey(product), "LocalPackage", localPackage);
    if (localPackage.empty()) return kErrorInstallSourceAbsent;
    Package package;
    std::uint32_t result = impl_->OpenPackage(localPackage, package);
    if (result == kErrorInstallPackageOpenFailed) return kErrorInstallSourceAbsent;
    if (result != kErrorSuccess) return result;
    *handle = impl_->Add(std::move(package));
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiGetPropertyA(MsiHandle install, const char* name, char* value,
                                            std::uint32_t* size) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiGetPropertyA", impl_->PathOf(install), code)) return code;
    Package* package = impl_->Get<Package>(install);
    if (!package) return kErrorInvalidHandle;
    if (!name || (value && !size)) return kErrorInvalidParameter;
    auto it = package->properties.find(name);
    return CopyOut(it == package->properties.end() ? std::string() : it->second, value, size);
}

// ---- Packages -----------------------------------------------------------------

std::uint32_t SimInstaller::MsiOpenPackageA(const char* packagePath, MsiHandle* handle) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiOpenPackageA", packagePath ? packagePath : "", code)) return code;
    if (!packagePath || !handle) return kErrorInvalidParameter;
    Package package;
    std::uint32_t result = impl_->OpenPackage(packagePath, package);
    if (result != kErrorSuccess) return result;
    *handle = impl_->Add(std::move(package));
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiDoActionA(MsiHandle install, const char* action) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiDoActionA", impl_->PathOf(install), code)) return code;
    Package* package = impl_->Get<Package>(install);
    if (!package) return kErrorInvalidHandle;
    if (!action) return kErrorInvalidParameter;
    std::string name = action;
    if (name == "CostInitialize") {
        package->costInitialized = true;
        return kErrorSuccess;
    }
    if (name == "FileCost") return package->costInitialized ? kErrorSuccess : kErrorInstallFailure;
    if (name == "CostFinalize") {
        if (!package->costInitialized) return kErrorInstallFailure;
        if (!package->costFinalized) {
            PackageModel model;
            std::vector<Row> rows;
            if (ReadRows(package->db.get(),
                         "SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`", rows)) {
                for (const Row& row : rows)
                    if (row.size() >= 3)
                        model.directories.push_back(
                            {FieldText(row[0]), FieldText(row[1]), FieldText(row[2])});
            }
            package->targets = ResolveDirectories(model.directories, package->properties);
            // As on Windows, every directory key is now also a property.
            for (const auto& [key, path] : package->targets) package->properties[key] = path;
            package->costFinalized = true;
        }
        return kErrorSuccess;
    }
    return kErrorFunctionNotCalled;
}

std::uint32_t SimInstaller::MsiGetTargetPathA(MsiHandle install, const char* folder, char* path,
                                              std::uint32_t* size) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiGetTargetPathA", impl_->PathOf(install), code)) return code;
    Package* package = impl_->Get<Package>(install);
    if (!package) return kErrorInvalidHandle;
    if (!folder || (path && !size)) return kErrorInvalidParameter;
    if (!package->costFinalized) return kErrorDirectory;
    auto it = package->targets.find(folder);
    if (it == package->targets.end()) return kErrorDirectory;
    return CopyOut(it->second, path, size);
}

// ---- Databases, views and records ---------------------------------------------

std::uint32_t SimInstaller::MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiOpenDatabaseA", path ? path : "", code)) return code;
    if (!path || !database) return kErrorInvalidParameter;
    // Only read-only access is served: nothing of this machine writes a database.
    if (persist != kMsiDbOpenReadOnly) return kErrorInvalidParameter;
    std::string host;
    if (!impl_->HostPath(path, host)) return kErrorOpenFailed;
    Database db;
    std::uint32_t result = OpenDatabase(host, db.db);
    if (result != kErrorSuccess) return result;
    db.path = path;
    *database = impl_->Add(std::move(db));
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiDatabaseOpenViewA", impl_->PathOf(database), code)) return code;
    // A database handle only: a package's database is not reachable this way.
    Database* d = impl_->Get<Database>(database);
    if (!d) return kErrorInvalidHandle;
    DbPtr db = d->db;
    std::string path = d->path;
    if (!query || !view) return kErrorInvalidParameter;
    GError* error = nullptr;
    QueryPtr q(libmsi_query_new(db.get(), query, &error));
    if (error) g_error_free(error);
    if (!q) return kErrorBadQuerySyntax;
    View v;
    v.db = db;
    v.path = path;
    v.types = ColumnTypes(q.get());
    v.parameters = CountParameters(query);
    v.query = std::move(q);
    *view = impl_->Add(std::move(v));
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiViewExecute(MsiHandle view, MsiHandle record) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiViewExecute", impl_->PathOf(view), code)) return code;
    View* v = impl_->Get<View>(view);
    if (!v) return kErrorInvalidHandle;
    LibmsiRecord* params = nullptr;
    Record* r = nullptr;
    if (record != 0) {
        r = impl_->Get<Record>(record);
        if (!r) return kErrorInvalidHandle;
    }
    const std::size_t given = r && !r->fields.empty() ? r->fields.size() - 1 : 0;
    // A query whose markers have no values fails here (libmsi would crash on it).
    if (given < v->parameters) return kErrorFunctionFailed;
    if (r) {
        params = libmsi_record_new(static_cast<guint>(given));
        for (guint i = 1; i <= given; ++i) {
            const Field& f = r->fields[i];
            if (f.kind == Field::Kind::Int) libmsi_record_set_int(params, i, f.number);
            if (f.kind == Field::Kind::Str) libmsi_record_set_string(params, i, f.text.c_str());
            if (f.kind == Field::Kind::Null && i <= v->parameters) libmsi_record_set_string(params, i, "");
        }
    }
    if (v->executed) libmsi_query_close(v->query.get(), nullptr);
    GError* error = nullptr;
    gboolean ok = libmsi_query_execute(v->query.get(), params, &error);
    if (error) g_error_free(error);
    if (params) g_object_unref(params);
    v->executed = ok;
    return ok ? kErrorSuccess : kErrorFunctionFailed;
}

std::uint32_t SimInstaller::MsiViewFetch(MsiHandle view, MsiHandle* record) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiViewFetch", impl_->PathOf(view), code)) return code;
    View* v = impl_->Get<View>(view);
    if (!v) return kErrorInvalidHandle;
    if (!record) return kErrorInvalidParameter;
    if (!v->executed) return kErrorFunctionFailed;
    GError* error = nullptr;
    LibmsiRecord* fetched = libmsi_query_fetch(v->query.get(), &error);
    if (error) g_error_free(error);
    if (!fetched) return kErrorNoMoreItems;
    Row row = ToRow(fetched, v->types);
    g_object_unref(fetched);
    Record r;
    r.fields.resize(row.size() + 1);
    std::copy(row.begin(), row.end(), r.fields.begin() + 1);
    *record = impl_->Add(std::move(r));
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiViewClose(MsiHandle view) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiViewClose", impl_->PathOf(view), code)) return code;
    View* v = impl_->Get<View>(view);
    if (!v) return kErrorInvalidHandle;
    if (v->executed) libmsi_query_close(v->query.get(), nullptr);
    v->executed = false;
    return kErrorSuccess;
}

MsiHandle SimInstaller::MsiCreateRecord(std::uint32_t fields) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiCreateRecord", std::to_string(fields), code)) return 0;
    if (fields > 65535) return 0;
    Record r;
    r.fields.resize(fields + 1);
    return impl_->Add(std::move(r));
}

std::uint32_t SimInstaller::MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiRecordSetStringA", value ? value : "", code)) return code;
    Record* r = impl_->Get<Record>(record);
    if (!r) return kErrorInvalidHandle;
    if (field >= r->fields.size()) return kErrorInvalidParameter;
    Field& f = r->fields[field];
    f = Field();
    if (value && *value) {
        f.kind = Field::Kind::Str;
        f.text = value;
    }
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                                std::uint32_t* size) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiRecordGetStringA", impl_->PathOf(record), code)) return code;
    Record* r = impl_->Get<Record>(record);
    if (!r) return kErrorInvalidHandle;
    if (!size) return value ? kErrorInvalidParameter : kErrorSuccess;
    if (field >= r->fields.size()) return CopyOut("", value, size);
    return CopyOut(FieldText(r->fields[field]), value, size);
}

int SimInstaller::MsiRecordGetInteger(MsiHandle record, std::uint32_t field) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiRecordGetInteger", impl_->PathOf(record), code)) return kMsiNullInteger;
    Record* r = impl_->Get<Record>(record);
    if (!r || field >= r->fields.size()) return kMsiNullInteger;
    const Field& f = r->fields[field];
    if (f.kind == Field::Kind::Int) return f.number;
    if (f.kind == Field::Kind::Str) {
        // A string field reads as a number only when it is one in full.
        const std::string& t = f.text;
        std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
        if (i == t.size() || t.size() > 11) return kMsiNullInteger;
        for (std::size_t k = i; k < t.size(); ++k)
            if (!std::isdigit(static_cast<unsigned char>(t[k]))) return kMsiNullInteger;
        long long n = std::stoll(t);
        if (n < -2147483647LL || n > 2147483647LL) return kMsiNullInteger;
        return static_cast<int>(n);
    }
    return kMsiNullInteger;
}

std::uint32_t SimInstaller::MsiCloseHandle(MsiHandle handle) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiCloseHandle", impl_->PathOf(handle), code)) return code;
    if (handle == 0) return kErrorSuccess;
    auto it = impl_->handles.find(handle);
    if (it == impl_->handles.end()) return kErrorInvalidHandle;
    impl_->handles.erase(it);
    return kErrorSuccess;
}

// ---- Install, uninstall, log ----------------------------------------------------

std::uint32_t SimInstaller::MsiEnableLogA(std::uint32_t logMode, const char* logFile,
                                          std::uint32_t attributes) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiEnableLogA", logFile ? logFile : "", code)) return code;
    if (!logFile || !*logFile || logMode == 0) {
        impl_->logPath.clear();
        return kErrorSuccess;
    }
    std::string host;
    if (!impl_->HostPath(logFile, host)) return kErrorInvalidParameter;
    impl_->logPath = logFile;
    impl_->logMode = logMode;
    impl_->logAppend = (attributes & kInstallLogAttributesAppend) != 0;
    return kErrorSuccess;
}

std::uint32_t SimInstaller::MsiInstallProductA(const char* packagePath, const char* commandLine) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiInstallProductA", packagePath ? packagePath : "", code)) return code;
    if (!packagePath) return kErrorInvalidParameter;
    std::map<std::string, std::string> properties =
        ParseCommandLineProperties(commandLine ? commandLine : "");
    auto remove = properties.find("REMOVE");
    if (remove != properties.end() && EqualsNoCase(remove->second, "ALL")) {
        std::string product = PackageProductCode(packagePath);
        if (product.empty()) {
            std::string host;
            if (!impl_->HostPath(packagePath, host) || !FileExists(host))
                return kErrorInstallPackageOpenFailed;
            return kErrorInstallPackageInvalid;
        }
        return impl_->Uninstall(product, properties);
    }
    return impl_->Install(packagePath, properties);
}

std::uint32_t SimInstaller::InstallPackage(const std::string& packagePath,
                                           const std::map<std::string, std::string>& properties) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiInstallProductA", packagePath, code)) return code;
    return impl_->Install(packagePath, properties);
}

std::uint32_t SimInstaller::UninstallProduct(const std::string& productCode,
                                             const std::map<std::string, std::string>& properties) {
    std::uint32_t code = 0;
    if (impl_->Faulted("MsiInstallProductA", productCode, code)) return code;
    return impl_->Uninstall(productCode, properties);
}

std::string SimInstaller::PackageProductCode(const std::string& packagePath) {
    Package package;
    if (impl_->OpenPackage(packagePath, package) != kErrorSuccess) return "";
    auto it = package.properties.find("ProductCode");
    return it == package.properties.end() ? "" : it->second;
}

}  // namespace plat
