#include "filecleanup/FolderListing.h"

#include "platform/Handles.h"

namespace filecleanup {

std::vector<plat::FindData> ListFolder(const std::string& pattern) {
    std::vector<plat::FindData> matches;
    plat::FindData data;
    plat::UniqueFind find(plat::Sys().FindFirstFileA(pattern.c_str(), data));
    if (!find) return matches;
    do {
        matches.push_back(data);
        data = plat::FindData();
    } while (plat::Sys().FindNextFileA(find.get(), data));
    return matches;
}

}  // namespace filecleanup
