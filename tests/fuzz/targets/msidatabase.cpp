// The installation-database readers on mutated packages: the input is an
// .msi file, opened through the machine's Msi* calls and read the way the
// cleanup reads its tables (File, Component, Directory, Registry), then
// opened as a package and costed for the target paths of its folders.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "tests/fuzz/targets/FuzzMachine.h"

namespace {

const char kPackage[] = "C:\\fuzz\\input.msi";

std::string ReadString(plat::Platform& sys, plat::MsiHandle record, std::uint32_t field) {
    char buffer[260] = {0};
    std::uint32_t size = sizeof(buffer);
    std::uint32_t result = sys.MsiRecordGetStringA(record, field, buffer, &size);
    if (result == plat::kErrorMoreData) {
        std::vector<char> longer(size + 1, '\0');
        size = static_cast<std::uint32_t>(longer.size());
        result = sys.MsiRecordGetStringA(record, field, longer.data(), &size);
        return result == plat::kErrorSuccess ? std::string(longer.data()) : std::string();
    }
    return result == plat::kErrorSuccess ? std::string(buffer) : std::string();
}

void ReadTable(plat::Platform& sys, plat::MsiHandle database, const char* query, std::uint32_t fields) {
    plat::MsiHandle view = 0;
    if (sys.MsiDatabaseOpenViewA(database, query, &view) != plat::kErrorSuccess) return;
    if (sys.MsiViewExecute(view, 0) == plat::kErrorSuccess) {
        for (int rows = 0; rows < 10000; ++rows) {
            plat::MsiHandle record = 0;
            if (sys.MsiViewFetch(view, &record) != plat::kErrorSuccess) break;
            for (std::uint32_t field = 1; field <= fields; ++field) {
                ReadString(sys, record, field);
                sys.MsiRecordGetInteger(record, field);
            }
            sys.MsiCloseHandle(record);
        }
    }
    sys.MsiViewClose(view);
    sys.MsiCloseHandle(view);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::SimMachine& sim = fuzzmachine::Get().Sim();
    if (!sim.WriteFile(kPackage, std::string(reinterpret_cast<const char*>(data), size))) return 0;
    plat::Platform& sys = plat::Sys();
    plat::MsiHandle database = 0;
    if (sys.MsiOpenDatabaseA(kPackage, 0, &database) == plat::kErrorSuccess) {
        ReadTable(sys, database, "SELECT * FROM `File`", 8);
        ReadTable(sys, database, "SELECT * FROM `Component`", 6);
        ReadTable(sys, database, "SELECT * FROM `Directory`", 3);
        ReadTable(sys, database, "SELECT * FROM `Registry`", 6);
        ReadTable(sys, database, "SELECT `Value` FROM `Property` WHERE `Property` = 'ProductCode'", 1);
        sys.MsiCloseHandle(database);
    }
    sys.MsiSetInternalUI(2);
    plat::MsiHandle package = 0;
    if (sys.MsiOpenPackageA(kPackage, &package) == plat::kErrorSuccess) {
        for (const char* action : {"CostInitialize", "FileCost", "CostFinalize"})
            sys.MsiDoActionA(package, action);
        for (const char* folder : {"INSTALLDIR", "TARGETDIR", "ProgramFilesFolder"}) {
            char path[260] = {0};
            std::uint32_t length = sizeof(path);
            sys.MsiGetTargetPathA(package, folder, path, &length);
        }
        sys.MsiCloseHandle(package);
    }
    return 0;
}
