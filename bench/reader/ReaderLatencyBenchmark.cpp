// How long a card takes from the simulated reader's write of the report (the simulator's
// own bookkeeping before it not counted) to WM_CARD_READ at a window's procedure, through the listen thread and the
// reader manager as the plug-in uses them; and what listening costs while no card comes. Prints figures; run under Wine
// with scripts/bench.sh (the simulated reader's DLLs must stand in).
//
//   reader_latency_benchmark [reports] [idle seconds]      (default 2000 and 10)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/Clock.h"
#include "bench/reader/HostProcess.h"
#include "reader/UsbICReaderManager.h"
#include "tools/simreader/SimReader.h"
#include "win32/CriticalSection.h"

namespace {

constexpr char kClassName[] = "ReaderLatencyBenchmark";
// Cards come one at a time with a pause between, as people present them: each one meets
// a listen thread asleep in its wait, not one still running from the last card.
constexpr DWORD kPauseMilliseconds = 2;
constexpr int kWarmUpReports = 50;

// What the window procedure saw of the last WM_CARD_READ.
struct Arrival {
  LONGLONG at = 0;
  std::uint32_t cardNumber = 0;
  bool arrived = false;
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrA(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
  } else if (message == WM_CARD_READ) {
    const LONGLONG at = Now();
    auto* arrival = reinterpret_cast<Arrival*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    auto* listener = reinterpret_cast<CardListener*>(lParam);
    const kelmar::Win32::CCriticalSectionLock lock(listener->lock);
    arrival->at = at;
    arrival->cardNumber = listener->cardNumber;
    arrival->arrived = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

double Percentile(std::vector<double> sorted, double fraction) {
  const std::size_t index = std::min(sorted.size() - 1, static_cast<std::size_t>(fraction * sorted.size()));
  return sorted[index];
}

int Fail(const char* what) {
  std::fprintf(stderr, "reader_latency_benchmark: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int reports = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  const DWORD idleSeconds = argc > 2 ? static_cast<DWORD>(std::max(1, std::atoi(argv[2]))) : 10;

  simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
  Arrival arrival;
  const HWND window =
      CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), &arrival);
  if (window == nullptr) return Fail("no window");

  CardListener listener;
  listener.notifyMode = 0;
  listener.target = window;
  listener.cardNumber = 0;
  CUsbICReaderManager manager;
  manager.RegisterHidNotification(window);
  manager.OpenReader();
  manager.AddListener(&listener);
  if (!manager.GetListenThread().IsRunning() || !reader.WaitForOpenHandles(1)) return Fail("not listening");

  std::printf("load average before: %s\n", LoadAverage().c_str());
  std::vector<double> fromWrite;
  std::vector<double> fromCall;
  for (int i = -kWarmUpReports; i < reports; ++i) {
    Sleep(kPauseMilliseconds);
    arrival.arrived = false;
    const std::uint32_t number = static_cast<std::uint32_t>(i + kWarmUpReports) * 2654435761u;
    const LONGLONG called = Now();
    reader.PresentCard(number, static_cast<std::uint8_t>(i & 7));
    MSG message;
    while (!arrival.arrived && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    if (arrival.cardNumber != number) return Fail("wrong card number");
    if (i >= 0) {
      fromWrite.push_back(Microseconds(arrival.at - reader.LastWriteTime()));
      fromCall.push_back(Microseconds(arrival.at - called));
    }
  }
  for (auto* figures : {&fromWrite, &fromCall}) std::sort(figures->begin(), figures->end());
  std::printf("device write to WM_CARD_READ over %d reports (us): p50 %.0f  p90 %.0f  p99 %.0f  max %.0f\n", reports,
              Percentile(fromWrite, 0.50), Percentile(fromWrite, 0.90), Percentile(fromWrite, 0.99), fromWrite.back());
  std::printf("same from the PresentCard call, simulator bookkeeping included (us): p50 %.0f  p99 %.0f\n",
              Percentile(fromCall, 0.50), Percentile(fromCall, 0.99));

  const HANDLE listenThread = manager.GetListenThread().GetThreadHandle();
  const ULONGLONG processBefore = ProcessCpuUnits();
  const ULONGLONG threadBefore = ThreadCpuUnits(listenThread);
  const long switchesBefore = CountContextSwitches();
  Sleep(idleSeconds * 1000);
  const long switchesAfter = CountContextSwitches();
  std::printf("idle listening for %lu s: process CPU %.3f s, listen thread CPU %.3f s", idleSeconds,
              CpuSecondsBetween(processBefore, ProcessCpuUnits()),
              CpuSecondsBetween(threadBefore, ThreadCpuUnits(listenThread)));
  if (switchesBefore >= 0 && switchesAfter >= 0) {
    std::printf(", context switches of the other threads %ld", switchesAfter - switchesBefore);
  }
  std::printf("\nload average after: %s\n", LoadAverage().c_str());
  DestroyWindow(window);
  return 0;
}
