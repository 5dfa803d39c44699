// Removes the registry values a product's package declares, less those a
// remaining suite product declares too; with no suite product left, the
// vendor's key trees instead.
#pragma once

#include <map>
#include <string>

#include "app/ToolLog.h"

class CRemoveRegKeys {
public:
    CRemoveRegKeys(bool clean, bool debug);
    virtual ~CRemoveRegKeys();
    CRemoveRegKeys(const CRemoveRegKeys&) = delete;
    CRemoveRegKeys& operator=(const CRemoveRegKeys&) = delete;

    // packagePath: the saved package copy of the product being cleaned;
    // cachedDatabases: the cached package paths of the suite products still
    // installed (key and value are both the path); empty when none remains.
    bool RemoveRegistry(const std::string& packagePath, const std::map<std::string, std::string>& cachedDatabases,
                        ToolLog& log);

    // The rest of the class (CRegEntry records, CRemoveRegistryEntries,
    // CCheckForSharedRegistries, CDeleteUnsharedKeys, PreserveKeyOrValue,
    // CDeleteCorvantaSoftwareAndTolviKeys) is declared below by its owner.
private:
    bool clean;
    bool debug;
};
