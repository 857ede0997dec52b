#include "tests/bridge/FrameInbox.h"

#include <algorithm>
#include <cstdint>

namespace BridgeTests {

void FrameInbox::Poll() {
  DWORD available = 0;
  while (PeekNamedPipe(m_pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD count = 0;
    if (!ReadFile(m_pipe, buffer, std::min<DWORD>(available, sizeof buffer), &count, nullptr) || count == 0) break;
    m_pending.append(buffer, count);
  }
  while (m_pending.size() >= 4) {
    const auto byte = [&](std::size_t i) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(m_pending[i]));
    };
    const std::uint32_t length = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
    if (m_pending.size() - 4 < length) break;
    m_frames.push_back(m_pending.substr(4, length));
    m_pending.erase(0, 4 + static_cast<std::size_t>(length));
  }
}

bool FrameInbox::WaitForFrames(std::size_t count, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    Poll();
    if (m_frames.size() - m_taken >= count) return true;
    if (GetTickCount() - start >= timeout) return false;
    Sleep(1);
  }
}

std::vector<std::string> FrameInbox::Take() {
  Poll();
  std::vector<std::string> frames(m_frames.begin() + static_cast<std::ptrdiff_t>(m_taken), m_frames.end());
  m_taken = m_frames.size();
  return frames;
}

std::string FrameWithLength(std::uint32_t length, const std::string& body) {
  std::string frame;
  for (int shift = 0; shift < 32; shift += 8) frame.push_back(static_cast<char>((length >> shift) & 0xFF));
  return frame + body;
}

std::string Frame(const std::string& body) { return FrameWithLength(static_cast<std::uint32_t>(body.size()), body); }

}  // namespace BridgeTests
