// The registry programs built into the simulated machine: reg.exe, regedit.exe
// and regsvr32.exe, each working on the machine's registry store.
//
// reg:      REG ADD|QUERY|DELETE|EXPORT|IMPORT with the switches of reg.exe;
//           0 on success, 1 on failure with "ERROR: ..." on standard error.
//           A question (overwrite, delete) without /f (/y for EXPORT) is read
//           from standard input; any answer but Yes cancels with exit code 1.
// regedit:  /e FILE [KEY] exports in the Unicode form, /e:a (or /a) FILE [KEY]
//           in the ANSI form, /s FILE and FILE import. It exits with 0 as the
//           registry editor does; a failure is written to standard error
//           (unless /s).
// regsvr32: [/u] [/s] FILE. A file that is not there fails with exit code 3
//           (the message box text goes to standard error unless /s). Otherwise
//           the registration is recorded as the value named by the file's
//           lower-cased full Windows path, data "registered", under
//           HKEY_LOCAL_MACHINE\SOFTWARE\WinSim\Regsvr32; /u removes that value.
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/sim/SimBuiltins.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/SimRegFile.h"
#include "platform/sim/SimRegistry.h"

namespace plat {
namespace {

const char* const kRegsvr32Key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WinSim\\Regsvr32";
const char* const kDone = "The operation completed successfully.\n";
const char* const kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";
const char* const kCanceled = "The operation was canceled by the user.\n";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

// "/x" or "-x" compared case-insensitively.
bool IsSwitch(const std::string& arg, const char* name) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-') && Lower(arg.substr(1)) == name;
}

bool LooksLikeSwitch(const std::string& arg) {
    return arg.size() >= 2 && (arg[0] == '/' || arg[0] == '-');
}

void Out(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}
void Err(const std::string& text) {
    std::fputs(text.c_str(), stderr);
}

// A yes/no question on the console; true for "y" or "yes".
bool Confirm(const std::string& question) {
    Out(question);
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    answer = Lower(answer);
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
    return answer == "y" || answer == "yes";
}

bool HostFileExists(const std::string& hostPath, bool& isFile) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) return false;
    isFile = S_ISREG(st.st_mode);
    return true;
}

// ---- reg -----------------------------------------------------------------------

int Usage(const std::string& operation) {
    Err("ERROR: Invalid syntax.\nType \"REG " + operation + " /?\" for usage.\n");
    return 1;
}

int BadKey(const std::string& operation) {
    Err("ERROR: Invalid key name.\nType \"REG " + operation + " /?\" for usage.\n");
    return 1;
}

// The key argument in its long form ("HKLM\\x" -> "HKEY_LOCAL_MACHINE\\x").
bool KeyArgument(const std::string& arg, std::string& longPath) {
    if (arg.empty() || arg.compare(0, 2, "\\\\") == 0) return false;  // no remote machines here
    std::string canonical;
    return SimRegistry::LongHivePath(arg, longPath) && SimRegistry::CanonicalPath(arg, canonical);
}

const char* TypeName(std::uint32_t type) {
    switch (type) {
        case kRegNone:
            return "REG_NONE";
        case kRegSz:
            return "REG_SZ";
        case kRegExpandSz:
            return "REG_EXPAND_SZ";
        case kRegBinary:
            return "REG_BINARY";
        case kRegDword:
            return "REG_DWORD";
        case kRegMultiSz:
            return "REG_MULTI_SZ";
        case kRegQword:
            return "REG_QWORD";
        default:
            return "REG_UNKNOWN";
    }
}

bool TypeFromName(const std::string& name, std::uint32_t& type) {
    const std::string upper = Upper(name);
    for (std::uint32_t candidate :
         {kRegSz, kRegMultiSz, kRegExpandSz, kRegDword, kRegQword, kRegBinary, kRegNone}) {
        if (upper == TypeName(candidate)) {
            type = candidate;
            return true;
        }
    }
    return false;
}

std::uint64_t LittleEndian(const std::string& bytes, std::size_t count) {
    std::uint64_t number = 0;
    for (std::size_t i = count; i-- > 0;) {
        number = (number << 8) | (i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u);
    }
    return number;
}

