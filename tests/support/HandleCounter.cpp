// GetProcessHandleCount answers 0 under Wine, so handles are counted by asking each
// possible handle value for its flags. Handle values are multiples of 4 handed out from
// the bottom; the probe stops after a long run of values that are not open.
#include <windows.h>

#include <cstdint>

#include "tests/support/ResourceCounters.h"

namespace TestSupport {
namespace {

// Long enough to step over the holes that closing thousands of handles leaves.
constexpr uintptr_t kMissesBeforeStop = 8192;

}  // namespace

int CountHandles() {
  int open = 0;
  uintptr_t misses = 0;
  for (uintptr_t value = 4; misses < kMissesBeforeStop; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++open;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return open;
}

}  // namespace TestSupport
