// The real tool on simulated machines: whole console output and whole log
// files compared with the texts the tool must write. The preservation lines
// (log only) and the cleanup sections (SharedDLLs, files, registry) belong to
// other parts with their own tests; here they are only located (Foreign) so
// that every text of the run driver, the discovery, the package saving, the
// uninstall and the reboot hand-over is checked byte for byte and in place.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ToolLog.h"
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimRegistry.h"
#include "tests/app/AppFixture.h"
#include "tests/app/ScenarioSupport.h"

namespace apptest {
namespace {

const std::string kLog = "C:\\logs\\u.txt";

using ScenarioTest = Scenario;

TEST_F(ScenarioTest, UsageTextOnTheConsoleOnly) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"-c", "-nr", "-d", "-v"},
        {"-pd", "C:\\keep"},
        {"-r", "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt"},
        {"logs\\u.txt"},
        {"\\\\server\\share\\u.txt", "-c"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.empty() ? std::string("no arguments") : args[0]);
        const toolrun::ProcessResult run = machine.RunTool(args);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, ToolLog::MessageText(38));
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(machine.Sim().List("C:\\logs"), std::vector<std::string>{});
    EXPECT_FALSE(machine.FileExists(kTempDir));
    EXPECT_EQ(
        std::string(ToolLog::MessageText(38)),
        "Incorrect command line syntax. The following options are available:\n\n-c Optional flag. Specifies "
        "all "
        "files should be removed, and no user configuration data preserved.\n\n-pd <path to preserved data> "
        "Optional flag. Specifies where to store data if the user has chosen to preserve data. Does not have "
        "to be an existing directory.\n\n-nr Option flag. Specifies that the tool should suppress any "
        "reboots "
        "that may be required. Note that the uninstall of some products (Zel Corvanta Vaultline, Zel "
        "Corvanta "
        "Tracklight, Zel Corvanta Specwright, and Zel Corvanta Overlook) will require a reboot for the tool "
        "to "
        "complete it's work\n\nUsage is:\n\nCorvantaUnInstallTool.exe <log file name with full path> [-c] "
        "[-nr] "
        "[-pd <path to place preserved data in>]");
}

TEST_F(ScenarioTest, NoSuiteProduct) {
    Install({&kNorthwind});
    const struct {
        std::vector<std::string> args;
        std::string opening;
    } cases[] = {
        {{kLog}, Opening(false)},
        {{"-c", kLog, "-d", "-v"}, Opening(true, true, true)},
    };
    for (const auto& c : cases) {
        const toolrun::ProcessResult run = machine.RunTool(c.args);
        const std::string expected = c.opening + "Number of Corvanta products found: 0\n\n" +
                                     "No Corvanta products were found on the system to uninstall.\n";
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(ReadLog(), Crlf(expected));
        ASSERT_TRUE(machine.Sim().Remove(kLog));
    }
    EXPECT_TRUE(IsInstalled(kNorthwind));
    EXPECT_FALSE(machine.FileExists(kTempDir));
}

TEST_F(ScenarioTest, ExistingLongerLogKeepsItsTailAndAPerCentSignIsPlainText) {
    Install({&kNorthwind});
    const std::string oldText(2000, 'x');
    const std::string path = "C:\\logs\\100%s %i%d.txt";
    ASSERT_TRUE(machine.WriteFile(path, oldText));
    const toolrun::ProcessResult run = machine.RunTool({path});
    const std::string expected = Crlf(Opening(false) + "Number of Corvanta products found: 0\n\n" +
                                      "No Corvanta products were found on the system to uninstall.\n");
    EXPECT_EQ(ReadLog(path), expected + oldText.substr(expected.size()));
}

