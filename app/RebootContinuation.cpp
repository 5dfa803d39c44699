#include "app/RebootContinuation.h"

#include <climits>

#include "platform/Handles.h"
#include "products/CCorvantaProducts.h"

const char kDataFileName[] = "CorvantaUninstallTool.txt";
const char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kRunOnceValue[] = "CorvantaUninstallTool";

namespace {
// Longest DataFile line kept (the longest value it carries is a path).
constexpr std::size_t kMaxDataLine = 5000;
// Most records taken from a DataFile. The file never holds more than the
// suite products of one machine; a damaged count line must not make the
// continuation run build (and clean up) millions of empty records.
constexpr int kMaxDataFileRecords = 1000;
// SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_SOFTWARE | SHTDN_REASON_MINOR_UPGRADE
constexpr std::uint32_t kRestartReason = 0x80030003u;
}  // namespace

std::string DataFileOpenFailureMessage(const std::string& path, std::uint32_t errorCode) {
    const char* format = nullptr;
    switch (errorCode) {
        case 2:
        case 6:
            format = "File open failed for %s. File not found\n\n";
            break;
        case 3:
        case 123:
            format = "File open failed for %s. Path contains invalid characters\n\n";
            break;
        case 4:
            format = "File open failed for %s. Permitted number of open files was exceeded\n\n";
            break;
        case 5:
            format = "File open failed for %s. Access is denied (file could not be accessed)\n\n";
            break;
        case 32:
            format = "File open failed for %s. SHARE.EXE was not loaded, or a shared region was locked.\n\n";
            break;
        case 33:
            format =
                "File open failed for %s. There was an attempt to lock a region that was already locked.\n\n";
            break;
        case 38:
            format = "File open failed for %s. The end of file was reached.\n\n";
            break;
        case 39:
        case 112:
            format = "File open failed for %s. The disk is full.\n\n";
            break;
        default:
            return FormatText("File open failed for %s. Error code was %s\n\n",
                              {path, std::to_string(errorCode)});
    }
    return FormatText(format, {path});
}

std::string BuildRunOnceCommandLine(const std::string& programPath, const std::string& logPath, bool clean,
                                    const std::string& dataFilePath, bool debug) {
    // A program path with a blank would be split by the continuation run's
    // command-line parsing, so it is quoted then.
    const std::string program =
        programPath.find(' ') != std::string::npos ? "\"" + programPath + "\"" : programPath;
    std::string rest = "\"" + logPath + "\" ";
    rest += clean ? "-c -r " : " -r ";
    rest += "\"" + dataFilePath + "\" ";
    if (debug) rest += "-d";
    return FormatText("%s %s", {program, rest});
}

int ParseCountLine(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\n' || line[i] == '\r' ||
                               line[i] == '\v' || line[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        value = value * 10 + (line[i] - '0');
        if (value > INT_MAX) value = INT_MAX;  // no overflow on absurd counts
    }
    return static_cast<int>(negative ? -value : value);
}

bool CCorvantaProducts::WriteDataFile() {
    dataFilePath = tempPackageDir + "\\" + kDataFileName;
    log.Write(ToolLog::FormatMessageId(31, {dataFilePath}));

    plat::Platform& sys = plat::Sys();
    plat::UniqueTextFile file(sys.OpenTextFile(dataFilePath.c_str(), plat::TextOpen::WriteNoTruncate, true));
    if (!file) {
        log.WriteToLog(DataFileOpenFailureMessage(dataFilePath, sys.GetLastError()));
        return false;
    }
    std::string text = FormatText("%i\n", {static_cast<int>(products.size())});
    for (const auto& product : products) {
        for (const std::string* value :
             {&product->GetInternalName(), &product->GetProductName(), &product->GetVersion(),
              &product->GetProductCode(), &product->GetPackageCopy()}) {
            text += *value;
            text += "\n";
        }
    }
    sys.WriteTextFile(file.get(), text);
    return true;
}

namespace {

// The folder part of a Windows path, lower case, '/' taken as '\\'; the name
// after the last separator goes to name.
std::string FolderOf(const std::string& path, std::string& name) {
    std::string folded;
    for (char c : path) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        folded += c;
    }
    const std::size_t slash = folded.rfind('\\');
    if (slash == std::string::npos) {
        name = folded;
        return std::string();
    }
    name = folded.substr(slash + 1);
    return folded.substr(0, slash);
}

}  // namespace

