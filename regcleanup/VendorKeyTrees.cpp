// The keep rule and the removal of the vendor's key trees.
#include <cstring>

#include "regcleanup/CRemoveRegKeys.h"
#include "regcleanup/TextCompare.h"

namespace {

// The key of the Administrator's project list, and so every key below it.
const char kKeepText[] = "corvanta software\\corvanta administrator\\projectList";

constexpr std::uint32_t kSubKeyBufferSize = 260;
constexpr std::int32_t kNotFound = static_cast<std::int32_t>(plat::kErrorFileNotFound);

struct VendorTree {
    plat::RegKey hive;
    const char* path;
    const char* debugLine;
};

const VendorTree kVendorTrees[] = {
    {plat::kHkeyLocalMachine, "Software\\Tolvi",
     "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\SOFTWARE\\Tolvi\n"},
    {plat::kHkeyCurrentUser, "Software\\Tolvi",
     "DEBUG: Deleting keys from HKEY_CURRENT_USER\\SOFTWARE\\Tolvi\n"},
    {plat::kHkeyLocalMachine, "Software\\Corvanta Software",
     "DEBUG: Deleting keys from HKEY_LOCAL_MACHINE\\Software\\Corvanta Software\n"},
    {plat::kHkeyCurrentUser, "Software\\Corvanta Software",
     "DEBUG: Deleting keys from HKEY_CURRENT_USER\\Software\\Corvanta Software\n"},
    {plat::kHkeyUsers, ".DEFAULT\\Software\\Tolvi",
     "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Tolvi\n"},
    {plat::kHkeyUsers, ".DEFAULT\\Software\\Corvanta Software",
     "DEBUG: Deleting keys from HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software\n"},
};

}  // namespace

bool CRemoveRegKeys::PreserveKeyOrValue(const std::string& text) {
    if (clean) return false;
    if (debug) {
        WriteToLog(ToolLog::FormatMessageId(
            41, {"PreserveKeyOrValue: ", FormatText("DEBUG: Key or value to check is %s\n", {text})}));
    }
    if (!ContainsNoCase(text, kKeepText)) return false;
    if (debug) WriteToLog(FormatText("DEBUG: Preserving the value: %s\n", {text}));
    return true;
}

int CRemoveRegKeys::CDeleteCorvantaSoftwareAndTolviKeys(plat::RegKey hive, const std::string& path) {
    plat::Platform& sys = plat::Sys();
    if (debug)
        WriteToLog(FormatText("DEBUG: Entered CDeleteCorvantaSoftwareAndTolviKeys for key %s\n\n", {path}));
    if (PreserveKeyOrValue(path)) return 0;

    // A key without subkeys goes at once.
    if (sys.RegDeleteKeyA(hive, path.c_str()) == 0) return 1;

    plat::UniqueRegKey key;
    const std::int32_t opened = sys.RegOpenKeyExA(hive, path.c_str(), 0, plat::kKeyAllAccess, key.put());
    if (opened == kNotFound) {
        key.release();
        return 1;
    }
    if (opened != 0) {
        key.release();
        WriteToLog(
            ToolLog::FormatMessageId(41, {"CDeleteCorvantaSoftwareAndTolviKeys: ",
                                          ToolLog::GetSystemErrorText(static_cast<std::uint32_t>(opened))}));
        return 0;
    }

    // Each removed child disappears, so index 0 always yields the next one.
    // A child reported gone that is listed again was not removed after all
    // (it vanished from view only for the opening): the walk ends there
    // rather than going round for ever. So does a nameless entry.
    std::string previous;
    char name[kSubKeyBufferSize];
    for (;;) {
        std::uint32_t nameSize = kSubKeyBufferSize;
        std::memset(name, 0, sizeof name);
        if (sys.RegEnumKeyExA(key.get(), 0, name, &nameSize) != 0) break;
        name[kSubKeyBufferSize - 1] = '\0';
        const std::string child(name);
        if (child.empty() || EqualsNoCase(child, previous)) break;
        if (CDeleteCorvantaSoftwareAndTolviKeys(hive, path + "\\" + child) == 0) break;
        previous = child;
    }
    key.reset();

    return sys.RegDeleteKeyA(hive, path.c_str()) == 0 ? 1 : 0;
}

void CRemoveRegKeys::CDeleteVendorTrees() {
    for (const VendorTree& tree : kVendorTrees) {
        if (debug) WriteToLog(tree.debugLine);
        CDeleteCorvantaSoftwareAndTolviKeys(tree.hive, tree.path);
    }
}
