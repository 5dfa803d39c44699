// Registry operations per second through the sim backend's Reg* calls, next
// to plain SQLite doing the same statements on a database of the same shape in
// the same run (WAL, synchronous=NORMAL, one transaction per change).
//
//   build/bench/bench_registry [COUNT]      (default 5000 per operation)
//
// The ratio column is sim / plain: the share of the plain SQLite speed the
// registry keeps after handles, name folding, fault checks and the
// generation bookkeeping of enumeration.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_registry: %s\n", what);
    std::exit(1);
}

std::string Name(const char* stem, int i) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%06d", stem, i);
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

// The plain side: the same schema and statements, no layer above them.
class Plain {
public:
    explicit Plain(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Fail("cannot open the plain database");
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
        Exec(
            "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,"
            " uname TEXT NOT NULL, path TEXT NOT NULL, upath TEXT NOT NULL UNIQUE, gen INTEGER NOT NULL "
            "DEFAULT 0);"
            "CREATE INDEX keys_children ON keys(parent, uname);"
            "CREATE TABLE vals(key INTEGER NOT NULL, uname TEXT NOT NULL, name TEXT NOT NULL, type INTEGER "
            "NOT NULL,"
            " data BLOB NOT NULL, PRIMARY KEY(key, uname)) WITHOUT ROWID;"
            "INSERT INTO keys(id, parent, name, uname, path, upath) VALUES(1, 0, 'R', 'R', 'R', 'R');");
        insertKey_ = Prepare("INSERT INTO keys(parent, name, uname, path, upath) VALUES(1, ?1, ?2, ?3, ?4)");
        setValue_ = Prepare(
            "INSERT INTO vals(key, uname, name, type, data) VALUES(1, ?1, ?2, 4, ?3) "
            "ON CONFLICT(key, uname) DO UPDATE SET type = excluded.type, data = excluded.data");
        getValue_ = Prepare("SELECT name, type, data FROM vals WHERE key = 1 AND uname = ?1");
        listValues_ = Prepare("SELECT name, type, data FROM vals WHERE key = 1 ORDER BY uname");
        listKeys_ = Prepare("SELECT name FROM keys WHERE parent = 1 ORDER BY uname");
        deleteValue_ = Prepare("DELETE FROM vals WHERE key = 1 AND uname = ?1");
        deleteKey_ = Prepare("DELETE FROM keys WHERE upath = ?1");
    }
    ~Plain() {
        for (sqlite3_stmt* st :
             {insertKey_, setValue_, getValue_, listValues_, listKeys_, deleteValue_, deleteKey_}) {
            sqlite3_finalize(st);
        }
        sqlite3_close(db_);
    }

