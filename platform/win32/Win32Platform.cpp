// The real Windows calls behind plat::Platform. This is the one file of the
// project that includes <windows.h> and the installer and shell headers; our
// own headers come first so that no Windows macro can reach them.
#include "platform/win32/Win32Platform.h"

#include <cstring>
#include <vector>

// clang-format off
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
// clang-format on

namespace plat {

namespace {

HANDLE ToHandle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
Handle FromHandle(HANDLE h) {
    return reinterpret_cast<Handle>(h);
}

// The predefined roots are spelled with the system's own values so that they
// stay right whatever the width of a pointer.
HKEY ToHkey(RegKey key) {
    switch (key) {
        case kHkeyClassesRoot:
            return HKEY_CLASSES_ROOT;
        case kHkeyCurrentUser:
            return HKEY_CURRENT_USER;
        case kHkeyLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case kHkeyUsers:
            return HKEY_USERS;
        default:
            return reinterpret_cast<HKEY>(key);
    }
}

void CopyFindData(const WIN32_FIND_DATAA& in, FindData& out) {
    out.attributes = in.dwFileAttributes;
    out.size = (static_cast<std::uint64_t>(in.nFileSizeHigh) << 32) | in.nFileSizeLow;
    out.fileName = in.cFileName;
}

// A DWORD in/out parameter next to our fixed-width one: copies in before the
// call and back after it; a null pointer stays null.
class DwordParam {
public:
    explicit DwordParam(std::uint32_t* p) : p_(p), v_(p ? *p : 0) {}
    ~DwordParam() {
        if (p_) *p_ = static_cast<std::uint32_t>(v_);
    }
    DwordParam(const DwordParam&) = delete;
    DwordParam& operator=(const DwordParam&) = delete;
    DWORD* get() { return p_ ? &v_ : nullptr; }

private:
    std::uint32_t* p_;
    DWORD v_;
};

constexpr std::size_t kReadChunk = 4096;

}  // namespace

// An open text file: its kernel handle, how it was opened and what has been
// read ahead of the caller.
struct Win32Platform::TextFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    TextOpen mode = TextOpen::Read;
    std::vector<char> buffer;
    std::size_t pos = 0;
    bool eof = false;

    ~TextFile() {
        if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }

    // The next byte without taking it; false at the end of the file or on a
    // read error (GetLastError tells them apart).
    bool Peek(char& c) {
        if (pos == buffer.size()) {
            if (eof) return false;
            buffer.resize(kReadChunk);
            DWORD got = 0;
            if (!::ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
                got == 0) {
                eof = true;
                buffer.clear();
                pos = 0;
                return false;
            }
            buffer.resize(got);
            pos = 0;
        }
        c = buffer[pos];
        return true;
    }
    bool Next(char& c) {
        if (!Peek(c)) return false;
        ++pos;
        return true;
    }
};

Win32Platform::Win32Platform() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    underWine_ = ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

Win32Platform::~Win32Platform() {
    for (const auto& copy : databaseCopies_) {
        ::MsiCloseHandle(copy.first);
        ::DeleteFileA(copy.second.c_str());
    }
}

// ---- Errors ------------------------------------------------------------------

std::uint32_t Win32Platform::GetLastError() {
    return ::GetLastError();
}
void Win32Platform::SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

// ---- Files and directories -----------------------------------------------------

