#include "bench/plugin/LatencyRun.h"

#include <string>
#include <vector>

#include "bench/plugin/FloorReader.h"
#include "win32/UniqueResource.h"

namespace {

constexpr UINT kFloorMessage = WM_APP + 0x200;
constexpr char kFloorClass[] = "PluginBenchmarkFloor";
constexpr DWORD kPauseMilliseconds = 2;
constexpr DWORD kGiveUpMilliseconds = 5000;
constexpr int kWarmUpCards = 50;

struct Arrival {
  LONGLONG at = 0;
  bool arrived = false;
  std::string text;
};

LRESULT CALLBACK FloorWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kFloorMessage) {
    const LONGLONG at = Now();
    auto* arrival = reinterpret_cast<Arrival*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    arrival->at = at;
    arrival->arrived = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The browser's thread waiting for the next message, as its loop does, until `arrival`
// is in; false after a long wait.
bool PumpUntilArrived(const Arrival& arrival) {
  MSG message;
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (arrival.arrived) return true;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, kGiveUpMilliseconds, QS_ALLINPUT) == WAIT_TIMEOUT) return false;
  }
}

kelmar::Win32::UniqueWindow MakeFloorWindow(Arrival& arrival) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &FloorWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kFloorClass;
  RegisterClassA(&windowClass);
  kelmar::Win32::UniqueWindow window(
      CreateWindowExA(0, kFloorClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr));
  SetWindowLongPtrA(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&arrival));
  return window;
}

}  // namespace

LatencyFigures MeasureLatency(nphost::Browser& browser, const simreader::Device& reader,
                              const simreader::Device& floorDevice, int cards) {
  Arrival page;
  browser.Page().Observe([&](const nphost::ScriptRecord& record) {
    const LONGLONG at = Now();
    if (record.text.compare(0, 11, "CardReaded(") != 0) return;
    page.at = at;
    page.text = record.text;
    page.arrived = true;
  });
  Arrival floor;
  const kelmar::Win32::UniqueWindow floorWindow = MakeFloorWindow(floor);
  LatencyFigures figures;
  std::vector<double> plugin;
  std::vector<double> bare;
  {
    const FloorReader floorReader(floorDevice.Path(), floorWindow.Get(), kFloorMessage);
    floorDevice.WaitForOpenHandles(1);
    for (int i = -kWarmUpCards; i < cards; ++i) {
      const auto number = static_cast<std::uint32_t>(i + kWarmUpCards) * 2654435761u;
      const auto shift = static_cast<std::uint8_t>(i & 7);

      Sleep(kPauseMilliseconds);
      page.arrived = false;
      reader.PresentCard(number, shift);
      if (!PumpUntilArrived(page)) {
        ++figures.lost;
        continue;
      }
      if (page.text != "CardReaded(" + std::to_string(number) + ");") ++figures.wrongNumbers;
      if (i >= 0) plugin.push_back(Microseconds(page.at - reader.LastWriteTime()));

      Sleep(kPauseMilliseconds);
      floor.arrived = false;
      floorDevice.PresentCard(number, shift);
      if (!PumpUntilArrived(floor)) {
        ++figures.lost;
        continue;
      }
      if (i >= 0) bare.push_back(Microseconds(floor.at - floorDevice.LastWriteTime()));
      if ((i & 255) == 0) browser.Page().Clear();
    }
  }
  browser.Page().Observe(nullptr);
  figures.plugin = Summarise(plugin);
  figures.floor = Summarise(bare);
  return figures;
}
