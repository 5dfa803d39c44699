#include <cstring>
#include <functional>

#include "app/RebootContinuation.h"
#include "platform/Handles.h"
#include "products/CCorvantaProducts.h"

namespace {

const char kTempDirName[] = "\\CorvantaSDLC_Temp";

// GetEnvironmentVariableA with room for 255 characters; "" when unset or too long.
std::string EnvironmentValue(const char* name) {
    char buffer[256] = {};
    const std::uint32_t length = plat::Sys().GetEnvironmentVariableA(name, buffer, 255);
    if (length == 0 || length >= 255) return std::string();
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

void CCorvantaProducts::CreateTempPackageDir() {
    if (preservePathGiven) {
        tempPackageDir = preservePath + kTempDirName;
    } else {
        std::string temp = EnvironmentValue("TEMP");
        if (temp.empty()) temp = EnvironmentValue("TMP");
        const std::size_t colon = temp.find(':');
        std::string drive = colon == std::string::npos ? std::string() : temp.substr(0, colon + 1);
        while (!drive.empty() && drive.back() == '\\') drive.pop_back();
        tempPackageDir = FormatText("%s\\CorvantaSDLC_Temp", {drive});
    }
    plat::Sys().SHCreateDirectoryExA(tempPackageDir.c_str());  // an existing directory is fine
}

bool CCorvantaProducts::GetLocalPackage(const std::string& productCode, std::string& path) {
    std::vector<char> buffer(5001, '\0');
    std::uint32_t size = 5000;
    path.clear();  // a failed query leaves the path empty
    if (plat::Sys().MsiGetProductInfoA(productCode.c_str(), "LocalPackage", buffer.data(), &size) !=
        plat::kErrorSuccess) {
        return false;
    }
    path.assign(buffer.data(), strnlen(buffer.data(), 5000));
    return true;
}

void CCorvantaProducts::SaveCachedPackages() {
    plat::Platform& sys = plat::Sys();
    log.Write(ToolLog::FormatMessageId(26));
    for (const auto& product : products) {
        log.WriteToConsole(".");
        std::string localPath;
        GetLocalPackage(product->GetProductCode(), localPath);
        product->SetLocalPackage(localPath);

        const std::size_t slash = localPath.rfind('\\');
        const std::string filePart = slash == std::string::npos ? localPath : localPath.substr(slash);
        const std::string copyPath = tempPackageDir + filePart;
        if (debug) {
            log.WriteToLog(ToolLog::FormatMessageId(28, {product->GetProductName(), localPath, copyPath}));
            log.WriteToConsole(".");
        }
        if (sys.CopyFileA(localPath.c_str(), copyPath.c_str(), false)) {
            product->SetPackageCopy(copyPath);
            log.WriteToLog(ToolLog::FormatMessageId(30));
        } else {
            log.WriteToLog(ToolLog::FormatMessageId(29, {static_cast<long>(sys.GetLastError())}));
        }
        log.WriteToConsole(".");
    }
    log.WriteToConsole("\n");
    log.WriteToLog("\n\n=====================================\n\n");
}

bool CCorvantaProducts::UninstallProducts() {
    plat::Platform& sys = plat::Sys();
    log.Write(ToolLog::FormatMessageId(25));
    try {
        sys.MsiSetInternalUI(plat::kInstallUiLevelNone);
        for (const auto& product : products) {
            log.Write(ToolLog::FormatMessageId(22, {product->GetProductName()}));
            const std::string logFile =
                FormatText("%s\\%s.log", {tempPackageDir, product->GetInternalName()});
            log.Write(ToolLog::FormatMessageId(21, {logFile}));
            sys.MsiEnableLogA(verbose ? plat::kInstallLogModeVerbose : plat::kInstallLogModeError,
                              logFile.c_str(), plat::kInstallLogAttributesAppend);
            // The cached package itself, not the copy.
            const std::uint32_t result = sys.MsiInstallProductA(product->GetLocalPackage().c_str(),
                                                                "REMOVE=ALL REBOOT=ReallySuppress");
            if (result == plat::kErrorSuccess || result == plat::kErrorSuccessRebootRequired) {
                log.Write(ToolLog::FormatMessageId(45, {product->GetProductName()}));
                continue;
            }
            log.Write(ToolLog::FormatMessageId(46, {product->GetProductName(), static_cast<long>(result)}));
            return false;
        }
    } catch (...) {
        log.Write(ToolLog::FormatMessageId(2));
    }
    return true;
}

void CCorvantaProducts::RemoveTempPackageDir() {
    plat::Platform& sys = plat::Sys();
    std::function<void(const std::string&)> walk = [&](const std::string& directory) {
        plat::FindData data;
        plat::UniqueFind find(sys.FindFirstFileA((directory + "\\*.*").c_str(), data));
        if (!find) return;
        do {
            if (data.fileName == "." || data.fileName == "..") continue;
            const std::string path = directory + "\\" + data.fileName;
            if (data.attributes & plat::kFileAttributeDirectory) {
                walk(path);
                sys.RemoveDirectoryA(path.c_str());
                continue;
            }
            log.WriteToLog(FormatText("sFoundPath is %s\n", {path}));
            if (path.find(".msi") != std::string::npos || path.find(kDataFileName) != std::string::npos) {
                sys.DeleteFileA(path.c_str());
            }
        } while (sys.FindNextFileA(find.get(), data));
    };
    walk(tempPackageDir);
}
