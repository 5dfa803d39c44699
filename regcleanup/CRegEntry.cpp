#include "regcleanup/CRegEntry.h"

#include "regcleanup/TextCompare.h"

plat::RegKey HiveFromRoot(int root, const std::string& allUsers) {
    switch (root) {
        case -1:
            return EqualsNoCase(allUsers, "1") ? plat::kHkeyLocalMachine : plat::kHkeyCurrentUser;
        case 0:
            return plat::kHkeyClassesRoot;
        case 1:
            return plat::kHkeyCurrentUser;
        case 2:
            return plat::kHkeyLocalMachine;
        case 3:
            return plat::kHkeyUsers;
        default:
            return kNoHive;
    }
}

std::string HivePrefix(plat::RegKey hive) {
    switch (hive) {
        case plat::kHkeyLocalMachine:
            return "HKEY_LOCAL_MACHINE\\";
        case plat::kHkeyCurrentUser:
            return "HKEY_CURRENT_USER\\";
        case plat::kHkeyClassesRoot:
            return "HKEY_CLASSES_ROOT\\";
        case plat::kHkeyUsers:
            return "HKEY_USERS\\";
        default:
            return std::string();
    }
}
