// Checks of the win32 backend on a real (or Wine) system, without the tool:
// each case prints "ok <name>" or "FAIL <name>: <what>", and the exit code is
// the number of failures. Run with a scratch folder (a Windows path) as its
// only argument; registry cases work below HKCU\Software\CorvantaSelfTest.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Handles.h"
#include "platform/Platform.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* name, const std::string& what = std::string()) {
    if (ok) {
        std::printf("ok %s\n", name);
    } else {
        ++g_failures;
        std::printf("FAIL %s: %s\n", name, what.c_str());
    }
}

std::string Num(unsigned long long v) {
    return std::to_string(v);
}

// The bytes of a file as they are on disk (binary, no conversion).
std::string ReadRaw(const std::string& path) {
    std::string data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return data;
    char buf[512];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    std::fclose(f);
    return data;
}

void WriteRaw(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

void TextFiles(const std::string& dir) {
    plat::Platform& sys = plat::Sys();
    const std::string path = dir + "\\text.txt";
    WriteRaw(path, "0123456789ABCDEFGHIJ");
    {
        plat::UniqueTextFile f(sys.OpenTextFile(path.c_str(), plat::TextOpen::WriteNoTruncate, true));
        Check(static_cast<bool>(f), "text.open_write");
        Check(sys.WriteTextFile(f.get(), "ab\ncd"), "text.write");
        // A second opener is refused while the file is open exclusively.
        plat::Handle second = sys.OpenTextFile(path.c_str(), plat::TextOpen::Read, false);
        const std::uint32_t err = sys.GetLastError();
        Check(second == plat::kInvalidHandle && err == plat::kErrorSharingViolation, "text.exclusive",
              "error " + Num(err));
        if (second != plat::kInvalidHandle) sys.CloseTextFile(second);
    }
    Check(ReadRaw(path) == "ab\r\ncd6789ABCDEFGHIJ", "text.no_truncate_crlf", ReadRaw(path));
    {
        plat::UniqueTextFile f(sys.OpenTextFile(path.c_str(), plat::TextOpen::Append, true));
        Check(sys.WriteTextFile(f.get(), "\nend\n"), "text.append_write");
    }
    Check(ReadRaw(path) == "ab\r\ncd6789ABCDEFGHIJ\r\nend\r\n", "text.append_at_end", ReadRaw(path));
    {
        plat::UniqueTextFile f(sys.OpenTextFile(path.c_str(), plat::TextOpen::WriteNoTruncate, false));
        sys.SeekTextFileToEnd(f.get());
        sys.WriteTextFile(f.get(), "x");
    }
    Check(ReadRaw(path) == "ab\r\ncd6789ABCDEFGHIJ\r\nend\r\nx", "text.seek_to_end", ReadRaw(path));

    WriteRaw(path, "one\r\ntwo\rhalf\r\n" + std::string(5000, 'L') + "\r\nlast");
    {
        plat::UniqueTextFile f(sys.OpenTextFile(path.c_str(), plat::TextOpen::Read, true));
        std::string line;
        std::vector<std::string> lines;
        while (sys.ReadTextLine(f.get(), line, 100)) lines.push_back(line);
        Check(lines.size() == 4, "text.read_count", Num(lines.size()));
        if (lines.size() == 4) {
            Check(lines[0] == "one", "text.read_crlf", lines[0]);
            Check(lines[1] == "two\rhalf", "text.read_lone_cr", lines[1]);
            Check(lines[2] == std::string(100, 'L'), "text.read_bounded", Num(lines[2].size()));
            Check(lines[3] == "last", "text.read_last_line", lines[3]);
        }
    }
    struct {
        std::string path;
        std::uint32_t error;
        const char* name;
    } const missing[] = {
        {dir + "\\absent.txt", plat::kErrorFileNotFound, "text.missing_file"},
        {dir + "\\no\\such\\dir\\f.txt", plat::kErrorPathNotFound, "text.missing_folder"},
    };
    for (const auto& m : missing) {
        plat::Handle h = sys.OpenTextFile(m.path.c_str(), plat::TextOpen::Read, true);
        const std::uint32_t err = sys.GetLastError();
        Check(h == plat::kInvalidHandle && err == m.error, m.name, "error " + Num(err));
    }
}

void Files(const std::string& dir) {
    plat::Platform& sys = plat::Sys();
    const std::string nested = dir + "\\a\\b\\c";
    Check(sys.SHCreateDirectoryExA(nested.c_str()) == 0, "files.shcreate_nested");
    Check(sys.SHCreateDirectoryExA(nested.c_str()) == static_cast<int>(plat::kErrorAlreadyExists),
          "files.shcreate_exists");
    Check(sys.GetFileAttributesA(nested.c_str()) & plat::kFileAttributeDirectory, "files.attributes_dir");
    const std::string file = nested + "\\f.bin";
    WriteRaw(file, "12345");
    Check(sys.CopyFileA(file.c_str(), (nested + "\\g.bin").c_str(), true), "files.copy");
    Check(!sys.CopyFileA(file.c_str(), (nested + "\\g.bin").c_str(), true) &&
              sys.GetLastError() == plat::kErrorFileExists,
          "files.copy_fail_if_exists");
    Check(sys.SetFileAttributesA(file.c_str(), plat::kFileAttributeReadonly), "files.set_readonly");
    Check(!sys.DeleteFileA(file.c_str()) && sys.GetLastError() == plat::kErrorAccessDenied,
          "files.delete_readonly");
    sys.SetFileAttributesA(file.c_str(), plat::kFileAttributeNormal);

    std::vector<std::string> names;
    plat::FindData data;
    {
        plat::UniqueFind find(sys.FindFirstFileA((nested + "\\*.*").c_str(), data));
        Check(static_cast<bool>(find), "files.find_first");
        if (find) {
            do {
                names.push_back(data.fileName + ":" + Num(data.size));
            } while (sys.FindNextFileA(find.get(), data));
            Check(sys.GetLastError() == 18, "files.find_end", Num(sys.GetLastError()));
        }
    }
    bool sawF = false;
    for (const auto& n : names) sawF = sawF || n == "f.bin:5";
    Check(sawF && names.size() == 4, "files.find_entries", Num(names.size()));
    plat::Handle none = sys.FindFirstFileA((nested + "\\*.none").c_str(), data);
    Check(none == plat::kInvalidHandle && sys.GetLastError() == plat::kErrorFileNotFound,
          "files.find_no_match", Num(sys.GetLastError()));

    Check(!sys.RemoveDirectoryA(nested.c_str()) && sys.GetLastError() == plat::kErrorDirNotEmpty,
          "files.rmdir_not_empty", Num(sys.GetLastError()));
    Check(sys.DeleteFileA(file.c_str()) && sys.DeleteFileA((nested + "\\g.bin").c_str()), "files.delete");
    Check(sys.RemoveDirectoryA(nested.c_str()), "files.rmdir");
    Check(sys.GetFileAttributesA(nested.c_str()) == plat::kInvalidFileAttributes, "files.gone");
}

void Environment() {
    plat::Platform& sys = plat::Sys();
    char small[2];
    char big[300];
    const std::uint32_t need = sys.GetEnvironmentVariableA("WINDIR", small, sizeof small);
    const std::uint32_t got = sys.GetEnvironmentVariableA("WINDIR", big, sizeof big);
    Check(got > 0 && need == got + 1, "env.size_protocol", Num(need) + " " + Num(got));
    Check(sys.GetEnvironmentVariableA("CORVANTA_NOT_SET_ANYWHERE", big, sizeof big) == 0 &&
              sys.GetLastError() == plat::kErrorEnvvarNotFound,
          "env.not_set");
}

void System() {
    plat::Platform& sys = plat::Sys();
    char module[261] = {};
    const std::uint32_t n = sys.GetModuleFileNameA(module, 260);
    Check(n > 0 && std::strstr(module, "win32_selftest") != nullptr, "system.module_name", module);
    std::string text;
    const std::uint32_t len =
        sys.FormatMessageA(plat::kFormatMessageFromSystem | plat::kFormatMessageAllocateBuffer,
                           plat::kErrorFileNotFound, 0x400, text);
    Check(len > 0 && len == text.size() && text.size() > 2 && text.substr(text.size() - 2) == "\r\n",
          "system.format_message", text);
    std::printf("text of 2: %s", text.c_str());
    std::string none;
    Check(sys.FormatMessageA(plat::kFormatMessageFromSystem, 0x2FFFFFFF, 0x400, none) == 0 && none.empty(),
          "system.format_unknown");

    plat::StartupInfo si;
    si.flags = plat::kStartfUseShowWindow;
    si.showWindow = plat::kSwShowNormal;
    plat::ProcessInformation pi;
    Check(sys.CreateProcessA("cmd.exe /c exit 3", si, pi), "process.create");
    if (pi.process) {
        plat::UniqueKernelHandle process(pi.process);
        plat::UniqueKernelHandle thread(pi.thread);
        Check(sys.WaitForSingleObject(pi.process, plat::kInfinite) == plat::kWaitObject0, "process.wait");
        std::uint32_t code = 0;
        Check(sys.GetExitCodeProcess(pi.process, code) && code == 3, "process.exit_code", Num(code));
    }
    plat::ProcessInformation none2;
    Check(!sys.CreateProcessA("corvanta_no_such_program.exe", si, none2), "process.missing_program");

    plat::Handle token = 0;
    Check(sys.OpenProcessToken(plat::kTokenAdjustPrivileges | plat::kTokenQuery, token), "system.open_token");
    plat::UniqueKernelHandle tokenOwner(token);
    plat::Luid luid;
    Check(sys.LookupPrivilegeValueA("SeShutdownPrivilege", luid) && luid.lowPart != 0,
          "system.lookup_privilege");
}

void Registry() {
    plat::Platform& sys = plat::Sys();
    const char* root = "Software\\CorvantaSelfTest";
    plat::UniqueRegKey key;
    Check(sys.RegCreateKeyExA(plat::kHkeyCurrentUser, "Software\\CorvantaSelfTest\\Sub", plat::kKeyAllAccess,
                              key.put()) == 0,
          "reg.create");
    key.reset();
    Check(sys.RegOpenKeyExA(plat::kHkeyCurrentUser, root, 0, plat::kKeyAllAccess, key.put()) == 0,
          "reg.open");
    const std::string value = "C:\\Program Files\\Corvanta";
    sys.RegSetValueExA(key.get(), "Path", plat::kRegSz, reinterpret_cast<const std::uint8_t*>(value.c_str()),
                       static_cast<std::uint32_t>(value.size() + 1));
    std::uint32_t count = 7;
    sys.RegSetValueExA(key.get(), "Count", plat::kRegDword, reinterpret_cast<const std::uint8_t*>(&count), 4);

    std::uint32_t type = 0;
    std::uint32_t size = 0;
    Check(sys.RegQueryValueExA(key.get(), "Path", &type, nullptr, &size) == 0 && size == value.size() + 1 &&
              type == plat::kRegSz,
          "reg.query_size", Num(size));
    std::uint8_t small[4];
    size = sizeof small;
    Check(sys.RegQueryValueExA(key.get(), "Path", nullptr, small, &size) ==
              static_cast<std::int32_t>(plat::kErrorMoreData),
          "reg.query_more_data");
    std::uint32_t read = 0;
    size = 4;
    Check(
        sys.RegQueryValueExA(key.get(), "Count", &type, reinterpret_cast<std::uint8_t*>(&read), &size) == 0 &&
            read == 7 && type == plat::kRegDword,
        "reg.query_dword");
    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
    Check(sys.RegQueryInfoKeyA(key.get(), &subKeys, &values) == 0 && subKeys == 1 && values == 2, "reg.info",
          Num(subKeys) + " " + Num(values));
    char name[1000];
    std::uint32_t nameSize = sizeof name;
    Check(sys.RegEnumValueA(key.get(), 0, name, &nameSize, nullptr, nullptr, nullptr) == 0 && nameSize > 0,
          "reg.enum_value");
    nameSize = sizeof name;
    Check(sys.RegEnumValueA(key.get(), 2, name, &nameSize, nullptr, nullptr, nullptr) ==
              static_cast<std::int32_t>(plat::kErrorNoMoreItems),
          "reg.enum_value_end");
    nameSize = 260;
    Check(sys.RegEnumKeyExA(key.get(), 0, name, &nameSize) == 0 && std::string(name) == "Sub",
          "reg.enum_key");
    Check(sys.RegDeleteValueA(key.get(), "Absent") == static_cast<std::int32_t>(plat::kErrorFileNotFound),
          "reg.delete_missing_value");
    Check(sys.RegDeleteValueA(key.get(), "Count") == 0, "reg.delete_value");
    key.reset();
    Check(sys.RegDeleteKeyA(plat::kHkeyCurrentUser, root) != 0, "reg.delete_with_subkeys_fails");
    Check(sys.RegDeleteKeyA(plat::kHkeyCurrentUser, "Software\\CorvantaSelfTest\\Sub") == 0,
          "reg.delete_sub");
    Check(sys.RegDeleteKeyA(plat::kHkeyCurrentUser, root) == 0, "reg.delete_key");
    Check(sys.RegOpenKeyExA(plat::kHkeyCurrentUser, root, 0, plat::kKeyRead, key.put()) ==
              static_cast<std::int32_t>(plat::kErrorFileNotFound),
          "reg.open_missing");
}

void Installer(const std::string& dir) {
    plat::Platform& sys = plat::Sys();
    sys.MsiSetInternalUI(plat::kInstallUiLevelNone);
    char code[39] = {};
    std::uint32_t index = 0;
    std::uint32_t rc = 0;
    while ((rc = sys.MsiEnumProductsA(index, code)) == 0) ++index;
    Check(rc == plat::kErrorNoMoreItems, "msi.enum_end", Num(rc));
    char value[100];
    std::uint32_t size = sizeof value;
    Check(sys.MsiGetProductInfoA("{00000000-0000-0000-0000-000000000000}", "Publisher", value, &size) ==
              plat::kErrorUnknownProduct,
          "msi.unknown_product");
    plat::UniqueMsiHandle db;
    Check(sys.MsiOpenDatabaseA((dir + "\\absent.msi").c_str(), plat::kMsiDbOpenReadOnly, db.put()) != 0,
          "msi.open_missing_database");
    plat::UniqueMsiHandle record(sys.MsiCreateRecord(1));
    Check(record && sys.MsiRecordSetStringA(record.get(), 1, "Vaultline") == 0, "msi.record_set");
    char out[260];
    size = sizeof out;
    Check(sys.MsiRecordGetStringA(record.get(), 1, out, &size) == 0 && std::string(out) == "Vaultline" &&
              size == 9,
          "msi.record_get");
    Check(sys.MsiRecordGetInteger(record.get(), 1) == plat::kMsiNullInteger, "msi.record_integer_of_text");
}

}  // namespace

