// The server of the shared mode: holds a session's devices (in this process, with the
// same code as the in-process mode) and answers the control pipe, one thread per client
// connection, so that a request that waits holds up no other. Plugging and unplugging
// notify the registered windows of every process.
#pragma once

#include <windows.h>

#include <list>
#include <memory>
#include <string>

#include "tools/simreader/ControlProtocol.h"
#include "tools/simreader/DeviceNotifier.h"
#include "tools/simreader/LocalDevices.h"
#include "win32/UniqueResource.h"

class ControlServer {
 public:
  explicit ControlServer(const std::string& session);
  ~ControlServer();

  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Offers the control pipe. False when it cannot, GetLastError telling why: with
  // ERROR_ACCESS_DENIED (ERROR_ALREADY_EXISTS under Wine) or ERROR_PIPE_BUSY, a server
  // of the session runs already.
  bool Open();
  // Serves until a Stop request has been answered; every device is unplugged by then.
  void Run();

 private:
  class Connection;

  simreader::protocol::Answer Handle(const simreader::protocol::Request& request);
  simreader::protocol::Answer Plug(const simreader::protocol::RequestHeader& header);
  DWORD Unplug(unsigned id);
  void UnplugEverything();
  kelmar::Win32::UniqueFileHandle NewInstance(bool first) const;
  bool AcceptClient();
  void ForgetEndedConnections();

  const std::string m_pipePath;
  LocalDevices m_devices;
  DeviceNotifier m_notifier;
  kelmar::Win32::UniqueHandle m_stop;    // manual reset: set once Stop has been answered
  kelmar::Win32::UniqueHandle m_accept;  // the pending connect's event
  kelmar::Win32::UniqueFileHandle m_listening;
  std::list<std::unique_ptr<Connection>> m_connections;
};
