#include "tools/host/SimulatedReader.h"

#include <dbt.h>

#include "tools/host/Browser.h"
#include "tools/host/PluginLibrary.h"

namespace nphost {
namespace {

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) throw HostError(std::string("simreader.dll does not export ") + name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace

SimulatedReader::SimulatedReader() : m_module(LoadLibraryA("simreader.dll")) {
  if (!m_module) throw HostError("simreader.dll cannot be loaded (error " + std::to_string(GetLastError()) + ")");
  HMODULE module = m_module.Get();
  m_addDevice = Resolve<SimReader_AddDevice_t>(module, "SimReader_AddDevice");
  m_removeDevice = Resolve<SimReader_RemoveDevice_t>(module, "SimReader_RemoveDevice");
  m_sendReport = Resolve<SimReader_SendReport_t>(module, "SimReader_SendReport");
  m_presentCard = Resolve<SimReader_PresentCard_t>(module, "SimReader_PresentCard");
  m_failNextListeningOpen = Resolve<SimReader_FailNextListeningOpen_t>(module, "SimReader_FailNextListeningOpen");
  m_openHandleCount = Resolve<SimReader_OpenHandleCount_t>(module, "SimReader_OpenHandleCount");
  m_waitForOpenHandles = Resolve<SimReader_WaitForOpenHandles_t>(module, "SimReader_WaitForOpenHandles");
  m_getDevice = Resolve<SimReader_GetDevice_t>(module, "SimReader_GetDevice");
}

unsigned SimulatedReader::Plug(Browser& browser, std::uint16_t vendorId, std::uint16_t productId,
                               std::uint16_t reportLength) {
  const unsigned id = AddDevice(vendorId, productId, reportLength);
  if (id != 0) browser.SendDeviceInterfaceChange(DBT_DEVICEARRIVAL, PathOf(id));
  return id;
}

void SimulatedReader::Unplug(Browser& browser, unsigned id) { Unplug(browser, id, PathOf(id)); }

void SimulatedReader::Unplug(Browser& browser, unsigned id, const std::string& announcedPath) {
  RemoveDevice(id);
  browser.SendDeviceInterfaceChange(DBT_DEVICEREMOVECOMPLETE, announcedPath);
}

unsigned SimulatedReader::AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t reportLength) {
  return m_addDevice(vendorId, productId, reportLength);
}

bool SimulatedReader::RemoveDevice(unsigned id) { return m_removeDevice(id) != FALSE; }

bool SimulatedReader::PresentCard(unsigned id, std::uint32_t cardNumber, std::uint8_t shift) {
  return m_presentCard(id, cardNumber, shift) != FALSE;
}

bool SimulatedReader::SendReport(unsigned id, const void* bytes, unsigned length) {
  return m_sendReport(id, bytes, length) != FALSE;
}

bool SimulatedReader::FailNextListeningOpen(unsigned id) { return m_failNextListeningOpen(id) != FALSE; }

int SimulatedReader::OpenHandles(unsigned id) { return m_openHandleCount(id); }

bool SimulatedReader::WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) {
  return m_waitForOpenHandles(id, count, timeoutMilliseconds) != FALSE;
}

std::string SimulatedReader::PathOf(unsigned id) {
  SimReaderDeviceInfo info{};
  if (!m_getDevice(id, &info)) return {};
  return std::string(info.path);
}

}  // namespace nphost
