// End-to-end scenarios described once and run on both machines: under Wine
// with CorvantaUninstallTool.exe, and on the simulated machine with the Linux
// tool. Each run gives an Outcome in a form where the two can be compared:
// the log and console text with what legitimately differs replaced, the files
// the scenario left on drive C: (beyond the freshly made machine), and the
// vendor's registry keys and values as the registry editor exports them.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace winetest {

// `reg add KEY [/v NAME /t TYPE /d DATA] /f`: an empty name seeds the key only.
struct RegSeed {
    std::string key;  // root spelled out: HKEY_LOCAL_MACHINE\...
    std::string name;
    std::string type = "REG_SZ";
    std::string data;
};

// A file written before the tool runs (parent folders created).
struct FileSeed {
    std::string path;  // Windows path on C:
    std::string content;
};

struct Scenario {
    std::string name;
    // Installed in this order with `msiexec /i ... /qn`: a name of
    // tests/wine/packages/<name>.wxs (built here) or of build/packages/<name>.msi.
    std::vector<std::string> packages;
    std::vector<RegSeed> registry;
    std::vector<FileSeed> files;
    // The tool's arguments after the program name.
    std::vector<std::string> toolArgs;
    // After the tool has run, the machine restarts and its RunOnce command
    // line (the continuation run) runs.
    bool reboot = false;
    // The result the first uninstall ends with under Wine, where a package of
    // the scenario fails its own removal; the simulated machine runs no
    // custom actions and gets a fault rule with the same code instead.
    std::uint32_t failFirstUninstall = 0;
    // Products (codes) whose cached package is deleted from the installer's
    // cache before the tool runs.
    std::vector<std::string> dropCachedPackageOf;
    // Texts of lines (log, console) and entries (files, registry) that the
    // comparison leaves out on both sides, ignoring case: known differences
    // of Wine or of the simulated machine, each with its reason at the
    // scenario and in WINE_DIFFERENCES.md.
    std::vector<std::string> knownGaps;
    // Checks of the outcome on each machine, beyond the comparison.
    std::vector<std::string> logHas;          // texts the normalised log contains
    std::vector<std::string> consoleHas;      // texts the normalised console output contains
    std::vector<std::string> pathsGone;       // Windows paths that do not exist afterwards
    std::vector<std::string> pathsLeft;       // Windows paths that exist afterwards
    std::vector<std::string> installedAfter;  // product codes still installed afterwards, sorted
};

struct Outcome {
    std::string problem;                    // set when the harness could not run the scenario
    int exitCode = -1;                      // the tool's (the first run's)
    std::string rawLog;                     // the log file's bytes
    std::string log;                        // normalised
    std::string console;                    // normalised standard output of the first run
    std::vector<std::string> files;         // left on C: beyond the fresh machine, sorted
    std::vector<std::string> registry;      // vendor keys and values, sorted
    std::vector<std::string> products;      // codes of the products still installed, sorted
    std::vector<std::string> pathsMissing;  // of pathsLeft
    std::vector<std::string> pathsPresent;  // of pathsGone
};

// The package file of a scenario's package name: tests/wine/packages/<name>.wxs
// built once into the build folder, or build/packages/<name>.msi.
std::string TestPackageFile(const std::string& name, std::string& problem);

// gtest prints a scenario by its name.
void PrintTo(const Scenario& scenario, std::ostream* os);

Outcome RunOnWine(const Scenario& scenario);
Outcome RunOnSim(const Scenario& scenario);

// The outcome without the lines and entries that contain one of the gaps.
Outcome Comparable(const Outcome& outcome, const std::vector<std::string>& gaps);

// ---- Normalisation (exposed for their own tests) ----
// CR LF -> LF; cached package file names -> "<package>.msi"; the installer's
// cache folder -> "<installer>"; the tool's own path -> "<tool>"; the system's
// text after "Error message: " -> "<system text>".
std::string NormaliseText(const std::string& text);
// A registry editor export (UTF-16 with BOM, or 8-bit) -> one entry per key
// ("[key]") and per value ("[key] name=data"), key paths in lower case,
// continuation lines joined.
std::vector<std::string> ParseRegExport(const std::string& bytes);

}  // namespace winetest