bool Win32Platform::CopyFileA(const char* existing, const char* target, bool failIfExists) {
    return ::CopyFileA(existing, target, failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32Platform::DeleteFileA(const char* path) {
    return ::DeleteFileA(path) != FALSE;
}

bool Win32Platform::RemoveDirectoryA(const char* path) {
    return ::RemoveDirectoryA(path) != FALSE;
}

bool Win32Platform::CreateDirectoryA(const char* path) {
    return ::CreateDirectoryA(path, nullptr) != FALSE;
}

int Win32Platform::SHCreateDirectoryExA(const char* path) {
    return ::SHCreateDirectoryExA(nullptr, path, nullptr);
}

std::uint32_t Win32Platform::GetFileAttributesA(const char* path) {
    return ::GetFileAttributesA(path);
}

bool Win32Platform::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    return ::SetFileAttributesA(path, attributes) != FALSE;
}

Handle Win32Platform::FindFirstFileA(const char* pattern, FindData& data) {
    WIN32_FIND_DATAA found;
    std::memset(&found, 0, sizeof found);
    HANDLE h = ::FindFirstFileA(pattern, &found);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
    CopyFindData(found, data);
    return FromHandle(h);
}

bool Win32Platform::FindNextFileA(Handle find, FindData& data) {
    WIN32_FIND_DATAA found;
    std::memset(&found, 0, sizeof found);
    if (!::FindNextFileA(ToHandle(find), &found)) return false;
    CopyFindData(found, data);
    return true;
}

bool Win32Platform::FindClose(Handle find) {
    return ::FindClose(ToHandle(find)) != FALSE;
}

// ---- Text files ----------------------------------------------------------------

Handle Win32Platform::OpenTextFile(const char* path, TextOpen mode, bool exclusive) {
    const bool reading = mode == TextOpen::Read;
    const DWORD access = reading ? GENERIC_READ : GENERIC_WRITE;
    DWORD share = 0;
    if (!exclusive) share = reading ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const DWORD disposition = reading ? OPEN_EXISTING : OPEN_ALWAYS;
    HANDLE h = ::CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
    auto file = std::make_unique<TextFile>();
    file->handle = h;
    file->mode = mode;
    const Handle id = FromHandle(h);
    textFiles_[id] = std::move(file);
    // OPEN_ALWAYS leaves 183 behind when the file was there; the open
    // succeeded all the same.
    ::SetLastError(ERROR_SUCCESS);
    return id;
}

bool Win32Platform::WriteTextFile(Handle file, const std::string& text) {
    auto it = textFiles_.find(file);
    if (it == textFiles_.end() || it->second->mode == TextOpen::Read) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    TextFile& f = *it->second;
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    if (f.mode == TextOpen::Append &&
        ::SetFilePointer(f.handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR) {
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD wrote = 0;
        if (!::WriteFile(f.handle, out.data() + done, static_cast<DWORD>(out.size() - done), &wrote,
                         nullptr)) {
            return false;
        }
        if (wrote == 0) {
            ::SetLastError(ERROR_HANDLE_DISK_FULL);
            return false;
        }
        done += wrote;
    }
    return true;
}

bool Win32Platform::SeekTextFileToEnd(Handle file) {
    auto it = textFiles_.find(file);
    if (it == textFiles_.end()) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    return ::SetFilePointerEx(it->second->handle, zero, nullptr, FILE_END) != FALSE;
}

bool Win32Platform::ReadTextLine(Handle file, std::string& line, std::size_t maxChars) {
    line.clear();
    auto it = textFiles_.find(file);
    if (it == textFiles_.end() || it->second->mode != TextOpen::Read) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    TextFile& f = *it->second;
    char c = 0;
    if (!f.Peek(c)) {
        if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_HANDLE_EOF);
        return false;
    }
    while (f.Next(c)) {
        if (c == '\n') break;
        if (c == '\r') {
            char n = 0;
            if (f.Peek(n) && n == '\n') {
                f.Next(n);
                break;
            }
        }
        if (line.size() < maxChars) line += c;
    }
    return true;
}

bool Win32Platform::CloseTextFile(Handle file) {
    auto it = textFiles_.find(file);
    if (it == textFiles_.end()) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    HANDLE h = it->second->handle;
    it->second->handle = INVALID_HANDLE_VALUE;
    textFiles_.erase(it);
    return ::CloseHandle(h) != FALSE;
}

// ---- Environment -----------------------------------------------------------------

std::uint32_t Win32Platform::GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) {
    return ::GetEnvironmentVariableA(name, buffer, size);
}

// ---- Processes -----------------------------------------------------------------

bool Win32Platform::CreateProcessA(const char* commandLine, const StartupInfo& startup,
                                   ProcessInformation& info) {
    // CreateProcessA may write into its command line: hand it a copy.
    std::vector<char> line(commandLine ? commandLine : "",
                           commandLine ? commandLine + std::strlen(commandLine) : nullptr);
    line.push_back('\0');
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = startup.flags;
    si.wShowWindow = startup.showWindow;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return false;
    }
    info.process = FromHandle(pi.hProcess);
    info.thread = FromHandle(pi.hThread);
    info.processId = pi.dwProcessId;
    info.threadId = pi.dwThreadId;
    return true;
}