// The data column of REG QUERY.
std::string ShownData(const SimRegValue& value) {
    char text[32];
    switch (value.type) {
        case kRegSz:
        case kRegExpandSz:
            return value.data.substr(0, value.data.find('\0'));
        case kRegMultiSz: {
            std::string out;
            std::string data = value.data;
            while (!data.empty() && data.back() == '\0') data.pop_back();
            for (char c : data) out += c == '\0' ? std::string("\\0") : std::string(1, c);
            return out;
        }
        case kRegDword:
            if (value.data.size() != 4) break;
            std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(LittleEndian(value.data, 4)));
            return text;
        case kRegQword:
            if (value.data.size() != 8) break;
            std::snprintf(text, sizeof text, "0x%llx",
                          static_cast<unsigned long long>(LittleEndian(value.data, 8)));
            return text;
        default:
            break;
    }
    std::string out;
    for (char c : value.data) {
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += text;
    }
    return out;
}

std::string ValueLine(const SimRegValue& value) {
    return "    " + (value.name.empty() ? std::string("(Default)") : value.name) + "    " +
           TypeName(value.type) + "    " + ShownData(value) + "\n";
}

// The data of REG ADD /d for a type; false when it does not fit the type.
bool ParseData(std::uint32_t type, const std::string& text, const std::string& separator, std::string& data) {
    data.clear();
    switch (type) {
        case kRegSz:
        case kRegExpandSz:
            data = text + '\0';
            return true;
        case kRegMultiSz: {
            std::size_t start = 0;
            while (!text.empty() && start <= text.size()) {
                const std::size_t next = separator.empty() ? std::string::npos : text.find(separator, start);
                const std::string item =
                    text.substr(start, next == std::string::npos ? std::string::npos : next - start);
                if (item.empty() && next != std::string::npos) return false;  // two separators in a row
                data += item + '\0';
                if (next == std::string::npos) break;
                start = next + separator.size();
            }
            data += '\0';
            return true;
        }
        case kRegDword:
        case kRegQword: {
            const std::string digits = text.empty() ? "0" : text;
            const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
            std::uint64_t number = 0;
            const std::uint64_t limit = type == kRegDword ? 0xFFFFFFFFull : ~0ull;
            for (std::size_t i = hex ? 2 : 0; i < digits.size(); ++i) {
                const char c = digits[i];
                int digit = -1;
                if (c >= '0' && c <= '9') digit = c - '0';
                if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
                if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
                if (digit < 0) return false;
                const std::uint64_t base = hex ? 16 : 10;
                if (number > (limit - static_cast<std::uint64_t>(digit)) / base) return false;
                number = number * base + static_cast<std::uint64_t>(digit);
            }
            const std::size_t size = type == kRegDword ? 4 : 8;
            for (std::size_t i = 0; i < size; ++i) data += static_cast<char>((number >> (8 * i)) & 0xFF);
            return true;
        }
        default: {  // REG_BINARY, REG_NONE: hex digits, two per byte
            std::string digits = text.size() % 2 ? "0" + text : text;
            for (std::size_t i = 0; i < digits.size(); i += 2) {
                int byte = 0;
                for (std::size_t j = i; j < i + 2; ++j) {
                    const char c = digits[j];
                    int digit = -1;
                    if (c >= '0' && c <= '9') digit = c - '0';
                    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
                    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
                    if (digit < 0) return false;
                    byte = byte * 16 + digit;
                }
                data += static_cast<char>(byte);
            }
            return true;
        }
    }
}

struct RegArgs {
    std::string key;
    std::vector<std::string> positional;  // after the key
    bool hasValue = false;                // /v
    std::string valueName;
    bool defaultValue = false;  // /ve
    bool allValues = false;     // /va
    bool hasType = false;
    std::string typeName;
    bool hasData = false;
    std::string data;
    bool hasSeparator = false;
    std::string separator = "\\0";
    bool force = false;      // /f
    bool recursive = false;  // /s (QUERY)
    bool overwrite = false;  // /y (EXPORT)
};

