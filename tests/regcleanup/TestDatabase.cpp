#include "tests/regcleanup/TestDatabase.h"

#include <libmsi.h>

#include <cstdio>

namespace regtest {
namespace {

// SQL string literal; the test data never holds a quote.
std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

bool Run(LibmsiDatabase* db, const std::string& sql, std::string& error) {
    GError* failure = nullptr;
    LibmsiQuery* query = libmsi_query_new(db, sql.c_str(), &failure);
    bool ok = query != nullptr;
    if (ok) {
        ok = libmsi_query_execute(query, nullptr, &failure) != 0;
        libmsi_query_close(query, nullptr);
        g_object_unref(query);
    }
    if (!ok) {
        error = sql + ": " + (failure ? failure->message : "failed");
    }
    if (failure) g_error_free(failure);
    return ok;
}

bool RunAll(const std::string& hostPath, unsigned flags, const std::vector<std::string>& statements,
            std::string& error) {
    GError* failure = nullptr;
    LibmsiDatabase* db = libmsi_database_new(hostPath.c_str(), flags, hostPath.c_str(), &failure);
    if (db == nullptr) {
        error = hostPath + ": " + (failure ? failure->message : "cannot open");
        if (failure) g_error_free(failure);
        return false;
    }
    bool ok = true;
    for (const std::string& sql : statements) {
        if (!Run(db, sql, error)) {
            ok = false;
            break;
        }
    }
    if (ok && !libmsi_database_commit(db, &failure)) {
        error = hostPath + ": commit failed";
        ok = false;
    }
    if (failure) g_error_free(failure);
    g_object_unref(db);
    return ok;
}

}  // namespace

std::vector<std::string> InsertRegistryRows(const std::vector<RegistryRow>& rows) {
    std::vector<std::string> sql;
    for (const RegistryRow& row : rows) {
        std::string statement = "INSERT INTO `Registry` (`Registry`, `Root`, `Key`, ";
        statement += row.name.empty() ? "`Component_`) VALUES (" : "`Name`, `Component_`) VALUES (";
        statement += Quoted(row.id) + ", " + std::to_string(row.root) + ", " + Quoted(row.key) + ", ";
        if (!row.name.empty()) statement += Quoted(row.name) + ", ";
        statement += "'Main')";
        sql.push_back(statement);
    }
    return sql;
}

bool CreateDatabase(const std::string& hostPath, const PropertyList& properties,
                    const std::optional<std::vector<RegistryRow>>& registry, std::string& error) {
    std::remove(hostPath.c_str());
    std::vector<std::string> sql = {
        "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL LOCALIZABLE "
        "PRIMARY KEY `Property`)"};
    for (const auto& property : properties) {
        sql.push_back("INSERT INTO `Property` (`Property`, `Value`) VALUES (" + Quoted(property.first) +
                      ", " + Quoted(property.second) + ")");
    }
    if (registry) {
        sql.push_back(
            "CREATE TABLE `Registry` (`Registry` CHAR(72) NOT NULL, `Root` SHORT NOT NULL, `Key` CHAR(255) "
            "NOT "
            "NULL LOCALIZABLE, `Name` CHAR(255) LOCALIZABLE, `Value` CHAR(0) LOCALIZABLE, `Component_` "
            "CHAR(72) "
            "NOT NULL PRIMARY KEY `Registry`)");
        const std::vector<std::string> rows = InsertRegistryRows(*registry);
        sql.insert(sql.end(), rows.begin(), rows.end());
    }
    return RunAll(hostPath, LIBMSI_DB_FLAGS_CREATE, sql, error);
}

bool ChangeDatabase(const std::string& hostPath, const std::vector<std::string>& statements,
                    std::string& error) {
    return RunAll(hostPath, LIBMSI_DB_FLAGS_TRANSACT, statements, error);
}

}  // namespace regtest
