// The Windows HID and device-setup headers, and owners for the resources they hand out.
#pragma once

#include <windows.h>
#include <setupapi.h>

// The HID headers have no C++ linkage guard of their own.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include "win32/UniqueResource.h"

namespace kelmar {
namespace Win32 {

// Device information sets from SetupDiGetClassDevsA, which fails with INVALID_HANDLE_VALUE.
struct DeviceInfoListTraits {
  using Type = HDEVINFO;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { SetupDiDestroyDeviceInfoList(value); }
};

struct PreparsedDataTraits {
  using Type = PHIDP_PREPARSED_DATA;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { HidD_FreePreparsedData(value); }
};

using UniqueDeviceInfoList = UniqueResource<DeviceInfoListTraits>;
using UniquePreparsedData = UniqueResource<PreparsedDataTraits>;

}  // namespace Win32
}  // namespace kelmar
