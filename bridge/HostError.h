// Why the host gives up, as one line on standard error with a stable code that an
// administrator's search or a support note can name.
#pragma once

#include <ostream>
#include <string>

enum class HostErrorCode {
  FrameTooLong,    // a frame's length is over BridgeProtocol::kMaxInputFrame
  EmptyFrame,      // a frame's length is 0
  TruncatedFrame,  // the input ended inside a frame (its length or its body)
  BadMessage,      // a frame's body is not one JSON object
  ReadFailed,      // standard input could not be read
  WriteFailed,     // standard output could not be written, other than by the browser going away
  Failed,          // the host could not start or wait (a system call failed)
};

// The stable code: "frame-too-long", "empty-frame", "truncated-frame", "bad-message",
// "read-failed", "write-failed", "failed".
const char* HostErrorCodeName(HostErrorCode code);

struct HostError {
  HostErrorCode code;
  std::string detail;  // one line, in English
};

// Writes "tarvx-host: error <code>: <detail>" and a line end, in one piece; line breaks
// inside the detail become spaces.
void WriteErrorLine(std::ostream& errors, const HostError& error) noexcept;
