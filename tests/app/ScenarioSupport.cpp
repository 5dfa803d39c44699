#include "tests/app/ScenarioSupport.h"

#include <algorithm>

#include "app/ToolLog.h"
#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimRegistry.h"
#include "tests/app/AppFixture.h"
#include "tests/support/Paths.h"

namespace apptest {

const Package kVaultline = {"vaultline", "Vaultline", "Corvanta Vaultline", "7.5.0",
                            "{C0B1A001-0001-4000-8000-000000000000}"};
const Package kTracklight = {"tracklight", "Tracklight", "Corvanta Tracklight", "5.2.1",
                             "{C0B1A002-0001-4000-8000-000000000000}"};
const Package kLumo = {"lumo", "Lumo", "Corvanta Lumo", "2.0.0", "{C0B1A004-0001-4000-8000-000000000000}"};
const Package kRcLumo = {"rc_lumo", "Lumo", "RC Lumo", "7.0.1", "{7A2B3C40-0000-4000-8000-0000000A0001}"};
const Package kPvTracklight = {"pv_tracklight", "Tracklight", "Zel Corvanta Tracklight PV", "8.1.0",
                               "{5E7A0000-0000-4000-8000-000000000001}"};
const Package kQualvane = {"qualvane", "kvoQualvane", "Corvanta Qualvane", "6.0.0",
                           "{C0B1A006-0001-4000-8000-000000000000}"};
const Package kAdministrator = {"administrator", "Administrator", "Corvanta Administrator", "3.0.0",
                                "{C0B1A00C-0001-4000-8000-000000000000}"};
const Package kNorthwind = {"northwind", "", "Northwind Notes", "9.1.0",
                            "{C0B1A00D-0001-4000-8000-000000000000}"};

const char kTempDir[] = "C:\\CorvantaSDLC_Temp";
const char kDataFile[] = "C:\\CorvantaSDLC_Temp\\CorvantaUninstallTool.txt";

namespace {
const char kSeparator[] = "\n\n=====================================\n\n";
}

std::string Opening(bool clean, bool debug, bool verbose) {
    std::string text =
        "Welcome to the Corvanta Uninstall Tool. This tool will automatically uninstall any Corvanta "
        "products which "
        "will be moving to the new Deploy Center for 7.1. As part of this, your machine may be rebooted. ";
    text += clean ? "User data will not be preserved from these products.\n\n"
                  : "User data will be preserved from these products.\n\n";
    if (debug) text += "Debug mode has been enabled.";
    if (verbose) text += "MSI Verbose logging has been enabled.";
    return text;
}

std::string Discovery(int count, const std::vector<const Package*>& nonTeam,
                      const std::vector<const Package*>& listed, bool reboot) {
    std::string text = "Number of Corvanta products found: " + std::to_string(count) + "\n\n";
    for (const Package* p : nonTeam) {
        text +=
            std::string("Corvanta Product found, non-Team Product\nProduct Name: ") + p->productName + "\n\n";
    }
    text += "The following products will be uninstalled from this system:\n\n";
    for (const Package* p : listed) {
        text += std::string("Product Name: ") + p->productName + "\nVersion: " + p->version + "\n";
        text += std::string("Product Code: ") + p->productCode + "\n\n";
    }
    text += reboot ? "Reboot needed following uninstall of products.\n\n"
                   : "Reboot not needed following uninstall of products.\n\n";
    return text;
}

std::string SaveConsole(std::size_t products, bool debug) {
    std::string text = "\n=====================================\n\nSaving cached product MSIs.\n\n";
    for (std::size_t i = 0; i < products; ++i) text += debug ? "..." : "..";
    return text + "\n";
}

std::string SaveLog(const std::vector<Outcome>& outcomes, const std::vector<std::string>& localPackages,
                    bool debug) {
    std::string text = "\n=====================================\n\nSaving cached product MSIs.\n\n";
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const Outcome& o = outcomes[i];
        if (debug) {
            text += std::string("DEBUG: Copying product ") + o.product->productName +
                    ".\nDEBUG: Local MSI: " + localPackages[i] + "\nDEBUG: Temp location:" + kTempDir +
                    FilePart(localPackages[i]) + "\n";
        }
        text += o.copied ? std::string("Copy succeeded.\n\n")
                         : "Copy failed. Error code is " + std::to_string(o.copyError) + "\n\n";
    }
    return text + kSeparator;
}

