// The whole run on a machine made by bench_machine, phase by phase, next to
// its baselines measured in the same run.
//
//   build/bench/bench_run run MASTER_PREFIX WORKDIR RESULT_FILE
//   build/bench/bench_run memory MASTER_PREFIX WORKDIR RESULT_FILE
//   build/bench/bench_run report SCALE:DIR [SCALE:DIR ...]
//
// "run" copies the machine twice (cp -a, not timed): the tool runs in-process
// on the first copy through a platform that counts the calls of each phase;
// after each phase the file tree and the registry store of that copy are
// compared with their state before it (not timed), and the same changes are
// made on the second copy with plain POSIX calls and plain SQLite statements
// (one transaction per change, WAL, synchronous=NORMAL, as the registry store
// keeps them). What a phase only reads is read there too: each package the
// phase opened (databases, packages, products, uninstalls) is read whole once
// per opening, every registry or installer
// query is one indexed SQLite lookup, every attribute query one stat() and
// every directory enumeration one opendir()/readdir() pass. The file gets one line per phase:
//   phase <TAB> seconds <TAB> baseline seconds <TAB> platform calls
// and a last line "peak_kb <TAB> maximum resident size".
//
// "memory" runs the tool alone on one copy, without snapshots or baseline, and
// writes "tool_peak_kb <TAB> maximum resident size": the tool's own memory.
//
// "report" takes the result files of several runs in each folder (the median
// of each column is used) and prints the table of phases, their ratios to the
// baselines and how each phase grows with the scale.
#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/ToolLog.h"
#include "filecleanup/CFileCleanup.h"
#include "platform/Platform.h"
#include "platform/sim/SimPlatform.h"
#include "products/CCorvantaProducts.h"
#include "regcleanup/CRegistryProcessor.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_run: %s\n", what.c_str());
    std::exit(1);
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- The counting platform ---------------------------------------------------

// Forwards every call to the sim and counts it; remembers the packages opened
// and the number of registry and installer queries, for the read baseline.
class CountingPlatform : public plat::Platform {
public:
    explicit CountingPlatform(plat::SimPlatform& inner) : inner_(inner) {}

    std::uint64_t calls = 0;
    std::uint64_t queries = 0;          // registry reads and installer queries
    std::vector<std::string> packages;  // Windows paths of opened databases and packages
    std::vector<std::string> lookups;   // paths asked for their attributes
    std::vector<std::string> listings;  // patterns of the directory enumerations
    std::vector<std::string> products;  // product codes opened (their cached packages are read)

    void Reset() {
        calls = 0;
        queries = 0;
        packages.clear();
        lookups.clear();
        listings.clear();
        products.clear();
    }

#define CALL(expr) \
    ++calls;       \
    return inner_.expr
#define QUERY(expr) \
    ++calls;        \
    ++queries;      \
    return inner_.expr

    std::uint32_t GetLastError() override {
        return inner_.GetLastError();
    }
    void SetLastError(std::uint32_t code) override {
        inner_.SetLastError(code);
    }

    bool CopyFileA(const char* e, const char* t, bool f) override {
        CALL(CopyFileA(e, t, f));
    }
    bool DeleteFileA(const char* p) override {
        CALL(DeleteFileA(p));
    }
    bool RemoveDirectoryA(const char* p) override {
        CALL(RemoveDirectoryA(p));
    }
    bool CreateDirectoryA(const char* p) override {
        CALL(CreateDirectoryA(p));
    }
    int SHCreateDirectoryExA(const char* p) override {
        CALL(SHCreateDirectoryExA(p));
    }
    std::uint32_t GetFileAttributesA(const char* p) override {
        lookups.push_back(p);
        CALL(GetFileAttributesA(p));
    }
    bool SetFileAttributesA(const char* p, std::uint32_t a) override {
        CALL(SetFileAttributesA(p, a));
    }
    plat::Handle FindFirstFileA(const char* p, plat::FindData& d) override {
        ++calls;
        const plat::Handle h = inner_.FindFirstFileA(p, d);
        listings.push_back(p);
        if (h == plat::kInvalidHandle && std::getenv("BENCH_TRACE") != nullptr) {
            std::fprintf(stderr, "FindFirstFileA %s: %u\n", p, inner_.GetLastError());
        }
        return h;
    }
    bool FindNextFileA(plat::Handle h, plat::FindData& d) override {
        CALL(FindNextFileA(h, d));
    }
    bool FindClose(plat::Handle h) override {
        CALL(FindClose(h));
    }

