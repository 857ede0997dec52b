#include "reader/HidDevice.h"

#include "reader/HidSystem.h"

using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniquePreparsedData;

UniqueFileHandle OpenHidDeviceForQuery(const std::string& path) {
  return UniqueFileHandle(
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

std::optional<HidIds> ReadHidIds(HANDLE device) {
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof(attributes);
  if (!HidD_GetAttributes(device, &attributes)) {
    return std::nullopt;
  }
  return HidIds{attributes.VendorID, attributes.ProductID};
}

std::optional<std::uint16_t> ReadInputReportLength(HANDLE device) {
  PHIDP_PREPARSED_DATA data = nullptr;
  if (!HidD_GetPreparsedData(device, &data)) {
    return std::nullopt;
  }
  const UniquePreparsedData preparsed(data);
  HIDP_CAPS caps{};
  if (HidP_GetCaps(preparsed.Get(), &caps) != HIDP_STATUS_SUCCESS) {
    return std::nullopt;
  }
  return caps.InputReportByteLength;
}
