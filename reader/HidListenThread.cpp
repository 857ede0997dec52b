#include "reader/HidListenThread.h"

#include "reader/HidDevice.h"
#include "win32/Exceptions.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::CManualResetEvent;
using kelmar::Win32::CWin32Exception;
using kelmar::Win32::UniqueFileHandle;

namespace {

UniqueFileHandle OpenForListening(const std::string& path) {
  UniqueFileHandle device(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!device) {
    throw CWin32Exception("CHIDListenThread::Run() - CreateFile ", GetLastError());
  }
  return device;
}

// A device whose capabilities cannot be read, or whose reports would not fit the receive
// buffer, is refused like one that cannot be opened.
DWORD LearnInputReportLength(HANDLE device) {
  const std::optional<std::uint16_t> length = ReadInputReportLength(device);
  if (!length || *length == 0) {
    throw CWin32Exception("CHIDListenThread::Run() - HidP_GetCaps", ERROR_INVALID_DATA);
  }
  if (*length > CHIDListenThread::kReceiveBufferSize) {
    throw CWin32Exception("CHIDListenThread::Run() - InputReportByteLength", ERROR_INSUFFICIENT_BUFFER);
  }
  return *length;
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

  // Issues the read. A read that completes at once signals the completion event like one
  // that completes later, so the caller waits in both cases.
  void Issue(BYTE* buffer, DWORD length) {
    m_overlapped.Offset = 0;
    m_overlapped.OffsetHigh = 0;
    DWORD count = 0;
    if (!ReadFile(m_device, buffer, length, &count, &m_overlapped)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) {
        throw CWin32Exception("CHIDListenThread::Run() -  ReadFile", error);
      }
    }
    m_inFlight = true;
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
  Start();
}

void CHIDListenThread::Stop() {
  m_stopEvent.Set();
  Wait();
}

DWORD CHIDListenThread::Run() {
  BYTE buffer[kReceiveBufferSize];
  const UniqueFileHandle device = OpenForListening(m_devicePath);
  CManualResetEvent readCompleted(false);
  m_inputReportLength = LearnInputReportLength(device.Get());

  OverlappedRead read(device.Get(), readCompleted.GetHandle());
  // The stop event comes first: when both are signalled, the stop wins and the report
  // that completed at the same moment is not delivered.
  const HANDLE waitList[2] = {m_stopEvent.GetHandle(), readCompleted.GetHandle()};
  for (;;) {
    readCompleted.Reset();
    read.Issue(buffer, m_inputReportLength);
    const DWORD signalled = WaitForMultipleObjects(2, waitList, FALSE, INFINITE);
    if (signalled == WAIT_OBJECT_0) {
      read.Cancel();
      return 0;
    }
    if (signalled != WAIT_OBJECT_0 + 1) {
      // Issuing another read now would leave two in flight; end the run as on a stop.
      const DWORD error = GetLastError();
      read.Cancel();
      throw CWin32Exception("CHIDListenThread::Run() - WaitForMultipleObjects", error);
    }
    const DWORD count = read.Finish();
    if (m_receiver != nullptr) {
      m_receiver->OnInputReport(buffer, count);
    }
  }
}
