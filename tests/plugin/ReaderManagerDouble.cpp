#include "tests/plugin/ReaderManagerDouble.h"

#include <new>

#include "reader/UsbICReaderManager.h"
#include "win32/Exceptions.h"

namespace ReaderDouble {
namespace {

Behaviour g_behaviour;
Calls g_calls;
// A manager being destroyed stops its thread for real, whatever the test asked for, so
// no thread outlives its test.
bool g_destroying = false;

void ThrowIf(bool condition, const char* origin) {
  if (condition) throw kelmar::Win32::CWin32Exception(origin, ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace

Behaviour& Configure() { return g_behaviour; }
const Calls& Observed() { return g_calls; }

void Reset() {
  g_behaviour = Behaviour{};
  g_calls = Calls{};
}

void DeliverCard(CardListener& listener, std::uint32_t cardNumber) {
  kelmar::Win32::CCriticalSectionLock lock(listener.lock);
  listener.cardNumber = cardNumber;
  PostMessageA(static_cast<HWND>(listener.target), WM_CARD_READ, 0, reinterpret_cast<LPARAM>(&listener));
}

}  // namespace ReaderDouble

using ReaderDouble::g_behaviour;
using ReaderDouble::g_calls;

CHIDListenThread::CHIDListenThread() : m_inputReportLength(0), m_stopEvent(false), m_receiver(nullptr) {}

CHIDListenThread::~CHIDListenThread() = default;

void CHIDListenThread::StartListening() {
  m_stopEvent.Reset();
  Start();
}

void CHIDListenThread::Stop() {
  ++g_calls.stop;
  ReaderDouble::ThrowIf(g_behaviour.stopThrows && !ReaderDouble::g_destroying, "CHIDListenThread::Stop()");
  m_stopEvent.Set();
  Wait();
}

DWORD CHIDListenThread::Run() {
  WaitForSingleObject(m_stopEvent.GetHandle(), INFINITE);
  return 0;
}

CUsbICReaderManager::CUsbICReaderManager() : m_vendorId(kReaderVendorId), m_productId(kReaderProductId) {
  ReaderDouble::ThrowIf(g_behaviour.constructorThrows, "CEvent::Create()");
  ++g_calls.constructed;
}

CUsbICReaderManager::~CUsbICReaderManager() {
  ReaderDouble::g_destroying = true;
  m_listenThread.Stop();
  ReaderDouble::g_destroying = false;
  ++g_calls.destroyed;
}

void CUsbICReaderManager::RegisterHidNotification(HWND window) { g_calls.registeredWindows.push_back(window); }

void CUsbICReaderManager::OpenReader() {
  ++g_calls.openReader;
  ReaderDouble::ThrowIf(g_behaviour.openReaderThrows, "CThread::Start() - _beginthreadex");
  m_listenThread.Stop();
  if (!g_behaviour.readerPresent) return;
  m_listenThread.SetDevicePath(g_behaviour.readerPath);
  m_listenThread.SetReceiver(this);
  m_listenThread.StartListening();
}

void CUsbICReaderManager::AddListener(CardListener* listener) {
  if (g_behaviour.addListenerThrows) throw std::bad_alloc();
  m_listeners.push_back(listener);
  g_calls.listeners.push_back(listener);
}

void CUsbICReaderManager::OnInputReport(const BYTE*, DWORD) {}
