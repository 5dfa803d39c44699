#include "tests/preserve/PreserveFixture.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace preserve_test {

const char kInstall[] = "C:\\Program Files\\Corvanta";
const char kLogPath[] = "C:\\preserve.log";

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> TreeOf(const std::vector<std::string>& files, const std::vector<std::string>& dirs) {
    std::vector<std::string> entries;
    auto addParents = [&entries](const std::string& path) {
        for (std::string::size_type at = path.find('\\'); at != std::string::npos;
             at = path.find('\\', at + 1)) {
            entries.push_back(path.substr(0, at + 1));
        }
    };
    auto relative = [](std::string path) {
        while (!path.empty() && path.front() == '\\') path.erase(0, 1);
        return Lower(path);
    };
    for (const std::string& file : files) {
        const std::string rel = relative(file);
        addParents(rel);
        entries.push_back(rel);
    }
    for (const std::string& dir : dirs) {
        std::string rel = relative(dir);
        if (rel.empty()) continue;
        if (rel.back() != '\\') rel += '\\';
        addParents(rel);
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

void PreserveTest::SetUp() {
    tool_ = std::make_unique<toolrun::ToolMachine>();
    ASSERT_TRUE(tool_->Ready());
    prefix_ = tool_->Prefix();
    // A second drive, for preserve folders and project lists elsewhere.
    fs::create_directories(prefix_ + "/drive_d");
    machine_ = std::make_unique<plat::SimPlatform>(prefix_);
    previous_ = plat::SetPlatform(machine_.get());
    log_ = std::make_unique<ToolLog>();
    ASSERT_TRUE(log_->Open(kLogPath));
}

void PreserveTest::TearDown() {
    products_.reset();
    if (log_) log_->Close();
    log_.reset();
    if (machine_) plat::SetPlatform(previous_);
    machine_.reset();
    tool_.reset();
}

CCorvantaProducts& PreserveTest::Products(const RunOptions& options, const Found& found,
                                          const std::string& installLocation) {
    if (!products_) {
        products_ = std::make_unique<CCorvantaProducts>(*log_, kLogPath, options.clean, false, options.debug,
                                                        options.pd);
        if (options.pd) products_->SetPreservePath(options.pdPath);
        products_->installLocation = installLocation;
        products_->hasTracklight = found.tracklight;
        products_->hasVaultline = found.vaultline;
        products_->hasOverlook = found.overlook;
        products_->hasSpecwright = found.specwright;
        products_->hasQualvane = found.qualvane;
        products_->hasPilotron = found.pilotron;
    }
    return *products_;
}

std::string PreserveTest::HostPath(const std::string& windowsPath) {
    std::string host;
    std::uint32_t error = 0;
    EXPECT_TRUE(machine_->ToHostPath(windowsPath, host, error)) << windowsPath << " error " << error;
    return host;
}

void PreserveTest::Seed(const std::string& windowsPath, const std::string& content) {
    const fs::path host = HostPath(windowsPath);
    fs::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << windowsPath;
}

void PreserveTest::SeedDir(const std::string& windowsPath) {
    fs::create_directories(HostPath(windowsPath));
}

void PreserveTest::SeedInstall(const std::vector<std::string>& relativePaths, const std::string& install) {
    for (const std::string& rel : relativePaths) Seed(install + rel, "src:" + rel);
}

bool PreserveTest::IsFile(const std::string& windowsPath) {
    std::error_code ec;
    return fs::is_regular_file(HostPath(windowsPath), ec);
}

bool PreserveTest::IsDir(const std::string& windowsPath) {
    std::error_code ec;
    return fs::is_directory(HostPath(windowsPath), ec);
}

std::string PreserveTest::Read(const std::string& windowsPath) {
    std::ifstream in(HostPath(windowsPath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> PreserveTest::Tree(const std::string& windowsDir) {
    std::vector<std::string> entries;
    const fs::path root = HostPath(windowsDir);
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return entries;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        if (it->is_directory()) rel += "\\";
        entries.push_back(Lower(rel));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::map<std::string, std::string> PreserveTest::Files(const std::string& windowsDir) {
    std::map<std::string, std::string> files;
    for (const std::string& rel : Tree(windowsDir)) {
        if (rel.back() != '\\') files[rel] = Read(windowsDir + "\\" + rel);
    }
    return files;
}

std::string PreserveTest::RawLog() {
    if (log_) log_->Close();
    std::ifstream in(HostPath(kLogPath), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string PreserveTest::LogText() {
    const std::string raw = RawLog();
    std::string text;
    for (std::string::size_type i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        text += raw[i];
    }
    return text;
}

}  // namespace preserve_test
