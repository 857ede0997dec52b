// The control functions of the simulated reader (SimReaderApi.h), on the devices this
// process serves: its own, or its session server's in the shared mode.
#include <algorithm>
#include <vector>

#include "tools/simreader/ServedDevices.h"
#include "tools/simreader/SimReaderApi.h"
#include "tools/simreader/SimulatorState.h"

namespace {

BOOL Succeeded(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

// ServedDevices() may allocate on its first call.
template <typename Call>
BOOL Guarded(Call call) {
  try {
    return Succeeded(call(ServedDevices()));
  } catch (...) {
    return Succeeded(ERROR_NOT_ENOUGH_MEMORY);
  }
}

}  // namespace

extern "C" {

unsigned SimReader_AddDevice(unsigned short vendorId, unsigned short productId, unsigned short inputReportLength) {
  unsigned id = 0;
  return Guarded([&](DeviceHost& devices) { return devices.AddDevice(vendorId, productId, inputReportLength, id); })
             ? id
             : 0;
}

BOOL SimReader_RemoveDevice(unsigned id) {
  return Guarded([id](DeviceHost& devices) { return devices.RemoveDevice(id); });
}

BOOL SimReader_SendReport(unsigned id, const void* bytes, unsigned length) {
  return Guarded([&](DeviceHost& devices) { return devices.SendReport(id, bytes, length); });
}

BOOL SimReader_PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) {
  return Guarded([&](DeviceHost& devices) { return devices.PresentCard(id, cardNumber, shift); });
}

BOOL SimReader_FailNextListeningOpen(unsigned id) {
  return Guarded([id](DeviceHost& devices) { return devices.FailNextListeningOpen(id); });
}

BOOL SimReader_SetFaults(unsigned id, unsigned faults) {
  return Guarded([&](DeviceHost& devices) { return devices.SetFaults(id, faults); });
}

int SimReader_OpenHandleCount(unsigned id) {
  int count = -1;
  return Guarded([&](DeviceHost& devices) { return devices.OpenHandleCount(id, count); }) ? count : -1;
}

BOOL SimReader_WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) {
  return Guarded([&](DeviceHost& devices) { return devices.WaitForOpenHandles(id, count, timeoutMilliseconds); });
}

BOOL SimReader_GetLastWriteTime(unsigned id, LARGE_INTEGER* counter) {
  if (counter == nullptr) return FALSE;
  return Guarded([&](DeviceHost& devices) { return devices.LastWriteTime(id, counter->QuadPart); });
}

BOOL SimReader_GetDevice(unsigned id, SimReaderDeviceInfo* info) {
  if (info == nullptr) return FALSE;
  return Guarded([&](DeviceHost& devices) { return devices.GetDevice(id, *info); });
}

unsigned SimReader_ListDevices(SimReaderDeviceInfo* infos, unsigned capacity) {
  std::vector<SimReaderDeviceInfo> devices;
  if (!Guarded([&](DeviceHost& host) { return host.ListDevices(devices); })) return 0;
  const std::size_t filled = infos == nullptr ? 0 : std::min<std::size_t>(capacity, devices.size());
  std::copy(devices.begin(), devices.begin() + static_cast<std::ptrdiff_t>(filled), infos);
  return static_cast<unsigned>(devices.size());
}

void SimReader_GetStats(SimReaderStats* stats) {
  if (stats == nullptr) return;
  // What this process's callers hold is counted here, whichever process has the devices.
  *stats = SimulatorState::Get().Stats();
  std::vector<SimReaderDeviceInfo> devices;
  if (Guarded([&](DeviceHost& host) { return host.ListDevices(devices); })) {
    stats->devices = static_cast<unsigned>(devices.size());
  }
}

}  // extern "C"
