#include "bridge/HostSession.h"

#include <cstdint>
#include <exception>
#include <optional>

#include "bridge/DeviceWindow.h"
#include "bridge/ExitCodes.h"
#include "bridge/FrameWriter.h"
#include "bridge/HostError.h"
#include "bridge/InputReader.h"
#include "bridge/Messages.h"
#include "reader/CardListener.h"
#include "reader/DeviceEvents.h"
#include "reader/ListenEnd.h"
#include "reader/UsbICReaderManager.h"
#include "win32/Exceptions.h"

namespace {

// Each card becomes a frame at once, on the listen thread: no window message in between
// to wait for, and none that could fold two cards into one.
class CardFrameSink final : public ICardSink {
 public:
  explicit CardFrameSink(FrameWriter& writer) : m_writer(writer) {}

  void OnCard(std::uint32_t cardNumber) noexcept override {
    try {
      m_writer.Write(CardMessage(cardNumber));
    } catch (...) {
      // The message could not be built: the card is lost like one read while unplugging.
    }
  }

 private:
  FrameWriter& m_writer;
};

// The listener's notify mode that only stores the number: the sink does the delivering.
constexpr std::int32_t kStoreOnly = 2;

class HostSession final : private IDeviceChangeReceiver {
 public:
  explicit HostSession(HANDLE output) : m_writer(output), m_cardSink(m_writer), m_window(*this) {
    m_listener.notifyMode = kStoreOnly;
    m_listener.sink = &m_cardSink;
    m_manager.AddListener(&m_listener);
    m_manager.RegisterHidNotification(m_window.Handle());
  }

  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  int Run(const InputReader& input, HANDLE stopRequested, std::ostream& errors) {
    m_writer.Write(HelloMessage());
    // A card read at once waits for the reader's state and the status, so the browser
    // hears of the listening first.
    m_writer.WhileHeld([this] {
      OpenReader();
      ReportReaderIfChanged();
    });
    for (;;) {
      HANDLE waitList[4] = {input.Ended(), stopRequested, m_writer.Failed(), nullptr};
      DWORD count = 3;
      // An ended thread's handle stays signalled: it is waited for only while it runs.
      if (m_reportedState == ReaderState::Listening) waitList[count++] = m_manager.GetListenThread().GetThreadHandle();
      const DWORD signalled = MsgWaitForMultipleObjectsEx(count, waitList, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (signalled == WAIT_OBJECT_0) return InputEnded(input, errors);
      if (signalled == WAIT_OBJECT_0 + 1) return kHostExitOk;
      if (signalled == WAIT_OBJECT_0 + 2) return OutputFailed(errors);
      if (signalled == WAIT_OBJECT_0 + count) {
        DeviceWindow::PumpMessages();
      } else if (signalled == WAIT_OBJECT_0 + 3) {
        ReportReaderIfChanged();  // listening ended by itself: unplugged, or a read failed
      } else {
        throw kelmar::Win32::CWin32Exception("HostSession::Run() - MsgWaitForMultipleObjectsEx", GetLastError());
      }
    }
  }

 private:
  void OnDeviceChange(WPARAM event, const DEV_BROADCAST_HDR* header) noexcept override {
    // An arrival may start listening: cards from it wait until the browser has heard of
    // the device, the reader's state and the status, as a page heard of them with the
    // plug-in. A removal may wait for the listen thread, which may be waiting for the
    // lock: not held then.
    if (event == DBT_DEVICEARRIVAL) {
      m_writer.WhileHeld([&] { ReportDeviceChange(event, header); });
    } else {
      ReportDeviceChange(event, header);
    }
  }

  void ReportDeviceChange(WPARAM event, const DEV_BROADCAST_HDR* header) noexcept {
    const DeviceChange change = ApplyDeviceChange(m_manager, event, header);
    if (change == DeviceChange::None) return;
    try {
      m_writer.Write(DeviceMessage(DeviceChangeValue(change)));
    } catch (...) {
      // The message could not be built; the reader's state below still tells what happened.
    }
    ReportReaderIfChanged();
  }

  void OpenReader() noexcept {
    try {
      m_manager.OpenReader();
    } catch (...) {
      // The listen thread could not be started: the reader's state and the status say it
      // is not listened to, and the next arrival tries again.
    }
  }

  // The reader's state when it changed, then the status when listening changed with it:
  // the browser learns why before it hears that the host is not listening.
  void ReportReaderIfChanged() noexcept {
    const ReaderState state = CurrentReaderState();
    if (m_reportedState == state) return;
    const bool listening = state == ReaderState::Listening;
    const bool listeningChanged = !m_reportedState || (*m_reportedState == ReaderState::Listening) != listening;
    m_reportedState = state;
    WriteMessage([state] { return ReaderMessage(state); });
    if (listeningChanged) WriteMessage([listening] { return StatusMessage(listening); });
  }

  ReaderState CurrentReaderState() const noexcept {
    const CHIDListenThread& thread = m_manager.GetListenThread();
    if (thread.IsRunning()) return ReaderState::Listening;
    if (!ReaderPresent()) return ReaderState::NoReader;
    return IsRefusal(thread.GetLastEnd().reason) ? ReaderState::CannotOpen : ReaderState::Ended;
  }

  bool ReaderPresent() const noexcept {
    try {
      return m_manager.IsReaderPresent();
    } catch (...) {
      // The search itself failed: taken as present, so that a reader that is there is
      // never reported unplugged.
      return true;
    }
  }

  template <typename Build>
  void WriteMessage(Build build) noexcept {
    try {
      m_writer.Write(build());
    } catch (...) {
      // The message could not be built: the browser misses this change, not the next.
    }
  }

  int InputEnded(const InputReader& input, std::ostream& errors) {
    const std::optional<HostError> failure = input.Failure();
    if (!failure) return kHostExitOk;
    WriteErrorLine(errors, *failure);
    return kHostExitFailed;
  }

  int OutputFailed(std::ostream& errors) {
    const DWORD error = m_writer.FailureCode();
    // The browser closed or disconnected its end: the session is over, and nothing went
    // wrong here.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED) return kHostExitOk;
    WriteErrorLine(errors, HostError{HostErrorCode::WriteFailed,
                                     "cannot write to standard output (error " + std::to_string(error) + ")"});
    return kHostExitFailed;
  }

  FrameWriter m_writer;
  CardFrameSink m_cardSink;
  CardListener m_listener;
  // Before the manager, which unregisters its notification for the window first.
  DeviceWindow m_window;
  // Last, so first to go: its listen thread, which writes through the sink, ends before
  // the sink, the listener and the writer do.
  CUsbICReaderManager m_manager;
  std::optional<ReaderState> m_reportedState;  // nothing before the first report
};

// Why the session could not start or go on, as the one line on `errors`.
template <typename Describe>
void ReportFailure(std::ostream& errors, Describe describe) noexcept {
  try {
    WriteErrorLine(errors, HostError{HostErrorCode::Failed, describe()});
  } catch (...) {
    WriteErrorLine(errors, HostError{HostErrorCode::Failed, {}});
  }
}

}  // namespace

int RunHostSession(HANDLE input, HANDLE output, HANDLE stopRequested, std::ostream& errors) noexcept {
  try {
    const InputReader reader(input);
    HostSession session(output);
    return session.Run(reader, stopRequested, errors);
  } catch (const kelmar::Win32::CExceptionEx& exception) {
    ReportFailure(errors, [&] { return exception.GetOrigin() + ": " + exception.GetMessageText(); });
  } catch (const std::exception& exception) {
    ReportFailure(errors, [&] { return std::string(exception.what()); });
  } catch (...) {
    ReportFailure(errors, [] { return std::string("unexpected failure"); });
  }
  return kHostExitFailed;
}
