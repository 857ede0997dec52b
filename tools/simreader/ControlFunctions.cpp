// The control functions of the simulated reader (SimReaderApi.h).
#include <algorithm>
#include <memory>

#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/simreader/SimReaderApi.h"
#include "tools/simreader/SimulatorState.h"

namespace {

std::shared_ptr<SimulatedDevice> DeviceOrError(unsigned id) {
  std::shared_ptr<SimulatedDevice> device = SimulatorState::Get().Find(id);
  if (device == nullptr) SetLastError(ERROR_DEVICE_NOT_CONNECTED);
  return device;
}

}  // namespace

extern "C" {

unsigned SimReader_AddDevice(unsigned short vendorId, unsigned short productId, unsigned short inputReportLength) {
  try {
    return SimulatorState::Get().AddDevice(vendorId, productId, inputReportLength);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}

BOOL SimReader_RemoveDevice(unsigned id) {
  if (!SimulatorState::Get().RemoveDevice(id)) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return FALSE;
  }
  return TRUE;
}

BOOL SimReader_SendReport(unsigned id, const void* bytes, unsigned length) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr) return FALSE;
  if (bytes == nullptr && length != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return device->Send(bytes, length) ? TRUE : FALSE;
}

BOOL SimReader_PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr) return FALSE;
  const CardReportBytes report = EncodeCardNumber(cardNumber, shift, device->NextSeed());
  return device->Send(report.data(), static_cast<DWORD>(report.size())) ? TRUE : FALSE;
}

BOOL SimReader_FailNextListeningOpen(unsigned id) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr) return FALSE;
  device->FailNextListeningOpen();
  return TRUE;
}

BOOL SimReader_SetFaults(unsigned id, unsigned faults) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr) return FALSE;
  device->SetFaults(faults);
  return TRUE;
}

int SimReader_OpenHandleCount(unsigned id) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  return device == nullptr ? -1 : device->OpenHandleCount();
}

BOOL SimReader_WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr) return FALSE;
  if (!device->WaitForOpenHandles(count, timeoutMilliseconds)) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  return TRUE;
}

BOOL SimReader_GetLastWriteTime(unsigned id, LARGE_INTEGER* counter) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr || counter == nullptr) return FALSE;
  counter->QuadPart = device->LastWriteTime();
  return TRUE;
}

BOOL SimReader_GetDevice(unsigned id, SimReaderDeviceInfo* info) {
  const std::shared_ptr<SimulatedDevice> device = DeviceOrError(id);
  if (device == nullptr || info == nullptr) return FALSE;
  *info = device->Info();
  return TRUE;
}

unsigned SimReader_ListDevices(SimReaderDeviceInfo* infos, unsigned capacity) {
  const auto devices = SimulatorState::Get().Devices();
  const std::size_t filled = infos == nullptr ? 0 : std::min<std::size_t>(capacity, devices.size());
  for (std::size_t i = 0; i < filled; ++i) {
    infos[i] = devices[i]->Info();
  }
  return static_cast<unsigned>(devices.size());
}

void SimReader_GetStats(SimReaderStats* stats) {
  if (stats != nullptr) *stats = SimulatorState::Get().Stats();
}

}  // extern "C"
