// Installation databases made to measure for the registry cleanup tests:
// a Property table and, when wanted, a Registry table with exactly the rows
// a case needs (Root values the package authoring tools cannot express
// included).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace regtest {

struct RegistryRow {
    std::string id;
    int root = 2;
    std::string key;
    std::string name;  // "" = the key's default value
};

using PropertyList = std::vector<std::pair<std::string, std::string>>;

// Creates (or replaces) the database at hostPath. Without rows there is no
// Registry table at all. false (with the reason in error) on failure.
bool CreateDatabase(const std::string& hostPath, const PropertyList& properties,
                    const std::optional<std::vector<RegistryRow>>& registry, std::string& error);

// Runs SQL statements on an existing database and commits them.
bool ChangeDatabase(const std::string& hostPath, const std::vector<std::string>& statements,
                    std::string& error);

// The SQL that adds these rows to an existing Registry table.
std::vector<std::string> InsertRegistryRows(const std::vector<RegistryRow>& rows);

}  // namespace regtest
