#include "tests/filecleanup/FileCleanupFixture.h"

#include <libmsi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Paths.h"

namespace fs = std::filesystem;

namespace fctest {

const char kAlphaCode[] = "{6F1C2A10-0000-4000-8000-0000000A0001}";
const char kKeeperCode[] = "{6F1C2A10-0000-4000-8000-0000000B0001}";
const char kBetaCode[] = "{6F1C2A10-0000-4000-8000-0000000C0001}";

const char FileCleanupTest::kLogPath[] = "C:\\fclogs\\cleanup.log";
const char FileCleanupTest::kTempDir[] = "C:\\CorvantaSDLC_Temp";
const char FileCleanupTest::kAlphaDir[] = "C:\\Program Files\\Corvanta FC\\Alpha\\";

namespace {
const char* const kAlphaFiles[] = {"alpha.exe",
                                   "readonly.dat",
                                   "VMTRAK32.OCX",
                                   "shared.dll",
                                   "bin\\diffdir.dll",
                                   "bin\\tool.dll",
                                   "Vaultline\\vl.dat",
                                   "Vaultline\\vlshared.dll",
                                   "old vaultline\\low.dat",
                                   "Docs\\readme.txt",
                                   "logs\\run.log",
                                   "Docs\\notes.txt"};
}  // namespace

std::uint32_t RecordingSim::GetEnvironmentVariableA(const char* name, char* buffer, std::uint32_t size) {
    const auto it = env_.find(name);
    if (it == env_.end()) return plat::SimPlatform::GetEnvironmentVariableA(name, buffer, size);
    if (!it->second) {
        SetLastError(plat::kErrorEnvvarNotFound);
        return 0;
    }
    const std::string& value = *it->second;
    if (value.size() + 1 > size) return static_cast<std::uint32_t>(value.size() + 1);
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return static_cast<std::uint32_t>(value.size());
}

bool RecordingSim::CreateProcessA(const char* commandLine, const plat::StartupInfo& startup,
                                  plat::ProcessInformation& info) {
    commands_.push_back(commandLine ? commandLine : "");
    return plat::SimPlatform::CreateProcessA(commandLine, startup, info);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Removed(const DriveListing& before, const DriveListing& after) {
    std::vector<std::string> out;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(out));
    return out;
}

std::vector<std::string> Added(const DriveListing& before, const DriveListing& after) {
    return Removed(after, before);
}

std::vector<std::string> WithFolders(const std::vector<std::string>& paths) {
    std::set<std::string> out;
    for (std::string path : paths) {
        path = Lower(path);
        if (path.size() >= 2 && path[1] == ':') path = path.substr(2);
        while (!path.empty() && path.front() == '\\') path.erase(0, 1);
        for (std::string::size_type at = path.find('\\'); at != std::string::npos;
             at = path.find('\\', at + 1)) {
            out.insert(path.substr(0, at + 1));
        }
        if (!path.empty()) out.insert(path);
    }
    return std::vector<std::string>(out.begin(), out.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void FileCleanupTest::SetUp() {
    host_ = std::make_unique<toolrun::ToolMachine>();
    ASSERT_TRUE(host_->Ready()) << "winsim init failed";
    // A second drive, for folders elsewhere than on C:.
    std::error_code ec;
    fs::create_directories(fs::path(host_->Prefix()) / "drive_d", ec);
    sim_ = std::make_unique<RecordingSim>(host_->Prefix());
    previous_ = plat::SetPlatform(sim_.get());
    SeedDir("C:\\fclogs");
    log_ = std::make_unique<ToolLog>();
    ASSERT_TRUE(log_->Open(kLogPath));
}

void FileCleanupTest::TearDown() {
    if (log_) log_->Close();
    log_.reset();
    if (sim_) plat::SetPlatform(previous_);
    sim_.reset();
    host_.reset();
}

void FileCleanupTest::Seed(const std::string& windowsPath, const std::string& content) {
    ASSERT_TRUE(host_->WriteFile(windowsPath, content)) << windowsPath;
}

void FileCleanupTest::SeedDir(const std::string& windowsPath) {
    std::error_code ec;
    fs::create_directories(host_->HostPath(windowsPath), ec);
    ASSERT_FALSE(ec) << windowsPath;
}

bool FileCleanupTest::Exists(const std::string& windowsPath) {
    std::error_code ec;
    return fs::exists(host_->HostPath(windowsPath), ec);
}

void FileCleanupTest::SetReadOnly(const std::string& windowsPath) {
    ASSERT_TRUE(plat::Sys().SetFileAttributesA(windowsPath.c_str(), plat::kFileAttributeReadonly))
        << windowsPath;
    ASSERT_TRUE(plat::Sys().GetFileAttributesA(windowsPath.c_str()) & plat::kFileAttributeReadonly);
}

DriveListing FileCleanupTest::Drive(char letter) {
    DriveListing listing;
    const fs::path root = fs::path(host_->Prefix()) / (std::string("drive_") + letter);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root, ec).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        if (it->is_directory()) rel += '\\';
        listing.insert(Lower(rel));
    }
    return listing;
}

void FileCleanupTest::Install(const std::string& package) {
    ASSERT_TRUE(host_->Install(package)) << package;
}

std::string FileCleanupTest::LocalPackage(const std::string& productCode) {
    char value[260] = {0};
    std::uint32_t size = sizeof(value);
    EXPECT_EQ(plat::Sys().MsiGetProductInfoA(productCode.c_str(), "LocalPackage", value, &size), 0u)
        << productCode;
    return value;
}

std::string FileCleanupTest::SaveAndUninstall(const std::string& package, const std::string& productCode) {
    const std::string local = LocalPackage(productCode);
    plat::Sys().SHCreateDirectoryExA(kTempDir);
    const std::string copy = std::string(kTempDir) + "\\" + package + ".msi";
    EXPECT_TRUE(plat::Sys().CopyFileA(local.c_str(), copy.c_str(), false)) << local;
    plat::Sys().MsiSetInternalUI(plat::kInstallUiLevelNone);
    EXPECT_EQ(plat::Sys().MsiInstallProductA(local.c_str(), "REMOVE=ALL REBOOT=ReallySuppress"), 0u)
        << package;
    return copy;
}

std::string FileCleanupTest::MakeVariant(const std::string& base, const std::string& name,
                                         const std::vector<std::string>& statements) {
    const std::string windowsPath = "C:\\fcpkgs\\" + name + ".msi";
    const std::string hostPath = host_->HostPath(windowsPath);
    std::error_code ec;
    fs::create_directories(fs::path(hostPath).parent_path(), ec);
    fs::copy_file(testing_paths::PackagePath(base), hostPath, fs::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << base;
    ChangePackage(windowsPath, statements);
    return windowsPath;
}

void FileCleanupTest::ChangePackage(const std::string& windowsPath,
                                    const std::vector<std::string>& statements) {
    const std::string hostPath = host_->HostPath(windowsPath);
    GError* failure = nullptr;
    LibmsiDatabase* db =
        libmsi_database_new(hostPath.c_str(), LIBMSI_DB_FLAGS_TRANSACT, hostPath.c_str(), &failure);
    EXPECT_NE(db, nullptr) << hostPath;
    if (db == nullptr) {
        if (failure) g_error_free(failure);
        return;
    }
    for (const std::string& sql : statements) {
        LibmsiQuery* query = libmsi_query_new(db, sql.c_str(), &failure);
        EXPECT_NE(query, nullptr) << sql;
        if (query != nullptr) {
            EXPECT_TRUE(libmsi_query_execute(query, nullptr, &failure)) << sql;
            libmsi_query_close(query, nullptr);
            g_object_unref(query);
        }
        if (failure) g_error_free(failure), failure = nullptr;
    }
    EXPECT_TRUE(libmsi_database_commit(db, &failure));
    if (failure) g_error_free(failure);
    g_object_unref(db);
}

void FileCleanupTest::InstallPath(const std::string& windowsPath) {
    ASSERT_EQ(host_->Winsim({"msiexec", "/i", windowsPath, "/qn"}).exitCode, 0) << windowsPath;
}

std::string FileCleanupTest::CommonFiles() {
    char buffer[260] = {0};
    EXPECT_GT(sim_->plat::SimPlatform::GetEnvironmentVariableA("CommonProgramFiles", buffer, sizeof(buffer)),
              0u);
    return buffer;
}

std::string FileCleanupTest::Windows() {
    char buffer[260] = {0};
    EXPECT_GT(sim_->plat::SimPlatform::GetEnvironmentVariableA("WINDIR", buffer, sizeof(buffer)), 0u);
    return std::string(buffer) + "\\";
}

std::string FileCleanupTest::D(const std::string& windowsPath) {
    std::string path = Lower(windowsPath);
    if (path.size() >= 2 && path[1] == ':') path = path.substr(2);
    while (!path.empty() && path.front() == '\\') path.erase(0, 1);
    return path;
}

void FileCleanupTest::SeedAlphaLeftovers(const std::string& base) {
    for (const char* rel : kAlphaFiles) Seed(base + rel);
    SetReadOnly(base + "readonly.dat");
    Seed(Windows() + "fcalpha.dll");
    Seed(Windows() + "bzqlink.dll");
}

std::vector<std::string> FileCleanupTest::AlphaLeftovers(const std::string& base) {
    std::set<std::string> out;
    for (const char* rel : kAlphaFiles) out.insert(D(base + rel));
    for (const char* sub : {"bin\\", "Vaultline\\", "old vaultline\\", "Docs\\", "logs\\"})
        out.insert(D(base + sub));
    return std::vector<std::string>(out.begin(), out.end());
}

std::unique_ptr<CFileCleanup> FileCleanupTest::NewCleanup(bool clean, bool debug) {
    return std::make_unique<CFileCleanup>(*log_, clean, debug, kTempDir);
}

std::string FileCleanupTest::LogText() {
    log_->Close();
    std::string raw;
    EXPECT_TRUE(host_->ReadFile(kLogPath, raw));
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    return text;
}

}  // namespace fctest
