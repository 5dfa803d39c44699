#include "regcleanup/CRemoveRegKeys.h"

#include <cstring>

#include "regcleanup/TextCompare.h"

namespace {

constexpr std::uint32_t kFieldBufferSize = 260;
constexpr std::size_t kQueryMaxChars = 259;
constexpr std::uint32_t kMbIconError = 0x10;

}  // namespace

CRemoveRegKeys::CRemoveRegKeys(bool clean, bool debug) : clean(clean), debug(debug) {}

CRemoveRegKeys::CRemoveRegKeys(bool clean, bool debug, ToolLog& log)
    : log(&log), clean(clean), debug(debug) {}

CRemoveRegKeys::~CRemoveRegKeys() = default;

bool CRemoveRegKeys::RemoveRegistry(const std::string& packagePath,
                                    const std::map<std::string, std::string>& cachedDatabases, ToolLog& log) {
    fieldSize = kFieldBufferSize;
    allUsers = "ALLUSERS";
    this->cachedDatabases = &cachedDatabases;
    this->log = &log;

    if (!CRemoveRegistryEntries(packagePath, "Property")) return false;
    if (!CRemoveRegistryEntries(packagePath, "Registry")) return false;

    if (!cachedDatabases.empty()) {
        bool allRead = true;
        for (const auto& database : cachedDatabases) {
            if (!CCheckForSharedRegistries(database.first, "Registry")) allRead = false;
        }
        if (!allRead) return false;
        CDeleteUnsharedKeys();
    } else {
        // No suite product is left: the vendor's trees go as a whole, and the
        // package's own entries are not needed.
        CDeleteVendorTrees();
    }
    return true;
}

bool CRemoveRegKeys::CRemoveRegistryEntries(const std::string& databasePath, const std::string& tableName) {
    RowHandler handler = &CRemoveRegKeys::IgnoreRow;
    if (tableName == "Property") {
        handler = &CRemoveRegKeys::HandlePropertyRow;
    } else if (tableName == "Registry") {
        handler = &CRemoveRegKeys::HandleRegistryRow;
    }
    return ReadTable(databasePath, tableName,
                     "CRemoveRegistryEntries: ", "CRemoveRegistryEntries: ", handler);
}

bool CRemoveRegKeys::CCheckForSharedRegistries(const std::string& databasePath,
                                               const std::string& tableName) {
    return ReadTable(databasePath, tableName, "CCheckForSharedRegistries: ", "CCheckForSharedRegistries:",
                     &CRemoveRegKeys::HandleSharedRow);
}

bool CRemoveRegKeys::ReadTable(const std::string& databasePath, const std::string& tableName,
                               const char* openPrefix, const char* viewPrefix, RowHandler handler) {
    plat::Platform& sys = plat::Sys();

    std::uint32_t result =
        sys.MsiOpenDatabaseA(databasePath.c_str(), plat::kMsiDbOpenReadOnly, database.put());
    if (result != plat::kErrorSuccess) {
        database.release();
        ReportTableError(result, openPrefix);
        return false;
    }

    queryText = FormatText("SELECT * from %s", {tableName});
    if (queryText.size() > kQueryMaxChars) queryText.resize(kQueryMaxChars);
    result = sys.MsiDatabaseOpenViewA(database.get(), queryText.c_str(), view.put());
    if (result == plat::kErrorSuccess) {
        result = sys.MsiViewExecute(view.get(), 0);
    } else {
        view.release();
    }
    if (result != plat::kErrorSuccess) {
        view.reset();
        database.reset();
        ReportTableError(result, viewPrefix);
        return false;
    }

    while (sys.MsiViewFetch(view.get(), record.put()) == plat::kErrorSuccess) {
        if ((this->*handler)() == RowAction::Stop) break;
    }
    // A failed fetch hands back no record.
    if (record.get() != 0) record.reset();

    sys.MsiViewClose(view.get());
    view.reset();
    database.reset();
    return true;
}

void CRemoveRegKeys::ReportTableError(std::uint32_t result, const char* prefix) {
    lastResult = result;
    const std::string errorText = ToolLog::GetSystemErrorText(lastResult);
    const std::string boxText = ToolLog::FormatMessageId(6, {errorText});
    plat::Sys().MessageBoxA(boxText.c_str(), "Error Message", plat::kMbOk | kMbIconError);
    WriteToLog(ToolLog::FormatMessageId(41, {prefix, errorText}));
}

std::string CRemoveRegKeys::ReadStringField(std::uint32_t field) {
    fieldSize = kFieldBufferSize;
    std::memset(fieldText, 0, sizeof fieldText);
    // The result is not examined: a longer field arrives cut to the buffer.
    plat::Sys().MsiRecordGetStringA(record.get(), field, fieldText, &fieldSize);
    fieldText[kFieldBufferSize - 1] = '\0';
    return std::string(fieldText);
}

CRemoveRegKeys::RowAction CRemoveRegKeys::HandlePropertyRow() {
    if (!EqualsNoCase(ReadStringField(1), allUsers)) return RowAction::Continue;
    allUsers = ReadStringField(2);
    return RowAction::Stop;
}

CRemoveRegKeys::RowAction CRemoveRegKeys::HandleRegistryRow() {
    CRegEntry entry;
    entry.id = ReadStringField(1);
    entry.hive = HiveFromRoot(plat::Sys().MsiRecordGetInteger(record.get(), 2), allUsers);
    entry.key = ReadStringField(3);
    entry.name = ReadStringField(4);
    currentHive = entry.hive;
    const std::string id = entry.id;
    entries[id] = std::move(entry);
    return RowAction::Continue;
}

CRemoveRegKeys::RowAction CRemoveRegKeys::HandleSharedRow() {
    const auto found = entries.find(ReadStringField(1));
    if (found == entries.end()) return RowAction::Continue;

    currentHive = HiveFromRoot(plat::Sys().MsiRecordGetInteger(record.get(), 2), allUsers);
    const std::string key = ReadStringField(3);
    const std::string name = ReadStringField(4);
    const CRegEntry& entry = found->second;
    if (currentHive == entry.hive && EqualsNoCase(key, entry.key) && EqualsNoCase(name, entry.name)) {
        sharedEntries[found->first] = std::move(found->second);
        entries.erase(found);
    }
    return RowAction::Continue;
}

CRemoveRegKeys::RowAction CRemoveRegKeys::IgnoreRow() {
    return RowAction::Continue;
}
