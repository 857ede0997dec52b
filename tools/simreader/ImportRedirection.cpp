#include "tools/simreader/ImportRedirection.h"

#include <psapi.h>

#include <cstdint>

#include <vector>

namespace {

const IMAGE_NT_HEADERS* NtHeadersOf(const BYTE* base) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

bool Patch(IMAGE_THUNK_DATA* entry, FARPROC replacement) {
  DWORD previous = 0;
  if (!VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), PAGE_READWRITE, &previous)) return false;
  // One aligned pointer-sized store: a thread calling through the entry meanwhile sees
  // either function.
  InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&entry->u1.Function),
                             reinterpret_cast<void*>(replacement));
  VirtualProtect(&entry->u1.Function, sizeof(entry->u1.Function), previous, &previous);
  return true;
}

std::size_t RedirectIn(HMODULE module, const ImportRedirection* redirections, std::size_t count) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const IMAGE_NT_HEADERS* nt = NtHeadersOf(base);
  if (nt == nullptr) return 0;
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0 || imports.Size == 0) return 0;
  std::size_t patched = 0;
  // Entries are matched by the address the loader bound, whatever name or ordinal they
  // were imported by.
  for (auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    for (auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk); entry->u1.Function != 0;
         ++entry) {
      for (std::size_t i = 0; i < count; ++i) {
        if (entry->u1.Function == reinterpret_cast<std::uintptr_t>(redirections[i].original) &&
            Patch(entry, redirections[i].replacement)) {
          ++patched;
        }
      }
    }
  }
  return patched;
}

}  // namespace

void RedirectImports(const ImportRedirection* redirections, std::size_t count, HMODULE exempt) {
  std::vector<HMODULE> modules(256);
  DWORD needed = 0;
  for (;;) {
    const DWORD size = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!EnumProcessModules(GetCurrentProcess(), modules.data(), size, &needed)) return;
    if (needed <= size) break;
    modules.resize(needed / sizeof(HMODULE));
  }
  modules.resize(needed / sizeof(HMODULE));
  for (HMODULE module : modules) {
    if (module != exempt) RedirectIn(module, redirections, count);
  }
}

std::size_t RedirectImportsOf(HMODULE module, const ImportRedirection* redirections, std::size_t count) {
  return RedirectIn(module, redirections, count);
}
