// The copy operations every preservation set is built from: where the copies
// land, what they replace and what they write to the log.
#include <ostream>
#include <string>
#include <vector>

#include "tests/preserve/PreserveFixture.h"

namespace preserve_test {
namespace {

const std::string kI = kInstall;
const std::string kSaved = "C:\\Saved";
const std::string kRoot = kSaved + "\\Corvanta.Preserve";

using CopyOperationsTest = PreserveTest;

// ---- BackupFile ---------------------------------------------------------

struct BackupFileCase {
    const char* name;
    std::string installLocation;
    std::string path;     // handed to BackupFile
    std::string oldCopy;  // below the preserve root, seeded with "old" first ("" none)
    bool debug;
    std::vector<std::string> tree;              // the preserve root afterwards
    std::vector<std::string> copiedFromSource;  // files below the root holding the source's content
    std::string log;
};

void PrintTo(const BackupFileCase& c, std::ostream* os) {
    *os << c.name;
}

class BackupFileTest : public PreserveTest, public ::testing::WithParamInterface<BackupFileCase> {};

TEST_P(BackupFileTest, MirrorsBelowThePreserveRootWithoutReplacing) {
    const BackupFileCase& c = GetParam();
    SeedInstall({"\\conf\\app.ini", "\\conf\\deep\\x.ini"});
    if (!c.oldCopy.empty()) Seed(kRoot + c.oldCopy, "old");
    RunOptions options;
    options.debug = c.debug;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options, {}, c.installLocation).BackupFile(c.path);

    EXPECT_EQ(Tree(kRoot), c.tree);
    for (const std::string& rel : c.copiedFromSource) EXPECT_EQ(Read(kRoot + rel), "src:" + rel) << rel;
    if (!c.oldCopy.empty()) {
        EXPECT_EQ(Read(kRoot + c.oldCopy), "old");
    }
    EXPECT_EQ(LogText(), c.log);
    // The source is never touched.
    EXPECT_EQ(Read(kI + "\\conf\\app.ini"), "src:\\conf\\app.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BackupFileTest,
    ::testing::Values(
        BackupFileCase{"Mirrored",
                       kI,
                       kI + "\\conf\\deep\\x.ini",
                       "",
                       false,
                       TreeOf({"\\conf\\deep\\x.ini"}),
                       {"\\conf\\deep\\x.ini"},
                       ""},
        BackupFileCase{"DebugNamesBothEnds",
                       kI,
                       kI + "\\conf\\app.ini",
                       "",
                       true,
                       TreeOf({"\\conf\\app.ini"}),
                       {"\\conf\\app.ini"},
                       "Backing up file: " + kI + "\\conf\\app.ini\nBacking up file to: " + kRoot +
                           "\\conf\\app.ini\n\n"},
        BackupFileCase{"ExistingCopyKept",
                       kI,
                       kI + "\\conf\\app.ini",
                       "\\conf\\app.ini",
                       false,
                       TreeOf({"\\conf\\app.ini"}),
                       {},
                       ""},
        // The replacement is case-sensitive: the destination is the source
        // itself, the copy fails and nothing is made or reported.
        BackupFileCase{"InstallLocationInOtherCase",
                       kI,
                       "c:\\program files\\corvanta\\conf\\app.ini",
                       "",
                       false,
                       {},
                       {},
                       ""},
        BackupFileCase{
            "EmptyInstallLocation",
            "",
            kI + "\\conf\\app.ini",
            "",
            true,
            {},
            {},
            "Backing up file: " + kI + "\\conf\\app.ini\nBacking up file to: " + kI + "\\conf\\app.ini\n\n"},
        BackupFileCase{
            "MissingSource", kI, kI + "\\conf\\none.ini", "", false, TreeOf({}, {"\\conf"}), {}, ""}),
    [](const ::testing::TestParamInfo<BackupFileCase>& info) { return std::string(info.param.name); });

// ---- CopyMatchingFiles ----------------------------------------------------

TEST_F(CopyOperationsTest, CopyMatchingFilesTakesMatchingFilesOfOneFolderAndReplacesCopies) {
    SeedInstall({"\\web\\conf\\a.properties", "\\web\\conf\\b.properties", "\\web\\conf\\notes.txt",
                 "\\web\\conf\\sub\\c.properties", "\\web\\conf\\dir.properties\\d.txt"});
    Seed(kRoot + "\\web\\conf\\a.properties", "old");
    Seed(kRoot + "\\web\\conf\\kept.properties", "old");
    RunOptions options;
    options.debug = true;  // writes nothing even so
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).CopyMatchingFiles("\\web\\conf", "\\web\\conf", "*.properties");

