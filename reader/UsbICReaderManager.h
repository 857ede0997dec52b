// The plug-in's contact with the card reader: finds it, listens to it, and hands each
// valid card number to the registered listeners.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <cstdint>
#include <list>
#include <string>

#include "reader/CardListener.h"
#include "reader/HidEnumeration.h"
#include "reader/HidListenThread.h"
#include "reader/InputReportProcess.h"
#include "win32/CriticalSection.h"
#include "win32/UniqueResource.h"

constexpr std::uint16_t kReaderVendorId = 0x4154;
constexpr std::uint16_t kReaderProductId = 0x5652;

class CUsbICReaderManager final : public IInputReportProcess {
 public:
  CUsbICReaderManager();
  // Stops the listen thread and unregisters the notification; never throws.
  ~CUsbICReaderManager();

  CUsbICReaderManager(const CUsbICReaderManager&) = delete;
  CUsbICReaderManager& operator=(const CUsbICReaderManager&) = delete;

  // Registers `window` for arrival and removal notifications of every HID interface.
  void RegisterHidNotification(HWND window);
  // Stops listening, looks the reader up and, if present, listens to it.
  void OpenReader();
  // Whether a HID interface with the reader's ids is present now, listened to or not.
  bool IsReaderPresent() const;
  // Appends a listener; it must stay alive at the same address while this manager lives.
  void AddListener(CardListener* listener);

  void OnInputReport(const BYTE* report, DWORD byteCount) override;

  CHIDListenThread& GetListenThread() { return m_listenThread; }
  const CHIDListenThread& GetListenThread() const { return m_listenThread; }

 private:
  std::list<CardListener*> m_listeners;
  kelmar::Win32::CCriticalSection m_listLock;
  kelmar::Win32::UniqueDeviceNotification m_deviceNotification;
  CHIDListenThread m_listenThread;
  std::uint16_t m_vendorId;
  std::uint16_t m_productId;
};
