#include "bench/plugin/PaintRun.h"

#include <set>
#include <vector>

#include "res/ResourceIds.h"
#include "tests/support/GdiHandleTable.h"
#include "tests/support/ResourceCounters.h"
#include "win32/UniqueResource.h"

namespace {

constexpr int kBlock = 100;
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
      const kelmar::Win32::UniqueBitmap bitmap(static_cast<HBITMAP>(
          LoadImageA(g_pictures, MAKEINTRESOURCEA(STATUS_BITMAP_LISTENING), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
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

kelmar::Win32::UniqueWindow MakeWindow(HWND page, const char* className, WNDPROC procedure, int x) {
  // One class per procedure.
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
  return kelmar::Win32::UniqueWindow(CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, 300,
                                                     100, 40, page, nullptr, GetModuleHandleA(nullptr), nullptr));
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

}  // namespace

PaintFigures MeasurePaints(HWND page, HWND pluginWindow, HMODULE plugin, int paints) {
  g_pictures = plugin;
  // The plug-in's window is the browser's; the others are made here and go with this run.
  const kelmar::Win32::UniqueWindow nothing = MakeWindow(page, "PaintNothing", &PaintProcedure<Work::Nothing>, 10);
  const kelmar::Win32::UniqueWindow load = MakeWindow(page, "PaintLoad", &PaintProcedure<Work::Load>, 120);
  const kelmar::Win32::UniqueWindow ownDC = MakeWindow(page, "PaintOwnDC", &PaintProcedure<Work::LoadAndDraw>, 230);
  struct Window {
    const char* name;
    HWND handle;
    std::vector<double> times;
  };
  std::vector<Window> windows{{"plug-in window (load, draw through the DC cache, delete)", pluginWindow, {}},
                              {"begin, end, default procedure", nothing.Get(), {}},
                              {"  and load and delete the bitmap", load.Get(), {}},
                              {"  and draw it through a DC of its own", ownDC.Get(), {}}};
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
    figures.variants.push_back(PaintVariant{window.name, Summarise(window.times)});
  }
  return figures;
}
