// The end-to-end harness of the Windows build (tests/wine), built into this
// program as well so that the preservation scenarios run on both machines.
#include "tests/wine/Scenario.cpp"
