#include "tools/diag/ReaderListening.h"

#include <string>

#include "reader/HidListenThread.h"
#include "reader/ListenEnd.h"
#include "reader/UsbICReaderManager.h"
#include "tools/diag/ExitCodes.h"
#include "tools/diag/ReportPrinter.h"
#include "win32/Exceptions.h"

namespace {

// The listen thread writes into the printer: it must have ended before the printer, and
// the thread object, go away, also when something throws in between.
class ListeningSession {
 public:
  ListeningSession(const std::string& path, IInputReportProcess& receiver) {
    m_thread.SetDevicePath(path);
    m_thread.SetReceiver(&receiver);
    m_thread.StartListening();
  }
  ~ListeningSession() {
    try {
      m_thread.Stop();
    } catch (...) {
      // Setting the stop event or waiting failed; nothing better is left to do here.
    }
  }

  ListeningSession(const ListeningSession&) = delete;
  ListeningSession& operator=(const ListeningSession&) = delete;

  HANDLE ThreadHandle() const { return m_thread.GetThreadHandle(); }
  void Stop() { m_thread.Stop(); }
  ListenEnd LastEnd() const { return m_thread.GetLastEnd(); }

 private:
  CHIDListenThread m_thread;
};

std::string ReportsText(std::uint32_t count) { return std::to_string(count) + (count == 1 ? " report" : " reports"); }

// Why the listen thread ended without being asked to, as the thread kept it. A reader
// that could not be opened but is still listed is most likely held by another program.
void ExplainThreadEnd(const std::string& path, const ListenEnd& end, std::ostream& out) {
  out << "Listening ended: " << DescribeListenEnd(end) << ".\n";
  if (end.reason == ListenEndReason::OpenFailed && FindHidDevicePath(kReaderVendorId, kReaderProductId) == path) {
    out << "The reader is still listed: another program may hold it open, or it was unplugged a moment ago.\n";
  }
}

}  // namespace

int RunListening(const DiagOptions& options, HANDLE interrupt, std::ostream& out) {
  const std::string path = FindHidDevicePath(kReaderVendorId, kReaderProductId);
  if (path.empty()) {
    out << "No card reader found: nothing to listen to. Run tarvx-diag without arguments to see the HID"
        << " devices present.\n";
    return kExitFailed;
  }
  out << "Listening to the card reader at " << path << "\n";
  out << "Present a card";
  if (options.reportCount != 0) out << "; stops after " << ReportsText(options.reportCount);
  if (options.seconds != 0) out << "; stops after " << options.seconds << " s";
  out << "; Ctrl+C stops." << std::endl;

  ReportPrinter printer(out, options.reportCount);
  ListeningSession session(path, printer);
  const HANDLE waitList[3] = {interrupt, printer.LimitReached(), session.ThreadHandle()};
  const DWORD timeout = options.seconds != 0 ? options.seconds * 1000u : INFINITE;
  const DWORD signalled = WaitForMultipleObjects(3, waitList, FALSE, timeout);
  const DWORD waitError = GetLastError();
  session.Stop();

  const std::uint32_t printed = printer.ReportsPrinted();
  switch (signalled) {
    case WAIT_OBJECT_0:
      out << "Stopped after " << ReportsText(printed) << ".\n";
      return kExitOk;
    case WAIT_OBJECT_0 + 1:
      out << "Stopped after " << ReportsText(printed) << ", as asked.\n";
      return kExitOk;
    case WAIT_OBJECT_0 + 2:
      ExplainThreadEnd(path, session.LastEnd(), out);
      return kExitFailed;
    case WAIT_TIMEOUT:
      out << "Time limit reached after " << ReportsText(printed);
      if (options.reportCount != 0) {
        out << " of " << options.reportCount << ".\n";
        return kExitFailed;
      }
      out << ".\n";
      return kExitOk;
    default:
      throw kelmar::Win32::CWin32Exception("RunListening() - WaitForMultipleObjects", waitError);
  }
}
