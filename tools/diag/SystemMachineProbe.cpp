// The registration checks' view of this machine, through the registry and file functions.
#include <windows.h>

#include "tools/diag/MachineProbe.h"
#include "win32/UniqueResource.h"

namespace {

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { RegCloseKey(value); }
};
using UniqueRegistryKey = kelmar::Win32::UniqueResource<RegistryKeyTraits>;

// Registry key names are at most 255 characters, value names 16,383.
constexpr DWORD kMaxKeyNameLength = 256;
constexpr DWORD kMaxValueNameLength = 16384;

REGSAM ViewFlag(RegistryView view) {
  switch (view) {
    case RegistryView::Bits32:
      return KEY_WOW64_32KEY;
    case RegistryView::Bits64:
      return KEY_WOW64_64KEY;
    case RegistryView::Shared:
      break;
  }
  return 0;
}

UniqueRegistryKey OpenKey(const RegistryLocation& location, const std::string& key, REGSAM access) {
  const HKEY root = location.hive == RegistryHive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, access | ViewFlag(location.view), &opened) != ERROR_SUCCESS) {
    return UniqueRegistryKey();
  }
  return UniqueRegistryKey(opened);
}

// A value of type REG_SZ or REG_EXPAND_SZ (as it is stored, not expanded); nullptr names the
// default value.
std::optional<std::string> QueryString(HKEY key, const char* valueName) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::string value(size + 1, '\0');
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

class SystemMachineProbe final : public MachineProbe {
 public:
  bool Is64BitWindows() const override {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
  }

  RegistryEntry ReadKey(const RegistryLocation& location, const std::string& key) const override {
    const UniqueRegistryKey handle = OpenKey(location, key, KEY_QUERY_VALUE);
    if (!handle) return {};
    return RegistryEntry{true, QueryString(handle.Get(), nullptr)};
  }

  std::vector<std::string> SubkeyNames(const RegistryLocation& location, const std::string& key) const override {
    const UniqueRegistryKey handle = OpenKey(location, key, KEY_ENUMERATE_SUB_KEYS);
    std::vector<std::string> names;
    if (!handle) return names;
    for (DWORD index = 0;; ++index) {
      char name[kMaxKeyNameLength] = {};
      DWORD length = kMaxKeyNameLength;
      const LSTATUS status = RegEnumKeyExA(handle.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS at the end
      names.emplace_back(name, length);
    }
    return names;
  }

  std::optional<std::string> ReadString(const RegistryLocation& location, const std::string& key,
                                        const std::string& valueName) const override {
    const UniqueRegistryKey handle = OpenKey(location, key, KEY_QUERY_VALUE);
    if (!handle) return std::nullopt;
    return QueryString(handle.Get(), valueName.c_str());
  }

  std::vector<std::string> ValueNames(const RegistryLocation& location, const std::string& key) const override {
    const UniqueRegistryKey handle = OpenKey(location, key, KEY_QUERY_VALUE);
    std::vector<std::string> names;
    if (!handle) return names;
    std::string name(kMaxValueNameLength, '\0');
    for (DWORD index = 0;; ++index) {
      DWORD length = kMaxValueNameLength;
      if (RegEnumValueA(handle.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;  // ERROR_NO_MORE_ITEMS at the end
      }
      if (length > 0) names.emplace_back(name.data(), length);  // the default value has no name
    }
    return names;
  }

  std::optional<std::uint32_t> ReadDword(const RegistryLocation& location, const std::string& key,
                                         const std::string& valueName) const override {
    const UniqueRegistryKey handle = OpenKey(location, key, KEY_QUERY_VALUE);
    if (!handle) return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(handle.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
      return std::nullopt;
    }
    return value;
  }

  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) const override {
    const kelmar::Win32::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) > maxBytes) {
      return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
      return std::nullopt;
    }
    return bytes;
  }

  bool IsFile(const std::string& path) const override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
};

}  // namespace

std::unique_ptr<MachineProbe> MakeSystemMachineProbe() { return std::make_unique<SystemMachineProbe>(); }
