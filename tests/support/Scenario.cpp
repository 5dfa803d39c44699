#include "tests/support/Scenario.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimPlatform.h"
#include "tests/support/Paths.h"
#include "tests/support/ToolRun.h"
#include "tests/support/WineMachine.h"

namespace fs = std::filesystem;

namespace winetest {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The registry trees the tool works on, exported after every run.
const char* const kVendorTrees[] = {
    "HKEY_LOCAL_MACHINE\\Software\\Tolvi",
    "HKEY_CURRENT_USER\\Software\\Tolvi",
    "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software",
    "HKEY_CURRENT_USER\\Software\\Corvanta Software",
    "HKEY_USERS\\.DEFAULT\\Software\\Tolvi",
    "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software",
    "HKEY_LOCAL_MACHINE\\Software\\Corvanta Test",
};
// Keys of the system where only the vendor's values are looked at.
const char* const kSharedDllsKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kRunOnceKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

const char* const kExportDir = "C:\\corvanta-export";

// What a scenario needs of a machine; one adaptor per machine.
class Machine {
public:
    virtual ~Machine() = default;
    virtual bool Ready(std::string& problem) = 0;
    virtual bool Install(const std::string& msiHostPath) = 0;
    virtual bool Reg(const std::vector<std::string>& args) = 0;
    virtual void FailFirstUninstall(std::uint32_t code) = 0;
    // The Windows path of a product's cached package, "" when unknown.
    virtual std::string LocalPackage(const std::string& productCode) = 0;
    // The codes of the installed products, in enumeration order.
    virtual std::vector<std::string> Products() = 0;
    virtual toolrun::ProcessResult RunTool(const std::vector<std::string>& args) = 0;
    virtual void Reboot() = 0;
    virtual void Export(const std::string& key, const std::string& file) = 0;
    virtual std::string HostPath(const std::string& windowsPath) = 0;
};

class WineSide : public Machine {
public:
    bool Ready(std::string& problem) override {
        if (!machine_.Ready()) problem = machine_.Problem();
        return machine_.Ready();
    }
    bool Install(const std::string& msi) override {
        const bool ok = machine_.Wine({"msiexec", "/i", "Z:" + msi, "/qn"}).exitCode == 0;
        machine_.WaitIdle();
        return ok;
    }
    bool Reg(const std::vector<std::string>& args) override {
        std::vector<std::string> all = {"reg"};
        all.insert(all.end(), args.begin(), args.end());
        return machine_.Wine(all).exitCode == 0;
    }
    void FailFirstUninstall(std::uint32_t) override {}  // the package fails by itself
    std::string LocalPackage(const std::string& productCode) override {
        toolrun::ProcessResult run = machine_.Wine({SelfTestExePath(), "localpackage", productCode});
        std::string path = run.exitCode == 0 ? run.out : std::string();
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
        return path;
    }
    std::vector<std::string> Products() override {
        std::vector<std::string> codes;
        std::istringstream in(machine_.Wine({SelfTestExePath(), "products"}).out);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) codes.push_back(line);
        }
        return codes;
    }
    toolrun::ProcessResult RunTool(const std::vector<std::string>& args) override {
        std::vector<std::string> all = {ToolExePath()};
        all.insert(all.end(), args.begin(), args.end());
        toolrun::ProcessResult run = machine_.Wine(all);
        machine_.WaitIdle();
        // Wine's registry editor reports a key it cannot export on the
        // console it shares with the tool; the Windows one says nothing there.
        run.out = std::regex_replace(
            run.out, std::regex("regedit: Unable to open the registry key '[^'\\n]*'\\.\\r?\\n"), "");
        return run;
    }
    void Reboot() override {
        // The restart's work on RunOnce: wineboot runs each value's command
        // line and deletes the value.
        machine_.Wine({"wineboot", "-r"});
        machine_.WaitIdle();
    }
    void Export(const std::string& key, const std::string& file) override {
        machine_.Wine({"regedit", "/e:a", file, key});
    }
    std::string HostPath(const std::string& windowsPath) override { return machine_.HostPath(windowsPath); }

private:
    WineMachine machine_;
};

