// The DataFile that carries the product list across the reboot, written and
// read on a simulated machine.
#include <gtest/gtest.h>

#include "app/ToolLog.h"
#include "platform/Handles.h"
#include "products/CCorvantaProducts.h"
#include "tests/app/AppFixture.h"

namespace {

using apptest::ConsoleCapture;
using apptest::Crlf;

struct Record {
    std::string internalName, productName, version, productCode, packageCopy;
};

class DataFileTest : public apptest::InProcessMachine {
protected:
    void SetUp() override {
        InProcessMachine::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
        ASSERT_TRUE(log.Open("C:\\logs\\tool.log"));
    }
    void TearDown() override {
        log.Close();
        InProcessMachine::TearDown();
    }
    std::string LogText() {
        log.Close();
        std::string text;
        machine.ReadFile("C:\\logs\\tool.log", text);
        return text;
    }
    static void Add(CCorvantaProducts& set, const Record& r) {
        auto info =
            std::make_unique<CCorvantaProductInfo>(r.internalName, r.productName, r.version, r.productCode);
        info->SetLocalPackage("C:\\windows\\Installer\\" + r.internalName + ".msi");
        info->SetPackageCopy(r.packageCopy);
        set.products.push_back(std::move(info));
    }
    static void ExpectRecords(const CCorvantaProducts& set, const std::vector<Record>& expected) {
        ASSERT_EQ(set.Products().size(), expected.size());
        auto it = set.Products().begin();
        for (const Record& r : expected) {
            const CCorvantaProductInfo& got = **it++;
            EXPECT_EQ(got.GetInternalName(), r.internalName);
            EXPECT_EQ(got.GetProductName(), r.productName);
            EXPECT_EQ(got.GetVersion(), r.version);
            EXPECT_EQ(got.GetProductCode(), r.productCode);
            EXPECT_EQ(got.GetPackageCopy(), r.packageCopy);
            EXPECT_EQ(got.GetLocalPackage(), "");
        }
    }

