#include "tests/support/GdiHandleTable.h"

#include <winternl.h>

#include <cstring>

#include "tests/support/WineGdiTableLayout.h"

namespace TestSupport {
namespace {

using WineGdiTable::kEntries;
using WineGdiTable::kEntrySize;
using WineGdiTable::kEntryTypeOffset;
using WineGdiTable::kEntryUniqueOffset;
using WineGdiTable::kPebTableOffset;

const unsigned char* Table() {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      basic.PebBaseAddress == nullptr) {
    return nullptr;
  }
  const unsigned char* table = nullptr;
  std::memcpy(&table, reinterpret_cast<const unsigned char*>(basic.PebBaseAddress) + kPebTableOffset, sizeof table);
  return table;
}

std::uintptr_t HandleOf(const unsigned char* entry, std::size_t index) {
  std::uint16_t unique = 0;
  std::memcpy(&unique, entry + kEntryUniqueOffset, sizeof unique);
  return index | (static_cast<std::uintptr_t>(unique) << 16);
}

}  // namespace

std::vector<GdiTableEntry> ReadGdiHandleTable() {
  std::vector<GdiTableEntry> entries;
  const unsigned char* table = Table();
  if (table == nullptr) return entries;
  for (std::size_t i = 0; i < kEntries; ++i) {
    const unsigned char* entry = table + i * kEntrySize;
    if (entry[kEntryTypeOffset] != 0) entries.push_back({HandleOf(entry, i), entry[kEntryTypeOffset]});
  }
  return entries;
}

unsigned GdiTableTypeOf(HGDIOBJ object) {
  const unsigned char* table = Table();
  const auto value = reinterpret_cast<std::uintptr_t>(object);
  const std::size_t index = value & 0xFFFF;
  if (table == nullptr || object == nullptr) return 0;
  const unsigned char* entry = table + index * kEntrySize;
  return HandleOf(entry, index) == value ? entry[kEntryTypeOffset] : 0;
}

}  // namespace TestSupport
