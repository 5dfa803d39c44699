// Windows path handling of the simulated machine: normalising, mapping to the
// host and back, splitting, wildcard matching and the code page conversions.
// The input's first byte chooses how the rest is split.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sim/SimPaths.h"
#include "tests/fuzz/targets/FuzzMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static plat::SimPaths paths(fuzzmachine::Get().Prefix());
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string full;
    std::uint32_t error = 0;
    if (paths.Normalize(text, full, error)) {
        // A normal path normalises to itself.
        std::string again;
        if (!paths.Normalize(full, again, error) || again != full) std::abort();
        std::string parent;
        std::string name;
        plat::SplitWindowsPath(full, parent, name);
    }
    std::string host;
    if (paths.ToHost(text, host, error)) paths.ToWindows(host);
    paths.ToWindows(text);
    const std::size_t cut = text.find('\n');
    if (cut != std::string::npos) {
        const std::string pattern = text.substr(0, cut);
        const std::string name = text.substr(cut + 1);
        plat::WildcardMatch(pattern, name);
        plat::FindPatternMatch(pattern, name);
    }
    plat::Utf8ToAnsi(plat::AnsiToUtf8(text));
    plat::EqualsNoCase(text, plat::ToLowerAscii(text));
    return 0;
}
