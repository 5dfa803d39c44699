// The ground the registry cleanup tests stand on: a fresh simulated machine
// used in-process as the platform, an open tool log, console and error
// output captured, and a readable picture of registry trees.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/ToolLog.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegistry.h"
#include "tests/support/ToolRun.h"

namespace regtest {

// The SharedDLLs key with its hive spelled out.
extern const char kSharedDllsPath[];

// Every key below (and including) each root, one line per key ("path") and
// per value ("path\tname = data", REG_SZ data as text, REG_DWORD data as a
// decimal number). Missing roots give nothing.
std::vector<std::string> DumpTrees(plat::SimRegistry& registry, const std::vector<std::string>& roots);

// Line ends made comparable: every CR dropped (the system's error texts
// bring their own CR LF, which text mode may write as CR CR LF).
std::string Unix(const std::string& text);

// One error box the code under test showed.
struct ShownBox {
    std::string text;
    std::string caption;
    std::uint32_t type = 0;
};

// The simulated machine, with its error boxes recorded instead of shown.
class RecordingSim : public plat::SimPlatform {
public:
    explicit RecordingSim(const std::string& prefix) : plat::SimPlatform(prefix) {}
    int MessageBoxA(const char* text, const char* caption, std::uint32_t type) override {
        boxes.push_back({text ? text : "", caption ? caption : "", type});
        return plat::kIdOk;
    }
    // How many keys are open at each value deletion.
    std::int32_t RegDeleteValueA(plat::RegKey key, const char* valueName) override {
        openKeysAtDelete.push_back(Registry().OpenKeyCount());
        return plat::SimPlatform::RegDeleteValueA(key, valueName);
    }
    std::vector<ShownBox> boxes;
    std::vector<std::size_t> openKeysAtDelete;
};

// What the installer answers for a database without a Registry table (the
// view cannot be opened) and for a database file that is not there; the
// probe database is made at the given place. false when it cannot be made.
bool InstallerErrorCodes(const std::string& probeHostPath, const std::string& probeWindowsPath,
                         std::uint32_t& missingTable, std::uint32_t& missingFile);

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    plat::SimRegistry& Reg() { return sim->Registry(); }
    const toolrun::ToolMachine& Machine() const { return *machine; }
    const std::vector<ShownBox>& Boxes() const { return sim->boxes; }
    const std::vector<std::size_t>& OpenKeysAtDelete() const { return sim->openKeysAtDelete; }
    // No registry key and no installer handle left open by the code under test.
    void ExpectNothingLeftOpen();

    // Closes the log and returns all it holds, with LF line ends.
    std::string LogText();

    // Captures standard output / standard error until the matching Stop.
    void StartCapture();
    void StopCapture(std::string& out, std::string& err);

    // Host path of a file in the machine's C:\regtest folder, with its Windows path.
    std::string WindowsTestPath(const std::string& fileName) const { return "C:\\regtest\\" + fileName; }
    std::string HostTestPath(const std::string& fileName) const;

    bool AddFault(const std::string& operation, const std::string& pattern, std::uint32_t code,
                  int times = 0) {
        return machine->AddFault(operation, pattern, code, times);
    }

    ToolLog log;

private:
    std::unique_ptr<toolrun::ToolMachine> machine;
    std::unique_ptr<RecordingSim> sim;
    plat::Platform* previous = nullptr;
    bool capturing = false;
};

}  // namespace regtest
