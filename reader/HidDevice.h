// Questions a HID device answers through an open handle.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "win32/UniqueResource.h"

struct HidIds {
  std::uint16_t vendorId;
  std::uint16_t productId;
};

// Opens a device interface with no read or write rights: enough for the questions below,
// and granted even for devices the system holds exclusively (keyboards, mice).
kelmar::Win32::UniqueFileHandle OpenHidDeviceForQuery(const std::string& path);

// Vendor and product id, or nothing when the device's attributes cannot be read.
std::optional<HidIds> ReadHidIds(HANDLE device);

// The length of the device's input reports (InputReportByteLength of its capabilities,
// report id byte included), or nothing when its capabilities cannot be read.
std::optional<std::uint16_t> ReadInputReportLength(HANDLE device);
