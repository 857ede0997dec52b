// A machine as the registration checks see it, described by a test: registry keys by
// location label and path, files by path. Names match exactly (Windows would ignore case).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/diag/MachineProbe.h"

class FakeMachineProbe final : public MachineProbe {
 public:
  struct Key {
    std::optional<std::string> defaultValue;
    std::map<std::string, std::string> values;    // named string values
    std::map<std::string, std::uint32_t> dwords;  // named REG_DWORD values
  };

  bool is64 = true;
  std::map<std::pair<std::string, std::string>, Key> keys;  // (location label, key path)
  std::map<std::string, std::string> files;

  bool Is64BitWindows() const override { return is64; }
  RegistryEntry ReadKey(const RegistryLocation& location, const std::string& key) const override;
  std::vector<std::string> SubkeyNames(const RegistryLocation& location, const std::string& key) const override;
  std::optional<std::string> ReadString(const RegistryLocation& location, const std::string& key,
                                        const std::string& valueName) const override;
  std::vector<std::string> ValueNames(const RegistryLocation& location, const std::string& key) const override;
  std::optional<std::uint32_t> ReadDword(const RegistryLocation& location, const std::string& key,
                                         const std::string& valueName) const override;
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) const override;
  bool IsFile(const std::string& path) const override { return files.count(path) != 0; }
};
