#include "reader/DeviceEvents.h"

#include <mbstring.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "reader/ReaderTrace.h"
#include "reader/UsbICReaderManager.h"

namespace {

// The interface's name, bounded by the size the notification declares.
std::string InterfaceName(const DEV_BROADCAST_HDR& header) {
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  if (header.dbch_size <= kNameOffset) return {};
  const char* name = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A&>(header).dbcc_name;
  const std::size_t room = header.dbch_size - kNameOffset;
  const void* end = std::memchr(name, '\0', room);
  return std::string(name, end != nullptr ? static_cast<const char*>(end) : name + room);
}

// Device paths compare without regard to letter case, double-byte characters of the
// ANSI code page kept whole.
bool SamePath(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

void OnArrival(CUsbICReaderManager& manager, const DEV_BROADCAST_HDR& header) {
  TraceReaderEvent([&] { return "device arrival: " + InterfaceName(header); });
  if (!manager.GetListenThread().IsRunning()) manager.OpenReader();
}

void OnRemoval(CUsbICReaderManager& manager, const DEV_BROADCAST_HDR& header) {
  CHIDListenThread& thread = manager.GetListenThread();
  const std::string removed = InterfaceName(header);
  const bool reader = SamePath(removed, thread.GetDevicePath());
  TraceReaderEvent([&] { return "device removal: " + removed + (reader ? " (the reader)" : ""); });
  if (reader) thread.Stop();
}

}  // namespace

DeviceChange ApplyDeviceChange(CUsbICReaderManager& manager, WPARAM event, const DEV_BROADCAST_HDR* header) noexcept {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return DeviceChange::None;
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return DeviceChange::None;

  const bool arrival = event == DBT_DEVICEARRIVAL;
  try {
    if (arrival) {
      OnArrival(manager, *header);
    } else {
      OnRemoval(manager, *header);
    }
  } catch (...) {
    // Starting or stopping the listen thread failed (or the name could not be copied);
    // the change is reported all the same, and the thread's state shows where it stands.
  }
  return arrival ? DeviceChange::Arrival : DeviceChange::Removal;
}
