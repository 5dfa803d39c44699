// The simulated machine's registry store (SQLite in the prefix): one
// transaction per changing call, safe when several processes use it at once,
// nothing lost when a process dies mid-run.
//
// Key paths given to this C++ API are full paths with the hive spelled out
// ("HKEY_LOCAL_MACHINE\\Software\\..."; HKLM, HKCU, HKU, HKCR accepted too);
// names compare case-insensitively and keep the case they were created with.
// Value data is kept as the raw bytes Windows would store (REG_SZ with its
// terminating zero, REG_DWORD as 4 little-endian bytes, ...).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct SimRegValue {
    std::string name;  // "" is the default value
    std::uint32_t type = 0;
    std::string data;  // raw bytes
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
};

}  // namespace plat
