#include <windows.h>
#include <tlhelp32.h>

#include <stdexcept>
#include <string>

#include "tests/support/ResourceCounters.h"
#include "win32/UniqueResource.h"

namespace TestSupport {

int CountThreads() {
  kelmar::Win32::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) {
    throw std::runtime_error("CreateToolhelp32Snapshot failed: " + std::to_string(GetLastError()));
  }
  const DWORD self = GetCurrentProcessId();
  int threads = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == self) ++threads;
  }
  return threads;
}

ResourceCounts TakeResourceCounts() { return ResourceCounts{CountGdiObjects(), CountHandles(), CountThreads()}; }

std::string Describe(const ResourceCounts& counts) {
  return "gdi " + std::to_string(counts.gdiObjects) + ", handles " + std::to_string(counts.handles) + ", threads " +
         std::to_string(counts.threads);
}

}  // namespace TestSupport
