// The browser's frames, read and checked on a thread of their own, so that the main
// thread can wait for the end of the input beside its other events.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "bridge/HostError.h"
#include "win32/UniqueResource.h"

class InputReader {
 public:
  // Starts reading `input` at once. `input` is not owned and must stay open while the
  // thread reads: close a pipe's writing end first, which ends the read. Throws
  // CWin32Exception when the thread cannot start.
  explicit InputReader(HANDLE input);
  // Cancels a read in progress where the system can, but does not wait for the thread:
  // a read on a pipe whose writer lives on may not be cancellable, and the process must
  // still be able to end at once. What the thread uses is shared with it, so it stays
  // valid for as long as either side needs it.
  ~InputReader();

  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Set once the input has ended, between frames or not.
  HANDLE Ended() const;
  // Once Ended is set: nothing when the input ended between frames, else why it failed.
  std::optional<HostError> Failure() const;

 private:
  struct Shared;
  static unsigned __stdcall ThreadEntry(void* argument);

  std::shared_ptr<Shared> m_shared;
  kelmar::Win32::UniqueHandle m_thread;
};
