#include "tools/simreader/ControlServer.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using kelmar::Win32::UniqueFileHandle;
using kelmar::Win32::UniqueHandle;
using simreader::protocol::Answer;
using simreader::protocol::Command;
using simreader::protocol::Request;
using simreader::protocol::RequestHeader;

namespace {

constexpr DWORD kPipeBufferSize = 4096;

Answer WithError(DWORD error) {
  Answer answer;
  answer.header.error = error;
  return answer;
}

void AppendInfo(Answer& answer, const SimReaderDeviceInfo& info) {
  const auto* first = reinterpret_cast<const std::uint8_t*>(&info);
  answer.payload.insert(answer.payload.end(), first, first + sizeof(info));
}

Answer WithInfos(DWORD error, const std::vector<SimReaderDeviceInfo>& infos) {
  Answer answer = WithError(error);
  if (error == ERROR_SUCCESS) {
    for (const SimReaderDeviceInfo& info : infos) AppendInfo(answer, info);
  }
  return answer;
}

// Waits for an overlapped operation on `pipe` or for `stop`; false when it failed or the
// server is stopping (the operation is then cancelled and over).
bool Complete(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop, DWORD& count) {
  const HANDLE waits[] = {overlapped.hEvent, stop};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, &overlapped, &count, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, &overlapped, &count, FALSE) != FALSE;
}

}  // namespace

// One client's connection: reads a request, answers it, until the client closes its end
// or the server stops.
class ControlServer::Connection {
 public:
  Connection(ControlServer& server, UniqueFileHandle pipe)
      : m_server(server),
        m_pipe(std::move(pipe)),
        m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        m_thread([this] { Serve(); }) {}
  ~Connection() { m_thread.join(); }

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Ended() const { return m_ended.load(); }

 private:
  void Serve() {
    std::vector<std::uint8_t> buffer(simreader::protocol::kMaxMessage);
    while (m_event) {
      DWORD count = 0;
      if (!Transfer(false, buffer.data(), static_cast<DWORD>(buffer.size()), count)) break;
      const std::optional<Request> request = simreader::protocol::DecodeRequest(buffer.data(), count);
      const std::vector<std::uint8_t> answer =
          simreader::protocol::Encode(request ? m_server.Handle(*request) : WithError(ERROR_INVALID_DATA));
      if (!Transfer(true, const_cast<std::uint8_t*>(answer.data()), static_cast<DWORD>(answer.size()), count)) break;
      if (request && request->header.command == Command::Stop) SetEvent(m_server.m_stop.Get());
    }
    m_ended.store(true);
  }

  // One overlapped read or write; false when it failed (a request too long for the buffer
  // included: the connection is closed rather than read out of step), or on stop.
  bool Transfer(bool write, std::uint8_t* bytes, DWORD size, DWORD& count) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = m_event.Get();
    ResetEvent(m_event.Get());
    const BOOL done = write ? WriteFile(m_pipe.Get(), bytes, size, nullptr, &overlapped)
                            : ReadFile(m_pipe.Get(), bytes, size, nullptr, &overlapped);
    if (!done && GetLastError() != ERROR_IO_PENDING) return false;
    return Complete(m_pipe.Get(), overlapped, m_server.m_stop.Get(), count);
  }

  ControlServer& m_server;
  UniqueFileHandle m_pipe;
  UniqueHandle m_event;
  std::atomic<bool> m_ended{false};
  std::thread m_thread;  // last: starts once everything above exists
};

