// One simulated HID device: its identity, and the server ends of the named pipe that is
// its device path. A thread of its own keeps spare pipe instances listening, so that
// opens in quick succession all find one, and notices clients coming and going.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/simreader/PipeInstance.h"
#include "tools/simreader/SimReaderApi.h"
#include "tools/simreader/SlimLock.h"
#include "win32/Thread.h"
#include "win32/UniqueResource.h"

class SimulatedDevice {
 public:
  SimulatedDevice(unsigned id, std::uint16_t vendorId, std::uint16_t productId, std::uint16_t inputReportLength);
  // Unplugs the device if that has not happened yet.
  ~SimulatedDevice();

  SimulatedDevice(const SimulatedDevice&) = delete;
  SimulatedDevice& operator=(const SimulatedDevice&) = delete;

  // Opens the first pipe instances and starts the device's thread; false if it cannot.
  bool Plug();
  // Breaks every connection (pending reads fail, later reads fail at once), closes every
  // instance and ends the thread.
  void Unplug();

  SimReaderDeviceInfo Info() const;
  unsigned Id() const { return m_id; }
  const std::string& Path() const { return m_path; }
  std::uint16_t VendorId() const { return m_vendorId; }
  std::uint16_t ProductId() const { return m_productId; }
  std::uint16_t InputReportLength() const { return m_inputReportLength; }
  unsigned Faults() const { return m_faults.load(); }
  void SetFaults(unsigned faults) { m_faults.store(faults); }
  // Whether `fileName` (as GetFileInformationByHandleEx names a pipe handle) is this device's.
  bool HasPipeName(const std::wstring& fileName) const;

  // One message to every client; false once unplugged.
  bool Send(const void* bytes, DWORD length);
  // QueryPerformanceCounter just before the last report's first write; 0 before any.
  LONGLONG LastWriteTime() const { return m_lastWriteTime.load(); }
  // The next report's seed for the card encoder: each card looks different on the wire.
  std::uint32_t NextSeed() { return ++m_seed; }

  void FailNextListeningOpen();
  // A HID function was called on a handle just opened: another open may follow at once,
  // so the spare instances are topped up now rather than when the thread gets to it.
  void OnHandleUsed();
  // The enumeration asked for the device's attributes through a handle it had just opened.
  void OnAttributesQueried();
  // A new enumeration began.
  void OnEnumerationStarted();

  int OpenHandleCount();
  bool WaitForOpenHandles(int count, DWORD timeoutMilliseconds);

 private:
  class ServerThread : public kelmar::Win32::CThread {
   public:
    explicit ServerThread(SimulatedDevice& device) : m_device(device) {}

   protected:
    DWORD Run() override;

   private:
    SimulatedDevice& m_device;
  };

  void Serve();
  void Maintain();
  void TopUpSpares();
  int CountListening() const;
  int CountClients() const;
  bool Serving() const { return !m_unplugged && !m_withheld; }

  const unsigned m_id;
  const std::uint16_t m_vendorId;
  const std::uint16_t m_productId;
  const std::uint16_t m_inputReportLength;
  const std::string m_path;
  const std::wstring m_pipeName;
  std::atomic<unsigned> m_faults{0};
  std::atomic<std::uint32_t> m_seed{0};
  std::atomic<LONGLONG> m_lastWriteTime{0};

  // Guards everything below. The thread waits for pipe events without it.
  SlimLock m_lock;
  SlimCondition m_clientsChanged;
  std::vector<std::unique_ptr<PipeInstance>> m_instances;
  kelmar::Win32::UniqueHandle m_wake;        // tells the thread to look again
  kelmar::Win32::UniqueHandle m_writeEvent;  // for the writes, which the lock serialises
  bool m_unplugged = false;
  bool m_failNextListeningOpen = false;
  bool m_withheld = false;  // no instance listens: opens fail
  ServerThread m_thread{*this};
  bool m_threadStarted = false;
};
