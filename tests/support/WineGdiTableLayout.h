// Where Wine keeps its GDI handle table and how an entry is laid out, for 32-bit and 64-bit
// processes alike. The offsets come from the structures' member types, so each architecture
// gets its own; the static_asserts hold them to the published PEB offsets and to the
// entries seen under Wine 8.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace TestSupport::WineGdiTable {

// The PEB from its start up to GdiSharedHandleTable, as Windows lays it out (Wine follows).
struct PebPrefix {
  BOOLEAN flags[4];
  PVOID mutant;
  PVOID imageBaseAddress;
  PVOID ldr;
  PVOID processParameters;
  PVOID subSystemData;
  PVOID processHeap;
  PVOID fastPebLock;
  PVOID atlThunkSListPtr;
  PVOID ifeoKey;
  ULONG crossProcessFlags;
  PVOID kernelCallbackTable;
  ULONG systemReserved;
  ULONG atlThunkSListPtr32;
  PVOID apiSetMap;
  ULONG tlsExpansionCounter;
  PVOID tlsBitmap;
  ULONG tlsBitmapBits[2];
  PVOID readOnlySharedMemoryBase;
  PVOID sharedData;
  PVOID readOnlyStaticServerData;
  PVOID ansiCodePageData;
  PVOID oemCodePageData;
  PVOID unicodeCaseTableData;
  ULONG numberOfProcessors;
  ULONG ntGlobalFlag;
  LARGE_INTEGER criticalSectionTimeout;
  SIZE_T heapSegmentReserve;
  SIZE_T heapSegmentCommit;
  SIZE_T heapDeCommitTotalFreeThreshold;
  SIZE_T heapDeCommitFreeBlockThreshold;
  ULONG numberOfHeaps;
  ULONG maximumNumberOfHeaps;
  PVOID processHeaps;
  PVOID gdiSharedHandleTable;
};

// One entry of Wine's table. Its fields have fixed widths, so that a 32-bit and a 64-bit
// process can share the table: the layout is the same in both.
struct Entry {
  std::uint64_t object;
  std::uint32_t owner;
  std::uint16_t unique;  // the handle's upper 16 bits
  std::uint8_t type;     // 0 for a free entry; 0x01 DC, 0x04 region, 0x09 bitmap, 0x10 brush
  std::uint8_t flags;
  std::uint64_t userPointer;
};

constexpr std::size_t kPebTableOffset = offsetof(PebPrefix, gdiSharedHandleTable);
constexpr std::size_t kEntries = 65536;  // the handle's lower 16 bits index the table
constexpr std::size_t kEntrySize = sizeof(Entry);
constexpr std::size_t kEntryUniqueOffset = offsetof(Entry, unique);
constexpr std::size_t kEntryTypeOffset = offsetof(Entry, type);

static_assert(kPebTableOffset == (sizeof(void*) == 4 ? 0x94 : 0xF8), "PEB GdiSharedHandleTable offset");
static_assert(kEntrySize == 24 && kEntryUniqueOffset == 12 && kEntryTypeOffset == 14, "Wine's GDI table entry");

}  // namespace TestSupport::WineGdiTable