    plat::Handle OpenTextFile(const char* p, plat::TextOpen m, bool x) override {
        CALL(OpenTextFile(p, m, x));
    }
    bool WriteTextFile(plat::Handle f, const std::string& t) override {
        CALL(WriteTextFile(f, t));
    }
    bool SeekTextFileToEnd(plat::Handle f) override {
        CALL(SeekTextFileToEnd(f));
    }
    bool ReadTextLine(plat::Handle f, std::string& l, std::size_t m) override {
        CALL(ReadTextLine(f, l, m));
    }
    bool CloseTextFile(plat::Handle f) override {
        CALL(CloseTextFile(f));
    }

    std::uint32_t GetEnvironmentVariableA(const char* n, char* b, std::uint32_t s) override {
        CALL(GetEnvironmentVariableA(n, b, s));
    }

    bool CreateProcessA(const char* c, const plat::StartupInfo& s, plat::ProcessInformation& i) override {
        CALL(CreateProcessA(c, s, i));
    }
    std::uint32_t WaitForSingleObject(plat::Handle o, std::uint32_t m) override {
        CALL(WaitForSingleObject(o, m));
    }
    bool GetExitCodeProcess(plat::Handle p, std::uint32_t& e) override {
        CALL(GetExitCodeProcess(p, e));
    }
    bool CloseHandle(plat::Handle o) override {
        CALL(CloseHandle(o));
    }

    std::uint32_t GetModuleFileNameA(char* b, std::uint32_t s) override {
        CALL(GetModuleFileNameA(b, s));
    }
    bool OpenProcessToken(std::uint32_t a, plat::Handle& t) override {
        CALL(OpenProcessToken(a, t));
    }
    bool LookupPrivilegeValueA(const char* n, plat::Luid& l) override {
        CALL(LookupPrivilegeValueA(n, l));
    }
    bool AdjustTokenPrivileges(plat::Handle t, bool d, const plat::Luid& l, std::uint32_t a) override {
        CALL(AdjustTokenPrivileges(t, d, l, a));
    }
    bool ExitWindowsEx(std::uint32_t f, std::uint32_t r) override {
        CALL(ExitWindowsEx(f, r));
    }
    std::uint32_t FormatMessageA(std::uint32_t f, std::uint32_t m, std::uint32_t l, std::string& t) override {
        CALL(FormatMessageA(f, m, l, t));
    }
    int MessageBoxA(const char* t, const char* c, std::uint32_t y) override {
        CALL(MessageBoxA(t, c, y));
    }

    std::int32_t RegOpenKeyExA(plat::RegKey k, const char* s, std::uint32_t o, std::uint32_t d,
                               plat::RegKey* r) override {
        QUERY(RegOpenKeyExA(k, s, o, d, r));
    }
    std::int32_t RegCreateKeyExA(plat::RegKey k, const char* s, std::uint32_t d, plat::RegKey* r) override {
        CALL(RegCreateKeyExA(k, s, d, r));
    }
    std::int32_t RegQueryValueExA(plat::RegKey k, const char* n, std::uint32_t* t, std::uint8_t* d,
                                  std::uint32_t* s) override {
        QUERY(RegQueryValueExA(k, n, t, d, s));
    }
    std::int32_t RegSetValueExA(plat::RegKey k, const char* n, std::uint32_t t, const std::uint8_t* d,
                                std::uint32_t s) override {
        CALL(RegSetValueExA(k, n, t, d, s));
    }
    std::int32_t RegQueryInfoKeyA(plat::RegKey k, std::uint32_t* s, std::uint32_t* v) override {
        QUERY(RegQueryInfoKeyA(k, s, v));
    }
    std::int32_t RegEnumValueA(plat::RegKey k, std::uint32_t i, char* n, std::uint32_t* ns, std::uint32_t* t,
                               std::uint8_t* d, std::uint32_t* ds) override {
        QUERY(RegEnumValueA(k, i, n, ns, t, d, ds));
    }
    std::int32_t RegEnumKeyExA(plat::RegKey k, std::uint32_t i, char* n, std::uint32_t* ns) override {
        QUERY(RegEnumKeyExA(k, i, n, ns));
    }
    std::int32_t RegDeleteValueA(plat::RegKey k, const char* n) override {
        CALL(RegDeleteValueA(k, n));
    }
    std::int32_t RegDeleteKeyA(plat::RegKey k, const char* s) override {
        CALL(RegDeleteKeyA(k, s));
    }
    std::int32_t RegCloseKey(plat::RegKey k) override {
        CALL(RegCloseKey(k));
    }

