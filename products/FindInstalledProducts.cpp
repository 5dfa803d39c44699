#include <cstring>

#include "platform/Handles.h"
#include "products/CCorvantaProducts.h"
#include "products/CMSIProperty.h"

namespace {

enum class Presence { None, Vaultline, Tracklight, Specwright, Overlook, Qualvane, Pilotron };

struct TeamProduct {
    const char* internalName;
    Presence presence;
    bool needsReboot;
};

// The products this tool removes, by their INTERNAL_PRODUCT_NAME (exact,
// case-sensitive).
const TeamProduct kTeamProducts[] = {
    {"Vaultline", Presence::Vaultline, true},      {"Tracklight", Presence::Tracklight, true},
    {"dyrSpecwright", Presence::Specwright, true}, {"Lumo", Presence::None, false},
    {"Overlook", Presence::Overlook, true},        {"kvoQualvane", Presence::Qualvane, false},
    {"kvoPilotron", Presence::Pilotron, false},    {"vlNETALL", Presence::None, false},
    {"vlNETWAN", Presence::None, false},           {"vlNETLAN", Presence::None, false},
    {"mfxSeatHub", Presence::None, false},
};

const TeamProduct* FindTeamProduct(const std::string& internalName) {
    for (const TeamProduct& team : kTeamProducts) {
        if (internalName == team.internalName) return &team;
    }
    return nullptr;
}

// A value of at most maxChars characters out of a filled buffer.
std::string BufferValue(const char* buffer, std::size_t bufferSize, std::size_t maxChars) {
    std::string value(buffer, strnlen(buffer, bufferSize));
    if (value.size() > maxChars) value.resize(maxChars);
    return value;
}

// MsiGetProductInfoA into a buffer of bufferSize characters; false on failure.
bool ProductInfo(const std::string& productCode, const char* property, std::size_t bufferSize,
                 std::size_t maxChars, std::string& value) {
    std::vector<char> buffer(bufferSize + 1, '\0');
    std::uint32_t size = static_cast<std::uint32_t>(bufferSize);
    if (plat::Sys().MsiGetProductInfoA(productCode.c_str(), property, buffer.data(), &size) !=
        plat::kErrorSuccess) {
        return false;
    }
    value = BufferValue(buffer.data(), bufferSize, maxChars);
    return true;
}

// MsiEnumProductsA(index); false at the end of the list or on any failure.
bool EnumProduct(std::uint32_t index, std::string& productCode) {
    char buffer[40] = {};
    if (plat::Sys().MsiEnumProductsA(index, buffer) != plat::kErrorSuccess) return false;
    productCode = BufferValue(buffer, 39, 38);
    return true;
}

}  // namespace

int CCorvantaProducts::CountSuiteProducts() {
    int count = 0;
    std::string productCode;
    for (std::uint32_t index = 0; EnumProduct(index, productCode); ++index) {
        CMSIProperty product(productCode);
        if (product.IsCorvantaProduct() || IsPublisherCorvanta(productCode)) ++count;
    }
    return count;
}

bool CCorvantaProducts::IsPublisherCorvanta(const std::string& productCode) {
    std::string publisher;
    return ProductInfo(productCode, "Publisher", 100, 99, publisher) && publisher == "Corvanta Software";
}

bool CCorvantaProducts::GetSuiteProductAt(int n, std::string& internalName, std::string& productName,
                                          std::string& version, std::string& productCode) {
    plat::Platform& sys = plat::Sys();
    int number = 0;
    std::string code;
    for (std::uint32_t index = 0; EnumProduct(index, code); ++index) {
        plat::UniqueMsiHandle handle;
        if (sys.MsiOpenProductA(code.c_str(), handle.put()) != plat::kErrorSuccess) {
            handle.release();
            continue;  // not numbered, whatever its Publisher says
        }
        bool suite = false;
        {
            CMSIProperty product(handle.get());
            suite = product.IsCorvantaProduct() || IsPublisherCorvanta(code);
        }
        if (!suite) continue;
        if (number++ != n) continue;
        // A lookup that fails or finds nothing leaves its field empty.
        internalName.clear();
        version.clear();
        productName.clear();
        GetInternalProductName(code, internalName);
        GetDisplayVersion(code, version);
        const bool found = GetInstalledProductName(code, productName);
        productCode = code;
        return found;
    }
    return false;
}

