// The registry store on SQLite.
//
// Tables:
//   keys(id, parent, name, uname, path, upath, gen): one row per key; name and
//     path keep the case the key was created with, uname/upath are the same
//     folded to upper case for lookups and ordering; gen counts the changes to
//     the key's values and subkeys (used to validate enumeration snapshots).
//   vals(key, uname, name, type, data): the values of a key, ordered by uname.
//
// The database runs in WAL mode with synchronous=NORMAL: a committed call
// survives the death of the process, readers never block the writer, and a
// busy timeout makes concurrent writers of other processes wait for their turn.
// Every changing call is one IMMEDIATE transaction (a savepoint inside a Batch).
#include "platform/sim/SimRegistry.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/sim/SimMachine.h"

namespace plat {

const char* const kSimRegistryUserSid = kSimUserSid;

namespace {

constexpr int kBusyTimeoutMs = 30000;
constexpr int kOpenAttempts = 1000;
constexpr unsigned kOpenRetryMicroseconds = 20000;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::uint32_t kErrorKeyDeleted = 1018;
constexpr std::uint32_t kErrorBadRegistry = 1021;  // ERROR_CANTWRITE stands for a store failure

std::string Upper(const std::string& text) {
    return SimRegistry::FoldName(text);
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

struct HiveName {
    const char* longName;
    const char* shortName;
};
constexpr HiveName kHives[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_CLASSES_ROOT", "HKCR"},
};

// The long name of a hive spelled either way; nullptr when unknown.
const char* LongHive(const std::string& first) {
    const std::string upper = Upper(first);
    for (const HiveName& hive : kHives) {
        if (upper == hive.longName || upper == hive.shortName) return hive.longName;
    }
    return nullptr;
}

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL, uname TEXT NOT NULL,"
    " path TEXT NOT NULL, upath TEXT NOT NULL UNIQUE, gen INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS keys_children ON keys(parent, uname);"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL, uname TEXT NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL,"
    " data BLOB NOT NULL, PRIMARY KEY(key, uname)) WITHOUT ROWID;";

}  // namespace

struct SimRegistry::Impl {
    std::string dbPath;
    sqlite3* db = nullptr;
    pid_t pid = 0;
    std::map<std::string, sqlite3_stmt*> statements;
    int depth = 0;  // open transaction levels
    std::uint64_t localWrites = 0;

    // A connection inherited across fork() belongs to the parent: left alone.
    ~Impl() {
        if (db && pid == getpid()) Close();
    }

    void Close() {
        for (auto& entry : statements) sqlite3_finalize(entry.second);
        statements.clear();
        if (db) sqlite3_close(db);
        db = nullptr;
        depth = 0;
    }

    bool Exec(const char* sql) { return db && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    // The connection, opened on first use. A connection is never used across
    // fork(): a child that inherited one leaves it alone and opens its own.
    sqlite3* Db() {
        if (db && pid != getpid()) {
            statements.clear();
            db = nullptr;
            depth = 0;
        }
        if (db) return db;
        // Two processes opening a new store at once may find the switch to
        // WAL or the first set-up busy without the busy handler being asked
        // (SQLite refuses a lock that could deadlock): try again shortly.
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            const int rc = Open();
            if (rc == SQLITE_OK) return db;
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) return nullptr;
            usleep(kOpenRetryMicroseconds);
        }
        return nullptr;
    }

    // One attempt at opening and setting up the connection; an SQLite code.
    int Open() {
        sqlite3* handle = nullptr;
        int rc =
            sqlite3_open_v2(dbPath.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            if (handle) sqlite3_close(handle);
            return rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? rc : SQLITE_CANTOPEN;
        }
        db = handle;
        pid = getpid();
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        rc = JournalModeWal();
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = Setup();
        if (rc != SQLITE_OK) {
            const int primary = rc & 0xFF;
            Close();
            return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? primary : SQLITE_ERROR;
        }
        return SQLITE_OK;
    }

