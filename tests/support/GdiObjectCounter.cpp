// GDI objects are counted with GetGuiResources where it answers (Windows). Wine answers 0
// there but keeps its GDI handle table where Windows keeps the shared one: the PEB's
// GdiSharedHandleTable, 65,536 entries of 24 bytes, an entry with a non-zero type byte
// being a live object. That way is used only after it has been seen to count three new
// brushes as three.
#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <stdexcept>

#include "tests/support/ResourceCounters.h"
#include "tests/support/WineGdiTableLayout.h"

namespace TestSupport {
namespace {

using WineGdiTable::kEntrySize;
using WineGdiTable::kEntryTypeOffset;
using WineGdiTable::kPebTableOffset;
constexpr int kGdiTableEntries = static_cast<int>(WineGdiTable::kEntries);

enum class Method { GuiResources, HandleTable };

template <typename T>
T ReadAt(const void* base, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(base) + offset, sizeof value);
  return value;
}

const unsigned char* GdiHandleTable() {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      basic.PebBaseAddress == nullptr) {
    return nullptr;
  }
  return ReadAt<const unsigned char*>(basic.PebBaseAddress, kPebTableOffset);
}

int CountHandleTableEntries(const unsigned char* table) {
  int live = 0;
  for (int i = 0; i < kGdiTableEntries; ++i) {
    if (table[i * kEntrySize + kEntryTypeOffset] != 0) ++live;
  }
  return live;
}

int CountWith(Method method) {
  if (method == Method::GuiResources) {
    return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  }
  return CountHandleTableEntries(GdiHandleTable());
}

// Counts before, with three more brushes, and after deleting them again.
bool CountsThreeBrushes(Method method) {
  const int before = CountWith(method);
  HBRUSH brushes[3];
  for (int i = 0; i < 3; ++i) brushes[i] = CreateSolidBrush(RGB(i, 2 * i, 3 * i));
  const int with = CountWith(method);
  for (HBRUSH brush : brushes) DeleteObject(brush);
  const int after = CountWith(method);
  return with == before + 3 && after == before;
}

Method ChooseMethod() {
  // Wine sets its display driver up with the first memory device context, making objects
  // that live as long as the process: that must not count against the first test.
  DeleteDC(CreateCompatibleDC(nullptr));
  if (CountsThreeBrushes(Method::GuiResources)) return Method::GuiResources;
  if (GdiHandleTable() != nullptr && CountsThreeBrushes(Method::HandleTable)) {
    return Method::HandleTable;
  }
  throw std::runtime_error("no way to count GDI objects on this system");
}

Method TheMethod() {
  static const Method method = ChooseMethod();
  return method;
}

}  // namespace

int CountGdiObjects() { return CountWith(TheMethod()); }

std::string GdiCountingMethod() { return TheMethod() == Method::GuiResources ? "GetGuiResources" : "GDI handle table"; }

}  // namespace TestSupport