    std::uint32_t MsiEnumProductsA(std::uint32_t i, char* c) override {
        QUERY(MsiEnumProductsA(i, c));
    }
    std::uint32_t MsiGetProductInfoA(const char* p, const char* n, char* v, std::uint32_t* s) override {
        QUERY(MsiGetProductInfoA(p, n, v, s));
    }
    std::uint32_t MsiSetInternalUI(std::uint32_t l) override {
        CALL(MsiSetInternalUI(l));
    }
    std::uint32_t MsiOpenProductA(const char* p, plat::MsiHandle* h) override {
        products.push_back(p ? p : "");
        ++queries;
        CALL(MsiOpenProductA(p, h));
    }
    std::uint32_t MsiGetPropertyA(plat::MsiHandle i, const char* n, char* v, std::uint32_t* s) override {
        CALL(MsiGetPropertyA(i, n, v, s));
    }
    std::uint32_t MsiOpenPackageA(const char* p, plat::MsiHandle* h) override {
        packages.push_back(p);
        CALL(MsiOpenPackageA(p, h));
    }
    std::uint32_t MsiDoActionA(plat::MsiHandle i, const char* a) override {
        CALL(MsiDoActionA(i, a));
    }
    std::uint32_t MsiGetTargetPathA(plat::MsiHandle i, const char* f, char* p, std::uint32_t* s) override {
        CALL(MsiGetTargetPathA(i, f, p, s));
    }
    std::uint32_t MsiOpenDatabaseA(const char* p, std::uintptr_t m, plat::MsiHandle* d) override {
        packages.push_back(p);
        CALL(MsiOpenDatabaseA(p, m, d));
    }
    std::uint32_t MsiDatabaseOpenViewA(plat::MsiHandle d, const char* q, plat::MsiHandle* v) override {
        CALL(MsiDatabaseOpenViewA(d, q, v));
    }
    std::uint32_t MsiViewExecute(plat::MsiHandle v, plat::MsiHandle r) override {
        CALL(MsiViewExecute(v, r));
    }
    std::uint32_t MsiViewFetch(plat::MsiHandle v, plat::MsiHandle* r) override {
        CALL(MsiViewFetch(v, r));
    }
    std::uint32_t MsiViewClose(plat::MsiHandle v) override {
        CALL(MsiViewClose(v));
    }
    plat::MsiHandle MsiCreateRecord(std::uint32_t f) override {
        CALL(MsiCreateRecord(f));
    }
    std::uint32_t MsiRecordSetStringA(plat::MsiHandle r, std::uint32_t f, const char* v) override {
        CALL(MsiRecordSetStringA(r, f, v));
    }
    std::uint32_t MsiRecordGetStringA(plat::MsiHandle r, std::uint32_t f, char* v,
                                      std::uint32_t* s) override {
        CALL(MsiRecordGetStringA(r, f, v, s));
    }
    int MsiRecordGetInteger(plat::MsiHandle r, std::uint32_t f) override {
        CALL(MsiRecordGetInteger(r, f));
    }
    std::uint32_t MsiCloseHandle(plat::MsiHandle h) override {
        CALL(MsiCloseHandle(h));
    }
    std::uint32_t MsiEnableLogA(std::uint32_t m, const char* f, std::uint32_t a) override {
        CALL(MsiEnableLogA(m, f, a));
    }
    std::uint32_t MsiInstallProductA(const char* p, const char* c) override {
        packages.push_back(p ? p : "");
        CALL(MsiInstallProductA(p, c));
    }

#undef CALL
#undef QUERY

private:
    plat::SimPlatform& inner_;
};

// ---- Snapshots of a prefix -------------------------------------------------------

struct Entry {
    bool dir = false;
    off_t size = 0;
};
using FileTree = std::map<std::string, Entry>;  // path relative to the prefix

void Walk(const std::string& root, const std::string& rel, FileTree& tree) {
    DIR* dir = ::opendir((root + rel).c_str());
    if (dir == nullptr) return;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const std::string child = rel + "/" + e->d_name;
        if (rel.empty() && std::strncmp(e->d_name, "system.reg.db", 13) == 0) continue;
        struct stat st;
        if (::lstat((root + child).c_str(), &st) != 0) continue;
        if (S_ISLNK(st.st_mode)) continue;  // dosdevices and the like
        Entry entry;
        entry.dir = S_ISDIR(st.st_mode);
        entry.size = st.st_size;
        tree[child] = entry;
        if (entry.dir) Walk(root, child, tree);
    }
    ::closedir(dir);
}

