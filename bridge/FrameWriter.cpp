#include "bridge/FrameWriter.h"

#include <cstdint>

using kelmar::Win32::CCriticalSectionLock;

FrameWriter::FrameWriter(HANDLE output) : m_output(output), m_failed(false) {}

bool FrameWriter::Write(const std::string& json) noexcept {
  const CCriticalSectionLock lock(m_lock);
  if (m_failure != 0) return false;
  DWORD error = ERROR_NOT_ENOUGH_MEMORY;
  try {
    const auto length = static_cast<std::uint32_t>(json.size());
    std::string frame;
    frame.reserve(4 + json.size());
    for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>((length >> shift) & 0xFF));
    frame += json;
    DWORD written = 0;
    if (!WriteFile(m_output, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr)) {
      error = GetLastError();
    } else if (written == frame.size()) {
      return true;
    } else {
      // A short write leaves the browser inside a frame: nothing after it could be read.
      error = ERROR_WRITE_FAULT;
    }
  } catch (...) {
    // The frame could not be built.
  }
  m_failure = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  SetEvent(m_failed.GetHandle());
  return false;
}

DWORD FrameWriter::FailureCode() const {
  const CCriticalSectionLock lock(m_lock);
  return m_failure;
}
