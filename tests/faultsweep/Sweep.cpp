#include "tests/faultsweep/Sweep.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/sim/SimFaults.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimPaths.h"
#include "platform/sim/SimRegistry.h"
#include "tests/support/Paths.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace faultsweep {

namespace {

// A counting rule skips this many calls: far more than any run makes.
constexpr int kCountingSkip = 1000000000;
// Seconds one program of a run may take before it is taken as hung.
const char kTimeLimit[] = "120";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A sanitizer's report in a program's error output.
bool SanitizerReport(const std::string& err) {
    return err.find("ERROR: AddressSanitizer") != std::string::npos ||
           err.find("ERROR: LeakSanitizer") != std::string::npos ||
           err.find("runtime error:") != std::string::npos;
}

toolrun::ProcessResult RunLimited(const std::string& prefix, const std::string& program,
                                  const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-s", "KILL", kTimeLimit, program};
    all.insert(all.end(), args.begin(), args.end());
    return toolrun::RunProcess("/usr/bin/timeout", all, {"WINSIM_PREFIX=" + prefix});
}

std::string Describe(const char* what, const toolrun::ProcessResult& run) {
    std::string text = std::string(what) + " ended with exit code " + std::to_string(run.exitCode);
    if (run.exitCode == 137) text += " (killed: over the time limit)";
    const std::string tail = run.err.size() > 4000 ? run.err.substr(run.err.size() - 4000) : run.err;
    return text + "\n--- stderr ---\n" + tail;
}

void WalkKey(plat::SimRegistry& registry, const std::string& key, std::set<std::string>& values) {
    values.insert(key + "\\");
    for (const plat::SimRegValue& value : registry.Values(key)) values.insert(key + "\\" + value.name);
    for (const std::string& sub : registry.SubKeys(key)) WalkKey(registry, key + "\\" + sub, values);
}

// Splits a command line the way the tool's start-up does: blanks separate,
// double quotes group and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false;
    bool any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) parts.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) parts.push_back(current);
    return parts;
}

}  // namespace

// The logon after the restart, for the tool's own RunOnce value only: the
// value is deleted and, when it names the tool, its arguments are returned.
// The launcher's own restart is not used because the fault rules would reach
// its own calls (its wait for the started program) as well.
bool TakeContinuation(const std::string& prefix, std::vector<std::string>& args) {
    plat::SimRegistry registry(prefix);
    std::string command;
    if (!registry.GetString(plat::kRunOnceKey, "CorvantaUninstallTool", command)) return false;
    registry.DeleteValue(plat::kRunOnceKey, "CorvantaUninstallTool");
    std::vector<std::string> parts = SplitCommandLine(command);
    if (parts.empty()) return false;
    const std::string program = plat::ToLowerAscii(parts[0]);
    const std::string name = "corvantauninstalltool";
    if (program.size() < name.size() ||
        program.compare(program.size() - name.size(), name.size(), name) != 0) {
        return false;  // the system could not start it
    }
    args.assign(parts.begin() + 1, parts.end());
    return true;
}

bool IsAnswer(const std::string& operation, std::uint32_t code) {
    return operation == "MsiGetProductInfoA" && (code == 1605 || code == 1608 || code == 234);
}

bool FullSweep() {
    const char* full = std::getenv("FAULTSWEEP_FULL");
    return full != nullptr && std::string(full) != "" && std::string(full) != "0";
}