// "localpackage {code}": prints the product's cached package path (the end
// to end tests use it to take a package away from the installer's cache).
int PrintLocalPackage(const char* code) {
    char path[5000] = {};
    std::uint32_t size = sizeof path;
    const std::uint32_t rc = plat::Sys().MsiGetProductInfoA(code, "LocalPackage", path, &size);
    if (rc != 0) return static_cast<int>(rc);
    std::printf("%s\n", path);
    return 0;
}

// The number of entries matching a pattern.
int CountMatches(const std::string& pattern) {
    plat::FindData data;
    plat::UniqueFind find(plat::Sys().FindFirstFileA(pattern.c_str(), data));
    if (!find) return 0;
    int n = 1;
    while (plat::Sys().FindNextFileA(find.get(), data)) ++n;
    return n;
}

// "productdatabase {code}": reads the product's INTERNAL_PRODUCT_NAME from
// its cached package while the product is open, the way discovery does, and
// checks that nothing is left in the temporary folder afterwards.
int ProductDatabase(const char* code) {
    plat::Platform& sys = plat::Sys();
    char temp[261] = {};
    sys.GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    const std::string leftovers = std::string(temp) + "\\cvd*.tmp";
    const int before = CountMatches(leftovers);
    sys.MsiSetInternalUI(plat::kInstallUiLevelNone);
    plat::UniqueMsiHandle product;
    Check(sys.MsiOpenProductA(code, product.put()) == 0, "productdb.open_product");
    char path[5000] = {};
    std::uint32_t size = sizeof path;
    Check(sys.MsiGetProductInfoA(code, "LocalPackage", path, &size) == 0, "productdb.local_package");
    {
        plat::UniqueMsiHandle db;
        const std::uint32_t rc = sys.MsiOpenDatabaseA(path, plat::kMsiDbOpenReadOnly, db.put());
        Check(rc == 0, "productdb.open_database_while_product_open", Num(rc));
        plat::UniqueMsiHandle view;
        Check(sys.MsiDatabaseOpenViewA(db.get(), "SELECT `Value` FROM `Property` WHERE `Property` = ?",
                                       view.put()) == 0,
              "productdb.view");
        plat::UniqueMsiHandle param(sys.MsiCreateRecord(1));
        sys.MsiRecordSetStringA(param.get(), 1, "INTERNAL_PRODUCT_NAME");
        Check(sys.MsiViewExecute(view.get(), param.get()) == 0, "productdb.execute");
        plat::UniqueMsiHandle row;
        Check(sys.MsiViewFetch(view.get(), row.put()) == 0, "productdb.fetch");
        char value[1000] = {};
        size = sizeof value;
        sys.MsiRecordGetStringA(row.get(), 1, value, &size);
        std::printf("internal name: %s\n", value);
        sys.MsiViewClose(view.get());
    }
    Check(CountMatches(leftovers) == before, "productdb.no_copy_left", Num(CountMatches(leftovers)));
    std::printf("%d failures\n", g_failures);
    return g_failures;
}

// "products": prints the code of every installed product, one a line.
int PrintProducts() {
    char code[39] = {};
    for (std::uint32_t i = 0; plat::Sys().MsiEnumProductsA(i, code) == 0; ++i) std::printf("%s\n", code);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "localpackage") == 0) return PrintLocalPackage(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "products") == 0) return PrintProducts();
    if (argc == 3 && std::strcmp(argv[1], "productdatabase") == 0) return ProductDatabase(argv[2]);
    if (argc < 2) {
        std::printf("usage: win32_selftest <scratch folder> | localpackage <product code> | products\n");
        return 100;
    }
    const std::string dir = argv[1];
    plat::Sys().SHCreateDirectoryExA(dir.c_str());
    TextFiles(dir);
    Files(dir);
    Environment();
    System();
    Registry();
    Installer(dir);
    std::printf("%d failures\n", g_failures);
    return g_failures;
}
