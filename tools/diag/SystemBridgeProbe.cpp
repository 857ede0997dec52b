// The bridge check's view of this machine, through the registry and file functions.
#include <windows.h>

#include "tools/diag/BridgeProbe.h"
#include "win32/UniqueResource.h"

namespace {

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { RegCloseKey(value); }
};
using UniqueRegistryKey = kelmar::Win32::UniqueResource<RegistryKeyTraits>;

// A manifest is a few hundred bytes; anything this large is not one.
constexpr LONGLONG kMaxManifestBytes = 1 << 20;

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

class SystemBridgeProbe final : public BridgeProbe {
 public:
  bool Is64BitWindows() const override {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
  }

  RegistryEntry ReadKey(const RegistryLocation& location, const std::string& key) const override {
    const HKEY root = location.hive == RegistryHive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(location.view), &opened) != ERROR_SUCCESS) {
      return {};
    }
    const UniqueRegistryKey handle(opened);
    RegistryEntry entry;
    entry.keyExists = true;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(handle.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return entry;
    }
    std::string value(size + 1, '\0');
    if (RegQueryValueExA(handle.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
      return entry;
    }
    value.resize(size);
    while (!value.empty() && value.back() == '\0') value.pop_back();
    entry.defaultValue = value;
    return entry;
  }

  std::optional<std::string> ReadFile(const std::string& path) const override {
    const kelmar::Win32::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxManifestBytes) return std::nullopt;
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

std::unique_ptr<BridgeProbe> MakeSystemBridgeProbe() { return std::make_unique<SystemBridgeProbe>(); }
