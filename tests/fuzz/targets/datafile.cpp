// The continuation run's DataFile reader: the input is the file's content,
// read through the machine's text files as the continuation run reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/RebootContinuation.h"
#include "app/ToolLog.h"
#include "products/CCorvantaProducts.h"
#include "tests/fuzz/targets/FuzzMachine.h"

namespace {
const char kDataFile[] = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzmachine::Get();
    fuzzmachine::QuietConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::SimMachine& sim = fuzzmachine::Get().Sim();
    if (!sim.WriteFile(kDataFile, std::string(reinterpret_cast<const char*>(data), size))) std::abort();
    ToolLog log;
    CCorvantaProducts products(log, "C:\\fuzz.log", true, false, false, false);
    if (!products.ReadDataFile(kDataFile)) std::abort();
    // Never more records than the reader's bound, whatever the count line says.
    if (products.Products().size() > 1000) std::abort();
    for (const auto& product : products.Products()) {
        // A package copy taken from the file lies in the file's folder.
        const std::string& copy = product->GetPackageCopy();
        if (!copy.empty() && !PackageCopyInDataFileFolder(copy, kDataFile)) std::abort();
        if (copy.size() > 5000 || product->GetProductCode().size() > 5000) std::abort();
    }
    return 0;
}