class SimSide : public Machine {
public:
    bool Ready(std::string& problem) override {
        if (!machine_.Ready()) problem = "winsim init failed";
        return machine_.Ready();
    }
    bool Install(const std::string& msi) override {
        return machine_.Winsim({"msiexec", "/i", "Z:" + msi, "/qn"}).exitCode == 0;
    }
    bool Reg(const std::vector<std::string>& args) override {
        std::vector<std::string> all = {"reg"};
        all.insert(all.end(), args.begin(), args.end());
        return machine_.Winsim(all).exitCode == 0;
    }
    void FailFirstUninstall(std::uint32_t code) override {
        machine_.AddFault("MsiInstallProductA", "*", code, 1);
    }
    std::string LocalPackage(const std::string& productCode) override {
        plat::SimPlatform sim(machine_.Prefix());
        char path[5000] = {};
        std::uint32_t size = sizeof path;
        if (sim.MsiGetProductInfoA(productCode.c_str(), "LocalPackage", path, &size) != 0)
            return std::string();
        return path;
    }
    std::vector<std::string> Products() override {
        plat::SimPlatform sim(machine_.Prefix());
        std::vector<std::string> codes;
        char code[39] = {};
        for (std::uint32_t i = 0; sim.MsiEnumProductsA(i, code) == 0; ++i) codes.push_back(code);
        return codes;
    }
    toolrun::ProcessResult RunTool(const std::vector<std::string>& args) override {
        toolrun::ProcessResult run = machine_.RunTool(args);
        // A restart the tool asked for happens by itself on Windows; the
        // simulated machine only records it and restarts when told to.
        plat::SimRestart restart;
        bool pending = false;
        {
            plat::SimMachine sim(machine_.Prefix());
            pending = sim.PendingRestart(restart);
        }
        if (pending) machine_.Reboot();
        return run;
    }
    void Reboot() override { machine_.Reboot(); }
    void Export(const std::string& key, const std::string& file) override {
        machine_.Winsim({"regedit", "/e:a", file, key});
    }
    std::string HostPath(const std::string& windowsPath) override { return machine_.HostPath(windowsPath); }

private:
    toolrun::ToolMachine machine_;
};

// A key without values. Wine's reg.exe gives a key it adds without /v an
// empty default value, which Windows does not: that value goes again.
bool AddKey(Machine& machine, const std::string& key) {
    if (!machine.Reg({"add", key, "/f"})) return false;
    machine.Reg({"delete", key, "/ve", "/f"});
    return true;
}

// Every file and folder below C:\ (relative, lower case, "/" separated,
// folders with a trailing "/"), without the system's own folder, temporary
// folders and our export folder.
std::set<std::string> DriveCEntries(Machine& machine) {
    std::set<std::string> entries;
    const fs::path root = machine.HostPath("C:\\");
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string rel = Lower(fs::relative(it->path(), root, ec).generic_string());
        const std::string top = rel.substr(0, rel.find('/'));
        if (top == "windows" || top == "corvanta-export" || rel.find("/temp") != std::string::npos ||
            top == "temp") {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        entries.insert(it->is_directory(ec) ? rel + "/" : rel);
    }
    return entries;
}

std::vector<std::string> RegistryState(Machine& machine) {
    std::vector<std::string> state;
    int n = 0;
    auto exportKey = [&](const std::string& key) {
        const std::string file = std::string(kExportDir) + "\\" + std::to_string(n++) + ".reg";
        machine.Export(key, file);
        return ParseRegExport(ReadHostFile(machine.HostPath(file)));
    };
    fs::create_directories(machine.HostPath(kExportDir));
    for (const char* tree : kVendorTrees) {
        for (const std::string& entry : exportKey(tree)) state.push_back(entry);
    }
    for (const std::string& entry : exportKey(kSharedDllsKey)) {
        const std::string low = Lower(entry);
        if (low.find("] ") == std::string::npos) continue;
        if (low.find("corvanta") != std::string::npos || low.find("tolvi") != std::string::npos) {
            state.push_back(entry);
        }
    }
    for (const std::string& entry : exportKey(kRunOnceKey)) {
        if (Lower(entry).find("] \"corvantauninstalltool\"=") != std::string::npos) {
            state.push_back(NormaliseText(entry));
        }
    }
    std::sort(state.begin(), state.end());
    return state;
}

