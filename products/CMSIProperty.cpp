#include "products/CMSIProperty.h"

#include <cstring>

namespace {
// The identification text every suite package carries at the start of its
// CORVANTA_IDENTIFICATION property.
const char kIdentification[] = "Zel Corvanta Software";
// The value is handed on in a field of 38 characters.
constexpr std::size_t kMaxValue = 38;
}  // namespace

CMSIProperty::CMSIProperty(const std::string& productCode) {
    plat::Platform& sys = plat::Sys();
    sys.MsiSetInternalUI(plat::kInstallUiLevelNone);
    if (productCode.empty()) return;
    plat::MsiHandle handle = 0;
    if (sys.MsiOpenProductA(productCode.c_str(), &handle) == plat::kErrorSuccess && handle != 0) {
        hInstall = handle;
        ownsHandle = true;
    }
}

CMSIProperty::CMSIProperty(plat::MsiHandle existing) : hInstall(existing) {
    plat::Sys().MsiSetInternalUI(plat::kInstallUiLevelNone);
}

CMSIProperty::~CMSIProperty() {
    if (ownsHandle && hInstall != 0) plat::Sys().MsiCloseHandle(hInstall);
}

bool CMSIProperty::GetProperty(const std::string& name, std::string& value, std::size_t& length) const {
    if (hInstall == 0) return false;
    char buffer[256] = {};
    std::uint32_t size = 255;
    if (plat::Sys().MsiGetPropertyA(hInstall, name.c_str(), buffer, &size) != plat::kErrorSuccess)
        return false;
    buffer[255] = '\0';
    value.assign(buffer, strnlen(buffer, sizeof buffer));
    if (value.size() > kMaxValue) value.resize(kMaxValue);
    length = value.size();
    return true;
}

bool CMSIProperty::IsCorvantaProduct() const {
    std::string value;
    std::size_t length = 0;
    if (!GetProperty("CORVANTA_IDENTIFICATION", value, length)) return false;
    const std::size_t prefix = sizeof kIdentification - 1;
    return value.size() >= prefix && value.compare(0, prefix, kIdentification) == 0;
}