    // Switches the store to WAL; SQLITE_BUSY when it stayed in another mode.
    int JournalModeWal() {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &st, nullptr);
        if (rc != SQLITE_OK) return rc;
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            const unsigned char* mode = sqlite3_column_text(st, 0);
            rc = mode && std::strcmp(reinterpret_cast<const char*>(mode), "wal") == 0 ? SQLITE_OK
                                                                                      : SQLITE_BUSY;
        }
        sqlite3_finalize(st);
        return rc;
    }

    // The schema version a set-up store carries (PRAGMA user_version).
    static constexpr int kSchemaVersion = 1;

    int UserVersion() {
        sqlite3_stmt* st = nullptr;
        int version = -1;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            version = sqlite3_column_int(st, 0);
        }
        sqlite3_finalize(st);
        return version;
    }

    // Creates the tables and the base keys once; later openings only read
    // the version, so starting a process takes no write lock.
    int Setup() {
        if (UserVersion() == kSchemaVersion) return SQLITE_OK;
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
        bool ok = Exec(kSchema);
        const char* const roots[] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS"};
        for (const char* root : roots) {
            ok = ok &&
                 Run("INSERT OR IGNORE INTO keys(parent, name, uname, path, upath) VALUES(0, ?1, ?1, ?1, ?1)",
                     root, nullptr);
        }
        // The keys behind HKEY_CLASSES_ROOT and HKEY_CURRENT_USER, and the default user's hive.
        const char* const children[][2] = {{"HKEY_LOCAL_MACHINE", "SOFTWARE"},
                                           {"HKEY_LOCAL_MACHINE\\SOFTWARE", "Classes"},
                                           {"HKEY_USERS", ".DEFAULT"},
                                           {"HKEY_USERS", kSimRegistryUserSid}};
        for (const auto& child : children) {
            ok = ok && Run("INSERT OR IGNORE INTO keys(parent, name, uname, path, upath) "
                           "SELECT id, ?2, upper(?2), path || '\\' || ?2, upath || '\\' || upper(?2) "
                           "FROM keys WHERE upath = ?1",
                           child[0], child[1]);
        }
        ok = ok && Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
        if (ok) {
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK) return SQLITE_OK;
        }
        const int failure = ok ? rc : sqlite3_errcode(db);
        Exec("ROLLBACK");
        return failure == SQLITE_OK ? SQLITE_ERROR : failure;
    }

    // A one-off statement with up to two text parameters.
    bool Run(const char* sql, const char* first, const char* second) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return false;
        if (first) sqlite3_bind_text(st, 1, first, -1, SQLITE_STATIC);
        if (second) sqlite3_bind_text(st, 2, second, -1, SQLITE_STATIC);
        const bool ok = sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
        return ok;
    }

    sqlite3_stmt* Prepare(const char* sql) {
        if (!Db()) return nullptr;
        auto found = statements.find(sql);
        if (found != statements.end()) return found->second;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK)
            return nullptr;
        statements.emplace(sql, st);
        return st;
    }
};

