// The stand-in hid.dll functions. The device behind a handle is found by the name of the
// pipe the handle was opened on.
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "tools/simreader/ServedDevices.h"
#include "tools/simreader/SimulatorState.h"

namespace {

// The file system's name for what a handle was opened on ("\simreader#..." for a pipe).
std::wstring FileNameOf(HANDLE handle) {
  constexpr DWORD kMaxNameBytes = 1024;
  DWORD buffer[(sizeof(DWORD) + kMaxNameBytes) / sizeof(DWORD) + 1] = {};
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, buffer, sizeof(buffer))) {
    return std::wstring();
  }
  DWORD nameBytes = 0;
  std::memcpy(&nameBytes, buffer, sizeof(nameBytes));
  nameBytes = std::min<DWORD>(nameBytes, kMaxNameBytes);
  std::wstring name(nameBytes / sizeof(wchar_t), L'\0');
  std::memcpy(&name[0], reinterpret_cast<const unsigned char*>(buffer) + sizeof(DWORD), name.size() * sizeof(wchar_t));
  return name;
}

// A pipe client's handle starts in byte mode, where queued messages run together; a HID
// read returns one report. The library's first call on its handle is one of ours, so the
// handle is switched here, before it reads.
void ReadOneReportPerRead(HANDLE device) {
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(device, &mode, nullptr, nullptr);
}

// The device behind `handle`, told that `use` is made of the handle; false with the
// error set when there is none or its faults refuse the use.
bool UseDevice(HANDLE handle, HandleUse use, SimReaderDeviceInfo& info) {
  CoverNotificationRegistrations();
  const DWORD error = ServedDevices().UseHandle(FileNameOf(handle), use, info);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return false;
  }
  ReadOneReportPerRead(handle);
  return true;
}

}  // namespace

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID guid) {
  try {
    // Programs ask for the class just before they register for its notifications.
    CoverNotificationRegistrations();
  } catch (...) {
  }
  if (guid != nullptr) *guid = kHidInterfaceGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
  try {
    SimReaderDeviceInfo info{};
    if (attributes == nullptr) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    if (!UseDevice(device, HandleUse::Attributes, info)) return FALSE;
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = info.vendorId;
    attributes->ProductID = info.productId;
    attributes->VersionNumber = 0x0100;
    return TRUE;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsedData) {
  try {
    SimReaderDeviceInfo info{};
    if (preparsedData == nullptr) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    if (!UseDevice(device, HandleUse::PreparsedData, info)) return FALSE;
    auto data = std::make_unique<PreparsedData>(
        PreparsedData{info.inputReportLength, (info.faults & SIMREADER_FAULT_CAPS) != 0});
    // An opaque handle to the caller; only these functions look behind it.
    *preparsedData = reinterpret_cast<PHIDP_PREPARSED_DATA>(SimulatorState::Get().OpenPreparsedData(std::move(data)));
    return TRUE;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsedData, PHIDP_CAPS capabilities) {
  const PreparsedData* data = SimulatorState::Get().FindPreparsedData(preparsedData);
  if (data == nullptr || capabilities == nullptr || data->capsFail) {
    return HIDP_STATUS_INVALID_PREPARSED_DATA;
  }
  *capabilities = HIDP_CAPS{};
  capabilities->Usage = 0x01;
  capabilities->UsagePage = 0xFF00;  // vendor-defined
  capabilities->InputReportByteLength = data->inputReportLength;
  return HIDP_STATUS_SUCCESS;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsedData) {
  return SimulatorState::Get().ClosePreparsedData(preparsedData) ? TRUE : FALSE;
}

}  // extern "C"
