// Deleting the registry values of the entries no remaining product shares.
#include "regcleanup/CRemoveRegKeys.h"

namespace {
constexpr std::int32_t kNotFound = static_cast<std::int32_t>(plat::kErrorFileNotFound);
}  // namespace

void CRemoveRegKeys::CDeleteUnsharedKeys() {
    for (const auto& item : entries) {
        const CRegEntry& entry = item.second;
        const std::string hivePrefix = HivePrefix(entry.hive);

        plat::UniqueRegKey key;
        const std::int32_t opened =
            plat::Sys().RegOpenKeyExA(entry.hive, entry.key.c_str(), 0, plat::kKeyAllAccess, key.put());
        if (opened == kNotFound) continue;
        if (opened != 0) {
            key.release();
            const std::string errorText = ToolLog::GetSystemErrorText(static_cast<std::uint32_t>(opened));
            WriteToLog(ToolLog::FormatMessageId(
                41, {"CDeleteUnsharedKeys:",
                     "RegOpenKeyEx result = " + errorText + " The key is: " + hivePrefix + entry.key}));
            continue;
        }

        if (PreserveKeyOrValue(entry.key) || PreserveKeyOrValue(entry.name)) continue;

        const std::int32_t deleted = plat::Sys().RegDeleteValueA(key.get(), entry.name.c_str());
        if (deleted == kNotFound) continue;
        const std::string errorText = ToolLog::GetSystemErrorText(static_cast<std::uint32_t>(deleted));
        if (deleted == 0) {
            WriteToLog(ToolLog::FormatMessageId(
                41, {"CDeleteUnsharedKeys:", "RegDeleteValue result = " + errorText + " The key is: " +
                                                 hivePrefix + entry.key + "\t" + entry.name}));
        } else {
            WriteToLog(ToolLog::FormatMessageId(
                41, {"CDeleteUnsharedKeys: ",
                     "Error removing: " + hivePrefix + entry.key + "\\" + entry.name + "\t" + errorText}));
        }
    }
}
