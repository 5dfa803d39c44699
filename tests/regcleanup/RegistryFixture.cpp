#include "tests/regcleanup/RegistryFixture.h"

#include <algorithm>
#include <filesystem>

#include "platform/sim/SimInstaller.h"
#include "tests/regcleanup/TestDatabase.h"

namespace regtest {

const char kSharedDllsPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

namespace {

const char kLogPath[] = "C:\\regtest\\cleanup.log";

std::string ValueText(const plat::SimRegValue& value) {
    if (value.type == plat::kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        return std::to_string(number);
    }
    std::string text = value.data;
    if (value.type == plat::kRegSz && !text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

void DumpKey(plat::SimRegistry& registry, const std::string& path, std::vector<std::string>& lines) {
    lines.push_back(path);
    for (const plat::SimRegValue& value : registry.Values(path)) {
        lines.push_back(path + "\t" + value.name + " = " + ValueText(value));
    }
    for (const std::string& child : registry.SubKeys(path)) DumpKey(registry, path + "\\" + child, lines);
}

}  // namespace

std::vector<std::string> DumpTrees(plat::SimRegistry& registry, const std::vector<std::string>& roots) {
    std::vector<std::string> lines;
    for (const std::string& root : roots) {
        if (registry.KeyExists(root)) DumpKey(registry, root, lines);
    }
    return lines;
}

std::string Unix(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

bool InstallerErrorCodes(const std::string& probeHostPath, const std::string& probeWindowsPath,
                         std::uint32_t& missingTable, std::uint32_t& missingFile) {
    std::string error;
    if (!CreateDatabase(probeHostPath, {}, std::nullopt, error)) return false;
    plat::Platform& sys = plat::Sys();
    plat::MsiHandle database = 0, view = 0;
    if (sys.MsiOpenDatabaseA(probeWindowsPath.c_str(), plat::kMsiDbOpenReadOnly, &database) != 0)
        return false;
    missingTable = sys.MsiDatabaseOpenViewA(database, "SELECT * from Registry", &view);
    if (view != 0) sys.MsiCloseHandle(view);
    sys.MsiCloseHandle(database);
    database = 0;
    const std::string absent = probeWindowsPath + ".absent";
    missingFile = sys.MsiOpenDatabaseA(absent.c_str(), plat::kMsiDbOpenReadOnly, &database);
    if (database != 0) sys.MsiCloseHandle(database);
    std::filesystem::remove(probeHostPath);
    return missingTable != 0 && missingFile != 0;
}

void RegistryFixture::SetUp() {
    machine = std::make_unique<toolrun::ToolMachine>();
    ASSERT_TRUE(machine->Ready());
    std::filesystem::create_directories(machine->HostPath("C:\\regtest"));
    sim = std::make_unique<RecordingSim>(machine->Prefix());
    previous = plat::SetPlatform(sim.get());
    ASSERT_TRUE(log.Open(kLogPath));
}

void RegistryFixture::ExpectNothingLeftOpen() {
    EXPECT_EQ(sim->Registry().OpenKeyCount(), 0u);
    EXPECT_EQ(sim->Installer().OpenHandleCount(), 0u);
}

void RegistryFixture::TearDown() {
    if (capturing) {
        std::string out, err;
        StopCapture(out, err);
    }
    log.Close();
    plat::SetPlatform(previous);
    sim.reset();
    machine.reset();
}

std::string RegistryFixture::LogText() {
    log.Close();
    std::string bytes;
    EXPECT_TRUE(machine->ReadFile(kLogPath, bytes));
    return Unix(bytes);
}

void RegistryFixture::StartCapture() {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    capturing = true;
}

void RegistryFixture::StopCapture(std::string& out, std::string& err) {
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    capturing = false;
}

std::string RegistryFixture::HostTestPath(const std::string& fileName) const {
    return machine->HostPath(WindowsTestPath(fileName));
}

}  // namespace regtest