// Reads the switches of one operation; false on a syntax error.
bool ParseRegArgs(const std::string& operation, const std::vector<std::string>& args, RegArgs& out) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesOne = IsSwitch(arg, "v") || IsSwitch(arg, "t") || IsSwitch(arg, "d") ||
                              (IsSwitch(arg, "s") && operation == "ADD");
        if (takesOne) {
            if (i + 1 >= args.size()) return false;
            const std::string& next = args[++i];
            if (IsSwitch(arg, "v")) {
                if (out.hasValue) return false;
                out.hasValue = true;
                out.valueName = next;
            } else if (IsSwitch(arg, "t")) {
                if (out.hasType) return false;
                out.hasType = true;
                out.typeName = next;
            } else if (IsSwitch(arg, "d")) {
                if (out.hasData) return false;
                out.hasData = true;
                out.data = next;
            } else {
                if (out.hasSeparator || next.empty()) return false;
                out.hasSeparator = true;
                out.separator = next;
            }
        } else if (IsSwitch(arg, "ve")) {
            out.defaultValue = true;
        } else if (IsSwitch(arg, "va")) {
            out.allValues = true;
        } else if (IsSwitch(arg, "f")) {
            out.force = true;
        } else if (IsSwitch(arg, "s")) {
            out.recursive = true;
        } else if (IsSwitch(arg, "y")) {
            out.overwrite = true;
        } else if (IsSwitch(arg, "reg:32") || IsSwitch(arg, "reg:64")) {
            continue;  // one registry view only in this machine
        } else if (LooksLikeSwitch(arg)) {
            return false;
        } else if (out.key.empty() && operation != "IMPORT") {
            out.key = arg;
        } else {
            out.positional.push_back(arg);
        }
    }
    const int valueChoices = (out.hasValue ? 1 : 0) + (out.defaultValue ? 1 : 0) + (out.allValues ? 1 : 0);
    return valueChoices <= 1;
}

// Windows path -> host path for the file of EXPORT/IMPORT.
bool HostFile(SimPlatform& machine, const std::string& windowsPath, std::string& hostPath) {
    std::uint32_t error = 0;
    return machine.ToHostPath(windowsPath, hostPath, error);
}

int RegAdd(SimPlatform& machine, const RegArgs& a) {
    std::string key;
    if (a.allValues || a.recursive || a.overwrite || !a.positional.empty()) return Usage("ADD");
    if (!KeyArgument(a.key, key)) return BadKey("ADD");
    SimRegistry& registry = machine.Registry();
    const bool setsValue = a.hasValue || a.defaultValue;
    if (!setsValue) {
        if (a.hasType || a.hasData || a.hasSeparator) return Usage("ADD");
        if (!registry.CreateKey(key)) {
            Err("ERROR: Access is denied.\n");
            return 1;
        }
        Out(kDone);
        return 0;
    }
    SimRegValue value;
    value.name = a.hasValue ? a.valueName : "";
    value.type = kRegSz;
    if (a.hasType && !TypeFromName(a.typeName, value.type)) {
        Err("ERROR: Invalid type.\nType \"REG ADD /?\" for usage.\n");
        return 1;
    }
    if (a.hasSeparator && value.type != kRegMultiSz) return Usage("ADD");
    if (!ParseData(value.type, a.data, a.separator, value.data)) return Usage("ADD");
    SimRegValue existing;
    if (!a.force && registry.GetValue(key, value.name, existing) &&
        !Confirm("Value " + (value.name.empty() ? std::string("(Default)") : value.name) +
                 " exists, overwrite(Yes/No)? ")) {
        Out(kCanceled);
        return 1;
    }
    if (!registry.SetValue(key, value)) {
        Err("ERROR: Access is denied.\n");
        return 1;
    }
    Out(kDone);
    return 0;
}