Snapshot TakeSnapshot(const std::string& prefix) {
    Snapshot snapshot;
    const fs::path drive = fs::path(prefix) / "drive_c";
    std::error_code ec;
    for (fs::recursive_directory_iterator it(drive, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string rel = fs::relative(it->path(), drive, ec).generic_string();
        if (it->is_directory(ec) && !it->is_symlink(ec)) rel += "/";
        snapshot.files.insert(rel);
    }
    plat::SimRegistry registry(prefix);
    WalkKey(registry, "HKEY_LOCAL_MACHINE", snapshot.values);
    WalkKey(registry, "HKEY_USERS", snapshot.values);
    return snapshot;
}

std::vector<std::string> Lost(const Snapshot& initial, const Snapshot& baseline, const Snapshot& faulted) {
    std::vector<std::string> lost;
    for (const std::string& file : initial.files) {
        if (baseline.files.count(file) != 0 && faulted.files.count(file) == 0) lost.push_back("file " + file);
    }
    for (const std::string& value : initial.values) {
        if (baseline.values.count(value) != 0 && faulted.values.count(value) == 0) {
            lost.push_back("registry " + value);
        }
    }
    return lost;
}

std::vector<std::uint32_t> LikelyCodes(const std::string& operation) {
    // 2 file not found, 3 path not found, 5 access denied, 32 sharing
    // violation, 112 disk full, 6 invalid handle, 13 invalid data, 234 more
    // data, 1018 key deleted, 1603 fatal install error, 1605 unknown product,
    // 1608 unknown property, 1612 install source absent, 1619 package not
    // opened, 1620 invalid package, 87 invalid parameter.
    if (StartsWith(operation, "Reg")) return {2, 5, 1018, 234, 6};
    if (operation == "MsiEnumProductsA") return {1603, 87, 5, 234};
    if (operation == "MsiGetProductInfoA") return {1603, 234, 1605, 1608};
    if (operation == "MsiOpenPackageA" || operation == "MsiOpenProductA" || operation == "MsiOpenDatabaseA") {
        return {1619, 1620, 110, 5, 1612};
    }
    if (operation == "MsiInstallProductA") return {1603, 1612, 1605, 1618, 3010};
    if (StartsWith(operation, "Msi")) return {1603, 13, 6, 234, 87};
    if (operation == "CreateProcessA" || operation == "WaitForSingleObject" ||
        operation == "GetExitCodeProcess" || operation == "CloseHandle") {
        return {2, 5, 6, 1450};
    }
    if (operation == "OpenProcessToken" || operation == "LookupPrivilegeValueA" ||
        operation == "AdjustTokenPrivileges" || operation == "ExitWindowsEx") {
        return {5, 1300, 6};
    }
    if (operation == "GetEnvironmentVariableA") return {203, 8};
    if (operation == "GetModuleFileNameA") return {122, 5};
    return {2, 3, 5, 32, 112};
}

std::vector<int> CallsToFail(int calls, bool full) {
    std::vector<int> which = {0};
    if (calls <= 0) return which;
    const int bound = full ? 60 : 8;
    for (int n = 1; n <= calls && n <= bound; ++n) which.push_back(n);
    if (calls > bound) {
        if (full) which.push_back((calls + bound) / 2);
        which.push_back(calls);
    }
    return which;
}

ScenarioRunner::ScenarioRunner(const Scenario& scenario) : scenario_(scenario) {
    char name[] = "/tmp/faultsweep-XXXXXX";
    if (mkdtemp(name) == nullptr) {
        error_ = "no temporary folder";
        return;
    }
    root_ = name;
    template_ = root_ + "/template";
    {
        toolrun::ToolMachine machine;
        if (!machine.Ready()) {
            error_ = "the machine could not be initialised";
            return;
        }
        for (const std::string& package : scenario_.packages) {
            if (!machine.Install(package)) {
                error_ = "installing " + package + " failed";
                return;
            }
        }
        if (!machine.Sim().MakeDirectory("C:\\logs")) {
            error_ = "no C:\\logs";
            return;
        }
        std::error_code ec;
        if (!SeedLeftovers(machine.Prefix())) {
            error_ = "the leftovers could not be written";
            return;
        }
        fs::copy(machine.Prefix(), template_, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                 ec);
        if (ec) {
            error_ = "copying the machine failed: " + ec.message();
            return;
        }
    }
    initial_ = TakeSnapshot(template_);
    ready_ = true;
}

ScenarioRunner::~ScenarioRunner() {
    if (root_.empty() || std::getenv("WINSIM_KEEP") != nullptr) return;
    std::error_code ec;
    fs::remove_all(root_, ec);
}

bool ScenarioRunner::SeedLeftovers(const std::string& prefix) const {
    for (const std::string& file : scenario_.leftovers) {
        std::string rel = file.substr(3);  // after "C:\"
        for (char& c : rel) {
            if (c == '\\') c = '/';
        }
        const fs::path host = fs::path(prefix) / "drive_c" / rel;
        std::error_code ec;
        if (fs::exists(host, ec)) continue;
        fs::create_directories(host.parent_path(), ec);
        std::FILE* out = std::fopen(host.c_str(), "wb");
        if (out == nullptr) return false;
        std::fputs("left behind\n", out);
        std::fclose(out);
    }
    return true;
}

RunResult ScenarioRunner::Run(const std::vector<plat::SimFaultRule>& rules) {
    const std::string prefix = root_ + "/run";
    std::error_code ec;
    fs::remove_all(prefix, ec);
    fs::copy(template_, prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    RunResult result;
    if (ec) {
        result.problem = "copying the machine failed: " + ec.message();
        return result;
    }
    result = RunIn(prefix, rules);
    return result;
}

RunResult ScenarioRunner::RunIn(const std::string& prefix, const std::vector<plat::SimFaultRule>& rules) {
    RunResult result;
    ++runs_;
    plat::SimFaults faults(prefix);
    for (const plat::SimFaultRule& rule : rules) {
        if (!faults.Add(rule)) {
            result.problem = "the fault rule for " + rule.operation + " was refused";
            return result;
        }
    }
    const toolrun::ProcessResult first = RunLimited(prefix, testing_paths::ToolPath(), scenario_.args);
    if (first.exitCode != 0 || SanitizerReport(first.err)) {
        result.problem = Describe("the first run", first);
        return result;
    }
    if (scenario_.reboot) {
        if (!SeedLeftovers(prefix)) {
            result.problem = "the leftovers could not be written";
            return result;
        }
        std::vector<std::string> args;
        if (TakeContinuation(prefix, args)) {
            const toolrun::ProcessResult next = RunLimited(prefix, testing_paths::ToolPath(), args);
            if (next.exitCode != 0 || SanitizerReport(next.err)) {
                result.problem = Describe("the continuation run", next);
                return result;
            }
        }
    }
    faults.Clear();
    result.after = TakeSnapshot(prefix);
    result.ok = true;
    return result;
}

bool ScenarioRunner::CountOperations(std::vector<OperationUse>& uses, std::string& problem) {
    std::vector<plat::SimFaultRule> counting;
    for (const std::string& operation : plat::SimFaults::Operations()) {
        plat::SimFaultRule rule;
        rule.operation = operation;
        rule.pattern = "*";
        rule.code = 0;
        rule.times = 1;
        rule.skip = kCountingSkip;
        counting.push_back(rule);
    }
    const std::string prefix = root_ + "/count";
    std::error_code ec;
    fs::remove_all(prefix, ec);
    fs::copy(template_, prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        problem = "copying the machine failed: " + ec.message();
        return false;
    }
    plat::SimFaults faults(prefix);
    for (const plat::SimFaultRule& rule : counting) {
        if (!faults.Add(rule)) {
            problem = "the counting rule for " + rule.operation + " was refused";
            return false;
        }
    }
    ++runs_;
    const toolrun::ProcessResult first = RunLimited(prefix, testing_paths::ToolPath(), scenario_.args);
    if (first.exitCode != 0) {
        problem = Describe("the counting run", first);
        return false;
    }
    std::vector<std::string> args;
    if (scenario_.reboot && SeedLeftovers(prefix) && TakeContinuation(prefix, args)) {
        RunLimited(prefix, testing_paths::ToolPath(), args);
    }
    for (const plat::SimFaultRule& rule : faults.List()) {
        const int calls = kCountingSkip - rule.skip;
        if (calls > 0) uses.push_back({rule.operation, calls});
    }
    fs::remove_all(prefix, ec);
    return true;
}

}  // namespace faultsweep
