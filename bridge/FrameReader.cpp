#include "bridge/FrameReader.h"

#include <cstdint>

#include "bridge/Protocol.h"

namespace {

struct ReadResult {
  DWORD count;  // bytes read; fewer than asked only when the input ended or failed
  DWORD error;  // 0 unless the read failed
};

// Reads until `length` bytes have come or the input ends: a pipe hands over what its
// writer wrote, which may be less than a frame.
ReadResult ReadFully(HANDLE input, char* buffer, DWORD length) {
  DWORD total = 0;
  while (total < length) {
    DWORD count = 0;
    if (!ReadFile(input, buffer + total, length - total, &count, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {total, 0};
      // A message-mode pipe hands a longer message over in parts; the rest follows.
      if (error != ERROR_MORE_DATA) return {total, error};
    } else if (count == 0) {
      return {total, 0};  // the end of a file
    }
    total += count;
  }
  return {total, 0};
}

FrameRead Failure(HostErrorCode code, std::string detail) {
  return FrameRead{FrameStatus::Failed, {}, HostError{code, std::move(detail)}};
}

FrameRead ReadFailure(DWORD error) {
  return Failure(HostErrorCode::ReadFailed, "cannot read standard input (error " + std::to_string(error) + ")");
}

}  // namespace

FrameRead ReadFrame(HANDLE input) {
  unsigned char prefix[BridgeProtocol::kLengthBytes];
  const ReadResult head = ReadFully(input, reinterpret_cast<char*>(prefix), sizeof prefix);
  if (head.error != 0) return ReadFailure(head.error);
  if (head.count == 0) return FrameRead{FrameStatus::EndOfInput, {}, {}};
  if (head.count < sizeof prefix) {
    return Failure(HostErrorCode::TruncatedFrame,
                   "input ended inside a frame's length (" + std::to_string(head.count) + " of 4 bytes)");
  }
  const std::uint32_t length = prefix[0] | (prefix[1] << 8) | (prefix[2] << 16) | (std::uint32_t{prefix[3]} << 24);
  if (length == 0) return Failure(HostErrorCode::EmptyFrame, "a frame of length 0");
  if (length > BridgeProtocol::kMaxInputFrame) {
    return Failure(HostErrorCode::FrameTooLong, "a frame of " + std::to_string(length) + " bytes, over the limit of " +
                                                    std::to_string(BridgeProtocol::kMaxInputFrame));
  }
  std::string body(length, '\0');
  const ReadResult rest = ReadFully(input, body.data(), length);
  if (rest.error != 0) return ReadFailure(rest.error);
  if (rest.count < length) {
    return Failure(HostErrorCode::TruncatedFrame, "input ended inside a frame (" + std::to_string(rest.count) + " of " +
                                                      std::to_string(length) + " bytes)");
  }
  return FrameRead{FrameStatus::Frame, std::move(body), {}};
}