// One key of REG QUERY: the key line and its (matching) values; the number
// of values shown. A key without matching values shows nothing, unless
// every key is to be listed (REG QUERY /s without /v or /ve).
std::size_t QueryKey(SimRegistry& registry, const std::string& shown, const RegArgs& a, bool always) {
    std::vector<SimRegValue> shownValues;
    for (const SimRegValue& value : registry.Values(shown)) {
        const bool match = a.hasValue
                               ? SimRegistry::FoldName(value.name) == SimRegistry::FoldName(a.valueName)
                           : a.defaultValue ? value.name.empty()
                                            : true;
        if (match) shownValues.push_back(value);
    }
    if (shownValues.empty() && !always) return 0;
    Out(shown + "\n");
    for (const SimRegValue& value : shownValues) Out(ValueLine(value));
    Out("\n");
    return shownValues.size();
}

std::size_t QueryTree(SimRegistry& registry, const std::string& shown, const RegArgs& a) {
    const bool everyKey = !a.hasValue && !a.defaultValue;
    std::size_t found = QueryKey(registry, shown, a, everyKey);
    for (const std::string& name : registry.SubKeys(shown))
        found += QueryTree(registry, shown + "\\" + name, a);
    return found;
}

int RegQuery(SimPlatform& machine, const RegArgs& a) {
    std::string key;
    if (a.allValues || a.force || a.hasType || a.hasData || a.overwrite || !a.positional.empty()) {
        return Usage("QUERY");
    }
    if (!KeyArgument(a.key, key)) return BadKey("QUERY");
    SimRegistry& registry = machine.Registry();
    std::string shown;
    if (!registry.ShownPath(key, shown)) {
        Err(kNotFound);
        return 1;
    }
    const bool valueQuery = a.hasValue || a.defaultValue;
    Out("\n");
    if (a.recursive) {
        const std::size_t found = QueryTree(registry, shown, a);
        if (valueQuery) {
            Out("End of search: " + std::to_string(found) + " match(es) found.\n");
        }
        return 0;
    }
    if (valueQuery) {
        SimRegValue value;
        if (!registry.GetValue(shown, a.hasValue ? a.valueName : "", value)) {
            if (a.defaultValue) {
                // The default value always exists for reg.exe; unset it shows so.
                Out(shown + "\n    (Default)    REG_SZ    (value not set)\n\n");
                return 0;
            }
            Err(kNotFound);
            return 1;
        }
        Out(shown + "\n" + ValueLine(value) + "\n");
        return 0;
    }
    QueryKey(registry, shown, a, false);
    for (const std::string& name : registry.SubKeys(shown)) Out(shown + "\\" + name + "\n");
    return 0;
}

int RegDelete(SimPlatform& machine, const RegArgs& a) {
    std::string key;
    if (a.hasType || a.hasData || a.recursive || a.overwrite || !a.positional.empty()) return Usage("DELETE");
    if (!KeyArgument(a.key, key)) return BadKey("DELETE");
    SimRegistry& registry = machine.Registry();
    if (!registry.KeyExists(key)) {
        Err(kNotFound);
        return 1;
    }
    if (a.hasValue || a.defaultValue) {
        const std::string name = a.hasValue ? a.valueName : "";
        SimRegValue existing;
        if (!registry.GetValue(key, name, existing)) {
            Err(kNotFound);
            return 1;
        }
        if (!a.force && !Confirm("Delete the registry value " +
                                 (name.empty() ? std::string("(Default)") : name) + " (Yes/No)? ")) {
            Out(kCanceled);
            return 1;
        }
        if (!registry.DeleteValue(key, name)) {
            Err("ERROR: Access is denied.\n");
            return 1;
        }
        Out(kDone);
        return 0;
    }
    if (a.allValues) {
        if (!a.force && !Confirm("Delete all values under the registry key " + key + " (Yes/No)? ")) {
            Out(kCanceled);
            return 1;
        }
        SimRegistry::Batch batch(registry);
        bool ok = true;
        for (const SimRegValue& value : registry.Values(key))
            ok = registry.DeleteValue(key, value.name) && ok;
        if (!ok || !batch.Commit()) {
            Err("ERROR: Access is denied.\n");
            return 1;
        }
        Out(kDone);
        return 0;
    }
    if (key.find('\\') == std::string::npos) {  // a whole hive
        Err("ERROR: Access is denied.\n");
        return 1;
    }
    if (!a.force && !Confirm("Permanently delete the registry key " + key + " (Yes/No)? ")) {
        Out(kCanceled);
        return 1;
    }
    if (!registry.DeleteKeyTree(key)) {
        Err("ERROR: Access is denied.\n");
        return 1;
    }
    Out(kDone);
    return 0;
}

