// What the bridge check reads from the machine: registry keys in a hive and view, files.
// An interface so that the check's tests can give it any machine they describe.
#pragma once

#include <memory>
#include <optional>
#include <string>

enum class RegistryHive { CurrentUser, LocalMachine };
// Shared: the key is the same in both views (HKCU\Software), or the system has one view.
enum class RegistryView { Shared, Bits32, Bits64 };

struct RegistryLocation {
  RegistryHive hive;
  RegistryView view;
  const char* label;  // as a technician finds it in regedit
};

struct RegistryEntry {
  bool keyExists = false;
  std::optional<std::string> defaultValue;  // the key's default value, when it is a string
};

class BridgeProbe {
 public:
  virtual ~BridgeProbe() = default;
  virtual bool Is64BitWindows() const = 0;
  virtual RegistryEntry ReadKey(const RegistryLocation& location, const std::string& key) const = 0;
  // The file's bytes; nothing when it is missing or cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path) const = 0;
  virtual bool IsFile(const std::string& path) const = 0;
};

// This machine's registry and files.
std::unique_ptr<BridgeProbe> MakeSystemBridgeProbe();
