#include "tests/msi/MsiFixture.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Paths.h"

namespace fs = std::filesystem;

namespace msitest {

const char kVaultline[] = "{C0B1A001-0001-4000-8000-000000000000}";
const char kTracklight[] = "{C0B1A002-0001-4000-8000-000000000000}";
const char kQualvane[] = "{C0B1A006-0001-4000-8000-000000000000}";
const char kVlNetAll[] = "{C0B1A008-0001-4000-8000-000000000000}";
const char kNorthwind[] = "{C0B1A00D-0001-4000-8000-000000000000}";

std::string PackageWindowsPath(const std::string& name) {
    std::string path = "Z:" + testing_paths::PackagePath(name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void MsiTest::SetUp() {
    char pattern[] = "/tmp/msitest.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    machine_ = std::make_unique<plat::SimMachine>(prefix_);
    std::string error;
    ASSERT_TRUE(machine_->Init(&error)) << error;
    // Windows keeps the cache folder of the installer even when it is empty.
    ASSERT_TRUE(machine_->MakeDirectory("C:\\windows\\Installer"));
    previous_ = plat::SetPlatform(&machine_->Platform());
}

void MsiTest::TearDown() {
    if (machine_) {
        EXPECT_EQ(Installer().OpenHandleCount(), 0u) << "a handle was left open";
    }
    plat::SetPlatform(previous_);
    machine_.reset();
    std::error_code ec;
    if (!prefix_.empty()) fs::remove_all(prefix_, ec);
}

std::uint32_t MsiTest::Install(const std::string& package,
                               const std::map<std::string, std::string>& properties) {
    return Installer().InstallPackage(PackageWindowsPath(package), properties);
}

std::uint32_t MsiTest::Uninstall(const std::string& productCode) {
    return plat::Sys().MsiInstallProductA(LocalPackage(productCode).c_str(),
                                          "REMOVE=ALL REBOOT=ReallySuppress");
}

std::string MsiTest::Host(const std::string& windowsPath) {
    std::string host;
    std::uint32_t error = 0;
    EXPECT_TRUE(Machine().ToHostPath(windowsPath, host, error)) << windowsPath;
    return host;
}

bool MsiTest::FileExists(const std::string& windowsPath) {
    return fs::is_regular_file(Host(windowsPath));
}
bool MsiTest::FolderExists(const std::string& windowsPath) {
    return fs::is_directory(Host(windowsPath));
}

std::string MsiTest::ReadFile(const std::string& windowsPath) {
    std::ifstream in(Host(windowsPath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void MsiTest::WriteFile(const std::string& windowsPath, const std::string& content) {
    std::string host = Host(windowsPath);
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

std::vector<std::string> MsiTest::DriveC() {
    std::vector<std::string> paths;
    const std::string root = prefix_ + "/drive_c";
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string path = "c:" + entry.path().string().substr(root.size());
        std::replace(path.begin(), path.end(), '/', '\\');
        for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string MsiTest::RegText(const std::string& key, const std::string& name, bool* found) {
    plat::SimRegValue value;
    bool ok = Registry().GetValue(key, name, value);
    if (found) *found = ok;
    if (!ok) return "";
    return value.data.substr(0, value.data.find('\0'));
}

std::string MsiTest::LocalPackage(const std::string& productCode) {
    std::string value;
    EXPECT_EQ(ProductInfo(productCode, "LocalPackage", value), 0u) << productCode;
    return value;
}

std::uint32_t MsiTest::ProductInfo(const std::string& productCode, const std::string& property,
                                   std::string& value) {
    char buffer[1024] = {};
    std::uint32_t size = sizeof buffer;
    std::uint32_t result =
        plat::Sys().MsiGetProductInfoA(productCode.c_str(), property.c_str(), buffer, &size);
    value = result == 0 ? std::string(buffer, size) : "";
    return result;
}

std::string MsiTest::Payload(const std::string& relative) {
    std::ifstream in(testing_paths::SourceDir() + "/tests/packages/files/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace

std::vector<std::vector<std::string>> MsiinfoRows(const std::string& hostPackage, const std::string& table) {
    std::istringstream out(Run("msiinfo export '" + hostPackage + "' " + table));
    std::vector<std::vector<std::string>> rows;
    std::string line;
    for (int header = 0; header < 3 && std::getline(out, line); ++header) {
    }
    while (std::getline(out, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        rows.push_back(SplitTabs(line));
    }
    return rows;
}

std::vector<std::vector<std::string>> ViewRows(const std::string& package, const std::string& table,
                                               std::size_t columns) {
    plat::Platform& sys = plat::Sys();
    std::vector<std::vector<std::string>> rows;
    plat::MsiHandle db = 0, view = 0, record = 0;
    EXPECT_EQ(sys.MsiOpenDatabaseA(package.c_str(), plat::kMsiDbOpenReadOnly, &db), 0u);
    std::string query = "SELECT * from " + table;
    EXPECT_EQ(sys.MsiDatabaseOpenViewA(db, query.c_str(), &view), 0u) << query;
    EXPECT_EQ(sys.MsiViewExecute(view, 0), 0u);
    while (sys.MsiViewFetch(view, &record) == 0) {
        std::vector<std::string> row;
        for (std::uint32_t field = 1; field <= columns; ++field) {
            char buffer[1024];
            std::uint32_t size = sizeof buffer;
            EXPECT_EQ(sys.MsiRecordGetStringA(record, field, buffer, &size), 0u);
            row.emplace_back(buffer, size);
        }
        rows.push_back(row);
        sys.MsiCloseHandle(record);
    }
    sys.MsiViewClose(view);
    sys.MsiCloseHandle(view);
    sys.MsiCloseHandle(db);
    return rows;
}

std::string PackageWithoutTable(const std::string& name, const std::string& table,
                                const std::string& folder) {
    std::string copy = folder + "/" + name + "-no-" + table + ".msi";
    fs::copy_file(testing_paths::PackagePath(name), copy, fs::copy_options::overwrite_existing);
    Run("msibuild '" + copy + "' -q 'DROP TABLE `" + table + "`'");
    return copy;
}

}  // namespace msitest
