// Counts of the process's own resources, for tests that must leave nothing behind.
// They work on Windows and under Wine, where GetGuiResources and
// GetProcessHandleCount answer 0.
#pragma once

#include <string>

namespace TestSupport {

// Live GDI objects of this process. Throws std::runtime_error if no counting method
// works on this system.
int CountGdiObjects();
// "GetGuiResources" or "GDI handle table": how CountGdiObjects counts here.
std::string GdiCountingMethod();

// Open kernel handles of this process (pseudo-handles not included).
int CountHandles();

// Threads of this process, the calling one included.
int CountThreads();

struct ResourceCounts {
  int gdiObjects;
  int handles;
  int threads;
};
ResourceCounts TakeResourceCounts();
// For failure messages: "gdi 12, handles 40, threads 3".
std::string Describe(const ResourceCounts& counts);

}  // namespace TestSupport
