// Helpers of the reboot continuation (the ProductSet's WriteDataFile,
// ReadDataFile, RegisterRunOnce and RestartMachine live in
// RebootContinuation.cpp).
#pragma once

#include <cstdint>
#include <string>

// The DataFile's name inside the TempPackageDir.
extern const char kDataFileName[];
// Where the continuation command line is registered (HKEY_LOCAL_MACHINE).
extern const char kRunOnceKey[];
extern const char kRunOnceValue[];

// The message written when a DataFile cannot be opened, chosen by the class
// of the system error code of the failed open.
std::string DataFileOpenFailureMessage(const std::string& path, std::uint32_t errorCode);

// The continuation run's command line: program path (quoted when it holds a
// blank), the quoted log path, "-c -r " or " -r ", the quoted DataFile path
// and "-d" in debug mode.
std::string BuildRunOnceCommandLine(const std::string& programPath, const std::string& logPath, bool clean,
                                    const std::string& dataFilePath, bool debug);

// atoi: leading blanks skipped, an optional sign, digits up to the first
// non-digit, 0 when there are none.
int ParseCountLine(const std::string& line);

// Whether a package copy named by a DataFile lies directly in the folder
// holding that DataFile (compared case-insensitively, '/' as '\'), under a
// plain file name. The continuation run cleans up only such copies.
bool PackageCopyInDataFileFolder(const std::string& packageCopy, const std::string& dataFilePath);