namespace {

// One use of a cached statement; resets it when done.
class Query {
public:
    Query(SimRegistry::Impl& impl, const char* sql) : st_(impl.Prepare(sql)) {}
    ~Query() {
        if (st_) {
            sqlite3_reset(st_);
            sqlite3_clear_bindings(st_);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    bool ok() const { return st_ != nullptr; }
    Query& Bind(int index, const std::string& text) {
        if (st_) sqlite3_bind_text(st_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Query& BindBlob(int index, const std::string& bytes) {
        if (st_)
            sqlite3_bind_blob(st_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Query& Bind(int index, std::int64_t number) {
        if (st_) sqlite3_bind_int64(st_, index, number);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }
    std::int64_t Int(int column) { return sqlite3_column_int64(st_, column); }
    std::string Text(int column) {
        const unsigned char* text = sqlite3_column_text(st_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(st_, column)))
                    : std::string();
    }
    std::string Blob(int column) {
        const void* blob = sqlite3_column_blob(st_, column);
        return blob ? std::string(static_cast<const char*>(blob),
                                  static_cast<std::size_t>(sqlite3_column_bytes(st_, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* st_;
};

// One changing call: a transaction of its own, or a savepoint inside a Batch.
class Change {
public:
    explicit Change(SimRegistry::Impl& impl) : impl_(impl) {
        if (!impl_.Db()) return;
        open_ = impl_.depth == 0 ? impl_.Exec("BEGIN IMMEDIATE") : impl_.Exec("SAVEPOINT change");
        if (open_) ++impl_.depth;
    }
    ~Change() {
        if (!open_) return;
        --impl_.depth;
        if (impl_.depth == 0) {
            impl_.Exec("ROLLBACK");
        } else {
            impl_.Exec("ROLLBACK TO change");
            impl_.Exec("RELEASE change");
        }
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;
    bool ok() const { return open_; }
    bool Commit() {
        if (!open_) return false;
        open_ = false;
        --impl_.depth;
        ++impl_.localWrites;
        if (impl_.depth > 0) return impl_.Exec("RELEASE change");
        if (impl_.Exec("COMMIT")) return true;
        impl_.Exec("ROLLBACK");
        return false;
    }

private:
    SimRegistry::Impl& impl_;
    bool open_ = false;
};

bool BumpGeneration(SimRegistry::Impl& impl, std::int64_t id) {
    Query q(impl, "UPDATE keys SET gen = gen + 1 WHERE id = ?1");
    return q.Bind(1, id).Run();
}

bool KeyAlive(SimRegistry::Impl& impl, std::int64_t id) {
    Query q(impl, "SELECT 1 FROM keys WHERE id = ?1");
    return q.Bind(1, id).Step() == SQLITE_ROW;
}

}  // namespace

// ---- Paths -----------------------------------------------------------------

std::string SimRegistry::FoldName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        const unsigned char b = static_cast<unsigned char>(c);
        unsigned char folded = b;
        if (b >= 'a' && b <= 'z') {
            folded = static_cast<unsigned char>(b - 'a' + 'A');
        } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {  // the accented small letters of code page 1252
            folded = static_cast<unsigned char>(b - 0x20);
        } else if (b == 0x9A || b == 0x9C || b == 0x9E) {  // s, oe, z with caron / ligature
            folded = static_cast<unsigned char>(b - 0x10);
        } else if (b == 0xFF) {  // y with diaeresis
            folded = 0x9F;
        }
        c = static_cast<char>(folded);
    }
    return out;
}

bool SimRegistry::LongHivePath(const std::string& keyPath, std::string& longPath) {
    std::vector<std::string> parts = SplitPath(keyPath);
    if (parts.empty()) return false;
    const char* hive = LongHive(parts[0]);
    if (!hive) return false;
    parts[0] = hive;
    longPath = JoinPath(parts, parts.size());
    return true;
}

bool SimRegistry::CanonicalPath(const std::string& keyPath, std::string& canonical) {
    std::vector<std::string> parts = SplitPath(keyPath);
    if (parts.empty()) return false;
    const char* hive = LongHive(parts[0]);
    if (!hive) return false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].size() > kMaxKeyNameLength) return false;
    }
    std::string root = hive;
    if (root == "HKEY_CURRENT_USER") {
        root = std::string("HKEY_USERS\\") + kSimRegistryUserSid;
    } else if (root == "HKEY_CLASSES_ROOT") {
        root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
    }
    parts.erase(parts.begin());
    canonical = root;
    if (!parts.empty()) canonical += "\\" + JoinPath(parts, parts.size());
    return true;
}

// ---- Construction ------------------------------------------------------------

SimRegistry::SimRegistry(const std::string& prefixHostPath) : impl_(std::make_unique<Impl>()) {
    std::string prefix = prefixHostPath;
    while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
    impl_->dbPath = prefix + "/system.reg.db";
}

SimRegistry::~SimRegistry() = default;

const std::string& SimRegistry::DatabasePath() const {
    return impl_->dbPath;
}

SimRegistry::Batch::Batch(SimRegistry& registry) : registry_(registry) {
    Impl& impl = *registry_.impl_;
    if (!impl.Db()) return;
    open_ = impl.depth == 0 ? impl.Exec("BEGIN IMMEDIATE") : impl.Exec("SAVEPOINT batch");
    if (open_) ++impl.depth;
}

SimRegistry::Batch::~Batch() {
    if (!open_) return;
    Impl& impl = *registry_.impl_;
    --impl.depth;
    if (impl.depth == 0) {
        impl.Exec("ROLLBACK");
    } else {
        impl.Exec("ROLLBACK TO batch");
        impl.Exec("RELEASE batch");
    }
    ++impl.localWrites;  // snapshots taken inside the batch may be stale
}

bool SimRegistry::Batch::Commit() {
    if (!open_) return false;
    Impl& impl = *registry_.impl_;
    open_ = false;
    --impl.depth;
    ++impl.localWrites;
    if (impl.depth > 0) return impl.Exec("RELEASE batch");
    if (impl.Exec("COMMIT")) return true;
    impl.Exec("ROLLBACK");
    return false;
}

// ---- Row level -------------------------------------------------------------

std::int64_t SimRegistry::KeyId(const std::string& keyPath) {
    std::string canonical;
    if (!CanonicalPath(keyPath, canonical)) return 0;
    Query q(*impl_, "SELECT id FROM keys WHERE upath = ?1");
    if (!q.ok()) return -1;
    const int rc = q.Bind(1, Upper(canonical)).Step();
    if (rc == SQLITE_ROW) return q.Int(0);
    return rc == SQLITE_DONE ? 0 : -1;
}

bool SimRegistry::StoredPath(const std::string& keyPath, std::string& storedPath) {
    std::string canonical;
    if (!CanonicalPath(keyPath, canonical)) return false;
    Query q(*impl_, "SELECT path FROM keys WHERE upath = ?1");
    if (q.Bind(1, Upper(canonical)).Step() != SQLITE_ROW) return false;
    storedPath = q.Text(0);
    return true;
}

bool SimRegistry::ShownPath(const std::string& keyPath, std::string& shownPath) {
    std::string longPath;
    std::string stored;
    if (!LongHivePath(keyPath, longPath) || !StoredPath(keyPath, stored)) return false;
    const std::string hive = longPath.substr(0, longPath.find('\\'));
    // HKEY_CURRENT_USER stands for two stored components, HKEY_CLASSES_ROOT for three.
    std::size_t skip = hive == "HKEY_CURRENT_USER" ? 2 : hive == "HKEY_CLASSES_ROOT" ? 3 : 1;
    std::size_t start = 0;
    while (skip > 0 && start != std::string::npos) {
        start = stored.find('\\', start);
        if (start != std::string::npos) ++start;
        --skip;
    }
    shownPath = hive;
    if (start != std::string::npos) shownPath += "\\" + stored.substr(start);
    return true;
}

std::int64_t SimRegistry::CreateKeyId(const std::string& keyPath) {
    std::string canonical;
    if (!CanonicalPath(keyPath, canonical)) return 0;
    const std::int64_t existing = KeyId(canonical);
    if (existing != 0) return existing > 0 ? existing : 0;
    const std::vector<std::string> parts = SplitPath(canonical);
    Change change(*impl_);
    if (!change.ok()) return 0;
    std::int64_t parent = 0;
    std::string parentPath;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string upath = Upper(JoinPath(parts, i + 1));
        Query find(*impl_, "SELECT id, path FROM keys WHERE upath = ?1");
        const int rc = find.Bind(1, upath).Step();
        if (rc == SQLITE_ROW) {
            parent = find.Int(0);
            parentPath = find.Text(1);
            continue;
        }
        if (rc != SQLITE_DONE || i == 0) return 0;  // the hive roots always exist
        const std::string path = parentPath + "\\" + parts[i];
        Query insert(*impl_, "INSERT INTO keys(parent, name, uname, path, upath) VALUES(?1, ?2, ?3, ?4, ?5)");
        if (!insert.Bind(1, parent)
                 .Bind(2, parts[i])
                 .Bind(3, Upper(parts[i]))
                 .Bind(4, path)
                 .Bind(5, upath)
                 .Run())
            return 0;
        if (!BumpGeneration(*impl_, parent)) return 0;
        parent = sqlite3_last_insert_rowid(impl_->db);
        parentPath = path;
    }
    return change.Commit() ? parent : 0;
}

std::int64_t SimRegistry::KeyGeneration(std::int64_t id) {
    Query q(*impl_, "SELECT gen FROM keys WHERE id = ?1");
    return q.Bind(1, id).Step() == SQLITE_ROW ? q.Int(0) : -1;
}

std::uint64_t SimRegistry::LocalChanges() const {
    return impl_->localWrites;
}

std::uint64_t SimRegistry::ChangeStamp() {
    Query q(*impl_, "PRAGMA data_version");
    const std::uint64_t version = q.Step() == SQLITE_ROW ? static_cast<std::uint64_t>(q.Int(0)) : 0;
    return (version << 32) ^ impl_->localWrites;
}

bool SimRegistry::GetValueById(std::int64_t id, const std::string& name, SimRegValue& value) {
    Query q(*impl_, "SELECT name, type, data FROM vals WHERE key = ?1 AND uname = ?2");
    if (q.Bind(1, id).Bind(2, Upper(name)).Step() != SQLITE_ROW) return false;
    value.name = q.Text(0);
    value.type = static_cast<std::uint32_t>(q.Int(1));
    value.data = q.Blob(2);
    return true;
}

namespace {

// Inserts or replaces one value row (keeping the name's first spelling).
bool StoreValue(SimRegistry::Impl& impl, std::int64_t id, const SimRegValue& value) {
    Query q(impl,
            "INSERT INTO vals(key, uname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
            "ON CONFLICT(key, uname) DO UPDATE SET type = excluded.type, data = excluded.data");
    return q.Bind(1, id)
        .Bind(2, Upper(value.name))
        .Bind(3, value.name)
        .Bind(4, static_cast<std::int64_t>(value.type))
        .BindBlob(5, value.data)
        .Run();
}

}  // namespace

bool SimRegistry::SetValueById(std::int64_t id, const SimRegValue& value) {
    Change change(*impl_);
    if (!change.ok() || !KeyAlive(*impl_, id)) return false;
    return StoreValue(*impl_, id, value) && BumpGeneration(*impl_, id) && change.Commit();
}

std::uint32_t SimRegistry::DeleteValueById(std::int64_t id, const std::string& name) {
    Change change(*impl_);
    if (!change.ok()) return kErrorBadRegistry;
    if (!KeyAlive(*impl_, id)) return kErrorKeyDeleted;
    Query q(*impl_, "DELETE FROM vals WHERE key = ?1 AND uname = ?2");
    if (!q.Bind(1, id).Bind(2, Upper(name)).Run()) return kErrorBadRegistry;
    if (sqlite3_changes(impl_->db) == 0) return kErrorFileNotFound;
    if (!BumpGeneration(*impl_, id) || !change.Commit()) return kErrorBadRegistry;
    return kErrorSuccess;
}

std::vector<std::string> SimRegistry::SubKeysById(std::int64_t id) {
    std::vector<std::string> names;
    Query q(*impl_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY uname");
    q.Bind(1, id);
    while (q.Step() == SQLITE_ROW) names.push_back(q.Text(0));
    return names;
}

std::vector<SimRegValue> SimRegistry::ValuesById(std::int64_t id) {
    std::vector<SimRegValue> values;
    Query q(*impl_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY uname");
    q.Bind(1, id);
    while (q.Step() == SQLITE_ROW) {
        SimRegValue value;
        value.name = q.Text(0);
        value.type = static_cast<std::uint32_t>(q.Int(1));
        value.data = q.Blob(2);
        values.push_back(std::move(value));
    }
    return values;
}

bool SimRegistry::CountsById(std::int64_t id, std::uint32_t& subKeys, std::uint32_t& values) {
    if (!KeyAlive(*impl_, id)) return false;
    Query keys(*impl_, "SELECT count(*) FROM keys WHERE parent = ?1");
    if (keys.Bind(1, id).Step() != SQLITE_ROW) return false;
    subKeys = static_cast<std::uint32_t>(keys.Int(0));
    Query vals(*impl_, "SELECT count(*) FROM vals WHERE key = ?1");
    if (vals.Bind(1, id).Step() != SQLITE_ROW) return false;
    values = static_cast<std::uint32_t>(vals.Int(0));
    return true;
}

std::uint32_t SimRegistry::DeleteLeafKey(const std::string& keyPath) {
    std::string canonical;
    if (!CanonicalPath(keyPath, canonical)) return kErrorFileNotFound;
    Change change(*impl_);
    if (!change.ok()) return kErrorBadRegistry;
    Query find(*impl_, "SELECT id, parent FROM keys WHERE upath = ?1");
    const int rc = find.Bind(1, Upper(canonical)).Step();
    if (rc == SQLITE_DONE) return kErrorFileNotFound;
    if (rc != SQLITE_ROW) return kErrorBadRegistry;
    const std::int64_t id = find.Int(0);
    const std::int64_t parent = find.Int(1);
    if (parent == 0) return kErrorAccessDenied;
    Query child(*impl_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    const int childRc = child.Bind(1, id).Step();
    if (childRc == SQLITE_ROW) return kErrorAccessDenied;
    if (childRc != SQLITE_DONE) return kErrorBadRegistry;
    Query vals(*impl_, "DELETE FROM vals WHERE key = ?1");
    Query key(*impl_, "DELETE FROM keys WHERE id = ?1");
    if (!vals.Bind(1, id).Run() || !key.Bind(1, id).Run() || !BumpGeneration(*impl_, parent) ||
        !change.Commit())
        return kErrorBadRegistry;
    return kErrorSuccess;
}

// ---- Path level --------------------------------------------------------------

bool SimRegistry::KeyExists(const std::string& keyPath) {
    return KeyId(keyPath) > 0;
}

bool SimRegistry::CreateKey(const std::string& keyPath) {
    return CreateKeyId(keyPath) > 0;
}

bool SimRegistry::SetValue(const std::string& keyPath, const SimRegValue& value) {
    Change change(*impl_);
    if (!change.ok()) return false;
    const std::int64_t id = CreateKeyId(keyPath);
    return id > 0 && SetValueById(id, value) && change.Commit();
}

bool SimRegistry::SetValues(const std::string& keyPath, const std::vector<SimRegValue>& values) {
    Change change(*impl_);
    if (!change.ok()) return false;
    const std::int64_t id = CreateKeyId(keyPath);
    if (id <= 0) return false;
    for (const SimRegValue& value : values) {
        if (!StoreValue(*impl_, id, value)) return false;
    }
    return BumpGeneration(*impl_, id) && change.Commit();
}

bool SimRegistry::GetValue(const std::string& keyPath, const std::string& name, SimRegValue& value) {
    const std::int64_t id = KeyId(keyPath);
    return id > 0 && GetValueById(id, name, value);
}

bool SimRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    const std::int64_t id = KeyId(keyPath);
    return id > 0 && DeleteValueById(id, name) == kErrorSuccess;
}

bool SimRegistry::DeleteKeyTree(const std::string& keyPath) {
    std::string canonical;
    if (!CanonicalPath(keyPath, canonical)) return false;
    const std::string upath = Upper(canonical);
    Change change(*impl_);
    if (!change.ok()) return false;
    Query find(*impl_, "SELECT id, parent FROM keys WHERE upath = ?1");
    if (find.Bind(1, upath).Step() != SQLITE_ROW) return false;
    const std::int64_t parent = find.Int(1);
    if (parent == 0) return false;  // a hive root stays
    // The tree: the key itself and every path below "KEY\" (']' follows '\').
    Query vals(*impl_,
               "DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE upath = ?1 OR "
               "(upath > ?2 AND upath < ?3))");
    Query keys(*impl_, "DELETE FROM keys WHERE upath = ?1 OR (upath > ?2 AND upath < ?3)");
    const std::string low = upath + "\\";
    const std::string high = upath + "]";
    if (!vals.Bind(1, upath).Bind(2, low).Bind(3, high).Run()) return false;
    if (!keys.Bind(1, upath).Bind(2, low).Bind(3, high).Run()) return false;
    return BumpGeneration(*impl_, parent) && change.Commit();
}

std::vector<std::string> SimRegistry::SubKeys(const std::string& keyPath) {
    const std::int64_t id = KeyId(keyPath);
    return id > 0 ? SubKeysById(id) : std::vector<std::string>();
}

std::vector<SimRegValue> SimRegistry::Values(const std::string& keyPath) {
    const std::int64_t id = KeyId(keyPath);
    return id > 0 ? ValuesById(id) : std::vector<SimRegValue>();
}

bool SimRegistry::SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                            std::uint32_t type) {
    SimRegValue value;
    value.name = name;
    value.type = type;
    value.data = text;
    value.data += '\0';
    return SetValue(keyPath, value);
}

bool SimRegistry::GetString(const std::string& keyPath, const std::string& name, std::string& text) {
    SimRegValue value;
    if (!GetValue(keyPath, name, value)) return false;
    if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz) return false;
    if (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
    text = value.data;
    return true;
}

bool SimRegistry::SetDword(const std::string& keyPath, const std::string& name, std::uint32_t number) {
    SimRegValue value;
    value.name = name;
    value.type = kRegDword;
    for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    return SetValue(keyPath, value);
}

// ---- Handle table --------------------------------------------------------------

RegKey SimRegistry::AddHandle(SimOpenKey key) {
    // Handle numbers are multiples of 4 as on Windows, never 0 and never one
    // of the predefined roots.
    RegKey handle = nextHandle_;
    while (handles_.count(handle)) handle += 4;
    nextHandle_ = handle + 4;
    if (nextHandle_ >= kHkeyClassesRoot) nextHandle_ = 0x100;
    handles_.emplace(handle, std::move(key));
    return handle;
}

SimOpenKey* SimRegistry::FindHandle(RegKey handle) {
    auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : &found->second;
}

SimOpenKey* SimRegistry::RootHandle(RegKey root) {
    const char* name = nullptr;
    switch (root) {
        case kHkeyClassesRoot:
            name = "HKEY_CLASSES_ROOT";
            break;
        case kHkeyCurrentUser:
            name = "HKEY_CURRENT_USER";
            break;
        case kHkeyLocalMachine:
            name = "HKEY_LOCAL_MACHINE";
            break;
        case kHkeyUsers:
            name = "HKEY_USERS";
            break;
        default:
            return nullptr;
    }
    SimOpenKey& key = roots_[root];
    if (key.id <= 0 || KeyGeneration(key.id) < 0) {
        // The keys behind the roots are created with the store; should one be
        // gone (HKCU deleted by hand), it is made again as Windows keeps them.
        key = SimOpenKey();
        key.shownPath = name;
        CanonicalPath(name, key.path);
        key.id = CreateKeyId(key.path);
        key.access = kKeyAllAccess;
        key.predefined = true;
    }
    return key.id > 0 ? &key : nullptr;
}

bool SimRegistry::RemoveHandle(RegKey handle) {
    return handles_.erase(handle) > 0;
}

}  // namespace plat
