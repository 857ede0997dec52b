// Figures about this process: CPU times from the system, and from the Linux side when it
// runs under Wine (the Linux /proc is reachable through drive Z:; on Windows those answers
// are "not available").
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// CPU time (kernel and user) so far of this process or of one thread, in the system's
// 100 ns units: subtract before turning them into seconds. Under Wine they advance in
// 10 ms steps.
ULONGLONG ProcessCpuUnits();
ULONGLONG ThreadCpuUnits(HANDLE thread);
// The seconds from one reading to a later one; 0 when the clock did not move forward.
double CpuSecondsBetween(ULONGLONG before, ULONGLONG after);

// Voluntary and involuntary context switches so far of all of this process's threads but
// the main one (the caller, whose measuring itself switches), or -1 when they cannot be read. GetProcessTimes under
// Wine advances in 10 ms steps; this tells whether any thread woke at all.
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