TEST_F(ScenarioTest, LogThatCannotBeOpenedLeavesTheConsoleOnly) {
    Install({&kNorthwind});
    ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs\\adir"));
    const toolrun::ProcessResult run = machine.RunTool({"C:\\logs\\adir"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string head = "File open failed. Error message is ";
    const std::string rest = "\n\nPress Enter to continue" + Opening(false) +
                             "Number of Corvanta products found: 0\n\n" +
                             "No Corvanta products were found on the system to uninstall.\n";
    ASSERT_GT(run.out.size(), head.size() + rest.size());
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    EXPECT_EQ(run.out.substr(run.out.size() - rest.size()), rest);
    const std::string description = run.out.substr(head.size(), run.out.size() - head.size() - rest.size());
    EXPECT_NE(description.find("C:\\logs\\adir"), std::string::npos) << description;
    EXPECT_EQ(machine.Sim().List("C:\\logs\\adir"), std::vector<std::string>{});
}

TEST_F(ScenarioTest, OnlyNonTeamProducts) {
    Install({&kAdministrator, &kNorthwind});
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string discovery = Discovery(1, {&kAdministrator}, {}, false);
    EXPECT_TRUE(MatchesSections(run.out, {Exact(Opening(true) + discovery + SaveConsole(0, false) +
                                                Uninstall({}) + "No reboot needed for this uninstall."),
                                          Foreign()}));
    std::string head;
    std::vector<std::string> found;
    SplitFoundPaths(ReadLog(), head, found);
    EXPECT_TRUE(
        LogMatchesSections(head, {Exact(Opening(true) + discovery + SaveLog({}, {}, false)), Foreign(),
                                  Exact(Uninstall({}) + "No reboot needed for this uninstall."), Foreign()}));
    EXPECT_EQ(found, std::vector<std::string>{});
    EXPECT_TRUE(IsInstalled(kAdministrator));
    EXPECT_TRUE(machine.Sim().IsDirectory(kTempDir));
}

TEST_F(ScenarioTest, NoRebootNeededCleansUpAtOnce) {
    Install({&kLumo, &kQualvane});
    const std::vector<const Package*> listed = {&kLumo, &kQualvane};
    const std::vector<std::string> local = {LocalPackage(kLumo), LocalPackage(kQualvane)};
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string discovery = Discovery(2, {}, listed, false);
    EXPECT_TRUE(
        MatchesSections(run.out, {Exact(Opening(true) + discovery + SaveConsole(2, false) +
                                        Uninstall(listed) + "No reboot needed for this uninstall." +
                                        "\n=====================================\n\nChecking SharedDLLs"),
                                  Foreign()}));
    std::string head;
    std::vector<std::string> found;
    SplitFoundPaths(ReadLog(), head, found);
    EXPECT_TRUE(LogMatchesSections(
        head, {Exact(Opening(true) + discovery + SaveLog({{&kLumo}, {&kQualvane}}, local, false)), Foreign(),
               Exact(Uninstall(listed) + "No reboot needed for this uninstall." +
                     "\n=====================================\n\nChecking SharedDLLs"),
               Foreign(), Exact("Completed file cleanup.\n\n=====================================\n\n")}));
    // Every file of the package folder is listed; the copies and no DataFile go.
    std::vector<std::string> expectedFound = {std::string(kTempDir) + FilePart(local[0]),
                                              std::string(kTempDir) + FilePart(local[1])};
    for (const std::string& name : machine.Sim().List(kTempDir)) {
        expectedFound.push_back(std::string(kTempDir) + "\\" + name);
    }
    std::sort(expectedFound.begin(), expectedFound.end());
    EXPECT_EQ(found, expectedFound);
    for (const std::string& name : machine.Sim().List(kTempDir)) {
        EXPECT_EQ(name.find(".msi"), std::string::npos) << name;
        EXPECT_NE(name, "CorvantaUninstallTool.txt");
    }
    EXPECT_FALSE(IsInstalled(kLumo));
    EXPECT_FALSE(IsInstalled(kQualvane));
    EXPECT_EQ(RunOnceValue(), "");
    // Without -d no debug line appears anywhere.
    EXPECT_EQ(run.out.find("DEBUG:"), std::string::npos);
    EXPECT_EQ(head.find("DEBUG:"), std::string::npos);
}

// Found Lumo, Vaultline, Tracklight: Tracklight goes to the head of the list.
TEST_F(ScenarioTest, RebootWithoutRestartCleanFlag) {
    Install({&kRcLumo, &kVaultline, &kTracklight});
    const std::vector<const Package*> listed = {&kTracklight, &kRcLumo, &kVaultline};
    const std::vector<std::string> local = {LocalPackage(kTracklight), LocalPackage(kRcLumo),
                                            LocalPackage(kVaultline)};
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c", "-nr"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string discovery = Discovery(3, {}, listed, true);
    const std::string tail = Uninstall(listed) + HandOver(true);
    EXPECT_EQ(run.out, Opening(true) + discovery + SaveConsole(3, false) + tail);
    EXPECT_TRUE(LogMatchesSections(ReadLog(),
                                   {Exact(Opening(true) + discovery +
                                          SaveLog({{&kTracklight}, {&kRcLumo}, {&kVaultline}}, local, false)),
                                    Foreign(), Exact(tail)}));

    std::vector<std::string> copies;
    for (const std::string& l : local) copies.push_back(kTempDir + FilePart(l));
    std::string dataFile;
    ASSERT_TRUE(machine.ReadFile(kDataFile, dataFile));
    EXPECT_EQ(dataFile, DataFileText(listed, copies));
    for (const std::string& copy : copies) EXPECT_TRUE(machine.FileExists(copy)) << copy;
    EXPECT_EQ(RunOnceValue(), ToolWindowsPath() + RunOnceTail(kLog, true, false));
    plat::SimRestart restart;
    EXPECT_FALSE(machine.Sim().PendingRestart(restart));
    for (const Package* p : listed) EXPECT_FALSE(IsInstalled(*p)) << p->package;
}

// Found Tracklight, Vaultline, Lumo: the order stays. Debug lines go to the
// log only; the restart is asked for; the reboot starts the continuation.
TEST_F(ScenarioTest, RebootWithRestartDebugAndContinuation) {
    Install({&kPvTracklight, &kVaultline, &kLumo});
    const std::vector<const Package*> listed = {&kPvTracklight, &kVaultline, &kLumo};
    const std::vector<std::string> local = {LocalPackage(kPvTracklight), LocalPackage(kVaultline),
                                            LocalPackage(kLumo)};
    std::string logDiscovery = "Number of Corvanta products found: 3\n\n";
    for (const Package* p : listed) {
        std::string location;
        machine.Sim().Registry().GetString(std::string(plat::kUninstallKey) + "\\" + p->productCode,
                                           "InstallLocation", location);
        logDiscovery += "InstallLocation found through MSI is " + location + "\n\n";
    }
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-d"});
    EXPECT_EQ(run.exitCode, 0);
    const std::string discovery = Discovery(3, {}, listed, true);
    const std::string tail = Uninstall(listed) + HandOver(false);
    EXPECT_EQ(run.out, Opening(false, true) + discovery + SaveConsole(3, true) + tail);

    logDiscovery += discovery.substr(std::string("Number of Corvanta products found: 3\n\n").size());
    const std::string firstLog = ReadLog();
    EXPECT_TRUE(LogMatchesSections(firstLog,
                                   {Exact(Opening(false, true) + logDiscovery +
                                          SaveLog({{&kPvTracklight}, {&kVaultline}, {&kLumo}}, local, true)),
                                    Foreign(), Exact(tail)}));
    EXPECT_EQ(RunOnceValue(), ToolWindowsPath() + RunOnceTail(kLog, false, true));
    plat::SimRestart restart;
    EXPECT_TRUE(machine.Sim().PendingRestart(restart));

    const toolrun::ProcessResult reboot = machine.Reboot();
    EXPECT_EQ(reboot.exitCode, 0);
    EXPECT_TRUE(
        MatchesSections(reboot.out, {Exact("Continuing processing following reboot.\n\n"
                                           "\n=====================================\n\nChecking SharedDLLs"),
                                     Foreign()}));
    std::string head;
    std::vector<std::string> found;
    SplitFoundPaths(ReadLog(), head, found);
    ASSERT_GT(head.size(), firstLog.size());
    EXPECT_EQ(head.substr(0, firstLog.size()), firstLog);
    const std::string second = head.substr(firstLog.size());
    EXPECT_TRUE(LogMatchesSections(
        second, {Exact("Continuing processing following reboot.\n\n"
                       "\n=====================================\n\nChecking SharedDLLs"),
                 Foreign(), Exact("Completed file cleanup.\n\n=====================================\n\n")}));
    // Three products, three cleanup sections, in list order.
    std::size_t sections = 0;
    for (std::size_t at = second.find("Entered file cleanup."); at != std::string::npos;
         at = second.find("Entered file cleanup.", at + 1)) {
        ++sections;
    }
    EXPECT_EQ(sections, 3u);
    EXPECT_FALSE(machine.FileExists(kDataFile));
    EXPECT_NE(std::find(found.begin(), found.end(), kDataFile), found.end());
    EXPECT_EQ(RunOnceValue(), "");
    for (const std::string& l : local) EXPECT_FALSE(machine.FileExists(kTempDir + FilePart(l))) << l;
}

TEST_F(ScenarioTest, ContinuationWithAnUnreadableDataFile) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string failure;
    } cases[] = {
        {"missing file",
         {kLog, "-r", "C:\\nowhere\\CorvantaUninstallTool.txt"},
         "File open failed for C:\\nowhere\\CorvantaUninstallTool.txt. Path contains invalid characters\n\n"},
        {"missing in an existing folder",
         {kLog, "-r", "C:\\logs\\none.txt"},
         "File open failed for C:\\logs\\none.txt. File not found\n\n"},
        {"-r last", {kLog, "-r"}, "File open failed for . Path contains invalid characters\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(machine.WriteFile(kLog, "first run\r\n"));
        const toolrun::ProcessResult run = machine.RunTool(c.args);
        EXPECT_EQ(run.exitCode, 0);
        const std::string cannot =
            "Cannot open input file. User will have to complete the cleanup of the machine manually.\n\n";
        EXPECT_TRUE(MatchesSections(run.out, {Exact("Continuing processing following reboot.\n\n" + cannot +
                                                    "\n=====================================\n\nChecking"),
                                              Foreign()}));
        std::string head;
        std::vector<std::string> found;
        SplitFoundPaths(ReadLog(), head, found);
        EXPECT_TRUE(LogMatchesSections(
            head, {Exact("first run\nContinuing processing following reboot.\n\n" + c.failure + cannot +
                         "\n=====================================\n\nChecking"),
                   Foreign()}));
        EXPECT_EQ(head.find("Entered file cleanup."), std::string::npos);
    }
}

TEST_F(ScenarioTest, ContinuationReadsAShortOrEmptyDataFile) {
    const struct {
        const char* name;
        std::string content;
        std::size_t sections;
    } cases[] = {
        {"announces 0", "0\nLumo\nP\n1\n{X}\nC:\\CorvantaSDLC_Temp\\x.msi\n", 0},
        {"short", "2\nLumo\nP\n1\n{X}\n\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(machine.WriteFile(kDataFile, Crlf(c.content)));
        ASSERT_TRUE(machine.Sim().Remove(kLog) || !machine.FileExists(kLog));
        const toolrun::ProcessResult run = machine.RunTool({kLog, "-c", "-r", kDataFile});
        EXPECT_EQ(run.exitCode, 0);
        std::string head;
        std::vector<std::string> found;
        SplitFoundPaths(ReadLog(), head, found);
        EXPECT_TRUE(LogMatchesSections(head, {Exact("Continuing processing following reboot.\n\n"
                                                    "\n=====================================\n\nChecking"),
                                              Foreign()}));
        std::size_t sections = 0;
        for (std::size_t at = head.find("Entered file cleanup."); at != std::string::npos;
             at = head.find("Entered file cleanup.", at + 1)) {
            ++sections;
        }
        EXPECT_EQ(sections, c.sections);
        EXPECT_EQ(found, std::vector<std::string>{kDataFile});
        EXPECT_FALSE(machine.FileExists(kDataFile));
    }
}

TEST_F(ScenarioTest, FailedCopyLeavesAnEmptyPackageCopy) {
    Install({&kVaultline, &kLumo});
    const std::vector<const Package*> listed = {&kVaultline, &kLumo};
    const std::vector<std::string> local = {LocalPackage(kVaultline), LocalPackage(kLumo)};
    ASSERT_TRUE(machine.AddFault("CopyFileA", local[0], 5));
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c", "-nr"});
    const std::string discovery = Discovery(2, {}, listed, true);
    const std::string tail = Uninstall(listed) + HandOver(true);
    EXPECT_EQ(run.out, Opening(true) + discovery + SaveConsole(2, false) + tail);
    Outcome failed{&kVaultline, false, 5};
    EXPECT_TRUE(LogMatchesSections(
        ReadLog(), {Exact(Opening(true) + discovery + SaveLog({failed, {&kLumo}}, local, false)), Foreign(),
                    Exact(tail)}));
    std::string dataFile;
    ASSERT_TRUE(machine.ReadFile(kDataFile, dataFile));
    EXPECT_EQ(dataFile, DataFileText(listed, {"", kTempDir + FilePart(local[1])}));
}

TEST_F(ScenarioTest, FailedUninstallStopsTheRest) {
    Install({&kRcLumo, &kVaultline, &kTracklight});
    const std::vector<const Package*> listed = {&kTracklight, &kRcLumo, &kVaultline};
    const std::vector<std::string> local = {LocalPackage(kTracklight), LocalPackage(kRcLumo),
                                            LocalPackage(kVaultline)};
    ASSERT_TRUE(machine.AddFault("MsiInstallProductA", local[1], 1603));
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c", "-nr"});
    const std::string discovery = Discovery(3, {}, listed, true);
    const std::string tail = Uninstall(listed, 1, 1603) + HandOver(true);
    EXPECT_EQ(run.out, Opening(true) + discovery + SaveConsole(3, false) + tail);
    EXPECT_TRUE(LogMatchesSections(ReadLog(),
                                   {Exact(Opening(true) + discovery +
                                          SaveLog({{&kTracklight}, {&kRcLumo}, {&kVaultline}}, local, false)),
                                    Foreign(), Exact(tail)}));
    EXPECT_FALSE(IsInstalled(kTracklight));
    EXPECT_TRUE(IsInstalled(kRcLumo));
    EXPECT_TRUE(IsInstalled(kVaultline));
    // The DataFile still carries all three for the cleanup after the reboot.
    std::string dataFile;
    ASSERT_TRUE(machine.ReadFile(kDataFile, dataFile));
    std::vector<std::string> copies;
    for (const std::string& l : local) copies.push_back(kTempDir + FilePart(l));
    EXPECT_EQ(dataFile, DataFileText(listed, copies));
}

TEST_F(ScenarioTest, UninstallAskingForARestartCountsAsSucceeded) {
    Install({&kVaultline, &kLumo});
    const std::vector<const Package*> listed = {&kVaultline, &kLumo};
    ASSERT_TRUE(machine.AddFault("MsiInstallProductA", LocalPackage(kVaultline), 3010));
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c", "-nr"});
    EXPECT_EQ(run.out, Opening(true) + Discovery(2, {}, listed, true) + SaveConsole(2, false) +
                           Uninstall(listed) + HandOver(true));
    EXPECT_FALSE(IsInstalled(kLumo));
}

// A product that cannot be opened is counted by its Publisher but cannot be
// delivered: the count says 2, the list holds one.
TEST_F(ScenarioTest, CountedProductThatCannotBeOpenedIsSkipped) {
    Install({&kLumo, &kQualvane});
    ASSERT_TRUE(machine.AddFault("MsiOpenProductA", kQualvane.productCode, 1612));
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-c"});
    EXPECT_TRUE(MatchesSections(
        run.out, {Exact(Opening(true) + Discovery(2, {}, {&kLumo}, false) + SaveConsole(1, false) +
                        Uninstall({&kLumo}) + "No reboot needed for this uninstall."),
                  Foreign()}));
    EXPECT_TRUE(IsInstalled(kQualvane));
    EXPECT_FALSE(IsInstalled(kLumo));
}

// With -pd the package folder goes below the preserve directory; the
// continuation command line does not carry -pd.
TEST_F(ScenarioTest, PreserveDirectoryHoldsThePackageFolder) {
    Install({&kVaultline});
    const std::string local = LocalPackage(kVaultline);
    const std::string temp = "C:\\keep\\CorvantaSDLC_Temp";
    const toolrun::ProcessResult run = machine.RunTool({kLog, "-pd", "C:\\keep", "-c", "-nr"});
    const std::string expected =
        Opening(true) + Discovery(1, {}, {&kVaultline}, true) + SaveConsole(1, false) +
        "Beginning uninstallation of products.\n\nProduct Name: Corvanta Vaultline\n" + "Log file: " + temp +
        "\\Vaultline.log\n" + "Uninstall of product Corvanta Vaultline succeeded.\n\n" +
        "Output data file: " + temp + "\\CorvantaUninstallTool.txt\n" +
        HandOver(true).substr(HandOver(true).find('\n') + 1);
    EXPECT_EQ(run.out, expected);
    std::string dataFile;
    ASSERT_TRUE(machine.ReadFile(temp + "\\CorvantaUninstallTool.txt", dataFile));
    EXPECT_EQ(dataFile,
              Crlf("1\nVaultline\nCorvanta Vaultline\n7.5.0\n{C0B1A001-0001-4000-8000-000000000000}\n" +
                   temp + FilePart(local) + "\n"));
    EXPECT_EQ(RunOnceValue(),
              ToolWindowsPath() + " \"" + kLog + "\" -c -r \"" + temp + "\\CorvantaUninstallTool.txt\" ");
    EXPECT_FALSE(machine.FileExists(kTempDir));
}

}  // namespace
}  // namespace apptest
