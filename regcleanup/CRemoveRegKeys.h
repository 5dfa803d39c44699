// Removes the registry values a product's package declares, less those a
// remaining suite product declares too; with no suite product left, the
// vendor's key trees instead.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "app/ToolLog.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "regcleanup/CRegEntry.h"

class CRemoveRegKeys {
public:
    CRemoveRegKeys(bool clean, bool debug);
    // With the log known up front, for calling the operations one by one.
    CRemoveRegKeys(bool clean, bool debug, ToolLog& log);
    virtual ~CRemoveRegKeys();
    CRemoveRegKeys(const CRemoveRegKeys&) = delete;
    CRemoveRegKeys& operator=(const CRemoveRegKeys&) = delete;

    // packagePath: the saved package copy of the product being cleaned;
    // cachedDatabases: the cached package paths of the suite products still
    // installed (key and value are both the path); empty when none remains.
    bool RemoveRegistry(const std::string& packagePath,
                        const std::map<std::string, std::string>& cachedDatabases, ToolLog& log);

    // Reads one table of the package: "Property" (the ALLUSERS value) or
    // "Registry" (the entries to delete). false when the table cannot be read.
    bool CRemoveRegistryEntries(const std::string& databasePath, const std::string& tableName);
    // Moves the entries that a remaining product's Registry table declares
    // too (same id, hive, key and name) out of the entries to delete.
    bool CCheckForSharedRegistries(const std::string& databasePath, const std::string& tableName);
    // Deletes the value of every entry left.
    void CDeleteUnsharedKeys();

    // The keep rule: true when the key path or value name must stay.
    bool PreserveKeyOrValue(const std::string& text);
    // Removes hive\path with everything below it, sparing what the keep rule
    // keeps. 1 when the key is gone afterwards, 0 when it stays.
    int CDeleteCorvantaSoftwareAndTolviKeys(plat::RegKey hive, const std::string& path);
    // The six vendor trees, in order, with their debug lines.
    void CDeleteVendorTrees();

    // For the tests: what the tables gave.
    const std::map<std::string, CRegEntry>& Entries() const { return entries; }
    const std::map<std::string, CRegEntry>& SharedEntries() const { return sharedEntries; }
    const std::string& AllUsers() const { return allUsers; }

private:
    // What one table walk does with each fetched row.
    enum class RowAction { Continue, Stop };
    using RowHandler = RowAction (CRemoveRegKeys::*)();

    bool ReadTable(const std::string& databasePath, const std::string& tableName, const char* openPrefix,
                   const char* viewPrefix, RowHandler handler);
    void ReportTableError(std::uint32_t result, const char* prefix);
    std::string ReadStringField(std::uint32_t field);

    RowAction HandlePropertyRow();
    RowAction HandleRegistryRow();
    RowAction HandleSharedRow();
    RowAction IgnoreRow();

    // Log-only output; nothing before a log is known.
    void WriteToLog(const std::string& text) {
        if (log) log->WriteToLog(text);
    }

    std::map<std::string, CRegEntry> entries;
    std::map<std::string, CRegEntry> sharedEntries;
    std::string allUsers;
    plat::UniqueMsiHandle database;
    plat::UniqueMsiHandle view;
    plat::UniqueMsiHandle record;
    std::string queryText;
    char fieldText[260] = {};
    std::uint32_t fieldSize = 0;
    const std::map<std::string, std::string>* cachedDatabases = nullptr;
    ToolLog* log = nullptr;
    std::uint32_t lastResult = 0;
    plat::RegKey currentHive = kNoHive;
    bool clean;
    bool debug;
};