std::uint32_t Win32Platform::WaitForSingleObject(Handle object, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(ToHandle(object), milliseconds);
}

bool Win32Platform::GetExitCodeProcess(Handle process, std::uint32_t& exitCode) {
    DWORD code = 0;
    if (!::GetExitCodeProcess(ToHandle(process), &code)) return false;
    exitCode = code;
    return true;
}

bool Win32Platform::CloseHandle(Handle object) {
    return ::CloseHandle(ToHandle(object)) != FALSE;
}

// ---- System ----------------------------------------------------------------------

std::uint32_t Win32Platform::GetModuleFileNameA(char* buffer, std::uint32_t size) {
    return ::GetModuleFileNameA(nullptr, buffer, size);
}

bool Win32Platform::OpenProcessToken(std::uint32_t desiredAccess, Handle& token) {
    HANDLE h = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), desiredAccess, &h)) return false;
    token = FromHandle(h);
    return true;
}

bool Win32Platform::LookupPrivilegeValueA(const char* name, Luid& luid) {
    LUID value;
    std::memset(&value, 0, sizeof value);
    if (!::LookupPrivilegeValueA(nullptr, name, &value)) return false;
    luid.lowPart = value.LowPart;
    luid.highPart = value.HighPart;
    return true;
}

bool Win32Platform::AdjustTokenPrivileges(Handle token, bool disableAll, const Luid& luid,
                                          std::uint32_t attributes) {
    TOKEN_PRIVILEGES state;
    std::memset(&state, 0, sizeof state);
    state.PrivilegeCount = 1;
    state.Privileges[0].Luid.LowPart = luid.lowPart;
    state.Privileges[0].Luid.HighPart = luid.highPart;
    state.Privileges[0].Attributes = attributes;
    return ::AdjustTokenPrivileges(ToHandle(token), disableAll ? TRUE : FALSE, &state, 0, nullptr, nullptr) !=
           FALSE;
}

bool Win32Platform::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

std::uint32_t Win32Platform::FormatMessageA(std::uint32_t flags, std::uint32_t messageId,
                                            std::uint32_t languageId, std::string& text) {
    text.clear();
    // The interface has no argument list to give: a system text with inserts
    // keeps them as written instead of reading arguments that are not there.
    // The buffer is always the system's, freed here.
    const DWORD useFlags = flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    char* buffer = nullptr;
    const DWORD n = ::FormatMessageA(useFlags, nullptr, messageId, languageId,
                                     reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    if (buffer) {
        const DWORD error = ::GetLastError();
        if (n > 0) text.assign(buffer, n);
        ::LocalFree(buffer);
        ::SetLastError(error);
    }
    return n;
}

int Win32Platform::MessageBoxA(const char* text, const char* caption, std::uint32_t type) {
    return ::MessageBoxA(nullptr, text, caption, type);
}

// ---- Registry ----------------------------------------------------------------------

std::int32_t Win32Platform::RegOpenKeyExA(RegKey key, const char* subKey, std::uint32_t options,
                                          std::uint32_t samDesired, RegKey* result) {
    HKEY opened = nullptr;
    const LONG rc = ::RegOpenKeyExA(ToHkey(key), subKey, options, samDesired, &opened);
    if (result) *result = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
    return rc;
}

std::int32_t Win32Platform::RegCreateKeyExA(RegKey key, const char* subKey, std::uint32_t samDesired,
                                            RegKey* result) {
    HKEY created = nullptr;
    const LONG rc = ::RegCreateKeyExA(ToHkey(key), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, samDesired,
                                      nullptr, &created, nullptr);
    if (result) *result = rc == ERROR_SUCCESS ? reinterpret_cast<RegKey>(created) : 0;
    return rc;
}

std::int32_t Win32Platform::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                             std::uint8_t* data, std::uint32_t* dataSize) {
    DwordParam t(type);
    DwordParam s(dataSize);
    return ::RegQueryValueExA(ToHkey(key), valueName, nullptr, t.get(), data, s.get());
}