    ToolLog log;
};

const std::vector<Record> kThree = {
    {"Tracklight", "Zel Corvanta Tracklight", "7.0.1", "{11111111-2222-3333-4444-555555555555}",
     "C:\\CorvantaSDLC_Temp\\1a2b.msi"},
    {"Lumo", "Zel Corvanta Lumo", "7.0", "{21111111-2222-3333-4444-555555555555}", ""},
    {"Vaultline", "Zel Corvanta Vaultline 100%s", "7.0.2", "{31111111-2222-3333-4444-555555555555}",
     "C:\\CorvantaSDLC_Temp\\3c4d.msi"},
};

TEST_F(DataFileTest, WrittenRecordsComeBackInOrderWithoutLocalPackage) {
    CCorvantaProducts first(log, "C:\\logs\\tool.log", false, false, false, false);
    first.tempPackageDir = "C:\\CorvantaSDLC_Temp";
    ASSERT_EQ(plat::Sys().SHCreateDirectoryExA("C:\\CorvantaSDLC_Temp"), 0);
    for (const Record& r : kThree) Add(first, r);
    {
        ConsoleCapture console;
        ASSERT_TRUE(first.WriteDataFile());
        EXPECT_EQ(console.Text(), "Output data file: C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\n");
    }
    EXPECT_EQ(first.DataFilePath(), "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt");

    std::string bytes;
    ASSERT_TRUE(machine.ReadFile("C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt", bytes));
    std::string expected = "3\n";
    for (const Record& r : kThree) {
        expected += r.internalName + "\n" + r.productName + "\n" + r.version + "\n" + r.productCode + "\n" +
                    r.packageCopy + "\n";
    }
    EXPECT_EQ(bytes, Crlf(expected));

    CCorvantaProducts second(log, "C:\\logs\\tool.log", false, false, false, false);
    ASSERT_TRUE(second.ReadDataFile("C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt"));
    EXPECT_EQ(second.DataFilePath(), "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt");
    ExpectRecords(second, kThree);
    EXPECT_EQ(LogText(), Crlf("Output data file: C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt\n"));
}

TEST_F(DataFileTest, RewritingOverALongerFileLeavesATailTheReaderIgnores) {
    const std::string path = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
    std::string old = "3\n";
    for (const Record& r : kThree) {
        old += r.internalName + "\n" + r.productName + "\n" + r.version + "\n" + r.productCode + "\n" +
               r.packageCopy + "\n";
    }
    ASSERT_TRUE(machine.WriteFile(path, Crlf(old)));

    CCorvantaProducts first(log, "C:\\logs\\tool.log", false, false, false, false);
    first.tempPackageDir = "C:\\CorvantaSDLC_Temp";
    Add(first, kThree[1]);
    {
        ConsoleCapture console;
        ASSERT_TRUE(first.WriteDataFile());
    }
    std::string bytes;
    ASSERT_TRUE(machine.ReadFile(path, bytes));
    const std::string written =
        Crlf("1\nLumo\nZel Corvanta Lumo\n7.0\n{21111111-2222-3333-4444-555555555555}\n\n");
    ASSERT_GT(bytes.size(), written.size());
    EXPECT_EQ(bytes.substr(0, written.size()), written);
    EXPECT_EQ(bytes.substr(written.size()), Crlf(old).substr(written.size()));

    CCorvantaProducts second(log, "C:\\logs\\tool.log", false, false, false, false);
    ASSERT_TRUE(second.ReadDataFile(path));
    ExpectRecords(second, {kThree[1]});
}

TEST_F(DataFileTest, CountLineDecidesTheNumberOfRecords) {
    const struct {
        const char* name;
        std::string content;
        std::vector<Record> expected;
    } cases[] = {
        {"zero", "0\nVaultline\nV\n1\n{X}\nC:\\a.msi\n", {}},
        {"empty file", "", {}},
        {"empty first line", "\nVaultline\n", {}},
        {"not a number", "two\nVaultline\n", {}},
        {"negative", "-1\nVaultline\n", {}},
        {"short file",
         "2\nLumo\nZel Corvanta Lumo\n7.0\n{L}\nC:\\data\\l.msi\n",
         {{"Lumo", "Zel Corvanta Lumo", "7.0", "{L}", "C:\\data\\l.msi"}, {}}},
        {"no final line end",
         "1\nLumo\nP\n7.0\n{L}\nC:\\data\\l.msi",
         {{"Lumo", "P", "7.0", "{L}", "C:\\data\\l.msi"}}},
        {"blank-led count", "  1\nLumo\nP\n7.0\n{L}\n\n", {{"Lumo", "P", "7.0", "{L}", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "C:\\data\\dataFile.txt";
        ASSERT_TRUE(machine.WriteFile(path, Crlf(c.content)));
        CCorvantaProducts set(log, "C:\\logs\\tool.log", false, false, false, false);
        EXPECT_TRUE(set.ReadDataFile(path));
        ExpectRecords(set, c.expected);
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(DataFileTest, DamagedCountLineIsBounded) {
    const std::string path = "C:\\data\\dataFile.txt";
    ASSERT_TRUE(machine.WriteFile(path, Crlf("99999999999\nLumo\nP\n7.0\n{L}\nC:\\data\\l.msi\n")));
    CCorvantaProducts set(log, "C:\\logs\\tool.log", false, false, false, false);
    EXPECT_TRUE(set.ReadDataFile(path));
    ASSERT_EQ(set.Products().size(), 1000u);
    EXPECT_EQ(set.Products().front()->GetPackageCopy(), "C:\\data\\l.msi");
    EXPECT_EQ(set.Products().back()->GetInternalName(), "");
}

TEST_F(DataFileTest, UnopenableFilesAreReportedToTheLogOnly) {
    CCorvantaProducts set(log, "C:\\logs\\tool.log", false, false, false, false);
    std::string console;
    {
        ConsoleCapture capture;
        EXPECT_FALSE(set.ReadDataFile("C:\\nowhere\\CorvantaUninstallTool.txt"));
        EXPECT_FALSE(set.ReadDataFile(""));
        set.tempPackageDir = "C:\\missing\\dir";
        EXPECT_FALSE(set.WriteDataFile());
        console = capture.Text();
    }
    EXPECT_TRUE(set.Products().empty());
    EXPECT_EQ(console, "Output data file: C:\\missing\\dir\\CorvantaUninstallTool.txt\n");
    // A missing folder is a bad path (3) for the system, whichever way the
    // file is opened.
    EXPECT_EQ(LogText(),
              Crlf("File open failed for C:\\nowhere\\CorvantaUninstallTool.txt. Path contains invalid "
                   "characters\n\n"
                   "File open failed for . Path contains invalid characters\n\n"
                   "Output data file: C:\\missing\\dir\\CorvantaUninstallTool.txt\n"
                   "File open failed for C:\\missing\\dir\\CorvantaUninstallTool.txt. Path contains "
                   "invalid characters\n\n"));
}

TEST_F(DataFileTest, LockedFileGivesTheSharingMessage) {
    const std::string path = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
    ASSERT_TRUE(machine.WriteFile(path, Crlf("0\n")));
    plat::UniqueTextFile holder(
        plat::Sys().OpenTextFile(path.c_str(), plat::TextOpen::WriteNoTruncate, true));
    ASSERT_TRUE(holder);
    CCorvantaProducts set(log, "C:\\logs\\tool.log", false, false, false, false);
    set.tempPackageDir = "C:\\CorvantaSDLC_Temp";
    {
        ConsoleCapture capture;
        EXPECT_FALSE(set.WriteDataFile());
        EXPECT_FALSE(set.ReadDataFile(path));
    }
    const std::string failure =
        "File open failed for " + path + ". SHARE.EXE was not loaded, or a shared region was locked.\n\n";
    EXPECT_EQ(LogText(), Crlf("Output data file: " + path + "\n" + failure + failure));
}

}  // namespace
