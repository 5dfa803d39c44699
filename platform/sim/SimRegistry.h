// The simulated machine's registry store (SQLite in the prefix): one
// transaction per changing call, safe when several processes use it at once,
// nothing lost when a process dies mid-run.
//
// Key paths given to this C++ API are full paths with the hive spelled out
// ("HKEY_LOCAL_MACHINE\\Software\\..."; HKLM, HKCU, HKU, HKCR accepted too);
// names compare case-insensitively and keep the case they were created with.
// Value data is kept as the raw bytes Windows would store (REG_SZ with its
// terminating zero, REG_DWORD as 4 little-endian bytes, ...).
//
// The hives: HKEY_LOCAL_MACHINE and HKEY_USERS are stored; HKEY_CURRENT_USER
// is HKEY_USERS\<the machine user's SID> and HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes. Opening the store creates the file
// (inside an existing prefix folder) and these base keys.
//
// Subkeys and values are listed in the order Windows keeps subkeys in: by
// name compared case-insensitively (letters folded to upper case, FoldName).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace plat {

// The SID of the machine's one user, whose key under HKEY_USERS is
// HKEY_CURRENT_USER (kSimUserSid of SimMachine.h).
extern const char* const kSimRegistryUserSid;

struct SimRegValue {
    std::string name;  // "" is the default value
    std::uint32_t type = 0;
    std::string data;  // raw bytes
};

// A key opened by the Reg* calls of the platform interface.
struct SimOpenKey {
    std::int64_t id = 0;       // the key's row in the store
    std::string path;          // its stored form (see CanonicalPath)
    std::string shownPath;     // full path as the caller named it, hive spelled out
    std::uint32_t access = 0;  // the access mask it was opened with
    bool predefined = false;   // one of the predefined roots
    // Enumeration snapshots: valid while the store's change stamp, or else the
    // key's own generation, is unchanged, so enumerating by growing index costs
    // one lookup per call instead of a scan.
    bool subKeysValid = false;
    std::uint64_t subKeysStamp = 0;
    std::uint64_t subKeysLocal = 0;  // this process's change count at the last check
    std::uint32_t subKeysNext = 0;   // the index a walk asks for next
    std::int64_t subKeysGen = -1;
    std::vector<std::string> subKeys;
    bool valuesValid = false;
    std::uint64_t valuesStamp = 0;
    std::uint64_t valuesLocal = 0;
    std::uint32_t valuesNext = 0;
    std::int64_t valuesGen = -1;
    std::vector<SimRegValue> values;
};

class SimRegistry {
public:
    explicit SimRegistry(const std::string& prefixHostPath);
    ~SimRegistry();
    SimRegistry(const SimRegistry&) = delete;
    SimRegistry& operator=(const SimRegistry&) = delete;

    bool KeyExists(const std::string& keyPath);
    // Creates the key and its missing parents.
    bool CreateKey(const std::string& keyPath);
    bool SetValue(const std::string& keyPath, const SimRegValue& value);  // creates the key
    bool GetValue(const std::string& keyPath, const std::string& name, SimRegValue& value);
    bool DeleteValue(const std::string& keyPath, const std::string& name);
    // Deletes the key with everything below it.
    bool DeleteKeyTree(const std::string& keyPath);
    // In case-insensitive name order.
    std::vector<std::string> SubKeys(const std::string& keyPath);
    std::vector<SimRegValue> Values(const std::string& keyPath);

    // Convenience for strings and numbers.
    bool SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                   std::uint32_t type = 1 /* REG_SZ */);
    bool GetString(const std::string& keyPath, const std::string& name, std::string& text);
    bool SetDword(const std::string& keyPath, const std::string& name, std::uint32_t number);

    // Sets many values of one key in one transaction (creates the key).
    bool SetValues(const std::string& keyPath, const std::vector<SimRegValue>& values);

    // Groups the changing calls made while it lives into one transaction;
    // without Commit everything is rolled back. Nested batches join the outer one.
    class Batch {
    public:
        explicit Batch(SimRegistry& registry);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        bool Commit();

    private:
        SimRegistry& registry_;
        bool open_ = false;
    };

    // A name folded for comparing and ordering: letters to upper case (the
    // ANSI code page 1252 letters too, as Windows folds their Unicode forms).
    static std::string FoldName(const std::string& name);

    // The stored form of a full key path: hive spelled out, HKCU and HKCR
    // mapped, empty components dropped. false for an unknown hive or a name
    // longer than 255 characters.
    static bool CanonicalPath(const std::string& keyPath, std::string& canonical);
    // The hive as the caller spelled it, long form ("HKLM\\x" -> "HKEY_LOCAL_MACHINE\\x",
    // "hkcu" -> "HKEY_CURRENT_USER"), without mapping HKCU/HKCR. false for an unknown hive.
    static bool LongHivePath(const std::string& keyPath, std::string& longPath);

    // The path as stored (with the case the keys were created with); false
    // when the key does not exist.
    bool StoredPath(const std::string& keyPath, std::string& storedPath);
    // The path to show for a key: the hive as the caller named it, long form,
    // then the names as stored ("hkcu\\software\\x" -> "HKEY_CURRENT_USER\\SOFTWARE\\X"
    // when stored so); false when the key does not exist.
    bool ShownPath(const std::string& keyPath, std::string& shownPath);

    // ---- Row level, used by the Reg* calls ----
    // Key row of a canonical or user path; 0 when missing, -1 on a store failure.
    std::int64_t KeyId(const std::string& keyPath);
    // Creates the key and its parents; 0 on failure.
    std::int64_t CreateKeyId(const std::string& keyPath);
    // The key's generation (changes with each change to its values or
    // subkeys); -1 when the key is gone.
    std::int64_t KeyGeneration(std::int64_t id);
    // Changes whenever this process or another one changes the store.
    std::uint64_t ChangeStamp();
    // Changes whenever this process changes the store (no store access).
    std::uint64_t LocalChanges() const;
    bool GetValueById(std::int64_t id, const std::string& name, SimRegValue& value);
    bool SetValueById(std::int64_t id, const SimRegValue& value);
    // 0, 2 when the value is missing, 1018 when the key is gone, 1021 on a store failure.
    std::uint32_t DeleteValueById(std::int64_t id, const std::string& name);
    std::vector<std::string> SubKeysById(std::int64_t id);
    std::vector<SimRegValue> ValuesById(std::int64_t id);
    bool CountsById(std::int64_t id, std::uint32_t& subKeys, std::uint32_t& values);
    // Deletes a key without subkeys: 0, 2 when missing, 5 while it has
    // subkeys or for a hive root, 1021 on a store failure.
    std::uint32_t DeleteLeafKey(const std::string& keyPath);

    // ---- Handle table of the Reg* calls ----
    RegKey AddHandle(SimOpenKey key);
    SimOpenKey* FindHandle(RegKey handle);
    bool RemoveHandle(RegKey handle);
    // The entry standing for a predefined root (kHkeyLocalMachine, ...);
    // nullptr for any other value. Not counted as an open key.
    SimOpenKey* RootHandle(RegKey root);
    // Keys opened through the Reg* calls and not closed yet.
    std::size_t OpenKeyCount() const { return handles_.size(); }

    // The store's file on the host.
    const std::string& DatabasePath() const;

    struct Impl;  // the connection and its statements (SimRegistry.cpp)

private:
    std::unique_ptr<Impl> impl_;
    std::map<RegKey, SimOpenKey> handles_;
    std::map<RegKey, SimOpenKey> roots_;
    RegKey nextHandle_ = 0x100;
};

}  // namespace plat
