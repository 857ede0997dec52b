// Figures about this process from the Linux side, when it runs under Wine: the Linux /proc
// is reachable through drive Z:. On Windows every answer is "not available".
#pragma once

#include <string>
#include <vector>

// Voluntary and involuntary context switches so far of all of this process's threads but
// the main one (the caller, whose measuring itself switches), or -1 when they cannot be read. GetProcessTimes under Wine advances in 10 ms steps; this
// tells whether any thread woke at all.
long CountContextSwitches();

// The Linux id of this process (its main thread's task), or -1 when not under Wine.
long LinuxProcessId();
// The Linux tasks (threads) of this process, the main one included; empty when not
// under Wine.
std::vector<long> LinuxThreads();
// Voluntary and involuntary context switches so far of one of them, or -1.
long ContextSwitchesOfThread(long task);

// The three load averages of the machine, or "n/a".
std::string LoadAverage();
