// The .reg import of the simulated machine, and the export of what it
// imported. Each input is imported below a fresh key tree that is removed
// again, so the store stays small.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/SimRegFile.h"
#include "platform/sim/SimRegistry.h"
#include "tests/fuzz/targets/FuzzMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::SimRegistry& registry = fuzzmachine::Get().Sim().Registry();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    plat::ImportRegText(registry, bytes, error);
    std::string exported;
    plat::ExportRegText(registry, "HKEY_CURRENT_USER\\Software\\Fuzz", plat::RegFileEncoding::Unicode,
                        exported);
    plat::ExportRegText(registry, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz", plat::RegFileEncoding::Ansi,
                        exported);
    registry.DeleteKeyTree("HKEY_CURRENT_USER\\Software\\Fuzz");
    registry.DeleteKeyTree("HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz");
    return 0;
}
