#include "image/Image.h"

namespace {

constexpr int kSlotCount = 4;

// Idle memory device contexts, shared by every image of the library. Each slot is only
// read and written by one atomic exchange, so no context is handed out twice or lost.
PVOID volatile g_memoryDCSlots[kSlotCount];

HDC ExchangeSlot(int slot, HDC dc) { return static_cast<HDC>(InterlockedExchangePointer(&g_memoryDCSlots[slot], dc)); }

// The C runtime runs this destructor when the library unloads (or the program ends),
// so DllMain has nothing to do for the cache.
struct CacheClearedAtUnload {
  ~CacheClearedAtUnload() { MemoryDCCache::Clear(); }
};
const CacheClearedAtUnload g_cacheClearedAtUnload;

}  // namespace

namespace MemoryDCCache {

HDC Take() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (HDC dc = ExchangeSlot(slot, nullptr)) return dc;
  }
  return CreateCompatibleDC(nullptr);
}

void Give(HDC dc) {
  HDC inHand = dc;
  for (int slot = 0; slot < kSlotCount && inHand != nullptr; ++slot) {
    inHand = ExchangeSlot(slot, inHand);
  }
  if (inHand != nullptr) DeleteDC(inHand);
}

void Clear() {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (HDC dc = ExchangeSlot(slot, nullptr)) DeleteDC(dc);
  }
}

}  // namespace MemoryDCCache