std::string Uninstall(const std::vector<const Package*>& listed, int failedAt, std::uint32_t code) {
    std::string text = "Beginning uninstallation of products.\n\n";
    for (int i = 0; i < static_cast<int>(listed.size()); ++i) {
        const Package* p = listed[i];
        text += std::string("Product Name: ") + p->productName + "\n";
        text += std::string("Log file: ") + kTempDir + "\\" + p->internalName + ".log\n";
        if (i == failedAt) {
            text += std::string("Uninstall failed. Product: ") + p->productName +
                    "\nError Code: " + std::to_string(code) + "\n\n";
            break;
        }
        text += std::string("Uninstall of product ") + p->productName + " succeeded.\n\n";
    }
    return text;
}

std::string HandOver(bool noReboot) {
    std::string text = std::string("Output data file: ") + kDataFile + "\n";
    text +=
        noReboot
            ? "You have chosen to not allow the Corvanta Uninstall Tool to reboot the machine. Please "
              "reboot this machine manually in order to complete the removal of the Corvanta Team products."
            : "Rebooting machine now.\n\n";
    return text;
}

std::string DataFileText(const std::vector<const Package*>& listed, const std::vector<std::string>& copies) {
    std::string text = std::to_string(listed.size()) + "\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const Package* p = listed[i];
        text += std::string(p->internalName) + "\n" + p->productName + "\n" + p->version + "\n" +
                p->productCode + "\n" + copies[i] + "\n";
    }
    return Crlf(text);
}

std::string RunOnceTail(const std::string& logPath, bool clean, bool debug) {
    std::string text = " \"" + logPath + "\" ";
    text += clean ? "-c -r " : " -r ";
    text += std::string("\"") + kDataFile + "\" ";
    if (debug) text += "-d";
    return text;
}

std::string ToolWindowsPath() {
    std::string path = "Z:" + testing_paths::ToolPath();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path.find(' ') != std::string::npos ? "\"" + path + "\"" : path;
}

std::string FilePart(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash);
}

void SplitFoundPaths(const std::string& logBytes, std::string& head, std::vector<std::string>& found) {
    const std::string marker = "sFoundPath is ";
    std::size_t end = logBytes.size();
    found.clear();
    while (end > 0) {
        const std::size_t lineStart = logBytes.rfind("\r\n", end >= 3 ? end - 3 : 0);
        const std::size_t start = lineStart == std::string::npos ? 0 : lineStart + 2;
        if (logBytes.compare(start, marker.size(), marker) != 0 || end < 2 ||
            logBytes.compare(end - 2, 2, "\r\n") != 0) {
            break;
        }
        found.push_back(logBytes.substr(start + marker.size(), end - 2 - start - marker.size()));
        end = start;
    }
    head = logBytes.substr(0, end);
    std::sort(found.begin(), found.end());
}

void Scenario::SetUp() {
    ASSERT_TRUE(machine.Ready());
    ASSERT_TRUE(machine.Sim().MakeDirectory("C:\\logs"));
}

void Scenario::Install(const std::vector<const Package*>& packages) {
    for (const Package* p : packages) ASSERT_TRUE(machine.Install(p->package)) << p->package;
}

std::string Scenario::LocalPackage(const Package& p) {
    std::string path;
    machine.Sim().Registry().GetString(std::string(plat::kInstallerUserDataKey) + "\\Products\\" +
                                           plat::PackGuid(p.productCode) + "\\InstallProperties",
                                       "LocalPackage", path);
    return path;
}

bool Scenario::IsInstalled(const Package& p) {
    return machine.Sim().Registry().KeyExists(std::string(plat::kUninstallKey) + "\\" + p.productCode);
}

std::string Scenario::ReadLog(const std::string& path) {
    std::string text;
    EXPECT_TRUE(machine.ReadFile(path, text)) << path;
    return text;
}

std::string Scenario::RunOnceValue() {
    std::string value;
    machine.Sim().Registry().GetString(plat::kRunOnceKey, "CorvantaUninstallTool", value);
    return value;
}

}  // namespace apptest