    EXPECT_EQ(Tree(kRoot), TreeOf({"\\web\\conf\\a.properties", "\\web\\conf\\b.properties",
                                   "\\web\\conf\\kept.properties"}));
    EXPECT_EQ(Read(kRoot + "\\web\\conf\\a.properties"), "src:\\web\\conf\\a.properties");
    EXPECT_EQ(Read(kRoot + "\\web\\conf\\b.properties"), "src:\\web\\conf\\b.properties");
    EXPECT_EQ(Read(kRoot + "\\web\\conf\\kept.properties"), "old");
    EXPECT_EQ(LogText(), "");
}

TEST_F(CopyOperationsTest, CopyMatchingFilesMakesTheDestinationEvenWithoutSource) {
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).CopyMatchingFiles("\\no\\such", "\\no\\such", "*.properties");
    EXPECT_EQ(Tree(kRoot), TreeOf({}, {"\\no\\such"}));
}

// With an empty installLocation the search is relative to the root of the
// current drive.
TEST_F(CopyOperationsTest, CopyMatchingFilesWithEmptyInstallLocationSearchesTheDriveRoot) {
    Seed("C:\\cfg\\x.properties", "drive root");
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options, {}, "").CopyMatchingFiles("\\cfg", "\\cfg", "*.properties");
    EXPECT_EQ(Tree(kRoot), TreeOf({"\\cfg\\x.properties"}));
    EXPECT_EQ(Read(kRoot + "\\cfg\\x.properties"), "drive root");
}

// ---- CopyDirectoryTree and BackupDirectory ---------------------------------

TEST_F(CopyOperationsTest, BackupDirectoryCopiesTheWholeTreeWithoutReplacing) {
    SeedInstall({"\\data\\top.txt", "\\data\\a\\one.txt", "\\data\\a\\b\\two.txt", "\\data\\c\\three.txt"});
    Seed(kRoot + "\\data\\a\\one.txt", "old");
    RunOptions options;
    options.debug = true;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).BackupDirectory(kI + "\\data", kRoot + "\\data");

    const std::vector<std::string> files = {"\\data\\top.txt", "\\data\\a\\one.txt", "\\data\\a\\b\\two.txt",
                                            "\\data\\c\\three.txt"};
    EXPECT_EQ(Tree(kRoot), TreeOf(files));
    EXPECT_EQ(Read(kRoot + "\\data\\a\\one.txt"), "old");
    for (const std::string& rel : {files[0], files[2], files[3]}) EXPECT_EQ(Read(kRoot + rel), "src:" + rel);
    EXPECT_EQ(LogText(),
              "Backing up directory " + kI + "\\data\nDestination to preserve to: " + kRoot + "\\data\n\n");
}

TEST_F(CopyOperationsTest, BackupDirectoryOfMissingSourceLeavesTheDestination) {
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).BackupDirectory(kI + "\\none", kRoot + "\\deep\\none");
    EXPECT_EQ(Tree(kRoot), TreeOf({}, {"\\deep\\none"}));
    EXPECT_EQ(LogText(), "");
}

TEST_F(CopyOperationsTest, CopyDirectoryTreeNeedsTheParentOfItsDestination) {
    SeedInstall({"\\data\\x.txt"});
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    // CreateDirectoryA makes one level only: nothing can be copied.
    Products(options).CopyDirectoryTree(kI + "\\data", kRoot + "\\a\\b");
    EXPECT_FALSE(IsDir(kRoot));
}

