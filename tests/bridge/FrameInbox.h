// The host's output as the browser reads it: bytes from a pipe, split into frames. Read
// by polling from the test's own thread, as the project's other child-process helpers do
// (under Wine a pipe inherited by a child may never report its end).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace BridgeTests {

// Long enough for anything that should happen; tests that pass never wait this long.
constexpr DWORD kGenerous = 10000;

class FrameInbox {
 public:
  explicit FrameInbox(HANDLE pipe) : m_pipe(pipe) {}  // not owned

  // Reads whatever the pipe holds now and splits off the frames that are whole.
  void Poll();
  // Polls until at least `count` frames not yet taken have come; false on time-out.
  bool WaitForFrames(std::size_t count, DWORD timeout = kGenerous);
  // The frames that came since the last Take, their bodies only.
  std::vector<std::string> Take();
  // Bytes read that do not (yet) make a whole frame.
  std::size_t PendingBytes() const { return m_pending.size(); }

 private:
  HANDLE m_pipe;
  std::string m_pending;
  std::vector<std::string> m_frames;
  std::size_t m_taken = 0;
};

// A frame as the browser expects it: the 4-byte little-endian length, then the body.
std::string Frame(const std::string& body);
// A frame whose length field says `length`, followed by `body` whatever its size.
std::string FrameWithLength(std::uint32_t length, const std::string& body);

}  // namespace BridgeTests
