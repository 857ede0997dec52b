// The HID device interfaces present on the system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reader/HidDevice.h"

// Calls `visit` with the device path of each HID interface present, in the system's
// enumeration order, until `visit` returns false. An interface whose path cannot be read
// is skipped.
void ForEachHidInterfacePath(const std::function<bool(const std::string& path)>& visit);

struct HidInterfaceInfo {
  std::string path;
  std::optional<HidIds> ids;                       // nothing: attributes not readable
  std::optional<std::uint16_t> inputReportLength;  // nothing: capabilities not readable
};

// Every HID interface present, described; for diagnostics.
std::vector<HidInterfaceInfo> ListHidInterfaces();

// Device path of the first HID interface present with these ids, or the empty string.
// A vendor id of 0 takes the first interface whatever its ids.
std::string FindHidDevicePath(std::uint16_t vendorId, std::uint16_t productId);