// A destination inside its own source (a project folder that holds the
// preserve folder) is copied once, not into itself again and again.
TEST_F(CopyOperationsTest, BackupDirectoryIntoItsOwnSourceStopsAtTheCopy) {
    SeedInstall({"\\p\\a.txt", "\\p\\sub\\b.txt"});
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).BackupDirectory(kI + "\\p", kI + "\\p\\copy");
    EXPECT_EQ(Tree(kI + "\\p"), TreeOf({"\\a.txt", "\\sub\\b.txt", "\\copy\\a.txt", "\\copy\\sub\\b.txt"}));
}

// A destination equal to the source copies nothing and ends.
TEST_F(CopyOperationsTest, BackupDirectoryOntoItselfCopiesNothing) {
    SeedInstall({"\\p\\a.txt", "\\p\\sub\\b.txt"});
    Products().BackupDirectory(kI + "\\p", kI + "\\p");
    EXPECT_EQ(Tree(kI + "\\p"), TreeOf({"\\a.txt", "\\sub\\b.txt"}));
    EXPECT_EQ(Read(kI + "\\p\\sub\\b.txt"), "src:\\p\\sub\\b.txt");
}

// ---- FindFilesByName and BackupFoundFiles ----------------------------------

struct FindCase {
    const char* name;
    std::vector<std::string> seeded;  // below installLocation\tree
    std::vector<std::string> names;
    std::vector<std::string> found;  // below installLocation\tree, in order
};

void PrintTo(const FindCase& c, std::ostream* os) {
    *os << c.name;
}

class FindFilesByNameTest : public PreserveTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindFilesByNameTest, ListsAndLogsEveryMatchOncePerName) {
    const FindCase& c = GetParam();
    std::vector<std::string> seeds;
    for (const std::string& rel : c.seeded) seeds.push_back("\\tree" + rel);
    SeedInstall(seeds);
    std::vector<std::string> found;
    Products().FindFilesByName(found, kI + "\\tree", c.names);

