#include "reader/HidListenThread.h"

#include "reader/HidDevice.h"
#include "reader/ReaderTrace.h"
#include "win32/Exceptions.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::CCriticalSectionLock;
using kelmar::Win32::CManualResetEvent;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::UniqueFileHandle;

namespace {

UniqueFileHandle OpenForListening(const std::string& path) {
  return UniqueFileHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

void TraceEnd(const std::string& path, const ListenEnd& end) {
  TraceReaderEvent([&] {
    return (IsRefusal(end.reason) ? "reader at " + path + " refused: " : "listening to " + path + " ended: ") +
           DescribeListenEnd(end);
  });
}

// One overlapped read at a time. A read still in flight is cancelled and waited for before
// this object, and so the OVERLAPPED record, goes away; the caller declares the buffer and
// the handle before it so that they outlive it.
class OverlappedRead {
 public:
  OverlappedRead(HANDLE device, HANDLE completionEvent) : m_device(device), m_overlapped{} {
    m_overlapped.hEvent = completionEvent;
  }
  ~OverlappedRead() { Cancel(); }

  OverlappedRead(const OverlappedRead&) = delete;
  OverlappedRead& operator=(const OverlappedRead&) = delete;

  // Issues the read; ERROR_SUCCESS, or the error of a read that failed at once. A read that
  // completes at once signals the completion event like one that completes later, so the
  // caller waits in both cases.
  DWORD Issue(BYTE* buffer, DWORD length) {
    m_overlapped.Offset = 0;
    m_overlapped.OffsetHigh = 0;
    DWORD count = 0;
    if (!ReadFile(m_device, buffer, length, &count, &m_overlapped)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) return error;
    }
    m_inFlight = true;
    return ERROR_SUCCESS;
  }

  // The byte count of the completed read. A failed read (as on an unplug) gives the count
  // the system reports, usually 0.
  DWORD Finish() {
    DWORD count = 0;
    GetOverlappedResult(m_device, &m_overlapped, &count, TRUE);
    m_inFlight = false;
    return count;
  }

  void Cancel() noexcept {
    if (!m_inFlight) {
      return;
    }
    CancelIo(m_device);
    DWORD count = 0;
    GetOverlappedResult(m_device, &m_overlapped, &count, TRUE);
    m_inFlight = false;
  }

 private:
  HANDLE m_device;
  OVERLAPPED m_overlapped;
  bool m_inFlight = false;
};

}  // namespace

CHIDListenThread::CHIDListenThread() : m_inputReportLength(0), m_stopEvent(false), m_receiver(nullptr) {}

CHIDListenThread::~CHIDListenThread() = default;

void CHIDListenThread::StartListening() {
  m_stopEvent.Reset();
  const ListenEnd previous = GetLastEnd();
  // Running from before the thread exists, so the owner never reads the last run's end
  // for this one.
  SetLastEnd(ListenEnd{ListenEndReason::Running, ERROR_SUCCESS, 0});
  try {
    Start();
  } catch (...) {
    SetLastEnd(previous);
    throw;
  }
}

void CHIDListenThread::Stop() {
  m_stopEvent.Set();
  Wait();
}

ListenEnd CHIDListenThread::GetLastEnd() const {
  const CCriticalSectionLock lock(m_endLock);
  return m_lastEnd;
}

void CHIDListenThread::SetLastEnd(const ListenEnd& end) {
  const CCriticalSectionLock lock(m_endLock);
  m_lastEnd = end;
}

void CHIDListenThread::EndRun(const ListenEnd& end, const char* origin) {
  SetLastEnd(end);
  TraceEnd(m_devicePath, end);
  throw CWin32Exception(origin, end.errorCode);
}

DWORD CHIDListenThread::Run() {
  try {
    const DWORD result = Listen();
    const ListenEnd stopped{ListenEndReason::Stopped, ERROR_SUCCESS, 0};
    SetLastEnd(stopped);
    TraceEnd(m_devicePath, stopped);
    return result;
  } catch (const CWin32Exception& failure) {
    // An end not kept yet: an event of the run could not be made or reset.
    if (GetLastEnd().reason == ListenEndReason::Running) {
      const ListenEnd other{ListenEndReason::OtherFailure, failure.GetErrorCode(), 0};
      SetLastEnd(other);
      TraceEnd(m_devicePath, other);
    }
    throw;
  }
}

DWORD CHIDListenThread::Listen() {
  BYTE buffer[kReceiveBufferSize];
  const UniqueFileHandle device = OpenForListening(m_devicePath);
  if (!device) {
    EndRun(ListenEnd{ListenEndReason::OpenFailed, GetLastError(), 0}, "CHIDListenThread::Run() - CreateFile ");
  }
  CManualResetEvent readCompleted(false);
  // A device whose capabilities cannot be read, or whose reports would not fit the receive
  // buffer, is refused like one that cannot be opened.
  const std::optional<std::uint16_t> length = ReadInputReportLength(device.Get());
  if (!length) {
    EndRun(ListenEnd{ListenEndReason::CapabilitiesUnreadable, ERROR_INVALID_DATA, 0},
           "CHIDListenThread::Run() - HidP_GetCaps");
  }
  if (*length == 0) {
    EndRun(ListenEnd{ListenEndReason::ReportLengthRefused, ERROR_INVALID_DATA, 0},
           "CHIDListenThread::Run() - HidP_GetCaps");
  }
  if (*length > kReceiveBufferSize) {
    EndRun(ListenEnd{ListenEndReason::ReportLengthRefused, ERROR_INSUFFICIENT_BUFFER, *length},
           "CHIDListenThread::Run() - InputReportByteLength");
  }
  m_inputReportLength = *length;
  TraceReaderEvent([&] {
    return "reader opened at " + m_devicePath + ": " + std::to_string(m_inputReportLength) + "-byte reports";
  });

  OverlappedRead read(device.Get(), readCompleted.GetHandle());
  // The stop event comes first: when both are signalled, the stop wins and the report
  // that completed at the same moment is not delivered.
  const HANDLE waitList[2] = {m_stopEvent.GetHandle(), readCompleted.GetHandle()};
  for (;;) {
    readCompleted.Reset();
    const DWORD readError = read.Issue(buffer, m_inputReportLength);
    if (readError != ERROR_SUCCESS) {
      EndRun(ListenEnd{ListenEndReason::ReadFailed, readError, 0}, "CHIDListenThread::Run() -  ReadFile");
    }
    const DWORD signalled = WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
    if (signalled == WAIT_OBJECT_0) {
      read.Cancel();
      return 0;
    }
    if (signalled != WAIT_OBJECT_0 + 1) {
      // Issuing another read now would leave two in flight; end the run as on a stop.
      const DWORD error = GetLastError();
      read.Cancel();
      EndRun(ListenEnd{ListenEndReason::WaitFailed, error, 0}, "CHIDListenThread::Run() - WaitForMultipleObjects");
    }
    const DWORD count = read.Finish();
    if (m_receiver != nullptr) {
      m_receiver->OnInputReport(buffer, count);
    }
  }
}
