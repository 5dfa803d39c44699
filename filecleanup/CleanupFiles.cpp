#include <memory>

#include "filecleanup/CFileCleanup.h"
#include "products/CCorvantaProducts.h"

void CCorvantaProducts::CleanupFiles() {
    for (const std::unique_ptr<CCorvantaProductInfo>& product : products) {
        auto cleanup = std::make_unique<CFileCleanup>(log, clean, debug, tempPackageDir);
        cleanup->CRunFileCleanup(product->GetPackageCopy());
    }
}
