// The simulated HID devices of simreader.dll (next to the program), driven as a person
// at the kiosk would: plug a device in, present a card, pull it out. Plugging and
// pulling also tell the browser's windows, as Windows would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tools/simreader/SimReaderApi.h"
#include "win32/UniqueResource.h"

namespace nphost {

class Browser;

class SimulatedReader {
 public:
  static constexpr std::uint16_t kReaderVendorId = 0x4154;
  static constexpr std::uint16_t kReaderProductId = 0x5652;
  static constexpr std::uint16_t kReaderReportLength = 17;

  // Loads simreader.dll; throws HostError when it or one of its functions is missing.
  SimulatedReader();
  SimulatedReader(const SimulatedReader&) = delete;
  SimulatedReader& operator=(const SimulatedReader&) = delete;

  // Adds a device and sends the arrival to the browser's windows; returns its id.
  unsigned Plug(Browser& browser, std::uint16_t vendorId = kReaderVendorId,
                std::uint16_t productId = kReaderProductId, std::uint16_t reportLength = kReaderReportLength);
  // Removes the device and sends the removal, naming the device by its path or by
  // `announcedPath` (the same path in other letter case, say).
  void Unplug(Browser& browser, unsigned id);
  void Unplug(Browser& browser, unsigned id, const std::string& announcedPath);

  // Without telling any window.
  unsigned AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t reportLength);
  bool RemoveDevice(unsigned id);

  bool PresentCard(unsigned id, std::uint32_t cardNumber, std::uint8_t shift = 3);
  bool SendReport(unsigned id, const void* bytes, unsigned length);
  bool FailNextListeningOpen(unsigned id);
  int OpenHandles(unsigned id);
  bool WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds);
  std::string PathOf(unsigned id);

 private:
  kelmar::Win32::UniqueModule m_module;
  SimReader_AddDevice_t m_addDevice;
  SimReader_RemoveDevice_t m_removeDevice;
  SimReader_SendReport_t m_sendReport;
  SimReader_PresentCard_t m_presentCard;
  SimReader_FailNextListeningOpen_t m_failNextListeningOpen;
  SimReader_OpenHandleCount_t m_openHandleCount;
  SimReader_WaitForOpenHandles_t m_waitForOpenHandles;
  SimReader_GetDevice_t m_getDevice;
};

}  // namespace nphost