Outcome Run(Machine& machine, const Scenario& scenario) {
    Outcome out;
    if (!machine.Ready(out.problem)) return out;
    const std::set<std::string> fresh = DriveCEntries(machine);
    // Windows always has the SharedDLLs key; a fresh Wine prefix has it only
    // once something has written a value there.
    if (!AddKey(machine, kSharedDllsKey)) {
        out.problem = "creating the SharedDLLs key failed";
        return out;
    }
    for (const std::string& name : scenario.packages) {
        const std::string msi = TestPackageFile(name, out.problem);
        if (!out.problem.empty()) return out;
        if (!machine.Install(msi)) {
            out.problem = "installing " + name + " failed";
            return out;
        }
    }
    for (const RegSeed& seed : scenario.registry) {
        const bool ok =
            seed.name.empty()
                ? AddKey(machine, seed.key)
                : machine.Reg({"add", seed.key, "/v", seed.name, "/t", seed.type, "/d", seed.data, "/f"});
        if (!ok) {
            out.problem = "reg add " + seed.key + " " + seed.name + " failed";
            return out;
        }
    }
    for (const FileSeed& seed : scenario.files) {
        const fs::path host = machine.HostPath(seed.path);
        std::error_code ec;
        fs::create_directories(host.parent_path(), ec);
        std::ofstream(host, std::ios::binary) << seed.content;
    }
    if (scenario.failFirstUninstall != 0) machine.FailFirstUninstall(scenario.failFirstUninstall);
    for (const std::string& code : scenario.dropCachedPackageOf) {
        const std::string cached = machine.LocalPackage(code);
        std::error_code ec;
        if (cached.empty() || !fs::remove(machine.HostPath(cached), ec)) {
            out.problem = "cannot delete the cached package of " + code + " (" + cached + ")";
            return out;
        }
    }

    toolrun::ProcessResult run = machine.RunTool(scenario.toolArgs);
    out.exitCode = run.exitCode;
    out.console = NormaliseText(run.out);
    if (scenario.reboot) machine.Reboot();

    if (!scenario.toolArgs.empty()) {
        out.rawLog = ReadHostFile(machine.HostPath(scenario.toolArgs.front()));
        out.log = NormaliseText(out.rawLog);
    }
    for (const std::string& entry : DriveCEntries(machine)) {
        if (!fresh.count(entry)) out.files.push_back(NormaliseText(entry));
    }
    std::sort(out.files.begin(), out.files.end());
    out.registry = RegistryState(machine);
    out.products = machine.Products();
    std::sort(out.products.begin(), out.products.end());
    std::error_code ec;
    for (const std::string& path : scenario.pathsLeft) {
        if (!fs::exists(machine.HostPath(path), ec)) out.pathsMissing.push_back(path);
    }
    for (const std::string& path : scenario.pathsGone) {
        if (fs::exists(machine.HostPath(path), ec)) out.pathsPresent.push_back(path);
    }
    return out;
}

// Replaces every match of pattern (case-insensitive) with replacement.
std::string Replace(const std::string& text, const char* pattern, const char* replacement) {
    return std::regex_replace(text, std::regex(pattern, std::regex::ECMAScript | std::regex::icase),
                              replacement);
}

}  // namespace

// The package file of a scenario name: our own .wxs built once into the
// build folder, or one of the suite's test packages.
std::string TestPackageFile(const std::string& name, std::string& problem) {
    const std::string wxs = testing_paths::SourceDir() + "/tests/wine/packages/" + name + ".wxs";
    std::error_code ec;
    if (!fs::exists(wxs, ec)) return testing_paths::PackagePath(name);
    const std::string dir = testing_paths::BuildDir() + "/wine/packages";
    fs::create_directories(dir, ec);
    const std::string msi = dir + "/" + name + ".msi";
    const int fd = open((dir + "/build.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (fd >= 0) flock(fd, LOCK_EX);
    if (!fs::exists(msi, ec) || fs::last_write_time(msi, ec) < fs::last_write_time(wxs, ec)) {
        // wixl finds the payload files relative to its working folder.
        const std::string script = "cd \"$1\" && exec \"$2\" -o \"$3\" \"$4\"";
        toolrun::ProcessResult built = toolrun::RunProcess(
            "/bin/sh", {"-c", script, "sh", testing_paths::SourceDir() + "/tests/wine/packages",
                        FindProgram("wixl"), msi, name + ".wxs"});
        if (built.exitCode != 0) problem = "wixl " + name + ": " + built.err;
    }
    if (fd >= 0) {
        flock(fd, LOCK_UN);
        close(fd);
    }
    return msi;
}

void PrintTo(const Scenario& scenario, std::ostream* os) {
    *os << scenario.name;
}

std::vector<std::string> WithoutGaps(const std::vector<std::string>& lines,
                                     const std::vector<std::string>& gaps) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        bool gap = false;
        for (const std::string& g : gaps) gap = gap || Lower(line).find(Lower(g)) != std::string::npos;
        if (!gap) kept.push_back(line);
    }
    return kept;
}

