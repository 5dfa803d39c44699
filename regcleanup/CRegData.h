// One SharedDLLs value found: its name (a file path) and its count.
#pragma once

#include <cstdint>
#include <string>

class CRegData {
public:
    CRegData(const std::string& name, std::int32_t count) : name(name), count(count) {}
    virtual ~CRegData() = default;
    const std::string& GetName() const { return name; }
    std::int32_t GetCount() const { return count; }

private:
    std::string name;
    std::int32_t count;
};
