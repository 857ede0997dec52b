// The stand-in hid.dll functions. The device behind a handle is found by the name of the
// pipe the handle was opened on.
#include <windows.h>

extern "C" {
#include <hidsdi.h>
}

#include <memory>

#include "tools/simreader/SimulatorState.h"

namespace {

// A pipe client's handle starts in byte mode, where queued messages run together; a HID
// read returns one report. The library's first call on its handle is one of ours, so the
// handle is switched here, before it reads.
void ReadOneReportPerRead(HANDLE device) {
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(device, &mode, nullptr, nullptr);
}

}  // namespace

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID guid) {
  if (guid != nullptr) *guid = kHidInterfaceGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
  try {
    const std::shared_ptr<SimulatedDevice> simulated = SimulatorState::Get().FindByHandle(device);
    if (simulated == nullptr || attributes == nullptr || (simulated->Faults() & SIMREADER_FAULT_ATTRIBUTES) != 0) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    ReadOneReportPerRead(device);
    simulated->OnHandleUsed();
    attributes->Size = sizeof(HIDD_ATTRIBUTES);
    attributes->VendorID = simulated->VendorId();
    attributes->ProductID = simulated->ProductId();
    attributes->VersionNumber = 0x0100;
    simulated->OnAttributesQueried();
    return TRUE;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* preparsedData) {
  try {
    const std::shared_ptr<SimulatedDevice> simulated = SimulatorState::Get().FindByHandle(device);
    if (simulated == nullptr || preparsedData == nullptr ||
        (simulated->Faults() & SIMREADER_FAULT_PREPARSED_DATA) != 0) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    ReadOneReportPerRead(device);
    simulated->OnHandleUsed();
    auto data = std::make_unique<PreparsedData>(
        PreparsedData{simulated->InputReportLength(), (simulated->Faults() & SIMREADER_FAULT_CAPS) != 0});
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
