// A fresh simulated machine per test, with the tool's log opened on it and a
// product set configured as discovery would leave it.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ToolLog.h"
#include "platform/sim/SimPlatform.h"
#include "products/CCorvantaProducts.h"
#include "tests/support/ToolRun.h"

namespace preserve_test {

// The installation every test seeds below.
extern const char kInstall[];
// The log of the tool on the machine.
extern const char kLogPath[];

// Options as the command line gives them.
struct RunOptions {
    bool clean = false;
    bool debug = false;
    bool pd = false;
    std::string pdPath;
};

// Which products discovery found.
struct Found {
    bool tracklight = false;
    bool vaultline = false;
    bool overlook = false;
    bool specwright = false;
    bool qualvane = false;
    bool pilotron = false;
};

class PreserveTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The product set; created on first use with these options and flags.
    CCorvantaProducts& Products(const RunOptions& options = {}, const Found& found = {},
                                const std::string& installLocation = kInstall);

    // Files of the machine, by Windows path.
    void Seed(const std::string& windowsPath, const std::string& content);
    // Seeds every path (below installLocation) with the text "src:" + path.
    void SeedInstall(const std::vector<std::string>& relativePaths, const std::string& install = kInstall);
    void SeedDir(const std::string& windowsPath);
    bool IsFile(const std::string& windowsPath);
    bool IsDir(const std::string& windowsPath);
    std::string Read(const std::string& windowsPath);
    // Everything below a folder: files as "a\b.txt", folders as "a\" (lower
    // case, since the machine ignores case), sorted.
    std::vector<std::string> Tree(const std::string& windowsDir);
    // Only the files of Tree, each with its content.
    std::map<std::string, std::string> Files(const std::string& windowsDir);

    // Closes the log and returns what it holds, line ends as "\n".
    std::string LogText();
    // The raw bytes of the log file.
    std::string RawLog();

    plat::SimPlatform& Machine() { return *machine_; }
    const toolrun::ToolMachine& Tool() const { return *tool_; }
    const std::string& Prefix() const { return prefix_; }
    std::string HostPath(const std::string& windowsPath);

private:
    std::unique_ptr<toolrun::ToolMachine> tool_;  // the prefix, made with "winsim init"
    std::string prefix_;
    std::unique_ptr<plat::SimPlatform> machine_;
    plat::Platform* previous_ = nullptr;
    std::unique_ptr<ToolLog> log_;
    std::unique_ptr<CCorvantaProducts> products_;
};

// The Tree listing of a folder that holds exactly these files and folders
// (paths relative to it, with or without a leading backslash) and every
// folder above them.
std::vector<std::string> TreeOf(const std::vector<std::string>& files,
                                const std::vector<std::string>& dirs = {});

// ASCII lower case.
std::string Lower(std::string text);

}  // namespace preserve_test