std::int32_t Win32Platform::RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                                           const std::uint8_t* data, std::uint32_t dataSize) {
    return ::RegSetValueExA(ToHkey(key), valueName, 0, type, data, dataSize);
}

std::int32_t Win32Platform::RegQueryInfoKeyA(RegKey key, std::uint32_t* subKeys, std::uint32_t* values) {
    DwordParam k(subKeys);
    DwordParam v(values);
    return ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, k.get(), nullptr, nullptr, v.get(),
                              nullptr, nullptr, nullptr, nullptr);
}

std::int32_t Win32Platform::RegEnumValueA(RegKey key, std::uint32_t index, char* name,
                                          std::uint32_t* nameSize, std::uint32_t* type, std::uint8_t* data,
                                          std::uint32_t* dataSize) {
    DwordParam n(nameSize);
    DwordParam t(type);
    DwordParam s(dataSize);
    return ::RegEnumValueA(ToHkey(key), index, name, n.get(), nullptr, t.get(), data, s.get());
}

std::int32_t Win32Platform::RegEnumKeyExA(RegKey key, std::uint32_t index, char* name,
                                          std::uint32_t* nameSize) {
    DwordParam n(nameSize);
    return ::RegEnumKeyExA(ToHkey(key), index, name, n.get(), nullptr, nullptr, nullptr, nullptr);
}

std::int32_t Win32Platform::RegDeleteValueA(RegKey key, const char* valueName) {
    return ::RegDeleteValueA(ToHkey(key), valueName);
}

std::int32_t Win32Platform::RegDeleteKeyA(RegKey key, const char* subKey) {
    return ::RegDeleteKeyA(ToHkey(key), subKey);
}

std::int32_t Win32Platform::RegCloseKey(RegKey key) {
    return ::RegCloseKey(ToHkey(key));
}

// ---- Windows Installer ---------------------------------------------------------------

std::uint32_t Win32Platform::MsiEnumProductsA(std::uint32_t index, char* productCode) {
    return ::MsiEnumProductsA(index, productCode);
}

std::uint32_t Win32Platform::MsiGetProductInfoA(const char* product, const char* property, char* value,
                                                std::uint32_t* size) {
    DwordParam s(size);
    return ::MsiGetProductInfoA(product, property, value, s.get());
}

std::uint32_t Win32Platform::MsiSetInternalUI(std::uint32_t level) {
    return static_cast<std::uint32_t>(::MsiSetInternalUI(static_cast<INSTALLUILEVEL>(level), nullptr));
}

std::uint32_t Win32Platform::MsiOpenProductA(const char* product, MsiHandle* handle) {
    MSIHANDLE h = 0;
    const UINT rc = ::MsiOpenProductA(product, &h);
    if (handle) *handle = static_cast<MsiHandle>(h);
    return rc;
}

std::uint32_t Win32Platform::MsiGetPropertyA(MsiHandle install, const char* name, char* value,
                                             std::uint32_t* size) {
    DwordParam s(size);
    return ::MsiGetPropertyA(install, name, value, s.get());
}

std::uint32_t Win32Platform::MsiOpenPackageA(const char* packagePath, MsiHandle* handle) {
    MSIHANDLE h = 0;
    const UINT rc = ::MsiOpenPackageA(packagePath, &h);
    if (handle) *handle = static_cast<MsiHandle>(h);
    return rc;
}

std::uint32_t Win32Platform::MsiDoActionA(MsiHandle install, const char* action) {
    return ::MsiDoActionA(install, action);
}

std::uint32_t Win32Platform::MsiGetTargetPathA(MsiHandle install, const char* folder, char* path,
                                               std::uint32_t* size) {
    DwordParam s(size);
    return ::MsiGetTargetPathA(install, folder, path, s.get());
}

