#include "reader/ReaderTrace.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "win32/UniqueResource.h"

namespace {

std::atomic<bool> g_traceOn{false};

bool VariableSwitchesOn() {
  char value[8] = {};
  const DWORD length = GetEnvironmentVariableA(kTraceVariable, value, sizeof(value));
  return length > 0 && length < sizeof(value) && std::strcmp(value, "0") != 0;
}

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { RegCloseKey(value); }
};

bool RegistrySwitchesOn(HKEY root) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, kTraceKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  const kelmar::Win32::UniqueResource<RegistryKeyTraits> key(opened);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  const LONG result = RegQueryValueExA(key.Get(), kTraceValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value != 0;
}

}  // namespace

void RefreshReaderTrace() noexcept {
  g_traceOn.store(VariableSwitchesOn() || RegistrySwitchesOn(HKEY_CURRENT_USER) ||
                  RegistrySwitchesOn(HKEY_LOCAL_MACHINE));
}

bool ReaderTraceOn() noexcept { return g_traceOn.load(); }

void WriteTraceLine(const std::string& line) noexcept {
  try {
    OutputDebugStringA((kTracePrefix + line + "\n").c_str());
  } catch (...) {
    // No memory for the line: it is left out.
  }
}