bool CCorvantaProducts::GetInternalProductName(const std::string& productCode, std::string& internalName) {
    plat::Platform& sys = plat::Sys();
    std::string packagePath;
    ProductInfo(productCode, "LocalPackage", 5000, 5000, packagePath);

    plat::UniqueMsiHandle database;
    if (sys.MsiOpenDatabaseA(packagePath.c_str(), plat::kMsiDbOpenReadOnly, database.put()) !=
        plat::kErrorSuccess) {
        database.release();
        return false;
    }
    plat::UniqueMsiHandle view;
    if (sys.MsiDatabaseOpenViewA(database.get(), "SELECT `Value` FROM `Property` WHERE `Property` = ?",
                                 view.put()) != plat::kErrorSuccess) {
        view.release();
        return false;
    }
    plat::UniqueMsiHandle parameters(sys.MsiCreateRecord(1));
    sys.MsiRecordSetStringA(parameters.get(), 1, "INTERNAL_PRODUCT_NAME");
    if (sys.MsiViewExecute(view.get(), parameters.get()) != plat::kErrorSuccess) return false;

    plat::UniqueMsiHandle row;
    internalName.clear();
    if (sys.MsiViewFetch(view.get(), row.put()) == plat::kErrorSuccess) {
        char buffer[1001] = {};
        std::uint32_t size = 1000;
        if (sys.MsiRecordGetStringA(row.get(), 1, buffer, &size) == plat::kErrorSuccess) {
            internalName = BufferValue(buffer, 1000, 255);
        }
    } else {
        row.release();
    }
    return true;  // the row, the parameters, the view and the database close here
}

bool CCorvantaProducts::GetDisplayVersion(const std::string& productCode, std::string& version) {
    plat::Platform& sys = plat::Sys();
    std::string keyName =
        FormatText("%s%s", {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", productCode});
    if (keyName.size() > 999) keyName.resize(999);
    plat::UniqueRegKey key;
    if (sys.RegOpenKeyExA(plat::kHkeyLocalMachine, keyName.c_str(), 0, plat::kKeyRead, key.put()) !=
        static_cast<std::int32_t>(plat::kErrorSuccess)) {
        key.release();
        return false;
    }
    std::uint8_t buffer[1001] = {};
    std::uint32_t size = 1000;
    std::uint32_t type = 0;
    if (sys.RegQueryValueExA(key.get(), "DisplayVersion", &type, buffer, &size) !=
        static_cast<std::int32_t>(plat::kErrorSuccess)) {
        return false;
    }
    version = BufferValue(reinterpret_cast<const char*>(buffer), size < 1000 ? size : 1000, 37);
    return true;
}

bool CCorvantaProducts::GetInstalledProductName(const std::string& productCode, std::string& productName) {
    return ProductInfo(productCode, "InstalledProductName", 1000, 255, productName);
}

void CCorvantaProducts::RecordInstallLocation(const std::string& productCode) {
    // A failed query leaves the location empty.
    std::string location;
    ProductInfo(productCode, "InstallLocation", 260, 259, location);
    if (debug) log.WriteToLog(FormatText("InstallLocation found through MSI is %s\n\n", {location}));
    while (!location.empty() && location.back() == '\\') location.pop_back();
    installLocation = location;
}

bool CCorvantaProducts::FindInstalledProducts() {
    const int count = CountSuiteProducts();
    log.Write(ToolLog::FormatMessageId(14, {count}));
    if (count == 0) return false;

    for (int i = 0; i < count; ++i) {
        std::string internalName;
        std::string productName;
        std::string version;
        std::string productCode;
        if (!GetSuiteProductAt(i, internalName, productName, version, productCode)) continue;

        const TeamProduct* team = FindTeamProduct(internalName);
        if (team == nullptr) {
            log.Write(ToolLog::FormatMessageId(15, {productName}));
            continue;
        }
        switch (team->presence) {
            case Presence::Vaultline:
                hasVaultline = true;
                break;
            case Presence::Tracklight:
                hasTracklight = true;
                break;
            case Presence::Specwright:
                hasSpecwright = true;
                break;
            case Presence::Overlook:
                hasOverlook = true;
                break;
            case Presence::Qualvane:
                hasQualvane = true;
                break;
            case Presence::Pilotron:
                hasPilotron = true;
                break;
            case Presence::None:
                break;
        }
        if (team->needsReboot) rebootNeeded = true;

        auto record = std::make_unique<CCorvantaProductInfo>(internalName, productName, version, productCode);
        RecordInstallLocation(productCode);
        // Tracklight is always removed before Vaultline.
        if (internalName == "Tracklight" && hasVaultline) {
            products.push_front(std::move(record));
        } else {
            products.push_back(std::move(record));
        }
    }
    LogProductList();
    return true;
}

void CCorvantaProducts::LogProductList() {
    log.Write(ToolLog::FormatMessageId(51));
    for (const auto& product : products) {
        log.Write(ToolLog::FormatMessageId(19, {product->GetProductName(), product->GetVersion()}));
        log.Write(ToolLog::FormatMessageId(20, {product->GetProductCode()}));
    }
    log.Write(ToolLog::FormatMessageId(rebootNeeded ? 16 : 17));
}
