// The performance counter, read and turned into microseconds, for the benchmarks.
#pragma once

#include <windows.h>

inline LONGLONG Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

inline double Microseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
}