int RegExport(SimPlatform& machine, const RegArgs& a) {
    std::string key;
    if (a.hasValue || a.defaultValue || a.allValues || a.hasType || a.hasData || a.force || a.recursive ||
        a.positional.size() != 1) {
        return Usage("EXPORT");
    }
    if (!KeyArgument(a.key, key)) return BadKey("EXPORT");
    SimRegistry& registry = machine.Registry();
    if (!registry.KeyExists(key)) {
        Err(kNotFound);
        return 1;
    }
    std::string host;
    if (!HostFile(machine, a.positional[0], host)) {
        Err("ERROR: The system was unable to find the specified path.\n");
        return 1;
    }
    bool isFile = false;
    if (HostFileExists(host, isFile) && !a.overwrite &&
        !Confirm("File " + a.positional[0] + " already exists. Overwrite (Yes/No)? ")) {
        Out(kCanceled);
        return 1;
    }
    std::string error;
    if (!ExportRegFile(registry, key, host, RegFileEncoding::Unicode, error)) {
        Err("ERROR: Error opening the file. There may be a disk or file system error.\n");
        return 1;
    }
    Out(kDone);
    return 0;
}

int RegImport(SimPlatform& machine, const RegArgs& a) {
    if (a.hasValue || a.defaultValue || a.allValues || a.hasType || a.hasData || a.force || a.recursive ||
        a.overwrite || a.positional.size() != 1) {
        return Usage("IMPORT");
    }
    std::string host;
    bool isFile = false;
    if (!HostFile(machine, a.positional[0], host) || !HostFileExists(host, isFile) || !isFile) {
        Err("ERROR: Error opening the file. There may be a disk or file system error.\n");
        return 1;
    }
    std::string error;
    if (!ImportRegFile(machine.Registry(), host, error)) {
        Err("ERROR: Error accessing the registry.\n");
        return 1;
    }
    Out(kDone);
    return 0;
}

// ---- regsvr32 ------------------------------------------------------------------

// What the program's message box says, on standard error: there is no window
// system in this machine.
void Box(const char* caption, const std::string& text) {
    Err(std::string(caption) + ": " + text + "\n");
}

// The file as LoadLibrary finds it: as given (relative to the current
// directory), else in the system folder for a bare name.
bool FindModule(SimPlatform& machine, const std::string& file, std::string& hostPath) {
    std::uint32_t error = 0;
    bool isFile = false;
    if (machine.ToHostPath(file, hostPath, error) && HostFileExists(hostPath, isFile) && isFile) return true;
    if (file.find('\\') != std::string::npos || file.find('/') != std::string::npos ||
        file.find(':') != std::string::npos)
        return false;
    return machine.ToHostPath("C:\\windows\\system32\\" + file, hostPath, error) &&
           HostFileExists(hostPath, isFile) && isFile;
}

}  // namespace

int RegBuiltin(SimPlatform& machine, const std::vector<std::string>& args) {
    if (args.empty()) {
        Err("ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n");
        return 1;
    }
    const std::string operation = Upper(args[0]);
    if (operation == "/?" || operation == "-?") {
        Out("REG Operation [Parameter List]\n\n  Operation  [ QUERY   | ADD    | DELETE  |\n"
            "               EXPORT  | IMPORT ]\n\nReturn Code: (Except for REG COMPARE)\n\n"
            "  0 - Successful\n  1 - Failed\n");
        return 0;
    }
    RegArgs parsed;
    const bool known = operation == "ADD" || operation == "QUERY" || operation == "DELETE" ||
                       operation == "EXPORT" || operation == "IMPORT";
    if (!known) {
        Err("ERROR: Invalid syntax.\nType \"REG /?\" for usage.\n");
        return 1;
    }
    if (!ParseRegArgs(operation, args, parsed)) return Usage(operation);
    if (operation == "IMPORT") return RegImport(machine, parsed);
    if (parsed.key.empty()) return Usage(operation);
    if (operation == "ADD") return RegAdd(machine, parsed);
    if (operation == "QUERY") return RegQuery(machine, parsed);
    if (operation == "DELETE") return RegDelete(machine, parsed);
    return RegExport(machine, parsed);
}

