#include "reader/UsbICReaderManager.h"

#include "reader/CardReport.h"
#include "reader/HidSystem.h"
#include "reader/ReaderTrace.h"

using kelmar::Win32::CCriticalSectionLock;

CUsbICReaderManager::CUsbICReaderManager()
    : m_deviceNotification(), m_listenThread(), m_vendorId(kReaderVendorId), m_productId(kReaderProductId) {
  RefreshReaderTrace();
}

CUsbICReaderManager::~CUsbICReaderManager() {
  try {
    m_listenThread.Stop();
  } catch (...) {
    // The stop event could not be set or the wait failed. A destructor that throws ends
    // the process, so the failure stops here.
  }
  m_deviceNotification.Reset();
}

void CUsbICReaderManager::RegisterHidNotification(HWND window) {
  m_deviceNotification.Reset();
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  HidD_GetHidGuid(&filter.dbcc_classguid);
  // A failed registration leaves no handle: the window then simply hears of no arrivals.
  m_deviceNotification.Reset(RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

void CUsbICReaderManager::OpenReader() {
  m_listenThread.Stop();
  const std::string path = FindHidDevicePath(m_vendorId, m_productId);
  if (path.empty()) {
    TraceReaderEvent([] { return std::string("no reader found"); });
    return;  // the old path stays: the window still recognises the reader's removal by it
  }
  TraceReaderEvent([&] { return "reader found at " + path; });
  m_listenThread.SetDevicePath(path);
  m_listenThread.SetReceiver(this);
  m_listenThread.StartListening();
}

bool CUsbICReaderManager::IsReaderPresent() const { return !FindHidDevicePath(m_vendorId, m_productId).empty(); }

void CUsbICReaderManager::AddListener(CardListener* listener) {
  const CCriticalSectionLock lock(m_listLock);
  m_listeners.push_back(listener);
}

void CUsbICReaderManager::OnInputReport(const BYTE* report, DWORD byteCount) {
  const CardReportResult card = ReadCardReport(report, byteCount);
  if (card.status != CardReportStatus::Accepted) {
    TraceReaderEvent([&] {
      return "report of " + std::to_string(byteCount) +
             " bytes rejected: " + CardRejectionText(ClassifyRejection(report, byteCount, card));
    });
    return;
  }
  TraceReaderEvent([&] { return "card " + std::to_string(card.cardNumber) + " delivered"; });
  const CCriticalSectionLock listLock(m_listLock);
  for (CardListener* listener : m_listeners) {
    if (listener == nullptr) {
      continue;
    }
    const CCriticalSectionLock listenerLock(listener->lock);
    listener->cardNumber = card.cardNumber;
    if (listener->sink != nullptr) {
      listener->sink->OnCard(card.cardNumber);
    }
    if (listener->notifyMode == 0) {
      PostMessageA(static_cast<HWND>(listener->target), WM_CARD_READ, reinterpret_cast<WPARAM>(this),
                   reinterpret_cast<LPARAM>(listener));
    } else if (listener->notifyMode == 1) {
      SetEvent(listener->target);
    }
  }
}
