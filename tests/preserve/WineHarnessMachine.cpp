// The Wine machine of the end-to-end harness (see WineHarnessScenario.cpp).
#include "tests/wine/WineMachine.cpp"
