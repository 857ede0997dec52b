// Why a listening run ended, kept for the thread's owner: the field diagnostics print it,
// the trace writes it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

enum class ListenEndReason {
  NotStarted,              // no run has been started yet
  Running,                 // a run was started and has not ended
  Stopped,                 // the owner asked it to stop
  OpenFailed,              // the device could not be opened for reading
  CapabilitiesUnreadable,  // the device's report length could not be learnt
  ReportLengthRefused,     // the device announces reports of 0 bytes or longer than the buffer
  ReadFailed,              // a read failed (as when the reader is unplugged)
  WaitFailed,              // waiting for a read or a stop failed
  OtherFailure,            // anything else that ended the run (an event could not be made)
};

struct ListenEnd {
  ListenEndReason reason = ListenEndReason::NotStarted;
  DWORD errorCode = ERROR_SUCCESS;  // the Win32 code behind a failure
  std::uint32_t reportLength = 0;   // ReportLengthRefused: what the device announced
};

// True for the ends where the reader was found but refused to be listened to (it could not
// be opened, or its reports cannot be read), as against a run that ended after opening.
bool IsRefusal(ListenEndReason reason);

// One sentence for a technician, with the Win32 code where there is one, for example
// "the reader announces 2000-byte reports; at most 1028 are read".
std::string DescribeListenEnd(const ListenEnd& end);
