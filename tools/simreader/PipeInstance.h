// One server end of a simulated device's named pipe. It listens for a client; once one has
// connected, it watches (with a one-byte read the client never satisfies) for the client
// to close its handle. Every operation runs under the owning device's lock.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "win32/UniqueResource.h"

class PipeInstance {
 public:
  enum class State {
    Created,    // open to a client, the wait for one not yet started (see StartListening)
    Listening,  // waiting for a client (one may have connected and not been noticed yet)
    Connected,  // a client holds a handle
    Vacant,     // the client has gone; the instance can listen again
    Closed,     // the server end is closed; gone once no I/O is pending
  };

  // A new instance of the pipe, which a client can open at once; null when the pipe cannot
  // be created. Any thread may create one.
  static std::unique_ptr<PipeInstance> Create(const std::string& pipePath);
  ~PipeInstance();

  PipeInstance(const PipeInstance&) = delete;
  PipeInstance& operator=(const PipeInstance&) = delete;

  State GetState() const { return m_state; }
  // Signalled when the pending connect or watch completes.
  HANDLE Event() const { return m_event.Get(); }
  bool IoPending() const { return m_pending; }

  // A created instance starts waiting for its client; false (and closed) if it cannot.
  // Only the device's own thread calls it: I/O pending on a thread ends with the thread,
  // and a request thread of the server or a caller's thread may end at any moment.
  bool StartListening();
  // After Event() was signalled: notes a connection, the client's departure, or the end of
  // the I/O of a closed instance.
  void Step();
  // A vacant instance listens again; false (and closed) if it cannot.
  bool Relisten();
  // Whether a client holds a handle to this instance right now.
  bool HasClient() const;
  // Whether an open would connect to this instance right now: a client that connected
  // and closed again before the device's thread noticed has left it unusable until then.
  bool IsFree() const;
  // One message to the client. A write that the client leaves unread for a long time is
  // dropped, as a HID device drops reports when a reader falls behind.
  bool Write(const void* bytes, DWORD length, HANDLE writeEvent);
  // As on an unplug: the client's pending read fails, and so does every later one.
  void Disconnect();
  void Close();

 private:
  PipeInstance(kelmar::Win32::UniqueFileHandle pipe, kelmar::Win32::UniqueHandle event);
  bool Connect();
  void Watch();
  void BeginIo();

  kelmar::Win32::UniqueFileHandle m_pipe;
  kelmar::Win32::UniqueHandle m_event;
  OVERLAPPED m_overlapped;
  bool m_pending;
  State m_state;
  BYTE m_watchByte;
};
