// The pure parts of the run driver: argument parsing, log path validation,
// the continuation command line, the DataFile count line, the open-failure
// messages and the text formatting of the tool log.
#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/RebootContinuation.h"
#include "app/ToolLog.h"

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    RunOptions expected;
};

RunOptions Options(std::string logPath, bool clean, bool continuation, std::string dataFile, bool debug,
                   bool verbose, bool noReboot, bool pd, std::string pdPath) {
    RunOptions o;
    o.logPath = std::move(logPath);
    o.clean = clean;
    o.continuation = continuation;
    o.dataFileArg = std::move(dataFile);
    o.debug = debug;
    o.verbose = verbose;
    o.noReboot = noReboot;
    o.preservePathGiven = pd;
    o.preservePathArg = std::move(pdPath);
    return o;
}

TEST(CommandLine, ParsesEveryOptionInAnyOrder) {
    const ParseCase cases[] = {
        {"nothing", {}, Options("", false, false, "", false, false, false, false, "")},
        {"log only", {"C:\\l.txt"}, Options("C:\\l.txt", false, false, "", false, false, false, false, "")},
        {"all flags",
         {"-c", "-d", "C:\\l.txt", "-v", "-nr"},
         Options("C:\\l.txt", true, false, "", true, true, true, false, "")},
        {"-c twice",
         {"C:\\l.txt", "-c", "-c"},
         Options("C:\\l.txt", true, false, "", false, false, false, false, "")},
        {"second log path ignored",
         {"C:\\a.txt", "C:\\b.txt"},
         Options("C:\\a.txt", false, false, "", false, false, false, false, "")},
        {"-r takes next",
         {"-r", "C:\\d.txt", "C:\\l.txt"},
         Options("C:\\l.txt", false, true, "C:\\d.txt", false, false, false, false, "")},
        {"-r value that looks like an option",
         {"C:\\l.txt", "-r", "-c"},
         Options("C:\\l.txt", false, true, "-c", false, false, false, false, "")},
        {"-r last",
         {"C:\\l.txt", "-r"},
         Options("C:\\l.txt", false, true, "", false, false, false, false, "")},
        {"-pd takes next",
         {"-pd", "E:\\keep", "C:\\l.txt"},
         Options("C:\\l.txt", false, false, "", false, false, false, true, "E:\\keep")},
        {"-pd value never the log path",
         {"-pd", "C:\\keep"},
         Options("", false, false, "", false, false, false, true, "C:\\keep")},
        {"-pd last",
         {"C:\\l.txt", "-pd"},
         Options("C:\\l.txt", false, false, "", false, false, false, true, "")},
        {"case-sensitive names",
         {"-C", "-D", "-nr"},
         Options("-C", false, false, "", false, false, true, false, "")},
        {"continuation line",
         {"C:\\logs\\u.txt", "-c", "-r", "C:\\T\\CorvantaUninstallTool.txt", "-d"},
         Options("C:\\logs\\u.txt", true, true, "C:\\T\\CorvantaUninstallTool.txt", true, false, false, false,
                 "")},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunOptions got = ParseCommandLine(c.args);
        EXPECT_EQ(got.logPath, c.expected.logPath);
        EXPECT_EQ(got.clean, c.expected.clean);
        EXPECT_EQ(got.continuation, c.expected.continuation);
        EXPECT_EQ(got.dataFileArg, c.expected.dataFileArg);
        EXPECT_EQ(got.debug, c.expected.debug);
        EXPECT_EQ(got.verbose, c.expected.verbose);
        EXPECT_EQ(got.noReboot, c.expected.noReboot);
        EXPECT_EQ(got.preservePathGiven, c.expected.preservePathGiven);
        EXPECT_EQ(got.preservePathArg, c.expected.preservePathArg);
    }
}

