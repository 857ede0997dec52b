// Receiver of the reader's input reports.
#pragma once

#include <windows.h>

class IInputReportProcess {
 public:
  // One input report exactly as read (byte 0 is the report id), on the listen thread.
  // The bytes are valid only during the call.
  virtual void OnInputReport(const BYTE* report, DWORD byteCount) = 0;

 protected:
  // Nothing is ever destroyed through this interface.
  ~IInputReportProcess() = default;
};
