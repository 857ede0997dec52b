#include "plugin/PluginWindow.h"

#include <mbstring.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "image/Image.h"
#include "plugin/PageCallbacks.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginState.h"
#include "reader/CardListener.h"
#include "reader/UsbICReaderManager.h"
#include "res/ResourceIds.h"

namespace {

CPluginInstance* InstanceOf(HWND window) {
  return reinterpret_cast<CPluginInstance*>(static_cast<LONG_PTR>(GetWindowLongA(window, GWL_USERDATA)));
}

// BeginPaint and EndPaint as one scope, so the paint ends however the drawing does.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : m_window(window), m_paint{} { BeginPaint(m_window, &m_paint); }
  ~PaintScope() { EndPaint(m_window, &m_paint); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HDC Dc() const { return m_paint.hdc; }

 private:
  HWND m_window;
  PAINTSTRUCT m_paint;
};

bool IsListening(const CPluginInstance& instance) {
  return instance.readerManager != nullptr && instance.readerManager->GetListenThread().IsRunning();
}

void DrawStatus(HDC dc, const RECT& client, const CPluginInstance& instance) {
  CImage image;
  image.LoadBitmapResource(g_moduleHandle, IsListening(instance) ? STATUS_BITMAP_LISTENING : STATUS_BITMAP_IDLE);
  // A bitmap that could not be loaded leaves the image empty: nothing to draw.
  if (image.GetWidth() <= 0 || image.GetHeight() <= 0) return;
  const POINT origin = CentredOrigin(client, image.GetWidth(), image.GetHeight());
  image.DrawAt(dc, origin.x, origin.y);
}

void DrawMissingInstance(HDC dc, RECT client) {
  static const char kText[] = "Error occured";
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawTextA(dc, kText, static_cast<int>(sizeof kText - 1), &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void Paint(HWND window) {
  PaintScope paint(window);
  RECT client{};
  GetClientRect(window, &client);
  if (const CPluginInstance* instance = InstanceOf(window)) {
    DrawStatus(paint.Dc(), client, *instance);
  } else {
    DrawMissingInstance(paint.Dc(), client);
  }
}

// The removed interface's name, bounded by the size the notification declares.
std::string RemovedInterfaceName(const DEV_BROADCAST_HDR& header) {
  constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  if (header.dbch_size <= kNameOffset) return {};
  const char* name = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A&>(header).dbcc_name;
  const std::size_t room = header.dbch_size - kNameOffset;
  const void* end = std::memchr(name, '\0', room);
  return std::string(name, end != nullptr ? static_cast<const char*>(end) : name + room);
}

// Device paths compare without regard to letter case, double-byte characters of the
// ANSI code page kept whole.
bool SamePath(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

void OnArrival(CUsbICReaderManager& manager) {
  if (!manager.GetListenThread().IsRunning()) manager.OpenReader();
}

void OnRemoval(CUsbICReaderManager& manager, const DEV_BROADCAST_HDR& header) {
  CHIDListenThread& thread = manager.GetListenThread();
  if (SamePath(RemovedInterfaceName(header), thread.GetDevicePath())) thread.Stop();
}

}  // namespace

POINT CentredOrigin(const RECT& client, int width, int height) {
  // Signed arithmetic: a picture larger than the window gets a negative corner.
  return POINT{client.left + (client.right - width - client.left) / 2,
               client.top + (client.bottom - height - client.top) / 2};
}

int OnDeviceChange(HWND window, WPARAM event, const DEV_BROADCAST_HDR* header, CPluginInstance& instance) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return 0;
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return 0;
  // Notifications are registered for only after the manager exists; one that comes
  // earlier has nothing to act on.
  if (instance.readerManager == nullptr) return 0;

  const bool arrival = event == DBT_DEVICEARRIVAL;
  try {
    if (arrival) {
      OnArrival(*instance.readerManager);
    } else {
      OnRemoval(*instance.readerManager, *header);
    }
  } catch (...) {
    // Starting or stopping the listen thread failed; the page is told all the same, and
    // the picture shows what state the thread is in.
  }
  FireDeviceChanged(instance.npp, arrival ? 1 : 0);
  // The page may have destroyed the instance while its function ran: only the window
  // handle of this message is used from here on.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
  return 0;
}

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_PAINT:
        Paint(window);
        break;
      case WM_DEVICECHANGE:
        if (CPluginInstance* instance = InstanceOf(window)) {
          OnDeviceChange(window, wParam, reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam), *instance);
        }
        break;
      case WM_CARD_READ:
        // The number is always the window's own instance's, whatever the message carries.
        if (CPluginInstance* instance = InstanceOf(window)) instance->FireCardReaded();
        break;
      default:
        break;
    }
  } catch (...) {
    // The caller is the system: nothing may unwind into it.
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