int RegeditBuiltin(SimPlatform& machine, const std::vector<std::string>& args) {
    bool silent = false;
    bool exporting = false;
    RegFileEncoding encoding = RegFileEncoding::Unicode;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (IsSwitch(arg, "s")) {
            silent = true;
        } else if (IsSwitch(arg, "e")) {
            exporting = true;
        } else if (IsSwitch(arg, "e:a") || IsSwitch(arg, "a")) {
            exporting = true;
            encoding = RegFileEncoding::Ansi;
        } else if (LooksLikeSwitch(arg) && arg.find('\\') == std::string::npos) {
            continue;  // the editor's other switches (/m, /v, ...) change nothing here
        } else {
            files.push_back(arg);
        }
    }
    const auto fail = [&](const std::string& text) {
        if (!silent) Err("regedit: " + text + "\n");
        return 0;
    };
    if (files.empty()) return fail("no file given");
    std::string host;
    std::uint32_t error = 0;
    if (!machine.ToHostPath(files[0], host, error)) return fail("Cannot open " + files[0] + ".");
    std::string message;
    if (exporting) {
        const std::string key = files.size() > 1 ? files[1] : std::string();
        if (!ExportRegFile(machine.Registry(), key, host, encoding, message)) {
            return fail("Cannot export " + files[0] + ": " + message);
        }
        return 0;
    }
    if (!ImportRegFile(machine.Registry(), host, message)) {
        return fail("Cannot import " + files[0] + ": " + message);
    }
    return 0;
}

int Regsvr32Builtin(SimPlatform& machine, const std::vector<std::string>& args) {
    bool silent = false;
    bool unregister = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (IsSwitch(arg, "s")) {
            silent = true;
        } else if (IsSwitch(arg, "u")) {
            unregister = true;
        } else if (LooksLikeSwitch(arg) && arg.find('\\') == std::string::npos) {
            continue;  // /i, /n, /c: nothing to do in this machine
        } else {
            files.push_back(arg);
        }
    }
    const char* const caption = "RegSvr32";
    if (files.empty()) {
        if (!silent) Box(caption, "To register a module, you must provide a binary name.");
        return 1;
    }
    int result = 0;
    for (const std::string& file : files) {
        std::string host;
        if (!FindModule(machine, file, host)) {
            if (!silent) {
                const std::string text =
                    "The module \"" + file +
                    "\" failed to load.\n\nMake sure the binary is stored at the specified "
                    "path or debug it to check for problems with the binary or dependent "
                    ".DLL files.\n\nThe specified module could not be found.";
                Box(caption, text);
            }
            result = 3;
            continue;
        }
        const std::string name = Lower(machine.ToWindowsPath(host));
        SimRegistry& registry = machine.Registry();
        bool ok = false;
        if (unregister) {
            // Unregistering what was never registered succeeds, as the entry point does.
            const std::int64_t id = registry.KeyId(kRegsvr32Key);
            const std::uint32_t code = id > 0 ? registry.DeleteValueById(id, name) : kErrorFileNotFound;
            ok = id >= 0 && (code == kErrorSuccess || code == kErrorFileNotFound);
        } else {
            ok = registry.SetString(kRegsvr32Key, name, "registered");
        }
        if (!ok) {
            if (!silent) {
                const std::string text =
                    std::string(unregister ? "DllUnregisterServer" : "DllRegisterServer") + " in " + file +
                    " failed.";
                Box(caption, text);
            }
            result = 5;
            continue;
        }
        if (!silent) {
            const std::string text = std::string(unregister ? "DllUnregisterServer" : "DllRegisterServer") +
                                     " in " + file + " succeeded.";
            Box(caption, text);
        }
    }
    return result;
}

}  // namespace plat