Outcome RunOnWine(const Scenario& scenario) {
    WineSide machine;
    return Run(machine, scenario);
}

Outcome RunOnSim(const Scenario& scenario) {
    SimSide machine;
    return Run(machine, scenario);
}

Outcome Comparable(const Outcome& outcome, const std::vector<std::string>& gaps) {
    if (gaps.empty()) return outcome;
    Outcome out = outcome;
    auto text = [&gaps](const std::string& all) {
        std::vector<std::string> lines;
        std::istringstream in(all);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        std::string joined;
        for (const std::string& l : WithoutGaps(lines, gaps)) joined += l + "\n";
        return joined;
    };
    out.log = text(out.log);
    out.console = text(out.console);
    out.files = WithoutGaps(out.files, gaps);
    out.registry = WithoutGaps(out.registry, gaps);
    return out;
}

// Lines that report one entry of a directory enumeration each: a run of
// them is put in order, since the order of a folder's entries is the file
// system's (sorted on Windows, the host's own under Wine).
const char* const kEnumerationLines[] = {"sFoundPath is ", "Deleting file: ", "Error deleting directory: "};

std::string SortEnumerationRuns(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size() - 1;
        lines.push_back(text.substr(start, end - start + 1));
        start = end + 1;
    }
    auto kind = [](const std::string& line) {
        for (int k = 0; k < 3; ++k) {
            if (line.rfind(kEnumerationLines[k], 0) == 0) return k;
        }
        return -1;
    };
    for (std::size_t i = 0; i < lines.size();) {
        const int k = kind(lines[i]);
        std::size_t j = i + 1;
        while (k >= 0 && j < lines.size() && kind(lines[j]) == k && lines[j].back() == '\n') ++j;
        if (k >= 0 && lines[i].back() == '\n') std::sort(lines.begin() + i, lines.begin() + j);
        i = j;
    }
    std::string out;
    for (const std::string& l : lines) out += l;
    return out;
}

std::string NormaliseText(const std::string& text) {
    std::string s;
    s.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        s += text[i];
    }
    // The installer's cache folder and the names it gives the cached packages
    // (the copies in the package folder keep those names).
    s = Replace(s, R"(C:\\windows\\Installer\\)", "C:\\<installer>\\");
    s = Replace(s, R"(([\\/])[^\\/\s":]+\.msi\b)", "$1<package>.msi");
    // The program's own path, where the continuation command line shows it.
    s = Replace(s, R"((^|[\s"=])[^\s"=]*[\\/]CorvantaUninstallTool(\.exe)?(?=[\s"]|$))", "$1<tool>");
    // The system's own wording of an error code.
    s = Replace(s, R"((Error message: )[^\n]*)", "$1<system text>");
    return SortEnumerationRuns(s);
}

std::vector<std::string> ParseRegExport(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const unsigned code =
                static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            text += code < 0x80 ? static_cast<char>(code) : '?';
        }
    } else {
        text = bytes;
    }
    // Logical lines: CR dropped, a trailing backslash continues the value on
    // the next line (whose indentation goes).
    std::vector<std::string> lines;
    std::string current;
    bool continued = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (continued) {
            const std::size_t start = line.find_first_not_of(" \t");
            current += start == std::string::npos ? std::string() : line.substr(start);
        } else {
            current = line;
        }
        continued = !current.empty() && current.back() == '\\' && current.front() != '[';
        if (continued) {
            current.pop_back();
            continue;
        }
        lines.push_back(current);
    }
    std::vector<std::string> entries;
    std::string key;
    for (const std::string& l : lines) {
        if (l.size() > 2 && l.front() == '[' && l.back() == ']') {
            key = "[" + Lower(l.substr(1, l.size() - 2)) + "]";
            entries.push_back(key);
        } else if (!key.empty() && !l.empty() && (l.front() == '"' || l.front() == '@')) {
            entries.push_back(key + " " + l);
        }
    }
    return entries;
}

}  // namespace winetest
