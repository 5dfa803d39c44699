#include "regcleanup/CRegistryProcessor.h"

#include <cstdint>
#include <string>

#include "platform/Handles.h"
#include "platform/Platform.h"

namespace {

const char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kVendorWord[] = "Corvanta";
const char kKeepWord[] = "JRE";
constexpr std::uint32_t kNameBufferSize = 1000;

bool OpenSharedDlls(plat::UniqueRegKey& key) {
    return plat::Sys().RegOpenKeyExA(plat::kHkeyLocalMachine, kSharedDllsKey, 0, plat::kKeyAllAccess,
                                     key.put()) == static_cast<std::int32_t>(plat::kErrorSuccess);
}

}  // namespace

CRegistryProcessor::CRegistryProcessor(ToolLog& log) : log(log) {}

CRegistryProcessor::~CRegistryProcessor() = default;

void CRegistryProcessor::FindSharedDllEntries() {
    log.Write(ToolLog::FormatMessageId(35));

    plat::UniqueRegKey key;
    const bool opened = OpenSharedDlls(key);
    std::uint32_t valueCount = 0;
    if (opened && plat::Sys().RegQueryInfoKeyA(key.get(), nullptr, &valueCount) != 0) valueCount = 0;
    log.Write(FormatText("Number of entries in the key to process: %i\n\n", {valueCount}));
    if (!opened) return;

    char name[kNameBufferSize];
    for (std::uint32_t index = 0; index < valueCount; ++index) {
        std::uint32_t nameSize = kNameBufferSize;
        // A name that does not fit the buffer (or any other failure) leaves
        // nothing usable in it: such a value is passed over.
        if (plat::Sys().RegEnumValueA(key.get(), index, name, &nameSize, nullptr, nullptr, nullptr) != 0)
            continue;
        const std::string valueName(name, nameSize < kNameBufferSize ? nameSize : kNameBufferSize - 1);
        if (valueName.find(kVendorWord) == std::string::npos) continue;

        std::uint8_t data[4] = {0, 0, 0, 0};
        std::uint32_t type = 0;
        std::uint32_t dataSize = sizeof data;
        if (plat::Sys().RegQueryValueExA(key.get(), valueName.c_str(), &type, data, &dataSize) != 0) continue;
        const std::uint32_t raw =
            static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
            (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
        const std::int32_t count = static_cast<std::int32_t>(raw);
        entries.push_back(std::make_unique<CRegData>(valueName, count));
        log.WriteToLog(FormatText("%s\t%i\n", {valueName, static_cast<int>(count)}));
        log.WriteToConsole(".");
    }

    log.Write(ToolLog::FormatMessageId(34));
}

void CRegistryProcessor::RemoveSharedDllEntries() {
    if (entries.empty()) {
        log.Write(ToolLog::FormatMessageId(10));
        return;
    }
    log.Write(ToolLog::FormatMessageId(9));

    plat::UniqueRegKey key;
    if (!OpenSharedDlls(key)) return;

    for (const auto& entry : entries) {
        const std::string& name = entry->GetName();
        if (name.find(kKeepWord) != std::string::npos) continue;
        log.WriteToLog(ToolLog::FormatMessageId(32, {name}));
        log.WriteToConsole(".");
        plat::Sys().RegDeleteValueA(key.get(), name.c_str());
    }

    log.Write(ToolLog::FormatMessageId(33));
}
