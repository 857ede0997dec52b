#include "tests/diag/FakeMachineProbe.h"

RegistryEntry FakeMachineProbe::ReadKey(const RegistryLocation& location, const std::string& key) const {
  const auto found = keys.find({location.label, key});
  if (found == keys.end()) return {};
  return RegistryEntry{true, found->second.defaultValue};
}

// The direct children of `key` among the keys described.
std::vector<std::string> FakeMachineProbe::SubkeyNames(const RegistryLocation& location, const std::string& key) const {
  const std::string prefix = key + "\\";
  std::vector<std::string> names;
  for (const auto& [where, ignored] : keys) {
    if (where.first != location.label || where.second.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = where.second.substr(prefix.size());
    const std::string child = rest.substr(0, rest.find('\\'));
    if (names.empty() || names.back() != child) names.push_back(child);
  }
  return names;
}

std::optional<std::string> FakeMachineProbe::ReadString(const RegistryLocation& location, const std::string& key,
                                                        const std::string& valueName) const {
  const auto found = keys.find({location.label, key});
  if (found == keys.end()) return std::nullopt;
  const auto value = found->second.values.find(valueName);
  if (value == found->second.values.end()) return std::nullopt;
  return value->second;
}

std::optional<std::string> FakeMachineProbe::ReadFile(const std::string& path, std::size_t maxBytes) const {
  const auto found = files.find(path);
  if (found == files.end() || found->second.size() > maxBytes) return std::nullopt;
  return found->second;
}

std::vector<std::string> FakeMachineProbe::ValueNames(const RegistryLocation& location, const std::string& key) const {
  std::vector<std::string> names;
  const auto found = keys.find({location.label, key});
  if (found == keys.end()) return names;
  for (const auto& [name, ignored] : found->second.values) names.push_back(name);
  for (const auto& [name, ignored] : found->second.dwords) names.push_back(name);
  return names;
}

std::optional<std::uint32_t> FakeMachineProbe::ReadDword(const RegistryLocation& location, const std::string& key,
                                                         const std::string& valueName) const {
  const auto found = keys.find({location.label, key});
  if (found == keys.end()) return std::nullopt;
  const auto value = found->second.dwords.find(valueName);
  if (value == found->second.dwords.end()) return std::nullopt;
  return value->second;
}
