#include "products/CCorvantaProducts.h"

CCorvantaProducts::CCorvantaProducts(ToolLog& log, const std::string& logPath, bool clean, bool verbose,
                                     bool debug, bool preservePathGiven)
    : logPath(logPath),
      log(log),
      clean(clean),
      verbose(verbose),
      debug(debug),
      preservePathGiven(preservePathGiven) {}

// The product records belong to the list and go with it.
CCorvantaProducts::~CCorvantaProducts() = default;