bool PackageCopyInDataFileFolder(const std::string& packageCopy, const std::string& dataFilePath) {
    std::string dataFileName;
    const std::string folder = FolderOf(dataFilePath, dataFileName);
    std::string name;
    if (FolderOf(packageCopy, name) != folder) return false;
    // A plain file name: no stream, wildcard or folder step.
    if (name.empty() || name == "." || name == ".." || name.find_first_of(":*?\"<>|") != std::string::npos) {
        return false;
    }
    return true;
}

bool CCorvantaProducts::ReadDataFile(const std::string& path) {
    dataFilePath = path;
    plat::Platform& sys = plat::Sys();
    plat::UniqueTextFile file(sys.OpenTextFile(path.c_str(), plat::TextOpen::Read, false));
    if (!file) {
        log.WriteToLog(DataFileOpenFailureMessage(path, sys.GetLastError()));
        return false;
    }
    // Reading past the end gives empty lines; a short file yields records
    // with empty fields.
    auto readLine = [&]() {
        std::string line;
        if (!sys.ReadTextLine(file.get(), line, kMaxDataLine)) line.clear();
        return line;
    };
    int count = ParseCountLine(readLine());
    if (count > kMaxDataFileRecords) count = kMaxDataFileRecords;
    for (int k = 0; k < count; ++k) {
        std::string internalName = readLine();
        std::string productName = readLine();
        std::string version = readLine();
        std::string productCode = readLine();
        std::string packageCopy = readLine();
        // The package copies are made in the DataFile's folder. A record that
        // names one elsewhere would steer the cleanup to a package that is
        // not ours: the record keeps no copy, so nothing is cleaned for it.
        if (!packageCopy.empty() && !PackageCopyInDataFileFolder(packageCopy, path)) {
            log.LogError(
                "The package copy does not lie in the folder of the data file; the product is not cleaned "
                "up.",
                "ReadDataFile: ", packageCopy);
            packageCopy.clear();
        }
        auto record = std::make_unique<CCorvantaProductInfo>(internalName, productName, version, productCode);
        record->SetPackageCopy(packageCopy);
        products.push_back(std::move(record));
    }
    return true;
}

void CCorvantaProducts::RegisterRunOnce() {
    plat::Platform& sys = plat::Sys();
    plat::UniqueRegKey key;
    if (sys.RegOpenKeyExA(plat::kHkeyLocalMachine, kRunOnceKey, 0, plat::kKeyWrite, key.put()) !=
        static_cast<std::int32_t>(plat::kErrorSuccess)) {
        key.release();  // nothing was opened
        return;
    }
    char buffer[261] = {};
    std::string programPath;
    const std::uint32_t length = sys.GetModuleFileNameA(buffer, 260);
    if (length == 0) {
        log.Write(ToolLog::FormatMessageId(36, {static_cast<long>(sys.GetLastError())}));
    } else {
        programPath.assign(buffer, length < 260 ? length : 260);
    }
    const std::string commandLine = BuildRunOnceCommandLine(programPath, logPath, clean, dataFilePath, debug);
    sys.RegSetValueExA(key.get(), kRunOnceValue, plat::kRegSz,
                       reinterpret_cast<const std::uint8_t*>(commandLine.c_str()),
                       static_cast<std::uint32_t>(commandLine.size() + 1));
}

void CCorvantaProducts::RestartMachine() {
    plat::Platform& sys = plat::Sys();
    plat::Handle rawToken = 0;
    if (!sys.OpenProcessToken(plat::kTokenAdjustPrivileges | plat::kTokenQuery, rawToken)) return;
    plat::UniqueKernelHandle token(rawToken);
    plat::Luid luid;
    sys.LookupPrivilegeValueA("SeShutdownPrivilege", luid);
    sys.AdjustTokenPrivileges(token.get(), false, luid, plat::kSePrivilegeEnabled);
    if (sys.GetLastError() != plat::kErrorSuccess) return;
    sys.ExitWindowsEx(plat::kEwxReboot | plat::kEwxForce, kRestartReason);
}