struct RegRow {
    std::string keyPath;  // upath
    std::string uname;    // empty for a key row
    std::string name;
    std::string keyName;
    std::string shownPath;
    int type = 0;
    std::string data;
};
using RegTree = std::map<std::string, RegRow>;  // "K\t" upath or "V\t" upath "\t" uname

class Db {
public:
    explicit Db(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            Fail("cannot open " + path);
        sqlite3_busy_timeout(db_, 10000);
    }
    ~Db() {
        for (auto& s : statements_) sqlite3_finalize(s.second);
        sqlite3_close(db_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3_stmt* Statement(const char* sql) {
        sqlite3_stmt*& st = statements_[sql];
        if (st == nullptr && sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            Fail(sqlite3_errmsg(db_));
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return st;
    }
    void Exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
    }

private:
    sqlite3* db_ = nullptr;
    std::map<std::string, sqlite3_stmt*> statements_;
};

std::string Column(sqlite3_stmt* st, int i) {
    const void* p = sqlite3_column_blob(st, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(st, i)))
             : std::string();
}

void ReadRegistry(Db& db, RegTree& tree) {
    sqlite3_stmt* keys = db.Statement("SELECT upath, name, path FROM keys");
    while (sqlite3_step(keys) == SQLITE_ROW) {
        RegRow row;
        row.keyPath = Column(keys, 0);
        row.keyName = Column(keys, 1);
        row.shownPath = Column(keys, 2);
        tree["K\t" + row.keyPath] = row;
    }
    sqlite3_stmt* vals = db.Statement(
        "SELECT k.upath, v.uname, v.name, v.type, v.data FROM vals v JOIN keys k ON k.id = v.key");
    while (sqlite3_step(vals) == SQLITE_ROW) {
        RegRow row;
        row.keyPath = Column(vals, 0);
        row.uname = Column(vals, 1);
        row.name = Column(vals, 2);
        row.type = sqlite3_column_int(vals, 3);
        row.data = Column(vals, 4);
        tree["V\t" + row.keyPath + "\t" + row.uname] = row;
    }
}

std::size_t Depth(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

bool CopyPlain(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    ssize_t n;
    bool ok = true;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0)
        ok = ok && ::write(out, buffer, static_cast<std::size_t>(n)) == n;
    ::close(in);
    ::close(out);
    return ok;
}

void ReadWhole(const std::string& path) {
    const int in = ::open(path.c_str(), O_RDONLY);
    if (in < 0) return;
    char buffer[65536];
    while (::read(in, buffer, sizeof buffer) > 0) {
    }
    ::close(in);
}

// ---- The baseline of one phase ----------------------------------------------------

struct Phase {
    std::string name;
    double seconds = 0;
    double baseline = 0;
    std::uint64_t calls = 0;
};

class Bench {
public:
    // Without a baseline only the tool runs: no copy to change, no snapshots
    // (the run that measures the tool's own memory).
    Bench(const std::string& runPrefix, const std::string& basePrefix, bool baseline)
        : baseline_(baseline),
          runPrefix_(runPrefix),
          basePrefix_(basePrefix),
          sim_(runPrefix),
          counter_(sim_),
          runDb_(runPrefix + "/system.reg.db"),
          baseDb_(baseline ? basePrefix + "/system.reg.db" : runPrefix + "/system.reg.db") {
        plat::SetPlatform(&counter_);
        if (!baseline_) return;
        baseDb_.Exec("PRAGMA journal_mode=WAL");
        baseDb_.Exec("PRAGMA synchronous=NORMAL");
        Walk(runPrefix_, "", files_);
        ReadRegistry(runDb_, registry_);
        // The lookups of the read baseline cycle through the stored values.
        sqlite3_stmt* st = baseDb_.Statement("SELECT key, uname FROM vals LIMIT 20000");
        while (sqlite3_step(st) == SQLITE_ROW)
            lookups_.emplace_back(sqlite3_column_int64(st, 0), Column(st, 1));
    }
    ~Bench() { plat::SetPlatform(nullptr); }

