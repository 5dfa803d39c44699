// The file sets over a user's installation of the whole suite: each set
// alone, in debug mode and not, over a full and over an empty installation,
// all sets in the order of a first run, -c, and a second run.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "tests/preserve/InstallLayout.h"
#include "tests/preserve/PreserveFixture.h"

namespace preserve_test {
namespace {

const std::string kI = kInstall;
const std::string kSaved = "D:\\Saved";
const std::string kRoot = kSaved + "\\Corvanta.Preserve";

using SetOperation = void (CCorvantaProducts::*)();

struct SetCase {
    const char* name;
    Set set;
    SetOperation operation;
    Found found;  // the products that make the set work
};

void PrintTo(const SetCase& c, std::ostream* os) {
    *os << c.name;
}

Found Only(bool Found::*flag) {
    Found found;
    found.*flag = true;
    return found;
}

Found All() {
    Found found;
    found.tracklight = found.vaultline = found.overlook = found.specwright = found.qualvane = found.pilotron =
        true;
    return found;
}

const SetCase kSets[] = {
    {"Tracklight", Set::Tracklight, &CCorvantaProducts::PreserveTracklightWebData, Only(&Found::tracklight)},
    {"Vaultline", Set::Vaultline, &CCorvantaProducts::PreserveVaultlineData, Only(&Found::vaultline)},
    {"CommonWebForVaultline", Set::CommonWeb, &CCorvantaProducts::PreserveCommonWebData,
     Only(&Found::vaultline)},
    {"CommonWebForTracklight", Set::CommonWeb, &CCorvantaProducts::PreserveCommonWebData,
     Only(&Found::tracklight)},
    {"CommonWebForOverlook", Set::CommonWeb, &CCorvantaProducts::PreserveCommonWebData,
     Only(&Found::overlook)},
    {"CommonWebForSpecwright", Set::CommonWeb, &CCorvantaProducts::PreserveCommonWebData,
     Only(&Found::specwright)},
    {"Specwright", Set::Specwright, &CCorvantaProducts::PreserveSpecwrightData, Only(&Found::specwright)},
    {"Overlook", Set::Overlook, &CCorvantaProducts::PreserveOverlookData, Only(&Found::overlook)},
};

class PreservationSetTest : public PreserveTest,
                            public ::testing::WithParamInterface<std::tuple<SetCase, bool /*debug*/>> {
protected:
    void SeedUserInstall() {
        SeedInstall(UserFiles());
        for (const std::string& dir : UserDirs()) SeedDir(kI + dir);
    }
    CCorvantaProducts& Run(const Found& found, bool debug, bool clean = false) {
        RunOptions options;
        options.clean = clean;
        options.debug = debug;
        options.pd = true;
        options.pdPath = kSaved;
        return Products(options, found);
    }
};

std::vector<std::string> TreeOfPreserved(const std::vector<Preserved>& kept,
                                         const std::vector<std::string>& dirs) {
    std::vector<std::string> files;
    for (const Preserved& p : kept) files.push_back(p.dest);
    return TreeOf(files, dirs);
}

TEST_P(PreservationSetTest, KeepsExactlyItsFilesFromAFullInstallation) {
    const SetCase& c = std::get<0>(GetParam());
    const bool debug = std::get<1>(GetParam());
    SeedUserInstall();
    (Run(c.found, debug).*c.operation)();

    const std::vector<Preserved> kept = PreservedBy(c.set);
    EXPECT_EQ(Tree(kRoot), TreeOfPreserved(kept, EmptyDirsOf(c.set)));
    for (const Preserved& p : kept) EXPECT_EQ(Read(kRoot + p.dest), "src:" + p.source) << p.dest;
    EXPECT_EQ(LogText(), SetLog(c.set, kI, kRoot, debug));
}

TEST_P(PreservationSetTest, LeavesItsFoldersBehindWhenThereIsNothingToKeep) {
    const SetCase& c = std::get<0>(GetParam());
    const bool debug = std::get<1>(GetParam());
    (Run(c.found, debug).*c.operation)();
    EXPECT_EQ(Tree(kRoot), TreeOf({}, DirsFromNothing(c.set)));
    EXPECT_EQ(LogText(), SetLogFromNothing(c.set, kI, kRoot, debug));
}

TEST_P(PreservationSetTest, DoesNothingWithClean) {
    const SetCase& c = std::get<0>(GetParam());
    SeedUserInstall();
    (Run(All(), std::get<1>(GetParam()), true).*c.operation)();
    EXPECT_FALSE(IsDir(kSaved));
    EXPECT_EQ(LogText(), "");
}

INSTANTIATE_TEST_SUITE_P(Sets, PreservationSetTest,
                         ::testing::Combine(::testing::ValuesIn(kSets), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<SetCase, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "Debug" : "");
                         });

// Which sets work for which products found.
struct ConditionCase {
    const char* name;
    Found found;
    std::vector<Set> working;  // in run order
};

class SetConditionTest : public PreservationSetTest {};

TEST_F(SetConditionTest, EachSetWorksOnlyForItsProducts) {
    Found qualvaneAndPilotron;
    qualvaneAndPilotron.qualvane = qualvaneAndPilotron.pilotron = true;
    const ConditionCase cases[] = {
        {"Nothing", {}, {}},
        {"QualvaneAndPilotron", qualvaneAndPilotron, {}},
        {"Tracklight", Only(&Found::tracklight), {Set::Tracklight, Set::CommonWeb}},
        {"Vaultline", Only(&Found::vaultline), {Set::Vaultline, Set::CommonWeb}},
        {"Overlook", Only(&Found::overlook), {Set::CommonWeb, Set::Overlook}},
        {"Specwright", Only(&Found::specwright), {Set::CommonWeb, Set::Specwright}},
    };
    for (const ConditionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        CCorvantaProducts& products = Run(c.found, false);
        products.PreserveTracklightWebData();
        products.PreserveVaultlineData();
        products.PreserveCommonWebData();
        products.PreserveSpecwrightData();
        products.PreserveOverlookData();
        std::string log;
        std::vector<std::string> dirs;
        for (Set set : c.working) {
            log += SetLogFromNothing(set, kI, kRoot, false);
            for (const std::string& dir : DirsFromNothing(set)) dirs.push_back(dir);
        }
        EXPECT_EQ(Tree(kRoot), TreeOf({}, dirs));
        EXPECT_EQ(LogText(), log);
    }
}

// ---- The Administrator's project list ---------------------------------------

const char kProjectListKey[] =
    "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Corvanta Administrator\\ProjectList";

std::string MultiSz(const std::vector<std::string>& strings) {
    std::string data;
    for (const std::string& s : strings) data += s + std::string(1, '\0');
    return data + std::string(1, '\0');
}

struct ProjectCase {
    const char* name;
    bool hasValue;
    std::uint32_t type;
    std::string data;  // raw value data
    std::string installLocation;
    bool clean;
    std::vector<std::string> logged;     // "Dir path is" lines, in order
    std::vector<std::string> kept;       // project dirs taken, in order
    std::vector<std::string> preserved;  // files below the preserve root
};

void PrintTo(const ProjectCase& c, std::ostream* os) {
    *os << c.name;
}

class AdministratorProjectsTest : public PreserveTest, public ::testing::WithParamInterface<ProjectCase> {};

TEST_P(AdministratorProjectsTest, PreservesTheListedProjectsInsideTheInstallation) {
    const ProjectCase& c = GetParam();
    SeedInstall(UserFiles());
    Seed("D:\\Elsewhere\\Gamma\\Gamma", "gamma");
    if (c.hasValue) {
        ASSERT_TRUE(Machine().Registry().SetValue(kProjectListKey, {"Data List", c.type, c.data}));
    }
    RunOptions options;
    options.clean = c.clean;
    options.debug = true;
    options.pd = true;
    options.pdPath = kSaved;
    CCorvantaProducts& products = Products(options, All(), c.installLocation);
    products.PreserveAdministratorProjects();

    EXPECT_EQ(
        std::vector<std::string>(products.AdminProjectDirs().begin(), products.AdminProjectDirs().end()),
        c.kept);
    std::vector<std::string> expectedTree;
    for (const std::string& rel : c.preserved) {
        EXPECT_EQ(Read(kRoot + rel), "src:" + rel) << rel;
    }
    EXPECT_EQ(Tree(kRoot), c.preserved.empty() ? std::vector<std::string>() : TreeOf(c.preserved));
    std::string log = "Backing up Corvanta Administrator Directories\n\n";
    for (const std::string& dir : c.logged) log += "Dir path is " + dir + "\n";
    for (const std::string& dir : c.kept) {
        std::string destination = dir;
        if (!c.installLocation.empty() && dir.find(c.installLocation) == 0) {
            destination = kRoot + dir.substr(c.installLocation.size());
        }
        log += "Backing up directory " + dir + "\nDestination to preserve to: " + destination + "\n\n";
    }
    EXPECT_EQ(LogText(), log);
    EXPECT_EQ(Read("D:\\Elsewhere\\Gamma\\Gamma"), "gamma");
}

const std::string kAlpha = kI + "\\Projects\\Alpha";
const std::string kBeta = kI + "\\Projects\\Beta";
const std::vector<std::string> kAlphaFiles = {"\\Projects\\Alpha\\Alpha",
                                              "\\Projects\\Alpha\\data\\alpha.dat"};
const std::vector<std::string> kBothFiles = {"\\Projects\\Alpha\\Alpha", "\\Projects\\Alpha\\data\\alpha.dat",
                                             "\\Projects\\Beta\\Beta"};

INSTANTIATE_TEST_SUITE_P(
    Cases, AdministratorProjectsTest,
    ::testing::Values(
        ProjectCase{"TwoProjects",
                    true,
                    7,
                    MultiSz({kAlpha + "\\Alpha", kBeta + "\\Beta"}),
                    kI,
                    false,
                    {kAlpha, kBeta},
                    {kAlpha, kBeta},
                    kBothFiles},
        ProjectCase{
            "WithClean", true, 7, MultiSz({kAlpha + "\\Alpha"}), kI, true, {kAlpha}, {kAlpha}, kAlphaFiles},
        ProjectCase{"OtherDrive",
                    true,
                    7,
                    MultiSz({"D:\\Elsewhere\\Gamma\\Gamma", kAlpha + "\\Alpha"}),
                    kI,
                    false,
                    {"D:\\Elsewhere\\Gamma", kAlpha},
                    {kAlpha},
                    kAlphaFiles},
        ProjectCase{"OtherCase",
                    true,
                    7,
                    MultiSz({"c:\\program files\\corvanta\\Projects\\Alpha\\Alpha"}),
                    kI,
                    false,
                    {"c:\\program files\\corvanta\\Projects\\Alpha"},
                    {},
                    {}},
        ProjectCase{"LineBreakFirst", true, 7, MultiSz({"\r\n", kAlpha + "\\Alpha"}), kI, false, {}, {}, {}},
        // Only a first string of exactly a line break empties the list.
        ProjectCase{"LineBreakLater",
                    true,
                    7,
                    MultiSz({kAlpha + "\\Alpha", "\r\n"}),
                    kI,
                    false,
                    {kAlpha, ""},
                    {kAlpha},
                    kAlphaFiles},
        ProjectCase{"NoBackslash", true, 7, MultiSz({"Alpha.prj"}), kI, false, {""}, {}, {}},
        ProjectCase{"EmptyListEndsAtFirstEmptyString",
                    true,
                    7,
                    std::string("\0", 1) + kAlpha + "\\Alpha" + std::string("\0\0", 2),
                    kI,
                    false,
                    {},
                    {},
                    {}},
        // The type is not looked at, and the data need not be terminated.
        ProjectCase{"PlainStringType",
                    true,
                    1,
                    kAlpha + "\\Alpha" + std::string(1, '\0'),
                    kI,
                    false,
                    {kAlpha},
                    {kAlpha},
                    kAlphaFiles},
        ProjectCase{"Unterminated", true, 3, kAlpha + "\\Alpha", kI, false, {kAlpha}, {kAlpha}, kAlphaFiles},
        ProjectCase{"EmptyData", true, 7, "", kI, false, {}, {}, {}},
        ProjectCase{"NoValue", false, 7, "", kI, false, {}, {}, {}},
        // Every directory is inside an empty installLocation: each is its own
        // destination and nothing is copied.
        ProjectCase{"EmptyInstallLocation",
                    true,
                    7,
                    MultiSz({kAlpha + "\\Alpha", "D:\\Elsewhere\\Gamma\\Gamma"}),
                    "",
                    false,
                    {kAlpha, "D:\\Elsewhere\\Gamma"},
                    {kAlpha, "D:\\Elsewhere\\Gamma"},
                    {}}),
    [](const ::testing::TestParamInfo<ProjectCase>& info) { return std::string(info.param.name); });

TEST_F(AdministratorProjectsTest, ValueElsewhereInTheKeyIsNotRead) {
    ASSERT_TRUE(
        Machine().Registry().SetValue(kProjectListKey, {"Other List", 7, MultiSz({kAlpha + "\\Alpha"})}));
    SeedInstall(kAlphaFiles);
    CCorvantaProducts& products = Products();
    products.PreserveAdministratorProjects();
    EXPECT_TRUE(products.AdminProjectDirs().empty());
    EXPECT_FALSE(IsDir("C:\\Corvanta.Preserve"));
    EXPECT_EQ(LogText(), "Backing up Corvanta Administrator Directories\n\n");
}

// ---- A whole first run's preservation ----------------------------------------

class FirstRunPreservationTest : public PreservationSetTest {
protected:
    void RunAllFileSets(CCorvantaProducts& products) {
        products.PreserveTracklightWebData();
        products.PreserveVaultlineData();
        products.PreserveCommonWebData();
        products.PreserveSpecwrightData();
        products.PreserveAdministratorProjects();
        products.PreserveOverlookData();
    }
    void SeedProjectList() {
        ASSERT_TRUE(Machine().Registry().SetValue(
            kProjectListKey, {"Data List", 7, MultiSz({kAlpha + "\\Alpha", "D:\\Elsewhere\\Gamma\\Gamma"})}));
    }
    std::string ProjectsLog() {
        return "Backing up Corvanta Administrator Directories\n\nDir path is " + kAlpha +
               "\nDir path is D:\\Elsewhere\\Gamma\n";
    }
};

TEST_F(FirstRunPreservationTest, AllSetsInRunOrder) {
    SeedUserInstall();
    SeedProjectList();
    RunAllFileSets(Run(All(), false));

    // A file two sets keep is copied by the first and left by the second.
    std::map<std::string, std::string> expected;
    std::vector<std::string> files;
    std::vector<std::string> dirs;
    for (Set set : {Set::Tracklight, Set::Vaultline, Set::CommonWeb, Set::Specwright, Set::Overlook}) {
        for (const Preserved& p : PreservedBy(set)) {
            expected[Lower(p.dest.substr(1))] = "src:" + p.source;
            files.push_back(p.dest);
        }
        for (const std::string& dir : EmptyDirsOf(set)) dirs.push_back(dir);
    }
    for (const std::string& rel : kAlphaFiles) {
        expected[Lower(rel.substr(1))] = "src:" + rel;
        files.push_back(rel);
    }
    EXPECT_EQ(Tree(kRoot), TreeOf(files, dirs));
    EXPECT_EQ(Files(kRoot), expected);
    EXPECT_EQ(LogText(),
              SetLog(Set::Tracklight, kI, kRoot, false) + SetLog(Set::Vaultline, kI, kRoot, false) +
                  SetLog(Set::CommonWeb, kI, kRoot, false) + SetLog(Set::Specwright, kI, kRoot, false) +
                  ProjectsLog() + SetLog(Set::Overlook, kI, kRoot, false));
}

TEST_F(FirstRunPreservationTest, WithCleanOnlyTheProjectsAreKept) {
    SeedUserInstall();
    SeedProjectList();
    RunAllFileSets(Run(All(), false, true));
    EXPECT_EQ(Tree(kRoot), TreeOf(kAlphaFiles));
    EXPECT_EQ(LogText(), ProjectsLog());
}

// A second run over the preserve folder of the first keeps the earlier
// copies, except those made by pattern, which are replaced.
TEST_F(FirstRunPreservationTest, SecondRunReplacesOnlyThePatternCopies) {
    SeedUserInstall();
    SeedProjectList();
    RunAllFileSets(Run(All(), false));
    const std::map<std::string, std::string> first = Files(kRoot);
    for (const std::string& rel : UserFiles()) Seed(kI + rel, "new:" + rel);

    RunAllFileSets(Run(All(), false));

    std::vector<std::string> byPattern;
    for (Set set : {Set::Tracklight, Set::Vaultline, Set::CommonWeb, Set::Specwright, Set::Overlook}) {
        for (const std::string& rel : PatternCopiesOf(set)) byPattern.push_back(rel);
    }
    std::map<std::string, std::string> expected = first;
    for (const std::string& rel : byPattern) {
        const std::string key = Lower(rel.substr(1));
        ASSERT_EQ(expected.count(key), 1u) << rel;
        expected[key] = "new:" + rel;
    }
    EXPECT_EQ(Files(kRoot), expected);
    const std::string once =
        SetLog(Set::Tracklight, kI, kRoot, false) + SetLog(Set::Vaultline, kI, kRoot, false) +
        SetLog(Set::CommonWeb, kI, kRoot, false) + SetLog(Set::Specwright, kI, kRoot, false) + ProjectsLog() +
        SetLog(Set::Overlook, kI, kRoot, false);
    EXPECT_EQ(LogText(), once + once);
}

// With an empty installLocation the single-file copies look at the root of
// the current drive and the name searches find nothing there.
TEST_F(FirstRunPreservationTest, EmptyInstallLocationLooksAtTheDriveRoot) {
    SeedInstall({"\\Vaultline\\var\\config.xml", "\\Overlook\\Overlook.ini", "\\common\\mxa\\PXD\\key.kdb"},
                "C:");
    RunOptions options;
    options.pd = true;
    options.pdPath = kSaved;
    RunAllFileSets(Products(options, All(), ""));
    const std::map<std::string, std::string> files = Files(kRoot);
    const std::map<std::string, std::string> expected = {
        {"vaultline\\var\\config.xml", "src:\\Vaultline\\var\\config.xml"},
        {"overlook\\overlook.ini", "src:\\Overlook\\Overlook.ini"},
        {"common\\mxa\\pxd\\key.kdb", "src:\\common\\mxa\\PXD\\key.kdb"},
    };
    EXPECT_EQ(files, expected);
}

}  // namespace
}  // namespace preserve_test
