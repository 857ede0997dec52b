// Figures about this process from the Linux side, when it runs under Wine: the Linux /proc
// is reachable through drive Z:. On Windows every answer is "not available".
#pragma once

#include <string>

// Voluntary and involuntary context switches so far of all of this process's threads but
// the main one (the caller, whose measuring itself switches), or -1 when they cannot be read. GetProcessTimes under Wine advances in 10 ms steps; this
// tells whether any thread woke at all.
long CountContextSwitches();

// The three load averages of the machine, or "n/a".
std::string LoadAverage();
