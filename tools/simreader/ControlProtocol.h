// The requests and answers of the shared mode's control pipe. Each is one message of a
// message-mode named pipe: a fixed header, then bytes whose meaning the command gives.
// Both ends are built from this file, so the layout is plain native structures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simreader {
namespace protocol {

enum class Command : std::uint32_t {
  Ping = 1,               // -> value: the server's process id
  Plug,                   // arg1 vendor id, arg2 product id, arg3 report length -> value: the device id
  Unplug,                 // id
  SendReport,             // id, payload: the report
  PresentCard,            // id, arg1 card number, arg2 shift
  FailNextListeningOpen,  // id
  SetFaults,              // id, arg1 faults
  OpenHandleCount,        // id -> value
  WaitForOpenHandles,     // id, arg1 count, arg2 milliseconds
  LastWriteTime,          // id -> value64
  GetDevice,              // id -> payload: one SimReaderDeviceInfo
  ListDevices,            // -> payload: SimReaderDeviceInfo per device
  BeginEnumeration,       // -> payload: SimReaderDeviceInfo per device
  UseHandle,              // arg1 HandleUse, payload: the pipe name (UTF-16) -> payload: one SimReaderDeviceInfo
  RegisterWindow,         // arg1 process id, arg2 notification handle, arg3 window
  UnregisterWindow,       // arg1 process id, arg2 notification handle
  Stop,                   // unplugs everything, then the server ends
};

struct RequestHeader {
  Command command;
  std::uint32_t id;
  std::uint32_t arg1;
  std::uint32_t arg2;
  std::uint32_t arg3;
};

struct AnswerHeader {
  std::uint32_t error;  // a Win32 error code; ERROR_SUCCESS when the request succeeded
  std::int32_t value;
  std::int64_t value64;
};

struct Request {
  RequestHeader header{};
  std::vector<std::uint8_t> payload;
};

struct Answer {
  AnswerHeader header{};
  std::vector<std::uint8_t> payload;
};

// Room for the longest report a test sends and the list of many devices.
constexpr DWORD kMaxPayload = 64 * 1024;
constexpr DWORD kMaxMessage = kMaxPayload + 32;

// The control pipe of a session: "\\.\pipe\simreader-control#<session>".
std::string ControlPipePath(const std::string& session);

std::vector<std::uint8_t> Encode(const Request& request);
std::vector<std::uint8_t> Encode(const Answer& answer);
// Nothing when the message is shorter than its header.
std::optional<Request> DecodeRequest(const std::uint8_t* bytes, std::size_t size);
std::optional<Answer> DecodeAnswer(const std::uint8_t* bytes, std::size_t size);

}  // namespace protocol
}  // namespace simreader
