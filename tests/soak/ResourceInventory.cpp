#include "tests/soak/ResourceInventory.h"

#include "tests/support/GdiHandleTable.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Not declared by the platform headers; exported by ntdll on Windows and under Wine.
extern "C" NTSTATUS NTAPI NtQueryEvent(HANDLE event, int informationClass, PVOID information, ULONG length,
                                       PULONG returnLength);

namespace {

// The handles come from the system's handle list (one call; Wine answers it too), or,
// where that is refused, by probing values as tests/support does. GDI objects come from
// Wine's handle table (tests/support).
constexpr std::uintptr_t kMissesBeforeStop = 8192;
constexpr int kSystemHandleInformation = 16;

// One entry of the system's handle list, and where the first one starts: after the count,
// aligned for the entry's pointer (offset 4 in a 32-bit process, 8 in a 64-bit one).
struct SystemHandleEntry {
  ULONG processId;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry first;
};
constexpr std::size_t kFirstHandleEntry = offsetof(SystemHandleList, first);

bool ListHandlesFromSystem(std::vector<std::uintptr_t>& values) {
  std::vector<unsigned char> buffer(64 * 1024);
  for (;;) {
    ULONG length = 0;
    const NTSTATUS status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemHandleInformation),
                                                     buffer.data(), static_cast<ULONG>(buffer.size()), &length);
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    if (status == kInfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return false;
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    const DWORD self = GetCurrentProcessId();
    for (ULONG i = 0; i < count; ++i) {
      SystemHandleEntry entry;
      std::memcpy(&entry, buffer.data() + kFirstHandleEntry + i * sizeof entry, sizeof entry);
      if (entry.processId == self) values.push_back(entry.value);
    }
    return true;
  }
}

std::vector<std::uintptr_t> ListHandles() {
  std::vector<std::uintptr_t> values;
  if (ListHandlesFromSystem(values)) return values;
  values.clear();
  std::uintptr_t misses = 0;
  for (std::uintptr_t value = 4; misses < kMissesBeforeStop; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      values.push_back(value);
      misses = 0;
    } else {
      ++misses;
    }
  }
  return values;
}

std::string TypeName(HANDLE handle) {
  alignas(8) unsigned char buffer[512] = {};
  ULONG length = 0;
  if (NtQueryObject(handle, ObjectTypeInformation, buffer, sizeof buffer, &length) != 0) return "?";
  PUBLIC_OBJECT_TYPE_INFORMATION information;
  std::memcpy(&information, buffer, sizeof information);
  std::string name;
  for (USHORT i = 0; i < information.TypeName.Length / sizeof(WCHAR); ++i) {
    name.push_back(static_cast<char>(information.TypeName.Buffer[i]));
  }
  return name;
}

// Events are told apart by their reset type: NotificationEvent (manual) is 0,
// SynchronizationEvent (auto) 1.
std::string KindOf(HANDLE handle) {
  const std::string type = TypeName(handle);
  if (type != "Event") return type;
  struct {
    int type;
    LONG state;
  } basic{};
  constexpr int kEventBasicInformation = 0;
  if (NtQueryEvent(handle, kEventBasicInformation, &basic, sizeof basic, nullptr) != 0) return type;
  return basic.type == 0 ? "Event (manual reset)" : "Event (auto reset)";
}

constexpr unsigned kTableTypeFlag = 0x100;

std::string GdiTypeName(unsigned type) {
  if ((type & kTableTypeFlag) != 0) {
    char text[24];
    std::snprintf(text, sizeof text, "table type 0x%02x", type & 0xFF);
    return text;
  }
  switch (type) {
    case OBJ_DC:
      return "DC";
    case OBJ_MEMDC:
      return "memory DC";
    case OBJ_BITMAP:
      return "bitmap";
    case OBJ_BRUSH:
      return "brush";
    case OBJ_PEN:
      return "pen";
    case OBJ_FONT:
      return "font";
    case OBJ_REGION:
      return "region";
    case OBJ_PAL:
      return "palette";
    default:
      return "type " + std::to_string(type);
  }
}

std::string Hex(std::uintptr_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

}  // namespace

ResourceInventory TakeInventory() {
  ResourceInventory inventory;
  for (const std::uintptr_t value : ListHandles()) inventory.handles[value] = KindOf(reinterpret_cast<HANDLE>(value));
  for (const TestSupport::GdiTableEntry& entry : TestSupport::ReadGdiHandleTable()) {
    const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(entry.handle));
    // Objects the process cannot select (Wine's own) answer 0: their table type is kept.
    inventory.gdiObjects[entry.handle] = type != 0 ? type : kTableTypeFlag | entry.type;
  }
  return inventory;
}

bool IsLockObject(const std::string& kind) { return kind == "Event (auto reset)" || kind == "Semaphore"; }

int CountLockObjects(const ResourceInventory& inventory) {
  int locks = 0;
  for (const auto& entry : inventory.handles) locks += IsLockObject(entry.second) ? 1 : 0;
  return locks;
}

std::string DescribeChange(const ResourceInventory& before, const ResourceInventory& after, bool locksOnly) {
  std::string text;
  const auto note = [&](const std::string& line) { text += (text.empty() ? "" : "; ") + line; };
  const auto handles = [&](const ResourceInventory& from, const ResourceInventory& without, const char* sign) {
    for (const auto& [value, kind] : from.handles) {
      if (without.handles.count(value) == 0 && (!locksOnly || IsLockObject(kind))) {
        note(std::string(sign) + " handle " + Hex(value) + " " + kind);
      }
    }
  };
  handles(after, before, "+");
  handles(before, after, "-");
  if (locksOnly) return text;
  for (const auto& [handle, type] : after.gdiObjects) {
    if (before.gdiObjects.count(handle) == 0) note("+ GDI " + Hex(handle) + " " + GdiTypeName(type));
  }
  for (const auto& [handle, type] : before.gdiObjects) {
    if (after.gdiObjects.count(handle) == 0) note("- GDI " + Hex(handle) + " " + GdiTypeName(type));
  }
  return text;
}
