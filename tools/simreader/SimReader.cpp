#include "tools/simreader/SimReader.h"

#include <stdexcept>

namespace simreader {
namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  const FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) {
    throw std::runtime_error(std::string("simreader.dll has no ") + name);
  }
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

// The hid.dll of this process, if one is loaded, must lead to the simulator: otherwise the
// devices plugged in here would be invisible to the code under test.
void CheckStandInsInUse(HMODULE simulator) {
  const HMODULE hid = GetModuleHandleA("hid.dll");
  if (hid == nullptr) {
    return;
  }
  if (GetProcAddress(hid, "HidD_GetAttributes") != GetProcAddress(simulator, "HidD_GetAttributes")) {
    throw std::runtime_error(
        "hid.dll is not the simulated reader's stand-in; run with WINEDLLOVERRIDES=\"hid,setupapi=n\" "
        "(scripts/wine-exec.sh) and the stand-ins next to the program");
  }
}

ControlFunctions Load() {
  const HMODULE module = LoadLibraryA("simreader.dll");  // kept loaded for the process's life
  if (module == nullptr) {
    throw std::runtime_error("simreader.dll not found next to the program");
  }
  CheckStandInsInUse(module);
  ControlFunctions functions{};
  Resolve(module, "SimReader_AddDevice", functions.AddDevice);
  Resolve(module, "SimReader_RemoveDevice", functions.RemoveDevice);
  Resolve(module, "SimReader_SendReport", functions.SendReport);
  Resolve(module, "SimReader_PresentCard", functions.PresentCard);
  Resolve(module, "SimReader_FailNextListeningOpen", functions.FailNextListeningOpen);
  Resolve(module, "SimReader_SetFaults", functions.SetFaults);
  Resolve(module, "SimReader_OpenHandleCount", functions.OpenHandleCount);
  Resolve(module, "SimReader_WaitForOpenHandles", functions.WaitForOpenHandles);
  Resolve(module, "SimReader_GetLastWriteTime", functions.GetLastWriteTime);
  Resolve(module, "SimReader_GetDevice", functions.GetDevice);
  Resolve(module, "SimReader_ListDevices", functions.ListDevices);
  Resolve(module, "SimReader_GetStats", functions.GetStats);
  return functions;
}

void Check(BOOL succeeded, const char* what) {
  if (!succeeded) {
    throw std::runtime_error(std::string("simulated reader: ") + what + " failed, error " +
                             std::to_string(GetLastError()));
  }
}

}  // namespace

const ControlFunctions& Control() {
  static const ControlFunctions functions = Load();
  return functions;
}

SimReaderStats Stats() {
  SimReaderStats stats{};
  Control().GetStats(&stats);
  return stats;
}

Device::Device(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength)
    : m_id(Control().AddDevice(vendorId, productId, inputReportLength)) {
  Check(m_id != 0, "AddDevice");
  SimReaderDeviceInfo info{};
  Check(Control().GetDevice(m_id, &info), "GetDevice");
  m_path = info.path;
}

Device::~Device() { Unplug(); }

Device::Device(Device&& other) noexcept : m_id(other.m_id), m_path(std::move(other.m_path)) { other.m_id = 0; }

void Device::PresentCard(std::uint32_t cardNumber, std::uint8_t shift) const {
  Check(Control().PresentCard(m_id, cardNumber, shift), "PresentCard");
}

void Device::SendReport(const std::vector<std::uint8_t>& report) const {
  Check(Control().SendReport(m_id, report.data(), static_cast<unsigned>(report.size())), "SendReport");
}

void Device::FailNextListeningOpen() const { Check(Control().FailNextListeningOpen(m_id), "FailNextListeningOpen"); }

void Device::SetFaults(unsigned faults) const { Check(Control().SetFaults(m_id, faults), "SetFaults"); }

int Device::OpenHandleCount() const { return Control().OpenHandleCount(m_id); }

LONGLONG Device::LastWriteTime() const {
  LARGE_INTEGER counter{};
  Check(Control().GetLastWriteTime(m_id, &counter), "GetLastWriteTime");
  return counter.QuadPart;
}

bool Device::WaitForOpenHandles(int count, DWORD timeoutMilliseconds) const {
  return Control().WaitForOpenHandles(m_id, count, timeoutMilliseconds) != FALSE;
}

void Device::Unplug() {
  if (m_id != 0) {
    Control().RemoveDevice(m_id);
    m_id = 0;
  }
}

}  // namespace simreader
