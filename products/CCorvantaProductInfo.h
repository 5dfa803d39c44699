// One Team product of the suite found on the machine (or read back from the
// continuation data file).
#pragma once

#include <string>

class CCorvantaProductInfo {
public:
    CCorvantaProductInfo(const std::string& internalName, const std::string& productName,
                         const std::string& version, const std::string& productCode)
        : internalName(internalName), productName(productName), version(version), productCode(productCode) {}
    virtual ~CCorvantaProductInfo() = default;

    void SetLocalPackage(const std::string& path) { localPackage = path; }
    void SetPackageCopy(const std::string& path) { packageCopy = path; }

    const std::string& GetLocalPackage() const { return localPackage; }
    const std::string& GetPackageCopy() const { return packageCopy; }
    const std::string& GetInternalName() const { return internalName; }
    const std::string& GetProductName() const { return productName; }
    const std::string& GetVersion() const { return version; }
    const std::string& GetProductCode() const { return productCode; }

private:
    std::string localPackage;
    std::string packageCopy;
    std::string internalName;
    std::string productName;
    std::string version;
    std::string productCode;
};
