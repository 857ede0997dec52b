// End-to-end figures of the shipped npTARVX.dll in the browser host with the simulated
// reader (run under Wine by scripts/bench.sh; not a test):
//   - a card's way from the device's write to the host's NPN_Evaluate of "CardReaded(...)",
//     beside the platform's floor (a bare overlapped read that posts to a window), in one run;
//   - CPU time and wake-ups while listening idle, the listen thread's above all;
//   - the cost of one WM_PAINT, and whether painting makes device contexts;
//   - the size of the DLL.
// The cost of decoding is measured natively (bench/decode).
//
//   plugin_benchmark [cards] [idle seconds] [paints]      (default 2000, 30, 10000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/plugin/IdleRun.h"
#include "bench/plugin/LatencyRun.h"
#include "bench/plugin/PaintRun.h"
#include "bench/reader/HostProcess.h"
#include "tests/support/ProgramDirectory.h"
#include "tools/host/Browser.h"
#include "tools/host/ReaderEvents.h"
#include "tools/host/Watchdog.h"

namespace {

// A second simulated device the plug-in does not look for: the floor reads it.
constexpr std::uint16_t kFloorVendorId = 0x1209;
constexpr std::uint16_t kFloorProductId = 0x0001;
constexpr DWORD kWatchdogMilliseconds = 30 * 60 * 1000;

std::string WineVersion() {
  using Version = const char*(__cdecl*)();
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto version =
      ntdll != nullptr ? reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
                       : nullptr;
  return version != nullptr ? std::string("Wine ") + version() : "Windows";
}

std::string Processor() {
  char name[256] = "?";
  if (FILE* cpuinfo = std::fopen("Z:\\proc\\cpuinfo", "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, cpuinfo) != nullptr) {
      const char* colon = std::strchr(line, ':');
      if (std::strncmp(line, "model name", 10) == 0 && colon != nullptr) {
        std::snprintf(name, sizeof name, "%s", colon + 2);
        name[std::strcspn(name, "\n")] = '\0';
        break;
      }
    }
    std::fclose(cpuinfo);
  }
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  return std::string(name) + ", " + std::to_string(system.dwNumberOfProcessors) + " cores";
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int Fail(const char* what) {
  std::fprintf(stderr, "plugin_benchmark: %s\n", what);
  return 1;
}

void PrintLatency(const LatencyFigures& latency) {
  std::printf("\ncard from the device's write to NPN_Evaluate(\"CardReaded(...)\"), us:\n");
  std::printf("  plug-in  %s\n", Describe(latency.plugin, "us").c_str());
  std::printf("  floor    %s\n", Describe(latency.floor, "us").c_str());
  std::printf("  ratio plug-in / floor: p50 %.2f, p99 %.2f   (targets: p99 under 1000 us, ratio under 1.5)\n",
              latency.plugin.p50 / latency.floor.p50, latency.plugin.p99 / latency.floor.p99);
  if (latency.lost != 0 || latency.wrongNumbers != 0) {
    std::printf("  cards lost %d, wrong numbers %d\n", latency.lost, latency.wrongNumbers);
  }
}

void PrintIdle(const IdleFigures& idle) {
  std::printf("\nlistening idle for %.1f s:\n", idle.seconds);
  std::printf("  process CPU %.3f s (Wine's clock moves in 10 ms steps; target under 0.010 s)\n", idle.processCpu);
  if (idle.listenThreadCpu >= 0) {
    std::printf("  listen thread CPU %.3f s\n", idle.listenThreadCpu);
  } else {
    std::printf("  listen thread CPU: not available (the thread was not told apart)\n");
  }
  if (idle.listenThreadSwitches >= 0) {
    std::printf("  wake-ups (context switches) of the listen thread: %ld (target 0)\n", idle.listenThreadSwitches);
  } else {
    std::printf("  wake-ups of the listen thread: not available (the thread's Linux task was not found)\n");
  }
  if (idle.otherThreadSwitches >= 0) {
    std::printf("  wake-ups of the other threads but the browser's: %ld, in %d threads\n", idle.otherThreadSwitches,
                idle.otherThreadsWoken);
  }
  std::printf("  messages that woke the browser's thread: %d\n", idle.messagesToBrowserThread);
}

void PrintPaints(const PaintFigures& paints) {
  std::printf("\none WM_PAINT (UpdateWindow after InvalidateRect, paints 1 ms apart), us:\n");
  for (const PaintVariant& variant : paints.variants) {
    std::printf("  %-58s %s\n", variant.name.c_str(), Describe(variant.time, "us", 1).c_str());
  }
  if (paints.variants.size() >= 2) {
    std::printf("  the plug-in's own part (p50 of its window less p50 of the second): %.1f us\n",
                paints.variants[0].time.p50 - paints.variants[1].time.p50);
  }
  std::printf("  GDI objects before / after the timed paints: %d / %d; the same device contexts: %s\n",
              paints.gdiBefore, paints.gdiAfter, paints.sameDCs ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
  const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  const DWORD idleSeconds = argc > 2 ? static_cast<DWORD>(std::max(1, std::atoi(argv[2]))) : 30;
  const int paints = argc > 3 ? std::max(100, std::atoi(argv[3])) : 10000;
  const nphost::Watchdog watchdog(kWatchdogMilliseconds, "the plug-in benchmark");

  const std::string dll = TestSupport::PathNextToProgram("npTARVX.dll");
  std::printf("machine: %s; %s\n", Processor().c_str(), WineVersion().c_str());
  std::printf("load average before: %s\n", LoadAverage().c_str());
  std::printf("npTARVX.dll: %lld bytes\n", FileSize(dll));
  std::fflush(stdout);

  nphost::Browser browser;
  if (browser.Load(dll) != NPERR_NO_ERROR) return Fail("cannot load the plug-in");
  // A first instance makes what the system makes once (the device-notification thread,
  // the cached memory DC), so that the measured instance adds only its listen thread.
  nphost::HostedInstance& warmUp = browser.Embed();
  warmUp.Capture();
  warmUp.Destroy();
  browser.Remove(warmUp);

  simreader::Device reader = nphost::PlugIn(browser);
  simreader::Device floorDevice(kFloorVendorId, kFloorProductId, nphost::kReaderReportLength);
  const ThreadSnapshot beforeAttach = TakeThreadSnapshot();
  nphost::HostedInstance& instance = browser.Embed();
  if (!reader.WaitForOpenHandles(1)) return Fail("the plug-in does not listen");
  const ListenThread listen = FindListenThread(beforeAttach, TakeThreadSnapshot());
  if (listen.windowsId == 0) std::printf("%d threads appeared with the instance\n", listen.threadsAdded);

  const long switchesBefore = ContextSwitchesOfThread(listen.linuxTask);
  PrintLatency(MeasureLatency(browser, reader, floorDevice, cards));
  // The same counter as in the idle figures below, where it must stay still.
  if (switchesBefore >= 0) {
    std::printf("  wake-ups (context switches) of the listen thread meanwhile: %ld\n",
                ContextSwitchesOfThread(listen.linuxTask) - switchesBefore);
  }
  std::fflush(stdout);
  floorDevice.Unplug();
  PrintIdle(MeasureIdle(listen, idleSeconds));
  std::fflush(stdout);
  PrintPaints(MeasurePaints(browser.PageWindow(), instance.Window(), browser.Library()->Module(), paints));
  std::printf("\nload average after: %s\n", LoadAverage().c_str());
  instance.Destroy();
  return 0;
}
