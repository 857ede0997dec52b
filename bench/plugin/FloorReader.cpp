#include "bench/plugin/FloorReader.h"

#include <process.h>

#include <stdexcept>

#include "reader/HidDevice.h"

FloorReader::FloorReader(const std::string& devicePath, HWND window, UINT message)
    : m_device(CreateFileA(devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr)),
      m_reportLength(0),
      m_window(window),
      m_message(message),
      m_stop(false) {
  if (!m_device) throw std::runtime_error("cannot open " + devicePath);
  m_reportLength = ReadInputReportLength(m_device.Get()).value_or(0);
  if (m_reportLength == 0) throw std::runtime_error("no input report length for " + devicePath);
  m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &FloorReader::Run, this, 0, nullptr)));
  if (!m_thread) throw std::runtime_error("cannot start the floor reader");
}

FloorReader::~FloorReader() {
  m_stop.Set();
  WaitForSingleObject(m_thread.Get(), INFINITE);
}

unsigned __stdcall FloorReader::Run(void* self) {
  static_cast<FloorReader*>(self)->ReadUntilStopped();
  return 0;
}

void FloorReader::ReadUntilStopped() {
  BYTE buffer[2048];
  kelmar::Win32::CManualResetEvent completed(false);
  const HANDLE waitList[2] = {m_stop.GetHandle(), completed.GetHandle()};
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = completed.GetHandle();
    completed.Reset();
    DWORD count = 0;
    if (!ReadFile(m_device.Get(), buffer, m_reportLength, &count, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
      return;
    }
    if (WaitForMultipleObjects(2, waitList, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
      CancelIo(m_device.Get());
      GetOverlappedResult(m_device.Get(), &overlapped, &count, TRUE);
      return;
    }
    GetOverlappedResult(m_device.Get(), &overlapped, &count, TRUE);
    PostMessageA(m_window, m_message, 0, static_cast<LPARAM>(count));
  }
}
