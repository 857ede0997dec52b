#include "tools/simreader/ControlClient.h"

#include <cstring>
#include <mutex>
#include <utility>

using kelmar::Win32::UniqueFileHandle;

namespace simreader {
namespace {

using protocol::Answer;
using protocol::Command;
using protocol::Request;

// How long an open waits for the server to offer a free instance of its pipe.
constexpr DWORD kBusyWaitMilliseconds = 2000;
constexpr int kBusyAttempts = 5;

Request MakeRequest(Command command, unsigned id, std::uint32_t arg1 = 0, std::uint32_t arg2 = 0,
                    std::uint32_t arg3 = 0) {
  Request request;
  request.header = protocol::RequestHeader{command, id, arg1, arg2, arg3};
  return request;
}

std::uint32_t HandleValue(const void* handle) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}

// The payload as whole device descriptions; false when it is not.
bool ReadInfos(const std::vector<std::uint8_t>& payload, std::vector<SimReaderDeviceInfo>& infos) {
  if (payload.size() % sizeof(SimReaderDeviceInfo) != 0) return false;
  infos.resize(payload.size() / sizeof(SimReaderDeviceInfo));
  if (!payload.empty()) std::memcpy(infos.data(), payload.data(), payload.size());
  return true;
}

}  // namespace

ControlClient::ControlClient(const std::string& session) : m_pipePath(protocol::ControlPipePath(session)) {}

UniqueFileHandle ControlClient::Connect() const {
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    UniqueFileHandle pipe(
        CreateFileA(m_pipePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (pipe) {
      DWORD mode = PIPE_READMODE_MESSAGE;
      if (!SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr)) return UniqueFileHandle();
      return pipe;
    }
    // Busy: every instance has a client and the server is about to offer another.
    if (GetLastError() != ERROR_PIPE_BUSY) break;
    WaitNamedPipeA(m_pipePath.c_str(), kBusyWaitMilliseconds);
  }
  return UniqueFileHandle();
}

UniqueFileHandle ControlClient::TakeIdle() {
  const std::lock_guard<SlimLock> lock(m_lock);
  if (m_idle.empty()) return UniqueFileHandle();
  UniqueFileHandle connection = std::move(m_idle.back());
  m_idle.pop_back();
  return connection;
}

void ControlClient::GiveBack(UniqueFileHandle connection) {
  const std::lock_guard<SlimLock> lock(m_lock);
  m_idle.push_back(std::move(connection));
}

DWORD ControlClient::Transact(const Request& request, Answer& answer) {
  try {
    const std::vector<std::uint8_t> message = protocol::Encode(request);
    UniqueFileHandle connection = TakeIdle();
    const bool reused = connection.IsValid();
    if (!reused) connection = Connect();
    if (!connection) return kServerUnreachable;
    DWORD written = 0;
    if (!WriteFile(connection.Get(), message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) {
      // A kept connection can have outlived its server (a restart): the request never
      // arrived, so it is safe to send it again on a new one.
      if (!reused) return kServerUnreachable;
      connection = Connect();
      if (!connection ||
          !WriteFile(connection.Get(), message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) {
        return kServerUnreachable;
      }
    }
    std::vector<std::uint8_t> buffer(protocol::kMaxMessage);
    DWORD read = 0;
    if (!ReadFile(connection.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return kServerUnreachable;
    }
    std::optional<Answer> decoded = protocol::DecodeAnswer(buffer.data(), read);
    if (!decoded) return ERROR_INVALID_DATA;
    answer = std::move(*decoded);
    GiveBack(std::move(connection));
    return answer.header.error;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD ControlClient::Simple(Command command, unsigned id, std::uint32_t arg1, std::uint32_t arg2, std::uint32_t arg3) {
  Answer answer;
  return Transact(MakeRequest(command, id, arg1, arg2, arg3), answer);
}

DWORD ControlClient::Devices(Command command, std::vector<SimReaderDeviceInfo>& devices) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(command, 0), answer);
  if (error != ERROR_SUCCESS) return error;
  return ReadInfos(answer.payload, devices) ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

DWORD ControlClient::Ping(DWORD& serverProcessId) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(Command::Ping, 0), answer);
  if (error == ERROR_SUCCESS) serverProcessId = static_cast<DWORD>(answer.header.value);
  return error;
}

DWORD ControlClient::RegisterWindow(DWORD processId, HANDLE registration, HWND window) {
  return Simple(Command::RegisterWindow, 0, processId, HandleValue(registration), HandleValue(window));
}

DWORD ControlClient::UnregisterWindow(DWORD processId, HANDLE registration) {
  return Simple(Command::UnregisterWindow, 0, processId, HandleValue(registration));
}

DWORD ControlClient::Stop() { return Simple(Command::Stop, 0); }

DWORD ControlClient::AddDevice(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength,
                               unsigned& id) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(Command::Plug, 0, vendorId, productId, inputReportLength), answer);
  if (error == ERROR_SUCCESS) id = static_cast<unsigned>(answer.header.value);
  return error;
}

