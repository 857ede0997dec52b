// What the reader tests share: a receiver that records reports, a window that records
// WM_CARD_READ the way the plug-in window handles it, and bounded waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "reader/CardListener.h"
#include "reader/InputReportProcess.h"
#include "win32/UniqueResource.h"

namespace ReaderTests {

using Bytes = std::vector<std::uint8_t>;

// Long enough for anything that should happen; tests that pass never wait this long.
constexpr DWORD kGenerous = 10000;

// Records every report it is handed, on the listen thread.
class RecordingReceiver : public IInputReportProcess {
 public:
  RecordingReceiver();
  void OnInputReport(const BYTE* report, DWORD byteCount) override;
  // False if fewer than `count` reports arrive in time.
  bool WaitForReports(std::size_t count, DWORD timeout = kGenerous);
  std::vector<Bytes> Reports();

 private:
  std::mutex m_mutex;
  std::vector<Bytes> m_reports;
  kelmar::Win32::UniqueHandle m_arrived;  // auto-reset, set on every report
};

struct CardMessage {
  WPARAM manager;
  LPARAM listener;
  std::uint32_t cardNumber;  // read from the listener under its lock, on handling
};

// A message-only window on the calling thread that handles WM_CARD_READ like the plug-in
// window: it reads the number from the listener named in lParam, under the listener's lock.
class CardWindow {
 public:
  CardWindow();
  ~CardWindow();
  CardWindow(const CardWindow&) = delete;
  CardWindow& operator=(const CardWindow&) = delete;

  HWND Handle() const { return m_window; }
  // Handles the messages already queued.
  void Drain();
  // Handles messages until `done` holds; false on time-out.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeout = kGenerous);
  const std::vector<CardMessage>& Messages() const { return m_messages; }
  void ClearMessages() { m_messages.clear(); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_window;
  std::vector<CardMessage> m_messages;
};

// A listener filled in as a registrant does before AddListener.
void Prepare(CardListener& listener, std::int32_t notifyMode, HANDLE target, std::uint32_t cardNumber = 0);

std::uint32_t CardNumberOf(CardListener& listener);

bool IsSignalled(HANDLE handle, DWORD timeout = 0);

}  // namespace ReaderTests