std::uint32_t Win32Platform::MsiOpenDatabaseA(const char* path, std::uintptr_t persist, MsiHandle* database) {
    MSIHANDLE h = 0;
    UINT rc = ::MsiOpenDatabaseA(path, reinterpret_cast<LPCSTR>(persist), &h);
    // Wine keeps the cached package of a product opened with MsiOpenProductA
    // locked, so a read-only open of that file fails (1627) while the
    // product is open; Windows opens it. Under Wine alone, a read-only open
    // that fails so reads a private copy of the file instead.
    if (rc == ERROR_FUNCTION_FAILED && underWine_ && persist == kMsiDbOpenReadOnly && path) {
        char folder[MAX_PATH + 1] = {};
        char copy[MAX_PATH + 1] = {};
        const DWORD n = ::GetTempPathA(sizeof folder, folder);
        if (n > 0 && n < sizeof folder && ::GetTempFileNameA(folder, "cvd", 0, copy) != 0) {
            MSIHANDLE fromCopy = 0;
            if (::CopyFileA(path, copy, FALSE) &&
                ::MsiOpenDatabaseA(copy, reinterpret_cast<LPCSTR>(persist), &fromCopy) == ERROR_SUCCESS) {
                h = fromCopy;
                rc = ERROR_SUCCESS;
                databaseCopies_[static_cast<MsiHandle>(h)] = copy;
            } else {
                ::DeleteFileA(copy);
                ::SetLastError(ERROR_FUNCTION_FAILED);
            }
        }
    }
    if (database) *database = static_cast<MsiHandle>(h);
    return rc;
}

std::uint32_t Win32Platform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view) {
    MSIHANDLE h = 0;
    const UINT rc = ::MsiDatabaseOpenViewA(database, query, &h);
    if (view) *view = static_cast<MsiHandle>(h);
    return rc;
}

std::uint32_t Win32Platform::MsiViewExecute(MsiHandle view, MsiHandle record) {
    return ::MsiViewExecute(view, record);
}

std::uint32_t Win32Platform::MsiViewFetch(MsiHandle view, MsiHandle* record) {
    MSIHANDLE h = 0;
    const UINT rc = ::MsiViewFetch(view, &h);
    if (record) *record = static_cast<MsiHandle>(h);
    return rc;
}

std::uint32_t Win32Platform::MsiViewClose(MsiHandle view) {
    return ::MsiViewClose(view);
}

MsiHandle Win32Platform::MsiCreateRecord(std::uint32_t fields) {
    return static_cast<MsiHandle>(::MsiCreateRecord(fields));
}

std::uint32_t Win32Platform::MsiRecordSetStringA(MsiHandle record, std::uint32_t field, const char* value) {
    return ::MsiRecordSetStringA(record, field, value);
}

std::uint32_t Win32Platform::MsiRecordGetStringA(MsiHandle record, std::uint32_t field, char* value,
                                                 std::uint32_t* size) {
    DwordParam s(size);
    return ::MsiRecordGetStringA(record, field, value, s.get());
}

int Win32Platform::MsiRecordGetInteger(MsiHandle record, std::uint32_t field) {
    return ::MsiRecordGetInteger(record, field);
}

std::uint32_t Win32Platform::MsiCloseHandle(MsiHandle handle) {
    const UINT rc = ::MsiCloseHandle(handle);
    auto copy = databaseCopies_.find(handle);
    if (copy != databaseCopies_.end()) {
        ::DeleteFileA(copy->second.c_str());
        databaseCopies_.erase(copy);
    }
    return rc;
}

std::uint32_t Win32Platform::MsiEnableLogA(std::uint32_t logMode, const char* logFile,
                                           std::uint32_t attributes) {
    return ::MsiEnableLogA(logMode, logFile, attributes);
}

std::uint32_t Win32Platform::MsiInstallProductA(const char* packagePath, const char* commandLine) {
    return ::MsiInstallProductA(packagePath, commandLine);
}

// ---- The backend of the program --------------------------------------------------------

namespace {
Platform*& Current() {
    static Win32Platform real;
    static Platform* current = &real;
    return current;
}
}  // namespace

Platform& Sys() {
    return *Current();
}

Platform* SetPlatform(Platform* platform) {
    Platform* old = Current();
    Current() = platform;
    return old;
}

}  // namespace plat
