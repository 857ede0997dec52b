#include "tools/simreader/PipeInstance.h"

using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniqueHandle;

namespace {

// Room for a few thousand queued reports per handle before a write has to wait.
constexpr DWORD kOutBufferSize = 64 * 1024;
constexpr DWORD kInBufferSize = 64;
// How long a write may wait for a client that does not read before it is dropped.
constexpr DWORD kWriteStallMilliseconds = 5000;

}  // namespace

std::unique_ptr<PipeInstance> PipeInstance::Create(const std::string& pipePath) {
  // Message mode: each write reaches the client as one read, like one HID input report.
  UniqueFileHandle pipe(CreateNamedPipeA(pipePath.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                         PIPE_UNLIMITED_INSTANCES, kOutBufferSize, kInBufferSize, 0, nullptr));
  UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!pipe || !event) {
    return nullptr;
  }
  return std::unique_ptr<PipeInstance>(new PipeInstance(std::move(pipe), std::move(event)));
}

bool PipeInstance::StartListening() { return m_state == State::Created && Connect(); }

PipeInstance::PipeInstance(UniqueFileHandle pipe, UniqueHandle event)
    : m_pipe(std::move(pipe)),
      m_event(std::move(event)),
      m_overlapped{},
      m_pending(false),
      m_state(State::Created),
      m_watchByte(0) {}

PipeInstance::~PipeInstance() {
  // The device frees an instance only once its I/O is over; this is the last resort.
  if (m_pending && m_pipe) {
    CancelIo(m_pipe.Get());
    DWORD count = 0;
    GetOverlappedResult(m_pipe.Get(), &m_overlapped, &count, TRUE);
  }
}

void PipeInstance::BeginIo() {
  ResetEvent(m_event.Get());
  m_overlapped = OVERLAPPED{};
  m_overlapped.hEvent = m_event.Get();
}

bool PipeInstance::Connect() {
  BeginIo();
  if (ConnectNamedPipe(m_pipe.Get(), &m_overlapped)) {
    m_pending = true;  // completed at once: Step notes the connection
    m_state = State::Listening;
    SetEvent(m_event.Get());
    return true;
  }
  switch (GetLastError()) {
    case ERROR_IO_PENDING:
      m_pending = true;
      m_state = State::Listening;
      return true;
    case ERROR_PIPE_CONNECTED:  // a client came between the creation and this call
      m_state = State::Connected;
      Watch();
      return true;
    default:
      Close();
      return false;
  }
}

void PipeInstance::Watch() {
  BeginIo();
  if (ReadFile(m_pipe.Get(), &m_watchByte, 1, nullptr, &m_overlapped)) {
    m_pending = true;  // the client wrote something; the event is set and Step reads on
    return;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING || error == ERROR_MORE_DATA) {
    m_pending = true;
  } else {
    m_state = State::Vacant;  // the client has already gone
  }
}

void PipeInstance::Step() {
  if (m_pending) {
    if (!HasOverlappedIoCompleted(&m_overlapped)) {
      return;
    }
    m_pending = false;
  }
  if (!m_pipe) {
    m_state = State::Closed;
    return;
  }
  DWORD count = 0;
  const bool succeeded =
      GetOverlappedResult(m_pipe.Get(), &m_overlapped, &count, FALSE) || GetLastError() == ERROR_MORE_DATA;
  switch (m_state) {
    case State::Listening:
      if (succeeded) {
        m_state = State::Connected;
        Watch();
      } else {
        Close();
      }
      break;
    case State::Connected:
      if (succeeded) {
        Watch();
      } else {
        m_state = State::Vacant;
      }
      break;
    case State::Created:
    case State::Vacant:
    case State::Closed:
      break;
  }
}

bool PipeInstance::Relisten() {
  DisconnectNamedPipe(m_pipe.Get());
  return Connect();
}

bool PipeInstance::HasClient() const {
  DWORD available = 0;
  return m_pipe && PeekNamedPipe(m_pipe.Get(), nullptr, 0, nullptr, &available, nullptr);
}

bool PipeInstance::IsFree() const {
  if ((m_state != State::Created && m_state != State::Listening) || !m_pipe) {
    return false;
  }
  DWORD available = 0;
  if (PeekNamedPipe(m_pipe.Get(), nullptr, 0, nullptr, &available, nullptr)) {
    return false;  // connected
  }
  const DWORD error = GetLastError();
  return error == ERROR_BAD_PIPE || error == ERROR_PIPE_LISTENING;
}

bool PipeInstance::Write(const void* bytes, DWORD length, HANDLE writeEvent) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = writeEvent;
  DWORD written = 0;
  if (WriteFile(m_pipe.Get(), bytes, length, &written, &overlapped)) {
    return true;
  }
  if (GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  if (WaitForSingleObject(writeEvent, kWriteStallMilliseconds) != WAIT_OBJECT_0) {
    CancelIoEx(m_pipe.Get(), &overlapped);
  }
  return GetOverlappedResult(m_pipe.Get(), &overlapped, &written, TRUE) != FALSE;
}

void PipeInstance::Disconnect() {
  if (m_pipe) {
    DisconnectNamedPipe(m_pipe.Get());
  }
  Close();
}

void PipeInstance::Close() {
  // Closing completes any pending connect or watch; Step notes its end.
  m_pipe.Reset();
  m_state = State::Closed;
}
