#include "tests/reader/ReaderTestSupport.h"

#include <stdexcept>

#include "win32/CriticalSection.h"

using kelmar::Win32::CCriticalSectionLock;

namespace ReaderTests {

RecordingReceiver::RecordingReceiver() : m_arrived(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

void RecordingReceiver::OnInputReport(const BYTE* report, DWORD byteCount) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_reports.emplace_back(report, report + byteCount);
  }
  SetEvent(m_arrived.Get());
}

bool RecordingReceiver::WaitForReports(std::size_t count, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      if (m_reports.size() >= count) return true;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout || WaitForSingleObject(m_arrived.Get(), timeout - elapsed) != WAIT_OBJECT_0) {
      const std::lock_guard<std::mutex> lock(m_mutex);
      return m_reports.size() >= count;
    }
  }
}

std::vector<Bytes> RecordingReceiver::Reports() {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_reports;
}

namespace {
constexpr char kClassName[] = "ReaderTestsCardWindow";
}  // namespace

CardWindow::CardWindow() : m_window(nullptr) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &CardWindow::Procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);  // fails harmlessly when already registered
  m_window = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), this);
  if (m_window == nullptr) {
    throw std::runtime_error("CreateWindowExA failed: " + std::to_string(GetLastError()));
  }
}

CardWindow::~CardWindow() { DestroyWindow(m_window); }

LRESULT CALLBACK CardWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_CARD_READ) {
    auto* self = reinterpret_cast<CardWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    auto* listener = reinterpret_cast<CardListener*>(lParam);
    const CCriticalSectionLock lock(listener->lock);
    self->m_messages.push_back(CardMessage{wParam, lParam, listener->cardNumber});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void CardWindow::Drain() {
  MSG message;
  while (PeekMessageA(&message, m_window, 0, 0, PM_REMOVE)) {
    DispatchMessageA(&message);
  }
}

bool CardWindow::PumpUntil(const std::function<bool()>& done, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    Drain();
    if (done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout - elapsed, QS_ALLINPUT);
  }
}

void Prepare(CardListener& listener, std::int32_t notifyMode, HANDLE target, std::uint32_t cardNumber) {
  listener.notifyMode = notifyMode;
  listener.target = target;
  listener.cardNumber = cardNumber;
}

std::uint32_t CardNumberOf(CardListener& listener) {
  const CCriticalSectionLock lock(listener.lock);
  return listener.cardNumber;
}

bool IsSignalled(HANDLE handle, DWORD timeout) { return WaitForSingleObject(handle, timeout) == WAIT_OBJECT_0; }

}  // namespace ReaderTests
