// What programs write with OutputDebugStringA, read the way a stock debug-output viewer
// reads it (the DBWIN_BUFFER section and its two events), for the length of a test.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win32/UniqueResource.h"

namespace TestSupport {

struct DebugLine {
  DWORD processId;
  std::string text;
};

class DebugOutputCapture {
 public:
  // Waits until no other capture of the session runs (only one reader can hold the
  // section), then reads until destroyed. Throws std::runtime_error when it cannot.
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  // The lines written by `processId` so far, in order.
  std::vector<std::string> LinesOf(DWORD processId) const;
  // Writes a marker line from this process and waits until it has been read, so that every
  // line this process wrote before is in LinesOf. False on time-out.
  bool Flush(DWORD timeout = 10000) const;

 private:
  void Read();

  kelmar::Win32::UniqueHandle m_exclusive;  // a mutex held for the capture's lifetime
  kelmar::Win32::UniqueHandle m_bufferReady;
  kelmar::Win32::UniqueHandle m_dataReady;
  kelmar::Win32::UniqueHandle m_section;
  const void* m_view = nullptr;
  kelmar::Win32::UniqueHandle m_stop;
  kelmar::Win32::UniqueHandle m_lineRead;  // auto-reset, set after each line
  mutable std::mutex m_mutex;
  mutable unsigned m_flushes = 0;
  std::vector<DebugLine> m_lines;
  std::thread m_reader;
};

}  // namespace TestSupport
