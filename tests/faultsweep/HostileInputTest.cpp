// What the continuation run reads is a file anyone with write access to the
// package folder could have written: the DataFile reader stays bounded on
// absurd counts, junk and huge lines, and takes no package copy from outside
// the DataFile's folder, so that a planted DataFile cannot steer the
// cleanup to a foreign package.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/RebootContinuation.h"
#include "app/ToolLog.h"
#include "platform/sim/SimPlatform.h"
#include "products/CCorvantaProducts.h"
#include "tests/faultsweep/Sweep.h"
#include "tests/support/ToolRun.h"

namespace faultsweep {
namespace {

const char kDataFile[] = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";
const char kLog[] = "C:\\logs\\t.log";
const char kNotOurs[] =
    "Error in function ReadDataFile: \nError message: The package copy does not lie in the "
    "folder of the data file; the product is not cleaned up.\n";

// A text as the log file holds it: CR LF line ends.
std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct Record {
    std::string internalName, productName, version, productCode, packageCopy;
};

class DataFileInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(machine.Ready());
        ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
        previous = plat::SetPlatform(&machine.Sim().Platform());
    }
    void TearDown() override { plat::SetPlatform(previous); }

    // Reads a DataFile with this content; the log's text goes to logText.
    std::vector<Record> Read(const std::string& content, std::string& logText) {
        EXPECT_TRUE(machine.WriteFile(kDataFile, content));
        std::vector<Record> records;
        {
            ToolLog log;
            EXPECT_TRUE(log.Open(kLog));
            CCorvantaProducts products(log, kLog, true, false, false, false);
            EXPECT_TRUE(products.ReadDataFile(kDataFile));
            for (const auto& p : products.Products()) {
                records.push_back({p->GetInternalName(), p->GetProductName(), p->GetVersion(),
                                   p->GetProductCode(), p->GetPackageCopy()});
            }
        }
        machine.ReadFile(kLog, logText);
        machine.Sim().Remove(kLog);
        return records;
    }

    toolrun::ToolMachine machine;
    plat::Platform* previous = nullptr;
};

struct BoundCase {
    const char* name;
    std::string content;
    std::size_t records;  // how many the reader builds
};

TEST_F(DataFileInputTest, AbsurdCountsJunkAndHugeLinesStayBounded) {
    const std::string megabyte(1 << 20, 'x');
    std::string junk;
    for (int i = 0; i < (1 << 18); ++i) junk += static_cast<char>((i * 131 + 7) % 256);
    const std::vector<BoundCase> cases = {
        {"HugeCount", "99999999999999999999999\n", 1000},
        {"NegativeCount", "-5\nx\n", 0},
        {"CountAboveTheBound", "1001\n", 1000},
        {"MegabyteLines", "2\n" + megabyte + "\n" + megabyte + "\r\n" + megabyte, 2},
        {"OneMegabyteLineWithoutLineEnd", "1\n" + megabyte, 1},
        {"BinaryJunk", "3" + junk, 3},
        {"CountLineOfMegabytes", std::string(1 << 20, ' ') + "4\n", 0},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string logText;
        const std::vector<Record> records = Read(c.content, logText);
        EXPECT_EQ(records.size(), c.records);
        for (const Record& r : records) {
            for (const std::string* field : {&r.internalName, &r.productName, &r.version, &r.productCode}) {
                EXPECT_LE(field->size(), 5000u);
            }
            EXPECT_LE(r.packageCopy.size(), 5000u);
        }
    }
}

TEST_F(DataFileInputTest, HugeLinesAreCutAndTheNextLineIsTheNextField) {
    std::string logText;
    const std::vector<Record> records = Read(
        "1\n" + std::string(3 << 20, 'N') + "\nName\nVer\n{code}\nC:\\CorvantaSDLC_Temp\\a.msi\n", logText);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].internalName, std::string(5000, 'N'));
    EXPECT_EQ(records[0].productName, "Name");
    EXPECT_EQ(records[0].packageCopy, "C:\\CorvantaSDLC_Temp\\a.msi");
}

struct CopyCase {
    const char* copy;
    bool kept;
};

