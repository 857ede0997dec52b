#include "bridge/HostError.h"

const char* HostErrorCodeName(HostErrorCode code) {
  switch (code) {
    case HostErrorCode::FrameTooLong:
      return "frame-too-long";
    case HostErrorCode::EmptyFrame:
      return "empty-frame";
    case HostErrorCode::TruncatedFrame:
      return "truncated-frame";
    case HostErrorCode::BadMessage:
      return "bad-message";
    case HostErrorCode::ReadFailed:
      return "read-failed";
    case HostErrorCode::WriteFailed:
      return "write-failed";
    case HostErrorCode::Failed:
      return "failed";
  }
  return "failed";
}

void WriteErrorLine(std::ostream& errors, const HostError& error) noexcept {
  try {
    std::string line = std::string("tarvx-host: error ") + HostErrorCodeName(error.code) + ": ";
    for (const char c : error.detail) line += (c == '\r' || c == '\n') ? ' ' : c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    line += '\n';
    errors.write(line.data(), static_cast<std::streamsize>(line.size()));
    errors.flush();
  } catch (...) {
    // Nowhere left to say it.
  }
}
