#include "app/ToolLog.h"

#include <cstdio>

namespace {

struct MessageEntry {
    int id;
    const char* text;
};

// The numbered messages of the tool. Texts are written exactly as they stand;
// line breaks come only from the texts themselves.
const MessageEntry kMessages[] = {
    {2, "Exception encountered during uninstallation.\n\n"},
    {3, "Rebooting machine now.\n\n"},
    {5, "No reboot needed for this uninstall."},
    {6, "A problem was found during execution of this program, the associated error is: %s"},
    {7, "Error in function %s\nError message: %s\n%s\n"},
    {8, "List of deleted files:\n\n"},
    {9, "Preparing to delete the Corvanta values from the SharedDlls key\n"},
    {10, "No Corvanta entries to remove from the SharedDlls key\n\n"},
    {11, "Error deleting %s%s\t%s"},
    {12, "Error deleting directory: %s"},
    {13, "Error deleting directory: %s\t%s"},
    {14, "Number of Corvanta products found: %i\n\n"},
    {15, "Corvanta Product found, non-Team Product\nProduct Name: %s\n\n"},
    {16, "Reboot needed following uninstall of products.\n\n"},
    {17, "Reboot not needed following uninstall of products.\n\n"},
    {19, "Product Name: %s\nVersion: %s\n"},
    {20, "Product Code: %s\n\n"},
    {21, "Log file: %s\n"},
    {22, "Product Name: %s\n"},
    {23, "\n\nError attempting to launch command. Error code %s\n\n"},
    {25, "Beginning uninstallation of products.\n\n"},
    {26, "\n=====================================\n\nSaving cached product MSIs.\n\n"},
    {28, "DEBUG: Copying product %s.\nDEBUG: Local MSI: %s\nDEBUG: Temp location:%s\n"},
    {29, "Copy failed. Error code is %i\n\n"},
    {30, "Copy succeeded.\n\n"},
    {31, "Output data file: %s\n"},
    {32, "Deleting registry value %s\n"},
    {33, "\nFinished cleaning registry key.\n"},
    {34, "\nFinished processing registry key.\n\n"},
    {35, "\n=====================================\n\nChecking SharedDLLs key for Corvanta entries.\n"},
    {36, "GetModuleFileName failed, error code is %i\n\n"},
    {37, "File open failed. Error message is %s\n\nPress Enter to continue"},
    {38,
     "Incorrect command line syntax. The following options are available:\n\n"
     "-c Optional flag. Specifies all files should be removed, and no user configuration data preserved.\n\n"
     "-pd <path to preserved data> Optional flag. Specifies where to store data if the user has chosen to "
     "preserve data. Does not have to be an existing directory.\n\n"
     "-nr Option flag. Specifies that the tool should suppress any reboots that may be required. Note that "
     "the "
     "uninstall of some products (Zel Corvanta Vaultline, Zel Corvanta Tracklight, Zel Corvanta Specwright, "
     "and "
     "Zel Corvanta Overlook) will require a reboot for the tool to complete it's work\n\n"
     "Usage is:\n\n"
     "CorvantaUnInstallTool.exe <log file name with full path> [-c] [-nr] [-pd <path to place preserved data "
     "in>]"},
    {39, "\n=====================================\n\nEntered file cleanup.\n\n"},
    {40, "Delete file %s failed\n"},
    {41, "%s %s\n\n"},
    {42, "Deleting file: %s\t%s\n"},
    {45, "Uninstall of product %s succeeded.\n\n"},
    {46, "Uninstall failed. Product: %s\nError Code: %i\n\n"},
    {47,
     "Welcome to the Corvanta Uninstall Tool. This tool will automatically uninstall any Corvanta products "
     "which will be moving to the new Deploy Center for 7.1. As part of this, your machine may be "
     "rebooted. "},
    {48, "User data will be preserved from these products.\n\n"},
    {49, "User data will not be preserved from these products.\n\n"},
    {50, "Continuing processing following reboot.\n\n"},
    {51, "The following products will be uninstalled from this system:\n\n"},
    {52, "Scanning for additional Corvanta files to remove.\n"},
    {53, "Completed file cleanup.\n\n=====================================\n\n"},
    {54, "Debug mode has been enabled."},
    {55, "MSI Verbose logging has been enabled."},
    {57,
     "You have chosen to not allow the Corvanta Uninstall Tool to reboot the machine. Please reboot this "
     "machine manually in order to complete the removal of the Corvanta Team products."},
};

// Largest text GetSystemErrorText hands back (a buffer of 1024 characters).
constexpr std::size_t kMaxSystemText = 1023;

void ConsoleOut(const std::string& text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

std::string FormatText(const char* format, std::initializer_list<FormatArg> args) {
    std::string out;
    if (format == nullptr) return out;
    auto next = args.begin();
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        const char spec = p[1];
        if (spec == '%') {
            out += '%';
            ++p;
        } else if (spec == 's' || spec == 'i' || spec == 'd') {
            ++p;
            if (next == args.end()) continue;  // a missing argument gives ""
            const FormatArg& arg = *next++;
            out += arg.isText ? arg.text : std::to_string(arg.number);
        } else {
            out += '%';  // not a conversion we know: kept as it stands
        }
    }
    return out;
}

ToolLog::~ToolLog() {
    Close();
}

bool ToolLog::Open(const std::string& path) {
    Close();
    plat::Platform& sys = plat::Sys();
    plat::Handle file = sys.OpenTextFile(path.c_str(), plat::TextOpen::WriteNoTruncate, true);
    if (file == plat::kInvalidHandle) {
        const std::uint32_t code = sys.GetLastError();
        std::string description = GetSystemErrorText(code);
        while (!description.empty() && (description.back() == '\n' || description.back() == '\r')) {
            description.pop_back();
        }
        description = FormatText("%s (%s)", {description, path});
        if (description.size() > kMaxSystemText) description.resize(kMaxSystemText);
        WriteToConsole(FormatMessageId(37, {description}));
        return false;
    }
    file_ = file;
    return true;
}

void ToolLog::SeekToEnd() {
    if (IsOpen()) plat::Sys().SeekTextFileToEnd(file_);
}

void ToolLog::Close() {
    if (!IsOpen()) return;
    plat::Sys().CloseTextFile(file_);
    file_ = plat::kInvalidHandle;
}

void ToolLog::Write(const std::string& text) {
    WriteToConsole(text);
    WriteToLog(text);
}

void ToolLog::WriteToLog(const std::string& text) {
    // Without an open log file (it could not be opened) the run goes on with
    // the console only.
    if (IsOpen() && !text.empty()) plat::Sys().WriteTextFile(file_, text);
}

void ToolLog::WriteToConsole(const std::string& text) {
    ConsoleOut(text);
}

void ToolLog::LogError(const std::string& errorText, const std::string& functionName,
                       const std::string& detail) {
    Write(FormatMessageId(7, {functionName, errorText, detail}));
}

const char* ToolLog::MessageText(int id) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.id == id) return entry.text;
    }
    return "";
}

std::string ToolLog::FormatMessageId(int id, std::initializer_list<FormatArg> args) {
    return FormatText(MessageText(id), args);
}

std::string ToolLog::GetSystemErrorText(std::uint32_t code) {
    std::string text;
    const std::uint32_t length = plat::Sys().FormatMessageA(
        plat::kFormatMessageFromSystem | plat::kFormatMessageAllocateBuffer, code, 0x400, text);
    if (length == 0 || text.empty()) {
        // The system has no text for this code: say so in the same shape as a
        // system text (one line ending in CR LF).
        text = FormatText("Unknown error (code %s).\r\n", {std::to_string(code)});
    }
    if (text.size() > kMaxSystemText) text.resize(kMaxSystemText);
    return text;
}