ControlServer::ControlServer(const std::string& session)
    : m_pipePath(simreader::protocol::ControlPipePath(session)),
      m_stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_accept(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

ControlServer::~ControlServer() {
  SetEvent(m_stop.Get());
  m_connections.clear();
  UnplugEverything();
}

UniqueFileHandle ControlServer::NewInstance(bool first) const {
  const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
  return UniqueFileHandle(CreateNamedPipeA(m_pipePath.c_str(), openMode,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0, nullptr));
}

bool ControlServer::Open() {
  if (!m_stop || !m_accept) return false;
  m_listening = NewInstance(true);
  return m_listening.IsValid();
}

void ControlServer::Run() {
  while (WaitForSingleObject(m_stop.Get(), 0) != WAIT_OBJECT_0) {
    if (!m_listening) m_listening = NewInstance(false);
    if (!m_listening) {
      Sleep(100);  // out of resources for a moment: the clients retry meanwhile
      continue;
    }
    if (AcceptClient()) {
      m_connections.push_back(std::make_unique<Connection>(*this, std::move(m_listening)));
    }
    ForgetEndedConnections();
  }
  m_listening.Reset();
  m_connections.clear();  // each sees the stop and ends
}

bool ControlServer::AcceptClient() {
  OVERLAPPED overlapped{};
  overlapped.hEvent = m_accept.Get();
  ResetEvent(m_accept.Get());
  if (ConnectNamedPipe(m_listening.Get(), &overlapped)) return true;
  DWORD count = 0;
  switch (GetLastError()) {
    case ERROR_PIPE_CONNECTED:
      return true;
    case ERROR_IO_PENDING:
      if (Complete(m_listening.Get(), overlapped, m_stop.Get(), count)) return true;
      break;
    default:
      break;
  }
  m_listening.Reset();  // a fresh instance listens next time
  return false;
}

void ControlServer::ForgetEndedConnections() {
  m_connections.remove_if([](const std::unique_ptr<Connection>& connection) { return connection->Ended(); });
}

Answer ControlServer::Plug(const RequestHeader& header) {
  if (header.arg1 > 0xFFFF || header.arg2 > 0xFFFF || header.arg3 > 0xFFFF) return WithError(ERROR_INVALID_PARAMETER);
  unsigned id = 0;
  Answer answer =
      WithError(m_devices.AddDevice(static_cast<std::uint16_t>(header.arg1), static_cast<std::uint16_t>(header.arg2),
                                    static_cast<std::uint16_t>(header.arg3), id));
  SimReaderDeviceInfo info{};
  if (answer.header.error == ERROR_SUCCESS && m_devices.GetDevice(id, info) == ERROR_SUCCESS) {
    answer.header.value = static_cast<std::int32_t>(id);
    m_notifier.Arrived(info.path);  // it listens already: it can be opened
  }
  return answer;
}

DWORD ControlServer::Unplug(unsigned id) {
  SimReaderDeviceInfo info{};
  DWORD error = m_devices.GetDevice(id, info);
  if (error == ERROR_SUCCESS) error = m_devices.RemoveDevice(id);
  if (error == ERROR_SUCCESS) m_notifier.Removed(info.path);  // its pipe is gone
  return error;
}

void ControlServer::UnplugEverything() {
  std::vector<SimReaderDeviceInfo> devices;
  m_devices.ListDevices(devices);
  for (const SimReaderDeviceInfo& device : devices) Unplug(device.id);
  m_notifier.Flush();
}

Answer ControlServer::Handle(const Request& request) {
  const RequestHeader& header = request.header;
  const unsigned id = header.id;
  Answer answer;
  switch (header.command) {
    case Command::Ping:
      answer.header.value = static_cast<std::int32_t>(GetCurrentProcessId());
      return answer;
    case Command::Plug:
      return Plug(header);
    case Command::Unplug:
      return WithError(Unplug(id));
    case Command::SendReport:
      return WithError(m_devices.SendReport(id, request.payload.data(), static_cast<unsigned>(request.payload.size())));
    case Command::PresentCard:
      if (header.arg2 > 0xFF) return WithError(ERROR_INVALID_PARAMETER);
      return WithError(m_devices.PresentCard(id, header.arg1, static_cast<unsigned char>(header.arg2)));
    case Command::FailNextListeningOpen:
      return WithError(m_devices.FailNextListeningOpen(id));
    case Command::SetFaults:
      return WithError(m_devices.SetFaults(id, header.arg1));
    case Command::OpenHandleCount: {
      int count = 0;
      answer.header.error = m_devices.OpenHandleCount(id, count);
      answer.header.value = count;
      return answer;
    }
    case Command::WaitForOpenHandles:
      return WithError(m_devices.WaitForOpenHandles(id, static_cast<int>(header.arg1), header.arg2));
    case Command::LastWriteTime: {
      LONGLONG counter = 0;
      answer.header.error = m_devices.LastWriteTime(id, counter);
      answer.header.value64 = counter;
      return answer;
    }
    case Command::GetDevice: {
      SimReaderDeviceInfo info{};
      answer.header.error = m_devices.GetDevice(id, info);
      if (answer.header.error == ERROR_SUCCESS) AppendInfo(answer, info);
      return answer;
    }
    case Command::ListDevices:
    case Command::BeginEnumeration: {
      std::vector<SimReaderDeviceInfo> infos;
      const DWORD error =
          header.command == Command::ListDevices ? m_devices.ListDevices(infos) : m_devices.BeginEnumeration(infos);
      return WithInfos(error, infos);
    }
    case Command::UseHandle: {
      if (request.payload.size() % sizeof(wchar_t) != 0) return WithError(ERROR_INVALID_PARAMETER);
      std::wstring name(request.payload.size() / sizeof(wchar_t), L'\0');
      if (!name.empty()) std::memcpy(&name[0], request.payload.data(), request.payload.size());
      SimReaderDeviceInfo info{};
      answer.header.error = m_devices.UseHandle(name, static_cast<HandleUse>(header.arg1), info);
      if (answer.header.error == ERROR_SUCCESS) AppendInfo(answer, info);
      return answer;
    }
    case Command::RegisterWindow:
      m_notifier.Register(header.arg1, header.arg2, reinterpret_cast<HWND>(static_cast<std::uintptr_t>(header.arg3)));
      return answer;
    case Command::UnregisterWindow:
      m_notifier.Unregister(header.arg1, header.arg2);
      return answer;
    case Command::Stop:
      UnplugEverything();
      return answer;
  }
  return WithError(ERROR_BAD_COMMAND);
}
