// What a WM_DEVICECHANGE means for the reader, in one place for every window that hears
// them (the plug-in window, the native messaging host's window).
#pragma once

#include <windows.h>
#include <dbt.h>

class CUsbICReaderManager;

enum class DeviceChange {
  None,     // not an interface arrival or removal: nothing to report
  Arrival,  // a HID interface arrived: report 1
  Removal,  // a HID interface went away: report 0
};

// Acts on the reader for one WM_DEVICECHANGE (its wParam and lParam) and says what to
// report. Arrival: opens the reader unless it is being listened to. Removal: stops
// listening when the removed interface's name (read no further than the notice's size)
// is the listened-to device path, letter case aside. Only DBT_DEVICEARRIVAL and
// DBT_DEVICEREMOVECOMPLETE of device interfaces count. A failure to start or stop the
// listen thread is swallowed: the change is reported all the same, and the thread's own
// state tells whether it runs. Never throws.
DeviceChange ApplyDeviceChange(CUsbICReaderManager& manager, WPARAM event, const DEV_BROADCAST_HDR* header) noexcept;

// The number a page is told for a change: 1 for an arrival, 0 for a removal.
inline int DeviceChangeValue(DeviceChange change) { return change == DeviceChange::Arrival ? 1 : 0; }