TEST(CommandLine, LogPathNeedsAColon) {
    const struct {
        const char* path;
        bool valid;
    } cases[] = {
        {"", false},        {"\\\\server\\share\\log.txt", false},
        {"log.txt", false}, {"C:\\logs\\u.txt", true},
        {"C:", true},       {"x:y", true},
        {"-C:", true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidLogPath(c.path), c.valid) << c.path;
}

TEST(RunOnceCommandLine, CarriesLogPathDataFileAndFlags) {
    const struct {
        const char* program;
        bool clean;
        bool debug;
        const char* expected;
    } cases[] = {
        {"C:\\tools\\CorvantaUninstallTool.exe", true, true,
         "C:\\tools\\CorvantaUninstallTool.exe \"C:\\logs\\u.txt\" -c -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" -d"},
        {"C:\\tools\\CorvantaUninstallTool.exe", false, false,
         "C:\\tools\\CorvantaUninstallTool.exe \"C:\\logs\\u.txt\"  -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" "},
        {"C:\\tools\\CorvantaUninstallTool.exe", true, false,
         "C:\\tools\\CorvantaUninstallTool.exe \"C:\\logs\\u.txt\" -c -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" "},
        {"C:\\tools\\CorvantaUninstallTool.exe", false, true,
         "C:\\tools\\CorvantaUninstallTool.exe \"C:\\logs\\u.txt\"  -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" -d"},
        // A program path with a blank is quoted so the continuation run still
        // sees the log path as its first argument.
        {"C:\\Program Files\\Tool\\CorvantaUninstallTool.exe", false, false,
         "\"C:\\Program Files\\Tool\\CorvantaUninstallTool.exe\" \"C:\\logs\\u.txt\"  -r "
         "\"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" "},
        {"", false, false, " \"C:\\logs\\u.txt\"  -r \"C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\" "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuildRunOnceCommandLine(c.program, "C:\\logs\\u.txt", c.clean,
                                          "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt", c.debug),
                  c.expected);
    }
}

TEST(DataFileCountLine, ConvertsLikeAtoi) {
    const struct {
        const char* line;
        int value;
    } cases[] = {
        {"3", 3},    {"0", 0},   {"", 0},   {"abc", 0}, {"  12", 12},
        {"\t7x", 7}, {"-2", -2}, {"+4", 4}, {"2 3", 2}, {"99999999999999", 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseCountLine(c.line), c.value) << '"' << c.line << '"';
}

TEST(DataFileOpenFailure, MessageFollowsTheErrorClass) {
    const std::string p = "C:\\T\\CorvantaUninstallTool.txt";
    const struct {
        std::uint32_t code;
        std::string expected;
    } cases[] = {
        {2, "File open failed for " + p + ". File not found\n\n"},
        {6, "File open failed for " + p + ". File not found\n\n"},
        {3, "File open failed for " + p + ". Path contains invalid characters\n\n"},
        {123, "File open failed for " + p + ". Path contains invalid characters\n\n"},
        {4, "File open failed for " + p + ". Permitted number of open files was exceeded\n\n"},
        {5, "File open failed for " + p + ". Access is denied (file could not be accessed)\n\n"},
        {32, "File open failed for " + p + ". SHARE.EXE was not loaded, or a shared region was locked.\n\n"},
        {33, "File open failed for " + p +
                 ". There was an attempt to lock a region that was already locked.\n\n"},
        {38, "File open failed for " + p + ". The end of file was reached.\n\n"},
        {39, "File open failed for " + p + ". The disk is full.\n\n"},
        {112, "File open failed for " + p + ". The disk is full.\n\n"},
        {0, "File open failed for " + p + ". Error code was 0\n\n"},
        {1392, "File open failed for " + p + ". Error code was 1392\n\n"},
        {206, "File open failed for " + p + ". Error code was 206\n\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(DataFileOpenFailureMessage(p, c.code), c.expected) << c.code;
}

TEST(DataFileOpenFailure, PathWithPerCentSignStaysAsItIs) {
    EXPECT_EQ(DataFileOpenFailureMessage("C:\\100%s\\%i.txt", 2),
              "File open failed for C:\\100%s\\%i.txt. File not found\n\n");
}

TEST(FormatText, SubstitutesWithoutReadingArgumentsAsFormats) {
    const struct {
        const char* format;
        std::vector<FormatArg> args;
        const char* expected;
    } cases[] = {
        {"Product Name: %s\nVersion: %s\n", {"A%sB", "1.0"}, "Product Name: A%sB\nVersion: 1.0\n"},
        {"Copy failed. Error code is %i\n\n", {5}, "Copy failed. Error code is 5\n\n"},
        {"%i and %d", {-3, 12}, "-3 and 12"},
        {"100%% done", {}, "100% done"},
        {"missing: [%s]", {}, "missing: []"},
        {"trailing %", {}, "trailing %"},
        {"unknown %x kept", {"a"}, "unknown %x kept"},
    };
    for (const auto& c : cases) {
        std::string got;
        switch (c.args.size()) {
            case 0:
                got = FormatText(c.format);
                break;
            case 1:
                got = FormatText(c.format, {c.args[0]});
                break;
            default:
                got = FormatText(c.format, {c.args[0], c.args[1]});
                break;
        }
        EXPECT_EQ(got, c.expected) << c.format;
    }
}

TEST(MessageTable, FormatsEntriesAndKnowsOnlyItsIds) {
    EXPECT_EQ(ToolLog::FormatMessageId(46, {"Zel Corvanta Vaultline", 1603}),
              "Uninstall failed. Product: Zel Corvanta Vaultline\nError Code: 1603\n\n");
    EXPECT_EQ(ToolLog::FormatMessageId(7, {"CRemoveUnsharedFiles: ", "Access is denied.\r\n", ""}),
              "Error in function CRemoveUnsharedFiles: \nError message: Access is denied.\r\n\n\n");
    for (int id : {0, 1, 4, 18, 24, 27, 43, 44, 56, 58}) EXPECT_STREQ(ToolLog::MessageText(id), "") << id;
}

}  // namespace