    std::vector<std::string> expected;
    std::string log;
    for (const std::string& rel : c.found) {
        expected.push_back(kI + "\\tree" + rel);
        log += "Found file " + kI + "\\tree" + rel + "\n";
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(LogText(), log);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindFilesByNameTest,
    ::testing::Values(FindCase{"ExactNamesInAnyDepth",
                               {"\\jtl.properties", "\\a\\b\\csm.properties", "\\a\\other.properties"},
                               {"jtl.properties", "csm.properties"},
                               {"\\a\\b\\csm.properties", "\\jtl.properties"}},
                      FindCase{"NameInsideALongerName",
                               {"\\xcommon.properties", "\\common.properties.bak"},
                               {"common.properties"},
                               {"\\common.properties.bak", "\\xcommon.properties"}},
                      FindCase{"NameInAFolderName",
                               {"\\common.properties\\readme.txt"},
                               {"common.properties"},
                               {"\\common.properties\\readme.txt"}},
                      FindCase{"TwoNamesInOnePath",
                               {"\\dct.properties\\csm.properties"},
                               {"csm.properties", "dct.properties"},
                               {"\\dct.properties\\csm.properties", "\\dct.properties\\csm.properties"}},
                      FindCase{"CaseMatters", {"\\JTL.properties"}, {"jtl.properties"}, {}},
                      FindCase{"NameWithFolders",
                               {"\\servers\\server1\\server.xml", "\\servers\\server2\\server.xml"},
                               {"servers\\server1\\server.xml"},
                               {"\\servers\\server1\\server.xml"}},
                      // Only a match after the first character counts.
                      FindCase{"MatchAtTheStartIgnored", {"\\x.txt"}, {"C:\\Program Files"}, {}}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST_F(CopyOperationsTest, BackupFoundFilesCountsAndBacksUpEveryFind) {
    SeedInstall({"\\tree\\dct.properties\\csm.properties", "\\tree\\a\\jtl.properties", "\\tree\\a\\x.txt"});
    Seed(kRoot + "\\tree\\a\\jtl.properties", "old");
    RunOptions options;
    options.debug = true;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).BackupFoundFiles({"jtl.properties", "csm.properties", "dct.properties"}, kI + "\\tree");

    EXPECT_EQ(Tree(kRoot), TreeOf({"\\tree\\dct.properties\\csm.properties", "\\tree\\a\\jtl.properties"}));
    EXPECT_EQ(Read(kRoot + "\\tree\\a\\jtl.properties"), "old");
    EXPECT_EQ(Read(kRoot + "\\tree\\dct.properties\\csm.properties"),
              "src:\\tree\\dct.properties\\csm.properties");
    const std::string jtl = kI + "\\tree\\a\\jtl.properties";
    const std::string csm = kI + "\\tree\\dct.properties\\csm.properties";
    const std::string jtlCopy = kRoot + "\\tree\\a\\jtl.properties";
    const std::string csmCopy = kRoot + "\\tree\\dct.properties\\csm.properties";
    EXPECT_EQ(LogText(), "Found file " + jtl + "\nFound file " + csm + "\nFound file " + csm +
                             "\nBacking up individual files\nNumber of FilePaths is 3\n"
                             "Backing up file: " +
                             jtl + "\nBacking up file to: " + jtlCopy + "\n\nBacking up file: " + csm +
                             "\nBacking up file to: " + csmCopy + "\n\nBacking up file: " + csm +
                             "\nBacking up file to: " + csmCopy + "\n\n");
}

TEST_F(CopyOperationsTest, BackupFoundFilesWithNothingFoundCreatesNothing) {
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    Products(options).BackupFoundFiles({"jtl.properties"}, kI + "\\missing");
    EXPECT_FALSE(IsDir(kRoot));
    EXPECT_EQ(LogText(), "Backing up individual files\nNumber of FilePaths is 0\n");
}

// ---- The preserve directory -----------------------------------------------

struct RootCase {
    const char* name;
    bool pd;
    std::string pdPath;
    std::string expectedRoot;  // as the log names it
    std::string onDisk;        // where the file really lands
};

void PrintTo(const RootCase& c, std::ostream* os) {
    *os << c.name;
}

class PreserveRootTest : public PreserveTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(PreserveRootTest, IsThePdDirectoryAsTypedPlusCorvantaPreserve) {
    const RootCase& c = GetParam();
    SeedInstall({"\\conf\\app.ini"});
    RunOptions options;
    options.debug = true;
    options.pd = c.pd;
    options.pdPath = c.pdPath;
    CCorvantaProducts& products = Products(options);
    EXPECT_EQ(products.PreservePath(), c.pdPath);
    products.BackupFile(kI + "\\conf\\app.ini");
    EXPECT_EQ(LogText(), "Backing up file: " + kI + "\\conf\\app.ini\nBacking up file to: " + c.expectedRoot +
                             "\\conf\\app.ini\n\n");
    EXPECT_EQ(Read(c.onDisk + "\\conf\\app.ini"), "src:\\conf\\app.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreserveRootTest,
    ::testing::Values(RootCase{"NoPd", false, "", "\\Corvanta.Preserve", "C:\\Corvanta.Preserve"},
                      RootCase{"Pd", true, "C:\\Saved", "C:\\Saved\\Corvanta.Preserve",
                               "C:\\Saved\\Corvanta.Preserve"},
                      RootCase{"PdWithTrailingBackslash", true, "C:\\Saved\\",
                               "C:\\Saved\\\\Corvanta.Preserve", "C:\\Saved\\Corvanta.Preserve"},
                      RootCase{"PdWithoutValue", true, "", "\\Corvanta.Preserve", "C:\\Corvanta.Preserve"},
                      RootCase{"PdOnAnotherDrive", true, "D:\\Keep", "D:\\Keep\\Corvanta.Preserve",
                               "D:\\Keep\\Corvanta.Preserve"}),
    [](const ::testing::TestParamInfo<RootCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace preserve_test
