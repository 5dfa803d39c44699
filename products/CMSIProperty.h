// Reads properties of one installed product through a Windows Installer
// product handle and recognises the suite's products.
#pragma once

#include <string>

#include "platform/Platform.h"

class CMSIProperty {
public:
    // Opens the product (after switching the installer's UI off). A failed
    // open leaves the object usable: every property read then fails.
    explicit CMSIProperty(const std::string& productCode);
    // Wraps a handle the caller owns.
    explicit CMSIProperty(plat::MsiHandle existing);
    virtual ~CMSIProperty();
    CMSIProperty(const CMSIProperty&) = delete;
    CMSIProperty& operator=(const CMSIProperty&) = delete;

    // found = false when there is no handle or MsiGetPropertyA fails.
    bool GetProperty(const std::string& name, std::string& value, std::size_t& length) const;
    // CORVANTA_IDENTIFICATION begins with "Zel Corvanta Software".
    bool IsCorvantaProduct() const;

private:
    bool ownsHandle = false;
    plat::MsiHandle hInstall = 0;
};
