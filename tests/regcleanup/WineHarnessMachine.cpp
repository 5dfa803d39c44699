// See WineHarnessScenario.cpp.
#include "tests/wine/WineMachine.cpp"  // NOLINT(build/include)
