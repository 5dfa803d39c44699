// The one interface between the tool and the machine it runs on.
//
// Every operation keeps the name, the argument order and the result protocol
// of the Windows call it stands for (ANSI forms, Win32 error codes, the
// Windows buffer-size protocols), with Windows types replaced by fixed-width
// integers so that no Windows header is needed above this layer.
//
// Two backends implement it: platform/sim (our simulated Windows machine on
// Linux) and platform/win32 (the real calls). The tool reaches the backend
// through Sys(); tests may install another one with SetPlatform().
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// ---- Handles -------------------------------------------------------------
using Handle = std::uintptr_t;    // process, thread, token, find, file handles
using RegKey = std::uintptr_t;    // registry key handle (HKEY)
using MsiHandle = std::uint32_t;  // Windows Installer handle (MSIHANDLE), 0 = none

constexpr Handle kInvalidHandle = static_cast<Handle>(-1);  // INVALID_HANDLE_VALUE

// Predefined registry roots, with their Windows values.
constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr RegKey kHkeyUsers = 0x80000003u;

// ---- Win32 error codes the tool and its tests meet ------------------------
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorHandleEof = 38;
constexpr std::uint32_t kErrorHandleDiskFull = 39;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorDirNotEmpty = 145;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr std::uint32_t kErrorEnvvarNotFound = 203;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorNoMoreItems = 259;
constexpr std::uint32_t kErrorDirectory = 267;
constexpr std::uint32_t kErrorNotAllAssigned = 1300;
constexpr std::uint32_t kErrorInstallFailure = 1603;
constexpr std::uint32_t kErrorUnknownProduct = 1605;
constexpr std::uint32_t kErrorUnknownProperty = 1608;
constexpr std::uint32_t kErrorInvalidHandleState = 1609;
constexpr std::uint32_t kErrorBadQuerySyntax = 1615;
constexpr std::uint32_t kErrorInstallPackageOpenFailed = 1619;
constexpr std::uint32_t kErrorInstallPackageInvalid = 1620;
constexpr std::uint32_t kErrorInstallSourceAbsent = 1612;
constexpr std::uint32_t kErrorFunctionFailed = 1627;
constexpr std::uint32_t kErrorCreateFailed = 1631;
constexpr std::uint32_t kErrorSuccessRebootRequired = 3010;

// ---- Constants of the calls ------------------------------------------------
constexpr std::uint32_t kFileAttributeReadonly = 0x01;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegQword = 11;

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kStillActive = 259;

constexpr std::uint32_t kStartfUseShowWindow = 0x1;
constexpr std::uint16_t kSwShowNormal = 1;

constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
constexpr std::uint32_t kTokenQuery = 0x8;
constexpr std::uint32_t kSePrivilegeEnabled = 0x2;

constexpr std::uint32_t kEwxReboot = 0x2;
constexpr std::uint32_t kEwxForce = 0x4;

constexpr std::uint32_t kFormatMessageAllocateBuffer = 0x100;
constexpr std::uint32_t kFormatMessageFromSystem = 0x1000;
constexpr std::uint32_t kFormatMessageIgnoreInserts = 0x200;

constexpr std::uint32_t kMbOk = 0x0;
constexpr int kIdOk = 1;

// Windows Installer
constexpr std::uint32_t kInstallUiLevelNone = 2;          // INSTALLUILEVEL_NONE
constexpr std::uint32_t kInstallLogModeError = 2;         // INSTALLLOGMODE_ERROR
constexpr std::uint32_t kInstallLogModeVerbose = 4096;    // INSTALLLOGMODE_VERBOSE
constexpr std::uint32_t kInstallLogAttributesAppend = 1;  // INSTALLLOGATTRIBUTES_APPEND
constexpr std::uintptr_t kMsiDbOpenReadOnly = 0;          // MSIDBOPEN_READONLY
constexpr int kMsiNullInteger = static_cast<int>(0x80000000u);

// ---- Records passed by the calls ---------------------------------------------
// One entry of a directory enumeration (WIN32_FIND_DATAA, the parts we use).
struct FindData {
    std::uint32_t attributes = 0;  // dwFileAttributes
    std::uint64_t size = 0;        // nFileSizeHigh:nFileSizeLow
    std::string fileName;          // cFileName: the entry's name, no folder part
};