    // Runs one phase of the tool, then the same work the plain way.
    void Run(const std::string& name, const std::function<void()>& work) {
        counter_.Reset();
        const Clock::time_point start = Clock::now();
        work();
        Phase phase;
        phase.name = name;
        phase.seconds = Since(start);
        phase.calls = counter_.calls;
        phase.baseline = baseline_ ? Baseline() : 0;
        phases_.push_back(phase);
    }

    const std::vector<Phase>& Phases() const { return phases_; }
    plat::SimPlatform& Sim() { return sim_; }

private:
    std::string HostOf(const std::string& windowsPath) {
        std::string host;
        std::uint32_t error = 0;
        if (!sim_.ToHostPath(windowsPath, host, error)) return "";
        if (host.compare(0, runPrefix_.size(), runPrefix_) != 0) return "";
        return basePrefix_ + host.substr(runPrefix_.size());
    }

    double Baseline() {
        FileTree after;
        Walk(runPrefix_, "", after);
        RegTree regAfter;
        ReadRegistry(runDb_, regAfter);

        std::vector<std::string> goneFiles, goneDirs, newDirs, newFiles;
        for (const auto& e : files_) {
            if (after.count(e.first) == 0) (e.second.dir ? goneDirs : goneFiles).push_back(e.first);
        }
        for (const auto& e : after) {
            auto before = files_.find(e.first);
            if (e.second.dir) {
                if (before == files_.end()) newDirs.push_back(e.first);
            } else if (before == files_.end() || before->second.size != e.second.size) {
                newFiles.push_back(e.first);
            }
        }
        std::sort(goneDirs.begin(), goneDirs.end(),
                  [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
        std::vector<const RegRow*> goneValues, goneKeys, newKeys, newValues;
        for (const auto& r : registry_) {
            if (regAfter.count(r.first) == 0)
                (r.first[0] == 'K' ? goneKeys : goneValues).push_back(&r.second);
        }
        for (const auto& r : regAfter) {
            auto before = registry_.find(r.first);
            if (before == registry_.end() || (r.first[0] == 'V' && (before->second.data != r.second.data ||
                                                                    before->second.type != r.second.type))) {
                (r.first[0] == 'K' ? newKeys : newValues).push_back(&r.second);
            }
        }
        std::sort(goneKeys.begin(), goneKeys.end(),
                  [](const RegRow* a, const RegRow* b) { return a->keyPath.size() > b->keyPath.size(); });
        std::sort(newKeys.begin(), newKeys.end(),
                  [](const RegRow* a, const RegRow* b) { return a->keyPath.size() < b->keyPath.size(); });
        std::vector<std::string> packages;
        for (const std::string& p : counter_.packages) packages.push_back(HostOf(p));
        for (const std::string& code : counter_.products) {
            char path[5000];
            std::uint32_t size = sizeof path;
            if (sim_.MsiGetProductInfoA(code.c_str(), "LocalPackage", path, &size) == 0) {
                packages.push_back(HostOf(path));
            }
        }
        const std::uint64_t queries = counter_.queries;
        std::vector<std::string> stats, folders;
        for (const std::string& p : counter_.lookups) stats.push_back(HostOf(p));
        for (const std::string& p : counter_.listings) {
            const std::string::size_type slash = p.find_last_of('\\');
            folders.push_back(HostOf(slash == std::string::npos ? p : p.substr(0, slash)));
        }

        const Clock::time_point start = Clock::now();
        for (const std::string& p : packages) ReadWhole(p);
        for (const std::string& p : stats) {
            struct stat st;
            ::stat(p.c_str(), &st);
        }
        for (const std::string& f : folders) {
            if (DIR* d = ::opendir(f.c_str())) {
                while (::readdir(d) != nullptr) {
                }
                ::closedir(d);
            }
        }
        for (std::uint64_t i = 0; i < queries && !lookups_.empty(); ++i) {
            const auto& l = lookups_[i % lookups_.size()];
            sqlite3_stmt* st = baseDb_.Statement("SELECT type, data FROM vals WHERE key = ?1 AND uname = ?2");
            sqlite3_bind_int64(st, 1, l.first);
            sqlite3_bind_text(st, 2, l.second.c_str(), -1, SQLITE_STATIC);
            while (sqlite3_step(st) == SQLITE_ROW) {
            }
        }
        for (const std::string& d : newDirs) ::mkdir((basePrefix_ + d).c_str(), 0755);
        for (const std::string& f : newFiles) CopyPlain(runPrefix_ + f, basePrefix_ + f);
        for (const std::string& f : goneFiles) ::unlink((basePrefix_ + f).c_str());
        for (const std::string& d : goneDirs) ::rmdir((basePrefix_ + d).c_str());
        for (const RegRow* v : goneValues) {
            sqlite3_stmt* st = baseDb_.Statement(
                "DELETE FROM vals WHERE key = (SELECT id FROM keys WHERE upath = ?1) AND uname = ?2");
            sqlite3_bind_text(st, 1, v->keyPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, v->uname.c_str(), -1, SQLITE_STATIC);
            sqlite3_step(st);
        }
        for (const RegRow* k : goneKeys) {
            sqlite3_stmt* st = baseDb_.Statement("DELETE FROM keys WHERE upath = ?1");
            sqlite3_bind_text(st, 1, k->keyPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_step(st);
        }
        for (const RegRow* k : newKeys) {
            const std::string parent = k->keyPath.substr(0, k->keyPath.rfind('\\'));
            sqlite3_stmt* st = baseDb_.Statement(
                "INSERT OR IGNORE INTO keys(parent, name, uname, path, upath) "
                "VALUES(COALESCE((SELECT id FROM keys WHERE upath = ?1), 0), ?2, upper(?2), ?3, ?4)");
            sqlite3_bind_text(st, 1, parent.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, k->keyName.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, k->shownPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 4, k->keyPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_step(st);
        }
        for (const RegRow* v : newValues) {
            sqlite3_stmt* st = baseDb_.Statement(
                "INSERT INTO vals(key, uname, name, type, data) VALUES((SELECT id FROM keys WHERE upath = "
                "?1), ?2, "
                "?3, ?4, ?5) ON CONFLICT(key, uname) DO UPDATE SET type = excluded.type, data = "
                "excluded.data");
            sqlite3_bind_text(st, 1, v->keyPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 2, v->uname.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(st, 3, v->name.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int(st, 4, v->type);
            sqlite3_bind_blob(st, 5, v->data.data(), static_cast<int>(v->data.size()), SQLITE_STATIC);
            sqlite3_step(st);
        }
        const double seconds = Since(start);
        files_.swap(after);
        registry_.swap(regAfter);
        return seconds;
    }

    bool baseline_ = true;
    std::string runPrefix_;
    std::string basePrefix_;
    plat::SimPlatform sim_;
    CountingPlatform counter_;
    Db runDb_;
    Db baseDb_;
    FileTree files_;
    RegTree registry_;
    std::vector<std::pair<std::int64_t, std::string>> lookups_;
    std::vector<Phase> phases_;
};

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) Fail("failed: " + command);
}

int RunOnce(const std::string& master, const std::string& work, const std::string& resultFile,
            bool baseline) {
    const std::string runPrefix = work + "/run";
    const std::string basePrefix = work + "/base";
    Shell("mkdir -p '" + work + "' && rm -rf '" + runPrefix + "' '" + basePrefix + "' && cp -a '" + master +
          "' '" + runPrefix + "' && mkdir -p '" + runPrefix + "/drive_c/CorvantaBench'");
    if (baseline) {
        Shell("cp -a '" + master + "' '" + basePrefix + "' && mkdir -p '" + basePrefix +
              "/drive_c/CorvantaBench'");
    }
    // The tool's console output goes to a file; the results go to resultFile.
    if (std::freopen((work + "/console.txt").c_str(), "w", stdout) == nullptr)
        Fail("cannot redirect the console");

    std::vector<Phase> phases;
    {
        Bench bench(runPrefix, basePrefix, baseline);
        ToolLog log;
        log.Open("C:\\CorvantaBench\\uninstall.log");
        CCorvantaProducts productSet(log, "C:\\CorvantaBench\\uninstall.log", false, false, false, false);
        CRegistryProcessor sharedDlls(log);

        bench.Run("discovery", [&] { productSet.FindInstalledProducts(); });
        bench.Run("package saving", [&] {
            productSet.CreateTempPackageDir();
            productSet.SaveCachedPackages();
        });
        bench.Run("preservation", [&] {
            productSet.PreserveTracklightWebData();
            productSet.PreserveVaultlineData();
            productSet.PreserveCommonWebData();
            productSet.PreserveSpecwrightData();
            productSet.PreserveAdministratorProjects();
            productSet.BackupRegistryKeys();
            productSet.PreserveOverlookData();
        });
        bench.Run("uninstall", [&] { productSet.UninstallProducts(); });
        bench.Run("SharedDLLs", [&] {
            sharedDlls.FindSharedDllEntries();
            sharedDlls.RemoveSharedDllEntries();
        });
        // The file cleanup of each product as CleanupFiles runs it, with its
        // registry removal measured apart.
        for (const auto& product : productSet.Products()) {
            CFileCleanup cleanup(log, false, false, productSet.TempPackageDir());
            bool reached = false;
            bench.Run("file cleanup " + product->GetInternalName(), [&] {
                cleanup.SetPackagePath(product->GetPackageCopy());
                log.Write(ToolLog::FormatMessageId(39));
                if (cleanup.CCreateFileObjectsFromMsiDataBase(product->GetPackageCopy(), "Component")) {
                    cleanup.CCreateFileObjectsFromMsiDataBase(product->GetPackageCopy(), "File");
                    if (cleanup.CGetInstalledCorvantaProductsCachedDatabases() &&
                        cleanup.CCheckForSharedFiles()) {
                        cleanup.CRemoveUnsharedFiles();
                        if (cleanup.HasOtherSuiteProducts()) cleanup.CCleanupDCProductDirs();
                        cleanup.CRemoveEmptyDirectories(cleanup.GetInstallDir());
                        cleanup.CCleanupCommonFiles();
                        reached = true;
                    }
                }
            });
            bench.Run("registry cleanup " + product->GetInternalName(), [&] {
                if (reached) cleanup.CCleanupRegistry();
                log.Write(ToolLog::FormatMessageId(53));
            });
        }
        bench.Run("RemoveTempPackageDir", [&] { productSet.RemoveTempPackageDir(); });
        log.Close();
        phases = bench.Phases();
    }
    rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    std::ofstream out(resultFile, std::ios::trunc);
    if (!baseline) {
        out << "tool_peak_kb\t" << usage.ru_maxrss << '\n';
        if (std::getenv("BENCH_KEEP") == nullptr) Shell("rm -rf '" + runPrefix + "'");
        return 0;
    }
    for (const Phase& p : phases)
        out << p.name << '\t' << p.seconds << '\t' << p.baseline << '\t' << p.calls << '\n';
    out << "peak_kb\t" << usage.ru_maxrss << '\n';
    if (std::getenv("BENCH_KEEP") == nullptr) Shell("rm -rf '" + runPrefix + "' '" + basePrefix + "'");
    return 0;
}

// ---- The report --------------------------------------------------------------------

struct Row {
    std::vector<double> seconds, baseline, calls;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Folds the per-product phases into two lines, keeping the per-product
// medians of the first scale for the detail table.
std::string Group(const std::string& phase) {
    if (phase.compare(0, 13, "file cleanup ") == 0) return "file cleanup (all products)";
    if (phase.compare(0, 17, "registry cleanup ") == 0) return "registry cleanup (all products)";
    return phase;
}

struct Scale {
    double factor = 1;
    std::vector<std::string> order;
    std::map<std::string, Row> rows;    // grouped phases
    std::map<std::string, Row> detail;  // per product
    std::vector<std::string> detailOrder;
    std::vector<double> peak;
    std::vector<double> toolPeak;
    std::size_t runs = 0;
};

Scale Load(const std::string& spec) {
    Scale s;
    const std::size_t colon = spec.find(':');
    if (colon == std::string::npos) Fail("report: expected SCALE:DIR, got " + spec);
    s.factor = std::atof(spec.substr(0, colon).c_str());
    const std::string dir = spec.substr(colon + 1);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) Fail("report: cannot read " + dir);
    std::vector<std::string> files;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tsv") == 0)
            files.push_back(dir + "/" + name);
    }
    ::closedir(d);
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
        std::ifstream in(file);
        std::string line;
        std::map<std::string, std::vector<double>> sums;  // grouped: seconds, baseline, calls
        std::vector<std::string> order;
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::stringstream ss(line);
            std::string part;
            while (std::getline(ss, part, '\t')) f.push_back(part);
            if (f.size() == 2 && f[0] == "tool_peak_kb") {
                s.toolPeak.push_back(std::atof(f[1].c_str()));
                continue;
            }
            if (f.size() == 2 && f[0] == "peak_kb") {
                s.peak.push_back(std::atof(f[1].c_str()));
                continue;
            }
            if (f.size() != 4) continue;
            const double v[3] = {std::atof(f[1].c_str()), std::atof(f[2].c_str()), std::atof(f[3].c_str())};
            Row& detail = s.detail[f[0]];
            if (detail.seconds.empty() && s.runs == 0) s.detailOrder.push_back(f[0]);
            detail.seconds.push_back(v[0]);
            detail.baseline.push_back(v[1]);
            detail.calls.push_back(v[2]);
            const std::string g = Group(f[0]);
            auto& sum = sums[g];
            if (sum.empty()) {
                sum.assign(3, 0);
                order.push_back(g);
            }
            for (int i = 0; i < 3; ++i) sum[i] += v[i];
        }
        if (sums.empty()) continue;  // the memory run
        if (s.runs == 0) s.order = order;
        for (const auto& g : sums) {
            Row& row = s.rows[g.first];
            row.seconds.push_back(g.second[0]);
            row.baseline.push_back(g.second[1]);
            row.calls.push_back(g.second[2]);
        }
        ++s.runs;
    }
    if (s.runs == 0) Fail("report: no result files in " + dir);
    return s;
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

int Report(const std::vector<std::string>& specs) {
    std::vector<Scale> scales;
    for (const std::string& spec : specs) scales.push_back(Load(spec));
    const Scale& first = scales.front();

    for (const Scale& s : scales) {
        std::printf("\nScale %gx (median of %zu runs; seconds)\n", s.factor, s.runs);
        std::printf("%-32s %10s %10s %8s %12s\n", "phase", "tool", "baseline", "ratio", "calls");
        double tool = 0, base = 0;
        for (const std::string& name : s.order) {
            const Row& r = s.rows.at(name);
            const double t = Median(r.seconds), b = Median(r.baseline);
            tool += t;
            base += b;
            std::printf("%-32s %10.3f %10.3f %8.2f %12.0f\n", name.c_str(), t, b, Ratio(t, b),
                        Median(r.calls));
        }
        std::printf("%-32s %10.3f %10.3f %8.2f   (target: ratio at most 2)\n", "whole run", tool, base,
                    Ratio(tool, base));
        std::printf(
            "peak memory: the tool alone %.1f MB (target at 4x: under 200 MB); with the benchmark's "
            "snapshots %.1f MB\n",
            Median(s.toolPeak) / 1024.0, Median(s.peak) / 1024.0);
    }

    std::printf("\nFile and registry cleanup per product at %gx (median; seconds)\n", first.factor);
    std::printf("%-32s %10s %10s %8s %12s\n", "phase", "tool", "baseline", "ratio", "calls");
    for (const std::string& name : first.detailOrder) {
        const Row& r = first.detail.at(name);
        const double t = Median(r.seconds), b = Median(r.baseline);
        std::printf("%-32s %10.3f %10.3f %8.2f %12.0f\n", name.c_str(), t, b, Ratio(t, b), Median(r.calls));
    }

    if (scales.size() > 1) {
        std::printf(
            "\nScaling: time per unit of size relative to %gx (1.00 = linear; target within 0.80..1.20)\n",
            first.factor);
        std::printf("%-32s", "phase");
        for (const Scale& s : scales) std::printf(" %9gx", s.factor);
        std::printf("   calls at the largest scale per unit\n");
        for (const std::string& name : first.order) {
            std::printf("%-32s", name.c_str());
            const double t0 = Median(first.rows.at(name).seconds);
            const double c0 = Median(first.rows.at(name).calls);
            double lastCalls = 0;
            for (const Scale& s : scales) {
                auto it = s.rows.find(name);
                if (it == s.rows.end() || t0 <= 0) {
                    std::printf(" %10s", "-");
                    continue;
                }
                std::printf(" %10.2f", Median(it->second.seconds) / t0 / (s.factor / first.factor));
                lastCalls = Median(it->second.calls) / (s.factor / first.factor);
            }
            std::printf("   %.2f\n", Ratio(lastCalls, c0));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "run" && argc == 5) return RunOnce(argv[2], argv[3], argv[4], true);
    if (mode == "memory" && argc == 5) return RunOnce(argv[2], argv[3], argv[4], false);
    if (mode == "report" && argc > 2) return Report(std::vector<std::string>(argv + 2, argv + argc));
    std::fprintf(stderr,
                 "usage: bench_run run MASTER_PREFIX WORKDIR RESULT_FILE\n"
                 "       bench_run memory MASTER_PREFIX WORKDIR RESULT_FILE\n"
                 "       bench_run report SCALE:DIR [SCALE:DIR ...]\n");
    return 2;
}
