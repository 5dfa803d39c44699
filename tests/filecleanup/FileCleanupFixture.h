// A fresh simulated machine per test for the file cleanup: the machine runs
// in this process (so a test can change its environment and see every
// program the cleanup starts), packages are installed through the machine's
// own msiexec, and the whole of drive C can be listed before and after.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ToolLog.h"
#include "filecleanup/CFileCleanup.h"
#include "platform/sim/SimPlatform.h"
#include "tests/support/ToolRun.h"

namespace fctest {

// The sim backend with two test hooks: environment variables can be set or
// removed for this process only, and every command line given to
// CreateProcessA is recorded before the program is started.
class RecordingSim : public plat::SimPlatform {
public:
    explicit RecordingSim(const std::string& prefix) : plat::SimPlatform(prefix) {}
    void SetEnv(const std::string& name, const std::optional<std::string>& value) { env_[name] = value; }
    const std::vector<std::string>& Commands() const { return commands_; }

    std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) override;
    bool CreateProcessA(const char* commandLine, const plat::StartupInfo& startup,
                        plat::ProcessInformation& info) override;

private:
    std::map<std::string, std::optional<std::string>> env_;
    std::vector<std::string> commands_;
};

// Everything on one drive of the machine: files as "a\b.txt", folders as
// "a\" (lower case, the machine ignores case), relative to the drive root.
using DriveListing = std::set<std::string>;

// Text helpers.
std::string Lower(std::string text);
// The entries in before that are missing from after.
std::vector<std::string> Removed(const DriveListing& before, const DriveListing& after);
std::vector<std::string> Added(const DriveListing& before, const DriveListing& after);
// "a\b\c.txt" -> {"a\", "a\b\", "a\b\c.txt"}; paths are relative to the drive
// root, written as Windows paths ("C:\..." accepted); lower-cased.
std::vector<std::string> WithFolders(const std::vector<std::string>& paths);
// The lines of a text, for comparisons that print well.
std::vector<std::string> Lines(const std::string& text);

class FileCleanupTest : public ::testing::Test {
protected:
    static const char kLogPath[];
    static const char kTempDir[];
    static const char kAlphaDir[];

    void SetUp() override;
    void TearDown() override;

    RecordingSim& Machine() { return *sim_; }
    toolrun::ToolMachine& Host() { return *host_; }
    ToolLog& Log() { return *log_; }

    // Files of the machine by Windows path.
    void Seed(const std::string& windowsPath, const std::string& content = "leftover");
    void SeedDir(const std::string& windowsPath);
    bool Exists(const std::string& windowsPath);
    void SetReadOnly(const std::string& windowsPath);
    DriveListing Drive(char letter = 'c');

    // Installs build/packages/<name>.msi through the machine's msiexec.
    void Install(const std::string& package);
    // What the first run does for a product before the cleanup: copies its
    // cached package into the package folder and uninstalls it; returns the
    // copy's path.
    std::string SaveAndUninstall(const std::string& package, const std::string& productCode);
    // The cached package of an installed product.
    std::string LocalPackage(const std::string& productCode);

    // A copy of build/packages/<base>.msi on the machine (C:\fcpkgs\<name>.msi)
    // changed by SQL statements; returns its Windows path.
    std::string MakeVariant(const std::string& base, const std::string& name,
                            const std::vector<std::string>& statements);
    // Runs SQL statements on a package of the machine (Windows path).
    void ChangePackage(const std::string& windowsPath, const std::vector<std::string>& statements);
    // Installs a package of the machine (Windows path) through its msiexec.
    void InstallPath(const std::string& windowsPath);

    // The machine's common files folder (CommonProgramFiles as the machine sets it).
    std::string CommonFiles();
    // The Windows folder of the machine, with a trailing backslash.
    std::string Windows();
    // Puts back what an uninstall of fc_alpha can leave below base (its
    // installation folder, with a trailing backslash): its files, readonly.dat
    // read-only, and two files it never knew; and its two files in the
    // Windows folder.
    void SeedAlphaLeftovers(const std::string& base = kAlphaDir);
    // Every entry SeedAlphaLeftovers makes below base, in Drive form, with
    // the five subfolders; the Windows folder files not included.
    std::vector<std::string> AlphaLeftovers(const std::string& base = kAlphaDir);
    // Drive form (lower case, no drive) of a Windows path.
    static std::string D(const std::string& windowsPath);

    // A cleanup object for one product, as CleanupFiles makes it.
    std::unique_ptr<CFileCleanup> NewCleanup(bool clean = false, bool debug = false);

    // Closes the log and returns its text with CR LF as "\n".
    std::string LogText();

private:
    std::unique_ptr<toolrun::ToolMachine> host_;
    std::unique_ptr<RecordingSim> sim_;
    plat::Platform* previous_ = nullptr;
    std::unique_ptr<ToolLog> log_;
};

// Product codes of the test packages.
extern const char kAlphaCode[];
extern const char kKeeperCode[];
extern const char kBetaCode[];

}  // namespace fctest
