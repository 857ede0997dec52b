#include "tools/simreader/LocalDevices.h"

#include <memory>

#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/simreader/SimulatorState.h"

namespace {

// Runs `action` on the device, or answers that there is no such device.
template <typename Action>
DWORD WithDevice(unsigned id, Action action) {
  const std::shared_ptr<SimulatedDevice> device = SimulatorState::Get().Find(id);
  if (device == nullptr) return ERROR_DEVICE_NOT_CONNECTED;
  return action(*device);
}

unsigned RefusingFault(HandleUse use) {
  return use == HandleUse::Attributes ? SIMREADER_FAULT_ATTRIBUTES : SIMREADER_FAULT_PREPARSED_DATA;
}

}  // namespace

DWORD LocalDevices::AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength,
                              unsigned& id) {
  try {
    id = SimulatorState::Get().AddDevice(vendorId, productId, inputReportLength);
    return id != 0 ? ERROR_SUCCESS : GetLastError();
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD LocalDevices::RemoveDevice(unsigned id) {
  return SimulatorState::Get().RemoveDevice(id) ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
}

DWORD LocalDevices::SendReport(unsigned id, const void* bytes, unsigned length) {
  if (bytes == nullptr && length != 0) return ERROR_INVALID_PARAMETER;
  return WithDevice(id, [&](SimulatedDevice& device) -> DWORD {
    return device.Send(bytes, length) ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
  });
}

DWORD LocalDevices::PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) {
  return WithDevice(id, [&](SimulatedDevice& device) -> DWORD {
    const CardReportBytes report = EncodeCardNumber(cardNumber, shift, device.NextSeed());
    return device.Send(report.data(), static_cast<DWORD>(report.size())) ? ERROR_SUCCESS : ERROR_DEVICE_NOT_CONNECTED;
  });
}

DWORD LocalDevices::FailNextListeningOpen(unsigned id) {
  return WithDevice(id, [](SimulatedDevice& device) -> DWORD {
    device.FailNextListeningOpen();
    return ERROR_SUCCESS;
  });
}

DWORD LocalDevices::SetFaults(unsigned id, unsigned faults) {
  return WithDevice(id, [faults](SimulatedDevice& device) -> DWORD {
    device.SetFaults(faults);
    return ERROR_SUCCESS;
  });
}

DWORD LocalDevices::OpenHandleCount(unsigned id, int& count) {
  return WithDevice(id, [&count](SimulatedDevice& device) -> DWORD {
    count = device.OpenHandleCount();
    return ERROR_SUCCESS;
  });
}

DWORD LocalDevices::WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) {
  return WithDevice(id, [&](SimulatedDevice& device) -> DWORD {
    return device.WaitForOpenHandles(count, timeoutMilliseconds) ? ERROR_SUCCESS : ERROR_TIMEOUT;
  });
}

DWORD LocalDevices::LastWriteTime(unsigned id, LONGLONG& counter) {
  return WithDevice(id, [&counter](SimulatedDevice& device) -> DWORD {
    counter = device.LastWriteTime();
    return ERROR_SUCCESS;
  });
}

DWORD LocalDevices::GetDevice(unsigned id, SimReaderDeviceInfo& info) {
  return WithDevice(id, [&info](SimulatedDevice& device) -> DWORD {
    info = device.Info();
    return ERROR_SUCCESS;
  });
}

DWORD LocalDevices::ListDevices(std::vector<SimReaderDeviceInfo>& devices) {
  try {
    devices.clear();
    for (const auto& device : SimulatorState::Get().Devices()) devices.push_back(device->Info());
    return ERROR_SUCCESS;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD LocalDevices::BeginEnumeration(std::vector<SimReaderDeviceInfo>& devices) {
  try {
    devices.clear();
    for (const auto& device : SimulatorState::Get().Devices()) {
      device->OnEnumerationStarted();
      devices.push_back(device->Info());
    }
    return ERROR_SUCCESS;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD LocalDevices::UseHandle(const std::wstring& pipeName, HandleUse use, SimReaderDeviceInfo& info) {
  const std::shared_ptr<SimulatedDevice> device = SimulatorState::Get().FindByPipeName(pipeName);
  if (device == nullptr || (device->Faults() & RefusingFault(use)) != 0) return ERROR_INVALID_FUNCTION;
  device->OnHandleUsed();
  info = device->Info();
  if (use == HandleUse::Attributes) device->OnAttributesQueried();
  return ERROR_SUCCESS;
}