// What CreateProcessA gives back (PROCESS_INFORMATION).
struct ProcessInformation {
    Handle process = 0;
    Handle thread = 0;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
};

// The start-up description the tool fills (STARTUPINFOA, the parts we use).
struct StartupInfo {
    std::uint32_t flags = 0;       // dwFlags
    std::uint16_t showWindow = 0;  // wShowWindow
};

struct Luid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

// How a text file is opened. Text files are written in text mode: every "\n"
// written becomes CR LF on disk, and reading turns CR LF back into "\n".
enum class TextOpen {
    // Create when missing, never truncate, position at the start of the file.
    WriteNoTruncate,
    // Create when missing, keep the content, every write goes to the end.
    Append,
    // Open an existing file for reading.
    Read,
};

class Platform {
public:
    virtual ~Platform() = default;

    // ---- Errors ----------------------------------------------------------
    virtual std::uint32_t GetLastError() = 0;
    virtual void SetLastError(std::uint32_t code) = 0;

    // ---- Files and directories (BOOL results; GetLastError on failure) ----
    virtual bool CopyFileA(const char* existing, const char* target, bool failIfExists) = 0;
    virtual bool DeleteFileA(const char* path) = 0;
    virtual bool RemoveDirectoryA(const char* path) = 0;
    virtual bool CreateDirectoryA(const char* path) = 0;
    // Returns a Win32 error code (0, 183 when the folder exists, 3, 206, ...).
    virtual int SHCreateDirectoryExA(const char* path) = 0;
    virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
    virtual bool SetFileAttributesA(const char* path, std::uint32_t attributes) = 0;
    // kInvalidHandle on failure (GetLastError: 2 no match, 3 bad folder, ...).
    virtual Handle FindFirstFileA(const char* pattern, FindData& data) = 0;
    // false and GetLastError 18 (ERROR_NO_MORE_FILES) at the end.
    virtual bool FindNextFileA(Handle find, FindData& data) = 0;
    virtual bool FindClose(Handle find) = 0;

    // ---- Text files ------------------------------------------------------
    // kInvalidHandle on failure, with GetLastError set. With exclusive set no
    // other opener, in any process, can open the file until it is closed (32).
    virtual Handle OpenTextFile(const char* path, TextOpen mode, bool exclusive) = 0;
    // Writes the text in text mode ("\n" -> CR LF). false on a failed write.
    virtual bool WriteTextFile(Handle file, const std::string& text) = 0;
    // Moves the write position to the end of the file.
    virtual bool SeekTextFileToEnd(Handle file) = 0;
    // Reads one line without its line end; at most maxChars characters are
    // kept, the rest of a longer line is skipped. false at the end of the file.
    virtual bool ReadTextLine(Handle file, std::string& line, std::size_t maxChars) = 0;
    virtual bool CloseTextFile(Handle file) = 0;

