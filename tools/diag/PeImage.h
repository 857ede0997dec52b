// What the plug-in check needs to know of a DLL, read from the file's bytes. The DLL is
// never loaded: a 64-bit program cannot load a 32-bit DLL, and loading one runs its code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct PeImage {
  std::string error;  // empty: the bytes are a PE image; otherwise why they are not one
  std::uint16_t machine = 0;
  bool isDll = false;
  std::vector<std::string> exportNames;    // the names the export table gives
  std::optional<std::string> fileVersion;  // "1.0.0.1", from the version resource
};

PeImage ReadPeImage(std::string_view data);

// "32-bit (i386)", "64-bit (x86-64)", or the machine's number for any other.
std::string MachineName(std::uint16_t machine);