DWORD ControlClient::RemoveDevice(unsigned id) { return Simple(Command::Unplug, id); }

DWORD ControlClient::SendReport(unsigned id, const void* bytes, unsigned length) {
  if (bytes == nullptr && length != 0) return ERROR_INVALID_PARAMETER;
  if (length > protocol::kMaxPayload) return ERROR_INVALID_PARAMETER;
  try {
    Request request = MakeRequest(Command::SendReport, id);
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    if (length != 0) request.payload.assign(first, first + length);
    Answer answer;
    return Transact(request, answer);
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

DWORD ControlClient::PresentCard(unsigned id, unsigned cardNumber, unsigned char shift) {
  return Simple(Command::PresentCard, id, cardNumber, shift);
}

DWORD ControlClient::FailNextListeningOpen(unsigned id) { return Simple(Command::FailNextListeningOpen, id); }

DWORD ControlClient::SetFaults(unsigned id, unsigned faults) { return Simple(Command::SetFaults, id, faults); }

DWORD ControlClient::OpenHandleCount(unsigned id, int& count) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(Command::OpenHandleCount, id), answer);
  if (error == ERROR_SUCCESS) count = answer.header.value;
  return error;
}

DWORD ControlClient::WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds) {
  return Simple(Command::WaitForOpenHandles, id, static_cast<std::uint32_t>(count), timeoutMilliseconds);
}

DWORD ControlClient::LastWriteTime(unsigned id, LONGLONG& counter) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(Command::LastWriteTime, id), answer);
  if (error == ERROR_SUCCESS) counter = answer.header.value64;
  return error;
}

DWORD ControlClient::GetDevice(unsigned id, SimReaderDeviceInfo& info) {
  Answer answer;
  const DWORD error = Transact(MakeRequest(Command::GetDevice, id), answer);
  if (error != ERROR_SUCCESS) return error;
  if (answer.payload.size() != sizeof(info)) return ERROR_INVALID_DATA;
  std::memcpy(&info, answer.payload.data(), sizeof(info));
  return ERROR_SUCCESS;
}

DWORD ControlClient::ListDevices(std::vector<SimReaderDeviceInfo>& devices) {
  return Devices(Command::ListDevices, devices);
}

DWORD ControlClient::BeginEnumeration(std::vector<SimReaderDeviceInfo>& devices) {
  return Devices(Command::BeginEnumeration, devices);
}

DWORD ControlClient::UseHandle(const std::wstring& pipeName, HandleUse use, SimReaderDeviceInfo& info) {
  try {
    Request request = MakeRequest(Command::UseHandle, 0, static_cast<std::uint32_t>(use));
    const auto* first = reinterpret_cast<const std::uint8_t*>(pipeName.data());
    request.payload.assign(first, first + pipeName.size() * sizeof(wchar_t));
    Answer answer;
    const DWORD error = Transact(request, answer);
    if (error != ERROR_SUCCESS) return error;
    if (answer.payload.size() != sizeof(info)) return ERROR_INVALID_DATA;
    std::memcpy(&info, answer.payload.data(), sizeof(info));
    return ERROR_SUCCESS;
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace simreader
