// The end-to-end harness of the Windows build (tests/wine), compiled into
// this program as well so that the registry cleanup's scenarios run on both
// machines with it. One harness file per translation unit.
#include "tests/wine/Scenario.cpp"  // NOLINT(build/include)
