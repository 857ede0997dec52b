// Frames to the browser on standard output. The listen thread (cards) and the main
// thread (everything else) both write, so each frame goes out whole under a lock.
#pragma once

#include <windows.h>

#include <string>

#include "win32/CriticalSection.h"
#include "win32/Event.h"

class FrameWriter {
 public:
  // `output` is not owned. Nothing else in the process may write to it: the browser reads
  // every byte as part of a frame.
  explicit FrameWriter(HANDLE output);

  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Writes the 4-byte little-endian length and `json` with one WriteFile, from any thread.
  // Straight to the handle: nothing is held back in a buffer, so nothing needs flushing
  // (FlushFileBuffers on a pipe would wait for the browser to read). After a failure
  // nothing more is written. False when the frame did not go out whole.
  bool Write(const std::string& json) noexcept;

  // Runs `action` with the lock held, so that no other thread's frame comes between the
  // frames `action` writes (the lock is re-entrant). `action` must not wait for a thread
  // that writes.
  template <typename Action>
  void WhileHeld(Action&& action) noexcept {
    const kelmar::Win32::CCriticalSectionLock lock(m_lock);
    action();
  }

  // Set at the first failed write.
  HANDLE Failed() const { return m_failed.GetHandle(); }
  // The first failed write's error code; 0 while every write succeeded.
  DWORD FailureCode() const;

 private:
  HANDLE m_output;
  mutable kelmar::Win32::CCriticalSection m_lock;
  DWORD m_failure = 0;  // guarded by m_lock
  kelmar::Win32::CManualResetEvent m_failed;
};
