// What the registration checks (--bridge, --plugin) read from the machine: registry keys
// and values in a hive and view, files. An interface so that the checks' tests can give
// them any machine they describe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/diag/RegistryLocations.h"

struct RegistryEntry {
  bool keyExists = false;
  std::optional<std::string> defaultValue;  // the key's default value, when it is a string
};

class MachineProbe {
 public:
  virtual ~MachineProbe() = default;
  virtual bool Is64BitWindows() const = 0;
  virtual RegistryEntry ReadKey(const RegistryLocation& location, const std::string& key) const = 0;
  // The names of the key's subkeys; none when the key is missing.
  virtual std::vector<std::string> SubkeyNames(const RegistryLocation& location, const std::string& key) const = 0;
  // A named string value of the key; nothing when the key or value is missing or not a string.
  virtual std::optional<std::string> ReadString(const RegistryLocation& location, const std::string& key,
                                                const std::string& valueName) const = 0;
  // The names of the key's named values, of any type; none when the key is missing.
  virtual std::vector<std::string> ValueNames(const RegistryLocation& location, const std::string& key) const = 0;
  // A named REG_DWORD value of the key; nothing when it is missing or of another type.
  virtual std::optional<std::uint32_t> ReadDword(const RegistryLocation& location, const std::string& key,
                                                 const std::string& valueName) const = 0;
  // The file's bytes; nothing when it is missing, cannot be read or is larger than `maxBytes`.
  virtual std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) const = 0;
  virtual bool IsFile(const std::string& path) const = 0;
};

// This machine's registry and files.
std::unique_ptr<MachineProbe> MakeSystemMachineProbe();
