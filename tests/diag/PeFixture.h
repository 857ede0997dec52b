// Small PE files built byte by byte for the plug-in check's tests: the headers, one section
// with an export table and a version resource, as a linker lays them out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PeFixture {
  std::uint16_t machine = 0x014C;  // i386; 0x8664 for x86-64 (and PE32+)
  bool isDll = true;
  std::vector<std::string> exports = {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"};
  std::optional<std::array<std::uint16_t, 4>> version = std::array<std::uint16_t, 4>{1, 0, 0, 1};

  std::string Build() const;
};