    void CreateKey(const std::string& name) {
        Exec("BEGIN IMMEDIATE");
        const std::string path = "R\\" + name;
        Bind(insertKey_, 1, name);
        Bind(insertKey_, 2, Upper(name));
        Bind(insertKey_, 3, path);
        Bind(insertKey_, 4, Upper(path));
        Done(insertKey_);
        Exec("COMMIT");
    }
    void SetValue(const std::string& name, const std::string& data) {
        Exec("BEGIN IMMEDIATE");
        Bind(setValue_, 1, Upper(name));
        Bind(setValue_, 2, name);
        sqlite3_bind_blob(setValue_, 3, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        Done(setValue_);
        Exec("COMMIT");
    }
    std::size_t GetValue(const std::string& name) {
        Bind(getValue_, 1, Upper(name));
        std::size_t size = 0;
        if (sqlite3_step(getValue_) == SQLITE_ROW)
            size = static_cast<std::size_t>(sqlite3_column_bytes(getValue_, 2));
        sqlite3_reset(getValue_);
        return size;
    }
    std::size_t ListValues() {
        std::size_t rows = 0;
        while (sqlite3_step(listValues_) == SQLITE_ROW) {
            if (sqlite3_column_text(listValues_, 0) && sqlite3_column_blob(listValues_, 2)) ++rows;
        }
        sqlite3_reset(listValues_);
        return rows;
    }
    std::size_t ListKeys() {
        std::size_t rows = 0;
        while (sqlite3_step(listKeys_) == SQLITE_ROW) {
            if (sqlite3_column_text(listKeys_, 0)) ++rows;
        }
        sqlite3_reset(listKeys_);
        return rows;
    }
    void DeleteValue(const std::string& name) {
        Exec("BEGIN IMMEDIATE");
        Bind(deleteValue_, 1, Upper(name));
        Done(deleteValue_);
        Exec("COMMIT");
    }
    void DeleteKey(const std::string& name) {
        Exec("BEGIN IMMEDIATE");
        Bind(deleteKey_, 1, Upper("R\\" + name));
        Done(deleteKey_);
        Exec("COMMIT");
    }

private:
    void Exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
        return st;
    }
    static void Bind(sqlite3_stmt* st, int index, const std::string& text) {
        sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Done(sqlite3_stmt* st) {
        if (sqlite3_step(st) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
        sqlite3_reset(st);
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insertKey_ = nullptr;
    sqlite3_stmt* setValue_ = nullptr;
    sqlite3_stmt* getValue_ = nullptr;
    sqlite3_stmt* listValues_ = nullptr;
    sqlite3_stmt* listKeys_ = nullptr;
    sqlite3_stmt* deleteValue_ = nullptr;
    sqlite3_stmt* deleteKey_ = nullptr;
};

struct Row {
    const char* operation;
    double simSeconds;
    double plainSeconds;
    int count;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (count <= 0) Fail("COUNT must be a positive number");
    char pattern[] = "/tmp/bench-registry-XXXXXX";
    if (!mkdtemp(pattern)) Fail("cannot make a temporary folder");
    const std::string folder = pattern;

    plat::SimPlatform machine(folder);
    Plain plain(folder + "/plain.db");
    std::vector<Row> rows;
    const char* const base = "SOFTWARE\\Bench";
    plat::RegKey root = 0;
    if (machine.RegCreateKeyExA(plat::kHkeyLocalMachine, base, plat::kKeyAllAccess, &root) != 0) {
        Fail("cannot create the bench key");
    }
    const std::uint8_t data[4] = {1, 2, 3, 4};
    const std::string plainData(reinterpret_cast<const char*>(data), 4);

    rows.push_back(
        {"create key", Seconds([&] {
             for (int i = 0; i < count; ++i) {
                 plat::RegKey key = 0;
                 if (machine.RegCreateKeyExA(root, Name("Key", i).c_str(), plat::kKeyAllAccess, &key) != 0)
                     Fail("RegCreateKeyExA");
                 machine.RegCloseKey(key);
             }
         }),
         Seconds([&] {
             for (int i = 0; i < count; ++i) plain.CreateKey(Name("Key", i));
         }),
         count});
    rows.push_back(
        {"set value", Seconds([&] {
             for (int i = 0; i < count; ++i) {
                 if (machine.RegSetValueExA(root, Name("Value", i).c_str(), plat::kRegDword, data, 4) != 0)
                     Fail("RegSetValueExA");
             }
         }),
         Seconds([&] {
             for (int i = 0; i < count; ++i) plain.SetValue(Name("Value", i), plainData);
         }),
         count});
    rows.push_back(
        {"query value", Seconds([&] {
             for (int i = 0; i < count; ++i) {
                 std::uint8_t buffer[16];
                 std::uint32_t size = sizeof buffer;
                 std::uint32_t type = 0;
                 if (machine.RegQueryValueExA(root, Name("Value", i).c_str(), &type, buffer, &size) != 0 ||
                     size != 4)
                     Fail("RegQueryValueExA");
             }
         }),
         Seconds([&] {
             for (int i = 0; i < count; ++i) {
                 if (plain.GetValue(Name("Value", i)) != 4) Fail("plain query");
             }
         }),
         count});
    rows.push_back({"enumerate values", Seconds([&] {
                        char name[64];
                        int seen = 0;
                        for (std::uint32_t i = 0;; ++i) {
                            std::uint32_t nameSize = sizeof name;
                            std::uint8_t buffer[16];
                            std::uint32_t size = sizeof buffer;
                            const std::int32_t rc =
                                machine.RegEnumValueA(root, i, name, &nameSize, nullptr, buffer, &size);
                            if (rc != 0) break;
                            ++seen;
                        }
                        if (seen != count) Fail("RegEnumValueA");
                    }),
                    Seconds([&] {
                        if (plain.ListValues() != static_cast<std::size_t>(count)) Fail("plain enumeration");
                    }),
                    count});
    rows.push_back({"enumerate keys", Seconds([&] {
                        char name[64];
                        int seen = 0;
                        for (std::uint32_t i = 0;; ++i) {
                            std::uint32_t nameSize = sizeof name;
                            if (machine.RegEnumKeyExA(root, i, name, &nameSize) != 0) break;
                            ++seen;
                        }
                        if (seen != count) Fail("RegEnumKeyExA");
                    }),
                    Seconds([&] {
                        if (plain.ListKeys() != static_cast<std::size_t>(count)) Fail("plain enumeration");
                    }),
                    count});
    rows.push_back({"delete value", Seconds([&] {
                        for (int i = 0; i < count; ++i) {
                            if (machine.RegDeleteValueA(root, Name("Value", i).c_str()) != 0)
                                Fail("RegDeleteValueA");
                        }
                    }),
                    Seconds([&] {
                        for (int i = 0; i < count; ++i) plain.DeleteValue(Name("Value", i));
                    }),
                    count});
    rows.push_back({"delete key", Seconds([&] {
                        for (int i = 0; i < count; ++i) {
                            if (machine.RegDeleteKeyA(root, Name("Key", i).c_str()) != 0)
                                Fail("RegDeleteKeyA");
                        }
                    }),
                    Seconds([&] {
                        for (int i = 0; i < count; ++i) plain.DeleteKey(Name("Key", i));
                    }),
                    count});
    machine.RegCloseKey(root);

    std::printf("%-18s %14s %14s %8s\n", "operation", "sim ops/s", "sqlite ops/s", "ratio");
    for (const Row& row : rows) {
        const double sim = row.count / row.simSeconds;
        const double raw = row.count / row.plainSeconds;
        std::printf("%-18s %14.0f %14.0f %8.2f\n", row.operation, sim, raw, sim / raw);
    }
    const std::string command = "rm -rf '" + folder + "'";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