    // ---- Environment -------------------------------------------------------
    // Windows protocol: the length without terminator when it fits; the size
    // needed, terminator included, when the buffer is too small; 0 and
    // GetLastError 203 when the variable is not set.
    virtual std::uint32_t GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) = 0;

    // ---- Processes -------------------------------------------------------
    virtual bool CreateProcessA(const char* commandLine, const StartupInfo& startup,
                                ProcessInformation& info) = 0;
    virtual std::uint32_t WaitForSingleObject(Handle object, std::uint32_t milliseconds) = 0;
    virtual bool GetExitCodeProcess(Handle process, std::uint32_t& exitCode) = 0;
    virtual bool CloseHandle(Handle object) = 0;

    // ---- System --------------------------------------------------------
    // No module (the running program): the length copied, 0 on failure.
    virtual std::uint32_t GetModuleFileNameA(char* buffer, std::uint32_t size) = 0;
    // On the current process.
    virtual bool OpenProcessToken(std::uint32_t desiredAccess, Handle& token) = 0;
    // On the local system.
    virtual bool LookupPrivilegeValueA(const char* name, Luid& luid) = 0;
    // One privilege with the given attributes, no previous state; sets
    // GetLastError to 0 when it was granted, 1300 when it was not.
    virtual bool AdjustTokenPrivileges(Handle token, bool disableAll, const Luid& luid,
                                       std::uint32_t attributes) = 0;
    virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;
    // FORMAT_MESSAGE_FROM_SYSTEM text of a code, with its CR LF; returns the
    // number of characters, 0 when the system has no text for the code.
    virtual std::uint32_t FormatMessageA(std::uint32_t flags, std::uint32_t messageId,
                                         std::uint32_t languageId, std::string& text) = 0;
    virtual int MessageBoxA(const char* text, const char* caption, std::uint32_t type) = 0;

    // ---- Registry (results are Win32 error codes) -------------------------
    virtual std::int32_t RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                                       std::uint32_t samDesired, RegKey* result) = 0;
    virtual std::int32_t RegCreateKeyExA(RegKey key, const char* subKey, std::uint32_t samDesired,
                                         RegKey* result) = 0;
    virtual std::int32_t RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                          std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual std::int32_t RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t dataSize) = 0;
    virtual std::int32_t RegQueryInfoKeyA(RegKey key, std::uint32_t* subKeys, std::uint32_t* values) = 0;
    // name/nameSize in characters as on Windows; type, data and dataSize may be null.
    virtual std::int32_t RegEnumValueA(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) = 0;
    virtual std::int32_t RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                       std::uint32_t* nameSize) = 0;
    virtual std::int32_t RegDeleteValueA(RegKey key, const char* valueName) = 0;
    // Fails with 5 while the key has subkeys.
    virtual std::int32_t RegDeleteKeyA(RegKey key, const char* subKey) = 0;
    virtual std::int32_t RegCloseKey(RegKey key) = 0;

    // ---- Windows Installer (results are Win32 error codes) -----------------
    // buffer holds 39 characters.
    virtual std::uint32_t MsiEnumProductsA(std::uint32_t index, char* productCode) = 0;
    virtual std::uint32_t MsiGetProductInfoA(const char* product, const char* property, char* value,
                                             std::uint32_t* size) = 0;
    // Returns the previous level.
    virtual std::uint32_t MsiSetInternalUI(std::uint32_t level) = 0;
    virtual std::uint32_t MsiOpenProductA(const char* product, MsiHandle* handle) = 0;
    virtual std::uint32_t MsiGetPropertyA(MsiHandle install, const char* name, char* value,
                                          std::uint32_t* size) = 0;
    virtual std::uint32_t MsiOpenPackageA(const char* packagePath, MsiHandle* handle) = 0;
    virtual std::uint32_t MsiDoActionA(MsiHandle install, const char* action) = 0;
    virtual std::uint32_t MsiGetTargetPathA(MsiHandle install, const char* folder, char* path,
                                            std::uint32_t* size) = 0;
    virtual std::uint32_t MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database) = 0;
    virtual std::uint32_t MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) = 0;
    virtual std::uint32_t MsiViewExecute(MsiHandle view, MsiHandle record) = 0;
    virtual std::uint32_t MsiViewFetch(MsiHandle view, MsiHandle* record) = 0;
    virtual std::uint32_t MsiViewClose(MsiHandle view) = 0;
    virtual MsiHandle MsiCreateRecord(std::uint32_t fields) = 0;
    virtual std::uint32_t MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value) = 0;
    virtual std::uint32_t MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                              std::uint32_t* size) = 0;
    virtual int MsiRecordGetInteger(MsiHandle record, std::uint32_t field) = 0;
    virtual std::uint32_t MsiCloseHandle(MsiHandle handle) = 0;
    virtual std::uint32_t MsiEnableLogA(std::uint32_t logMode, const char* logFile,
                                        std::uint32_t attributes) = 0;
    virtual std::uint32_t MsiInstallProductA(const char* packagePath, const char* commandLine) = 0;
};

// The backend the tool runs on. Defined by the backend linked into the
// program (sim or win32); SetPlatform replaces it (tests) and returns the old one.
Platform& Sys();
Platform* SetPlatform(Platform* platform);

}  // namespace plat
