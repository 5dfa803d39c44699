// Removes the vendor's values from the SharedDLLs key.
#pragma once

#include <list>
#include <memory>

#include "app/ToolLog.h"
#include "regcleanup/CRegData.h"

class CRegistryProcessor {
public:
    explicit CRegistryProcessor(ToolLog& log);
    virtual ~CRegistryProcessor();
    CRegistryProcessor(const CRegistryProcessor&) = delete;
    CRegistryProcessor& operator=(const CRegistryProcessor&) = delete;

    void FindSharedDllEntries();
    void RemoveSharedDllEntries();

    const std::list<std::unique_ptr<CRegData>>& Entries() const { return entries; }

private:
    ToolLog& log;
    std::list<std::unique_ptr<CRegData>> entries;
};
