#include "bench/plugin/PaintRun.h"

#include <process.h>

#include <atomic>
#include <set>
#include <vector>

#include "res/ResourceIds.h"
#include "tests/support/GdiHandleTable.h"
#include "tests/support/ResourceCounters.h"
#include "win32/Event.h"
#include "win32/UniqueResource.h"

namespace {

constexpr int kBlock = 100;
constexpr int kWatchedPaints = 2000;
constexpr DWORD kPauseMilliseconds = 1;

HMODULE g_pictures = nullptr;  // the plug-in library, for the pictures of the windows below

enum class Work { Nothing, Load, LoadAndDraw };

// What the plug-in's window procedure does for a paint, up to the given part of it: the
// paint begun, the bitmap loaded as the plug-in loads it and drawn through a memory DC of
// the window's own, the paint ended, the message passed on to the default procedure.
template <Work work>
LRESULT CALLBACK PaintProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (work != Work::Nothing) {
      const kelmar::Win32::UniqueBitmap bitmap(static_cast<HBITMAP>(LoadImageA(
          g_pictures, MAKEINTRESOURCEA(STATUS_BITMAP_LISTENING), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
      if (work == Work::LoadAndDraw) {
        const kelmar::Win32::UniqueCreatedDC memory(CreateCompatibleDC(nullptr));
        const HGDIOBJ previous = SelectObject(memory.Get(), bitmap.Get());
        StretchBlt(paint.hdc, 36, 7, 27, 25, memory.Get(), 0, 0, 27, 25, SRCCOPY);
        SelectObject(memory.Get(), previous);
      }
    }
    EndPaint(window, &paint);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(HWND page, const char* className, WNDPROC procedure, int x) {
  // One class per procedure.
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, 300, 100, 40, page, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// The whole client area invalidated, then one WM_PAINT sent straight to the window's
// procedure (UpdateWindow), timed from the send to the return. Paints come a little apart,
// as a page's do, with the browser's loop run between them: back to back, the virtual
// display falls behind drawing them and every paint waits about a millisecond for it.
double PaintOnce(HWND window) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  Sleep(kPauseMilliseconds);
  InvalidateRect(window, nullptr, FALSE);
  const LONGLONG start = Now();
  UpdateWindow(window);
  return Microseconds(Now() - start);
}

// The device contexts in the GDI table, by handle; the table's type for a DC is learnt
// from a fresh one.
std::set<std::uintptr_t> DeviceContexts(unsigned dcType) {
  std::set<std::uintptr_t> handles;
  for (const TestSupport::GdiTableEntry& entry : TestSupport::ReadGdiHandleTable()) {
    if (entry.type == dcType) handles.insert(entry.handle);
  }
  return handles;
}

unsigned DeviceContextType() {
  const kelmar::Win32::UniqueCreatedDC probe(CreateCompatibleDC(nullptr));
  return TestSupport::GdiTableTypeOf(probe.Get());
}

// A thread that scans the GDI table for device contexts over and over while paints go on,
// and counts those it has not seen before.
class DCWatch {
 public:
  DCWatch(unsigned dcType, std::set<std::uintptr_t> known)
      : m_type(dcType), m_known(std::move(known)), m_stop(false) {
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &DCWatch::Run, this, 0, nullptr)));
  }
  ~DCWatch() { Stop(); }
  DCWatch(const DCWatch&) = delete;
  DCWatch& operator=(const DCWatch&) = delete;

  void Stop() {
    m_stop.Set();
    if (m_thread) WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Reset();
  }
  int NewDCs() const { return static_cast<int>(m_seen.size()); }
  int Scans() const { return m_scans; }

 private:
  static unsigned __stdcall Run(void* self) {
    auto* watch = static_cast<DCWatch*>(self);
    while (WaitForSingleObject(watch->m_stop.GetHandle(), 0) == WAIT_TIMEOUT) {
      for (const std::uintptr_t handle : DeviceContexts(watch->m_type)) {
        if (watch->m_known.count(handle) == 0) watch->m_seen.insert(handle);
      }
      ++watch->m_scans;
    }
    return 0;
  }

  unsigned m_type;
  std::set<std::uintptr_t> m_known;
  std::set<std::uintptr_t> m_seen;
  int m_scans = 0;
  kelmar::Win32::CManualResetEvent m_stop;
  kelmar::Win32::UniqueHandle m_thread;
};

// Paints under watch; the DCs the watch saw that were not there before.
void Watch(HWND window, unsigned dcType, int& newDCs, int& scans) {
  if (dcType == 0) return;
  DCWatch watch(dcType, DeviceContexts(dcType));
  for (int i = 0; i < kWatchedPaints; ++i) PaintOnce(window);
  watch.Stop();
  newDCs = watch.NewDCs();
  scans = watch.Scans();
}

}  // namespace

PaintFigures MeasurePaints(HWND page, HWND pluginWindow, HMODULE plugin, int paints) {
  g_pictures = plugin;
  struct Window {
    const char* name;
    HWND handle;
    std::vector<double> times;
  };
  std::vector<Window> windows{
      {"plug-in window (load, draw through the DC cache, delete)", pluginWindow, {}},
      {"begin, end, default procedure", MakeWindow(page, "PaintNothing", &PaintProcedure<Work::Nothing>, 10), {}},
      {"  and load and delete the bitmap", MakeWindow(page, "PaintLoad", &PaintProcedure<Work::Load>, 120), {}},
      {"  and draw it through a DC of its own", MakeWindow(page, "PaintOwnDC", &PaintProcedure<Work::LoadAndDraw>, 230),
       {}}};
  for (const Window& window : windows) PaintOnce(window.handle);  // first paints: caches filled

  PaintFigures figures;
  const unsigned dcType = DeviceContextType();
  const std::set<std::uintptr_t> dcsBefore = DeviceContexts(dcType);
  figures.gdiBefore = TestSupport::CountGdiObjects();
  for (int done = 0; done < paints; done += kBlock) {
    for (Window& window : windows) {
      for (int i = 0; i < kBlock; ++i) window.times.push_back(PaintOnce(window.handle));
    }
  }
  figures.gdiAfter = TestSupport::CountGdiObjects();
  figures.sameDCs = dcType != 0 && DeviceContexts(dcType) == dcsBefore;
  for (Window& window : windows) {
    PaintVariant variant{window.name, Summarise(window.times)};
    Watch(window.handle, dcType, variant.newDCs, variant.scans);
    figures.variants.push_back(variant);
  }
  for (std::size_t i = 1; i < windows.size(); ++i) DestroyWindow(windows[i].handle);
  return figures;
}
