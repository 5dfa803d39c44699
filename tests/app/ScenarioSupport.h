// Scenario tests of the real tool: the test packages it meets, and the texts
// its own sections write, built from the messages it must print.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/Expect.h"
#include "tests/support/ToolRun.h"

namespace apptest {

// One test package as the tool sees the installed product.
struct Package {
    const char* package;       // build/packages/<package>.msi
    const char* internalName;  // INTERNAL_PRODUCT_NAME
    const char* productName;   // InstalledProductName
    const char* version;       // DisplayVersion
    const char* productCode;
};

extern const Package kVaultline;
extern const Package kTracklight;
extern const Package kLumo;
extern const Package kRcLumo;        // a Lumo enumerated before every C0B1... product
extern const Package kPvTracklight;  // a Tracklight enumerated first of all
extern const Package kQualvane;
extern const Package kAdministrator;  // a suite product that is not a Team product
extern const Package kNorthwind;      // a foreign product

// What became of one product in the run.
struct Outcome {
    const Package* product;
    bool copied = true;           // its cached package was copied
    std::uint32_t copyError = 0;  // the error of a failed copy
};

extern const char kTempDir[];   // C:\CorvantaSDLC_Temp (TEMP lies on C:)
extern const char kDataFile[];  // the DataFile in it

std::string Opening(bool clean, bool debug = false, bool verbose = false);
// Messages 14, 15 (one per non-Team product in enumeration order), 51, 19/20
// per listed product, 16 or 17.
std::string Discovery(int count, const std::vector<const Package*>& nonTeam,
                      const std::vector<const Package*>& listed, bool reboot);
// The package saving, console side and log side.
std::string SaveConsole(std::size_t products, bool debug);
std::string SaveLog(const std::vector<Outcome>& outcomes, const std::vector<std::string>& localPackages,
                    bool debug);
// The uninstall up to the failed product (failedAt = index, -1 for none).
std::string Uninstall(const std::vector<const Package*>& listed, int failedAt = -1, std::uint32_t code = 0);
// The reboot hand-over after a written DataFile.
std::string HandOver(bool noReboot);
// The DataFile's text for these records (package copies as written).
std::string DataFileText(const std::vector<const Package*>& listed, const std::vector<std::string>& copies);

// The continuation command line after the program path.
std::string RunOnceTail(const std::string& logPath, bool clean, bool debug);
// The program path as the RunOnce value carries it (GetModuleFileNameA on
// the machine, quoted when it holds a blank).
std::string ToolWindowsPath();

// The file part of a Windows path, with its backslash.
std::string FilePart(const std::string& path);

// Splits a log into the part before the trailing "sFoundPath is" lines and
// those lines, sorted.
void SplitFoundPaths(const std::string& logBytes, std::string& head, std::vector<std::string>& found);

class Scenario : public ::testing::Test {
protected:
    void SetUp() override;
    // Installs the packages in this order; fails the test on an error.
    void Install(const std::vector<const Package*>& packages);
    // The product's cached package, from its registration.
    std::string LocalPackage(const Package& p);
    bool IsInstalled(const Package& p);
    std::string ReadLog(const std::string& path = "C:\\logs\\u.txt");
    std::string RunOnceValue();

    toolrun::ToolMachine machine;
};

}  // namespace apptest
