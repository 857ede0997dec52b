// The platform's floor for a card's way to the page: the shortest path from a simulated
// device's write to a window's thread. One overlapped read at a time on the device's pipe,
// each completion posted to a window, nothing decoded, no page. What the plug-in takes on
// top of this is its own.
#pragma once

#include <windows.h>

#include <string>

#include "win32/Event.h"
#include "win32/UniqueResource.h"

class FloorReader {
 public:
  // Opens the device as the listen thread does (its HID capabilities read, which also
  // switches the simulator's pipe to one report per read) and starts reading. Throws
  // std::runtime_error if the device cannot be opened.
  FloorReader(const std::string& devicePath, HWND window, UINT message);
  // Stops reading: cancels the pending read and waits for the thread.
  ~FloorReader();
  FloorReader(const FloorReader&) = delete;
  FloorReader& operator=(const FloorReader&) = delete;

 private:
  static unsigned __stdcall Run(void* self);
  void ReadUntilStopped();

  kelmar::Win32::UniqueFileHandle m_device;
  DWORD m_reportLength;
  HWND m_window;
  UINT m_message;
  kelmar::Win32::CManualResetEvent m_stop;
  kelmar::Win32::UniqueHandle m_thread;
};