TEST_F(DataFileInputTest, PackageCopiesOutsideTheDataFileFolderAreDroppedAndReported) {
    const std::vector<CopyCase> cases = {
        {"C:\\CorvantaSDLC_Temp\\Lumo.msi", true},
        {"c:\\corvantasdlc_temp\\LUMO.MSI", true},
        {"C:/CorvantaSDLC_Temp/Lumo.msi", true},
        {"C:\\Other\\Lumo.msi", false},
        {"C:\\CorvantaSDLC_Temp\\sub\\Lumo.msi", false},
        {"C:\\CorvantaSDLC_Temp\\..\\Windows\\Installer\\1a2b.msi", false},
        {"C:\\CorvantaSDLC_Temp\\..", false},
        {"C:\\CorvantaSDLC_Temp\\", false},
        {"C:\\CorvantaSDLC_Temp", false},
        {"Lumo.msi", false},
        {"C:\\CorvantaSDLC_Temp\\Lumo.msi:payload", false},
        {"C:\\CorvantaSDLC_Temp\\*.msi", false},
        {"\\\\server\\share\\Lumo.msi", false},
        {"D:\\CorvantaSDLC_Temp\\Lumo.msi", false},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.copy);
        EXPECT_EQ(PackageCopyInDataFileFolder(c.copy, kDataFile), c.kept);
        std::string logText;
        const std::vector<Record> records =
            Read(std::string("2\nLumo\nCorvanta Lumo\n2.0.0\n{C0B1A004-0001-4000-8000-000000000000}\n") +
                     c.copy + "\nQ\nQualvane\n6\n{q}\nC:\\CorvantaSDLC_Temp\\q.msi\n",
                 logText);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].packageCopy, c.kept ? c.copy : "");
        EXPECT_EQ(records[1].packageCopy, "C:\\CorvantaSDLC_Temp\\q.msi");
        const std::string report = std::string(kNotOurs) + c.copy + "\n";
        EXPECT_EQ(logText.find(Crlf(report)) != std::string::npos, !c.kept) << logText;
    }
}

TEST_F(DataFileInputTest, AnEmptyPackageCopyIsNoReport) {
    std::string logText;
    const std::vector<Record> records = Read("1\nLumo\nCorvanta Lumo\n2.0.0\n{c}\n\n", logText);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].packageCopy, "");
    EXPECT_EQ(logText, "");
}

// The whole tool: a DataFile planted in the package folder names the cached
// package of a foreign product as a suite product's copy. The continuation
// run must leave that product's files and registry values alone.
TEST(PlantedDataFileTest, AForeignPackageIsNotCleanedUp) {
    toolrun::ToolMachine machine;
    ASSERT_TRUE(machine.Ready());
    ASSERT_TRUE(machine.Install("northwind"));
    ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
    std::string localPackage;
    {
        plat::Platform* previous = plat::SetPlatform(&machine.Sim().Platform());
        char buffer[260] = {0};
        std::uint32_t size = sizeof(buffer);
        const std::uint32_t result = plat::Sys().MsiGetProductInfoA("{C0B1A00D-0001-4000-8000-000000000000}",
                                                                    "LocalPackage", buffer, &size);
        plat::SetPlatform(previous);
        ASSERT_EQ(result, plat::kErrorSuccess);
        localPackage = buffer;
    }
    ASSERT_FALSE(localPackage.empty());
    ASSERT_TRUE(machine.WriteFile(kDataFile,
                                  "1\r\nLumo\r\nCorvanta Lumo\r\n2.0.0\r\n"
                                  "{C0B1A004-0001-4000-8000-000000000000}\r\n" +
                                      localPackage + "\r\n"));
    const Snapshot before = TakeSnapshot(machine.Prefix());
    const toolrun::ProcessResult run = machine.RunTool({"C:\\logs\\u.txt", "-c", "-r", kDataFile});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Snapshot after = TakeSnapshot(machine.Prefix());
    for (const std::string& file : before.files) {
        if (file.rfind("CorvantaSDLC_Temp/", 0) == 0) continue;  // the run's own folder
        EXPECT_EQ(after.files.count(file), 1u) << "removed: " << file;
    }
    for (const std::string& value : before.values)
        EXPECT_EQ(after.values.count(value), 1u) << "removed: " << value;
    std::string log;
    ASSERT_TRUE(machine.ReadFile("C:\\logs\\u.txt", log));
    EXPECT_NE(log.find(Crlf(std::string(kNotOurs) + localPackage + "\n")), std::string::npos) << log;
}

}  // namespace
}  // namespace faultsweep
