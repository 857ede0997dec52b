#include "plugin/PluginWindow.h"

#include "image/Image.h"
#include "plugin/PageCallbacks.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginState.h"
#include "reader/CardListener.h"
#include "reader/DeviceEvents.h"
#include "reader/UsbICReaderManager.h"
#include "res/ResourceIds.h"
#include "win32/IntegerPointer.h"

namespace {

CPluginInstance* InstanceOf(HWND window) {
  return kelmar::Win32::PointerFromInteger<CPluginInstance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
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

}  // namespace

POINT CentredOrigin(const RECT& client, int width, int height) {
  // Signed arithmetic: a picture larger than the window gets a negative corner.
  return POINT{client.left + (client.right - width - client.left) / 2,
               client.top + (client.bottom - height - client.top) / 2};
}

int OnDeviceChange(HWND window, WPARAM event, const DEV_BROADCAST_HDR* header, CPluginInstance& instance) {
  // Notifications are registered for only after the manager exists; one that comes
  // earlier has nothing to act on.
  if (instance.readerManager == nullptr) return 0;
  const DeviceChange change = ApplyDeviceChange(*instance.readerManager, event, header);
  if (change == DeviceChange::None) return 0;
  // A failure to start or stop the listen thread was swallowed: the page is told all the
  // same, and the picture shows what state the thread is in.
  FireDeviceChanged(instance.npp, DeviceChangeValue(change));
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
          OnDeviceChange(window, wParam, kelmar::Win32::PointerFromInteger<const DEV_BROADCAST_HDR*>(lParam),
                         *instance);
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
