// The floor of the card-to-page benchmark: a native messaging host with no reader logic.
// It opens the first simulated device of the session, and for every report read writes
// one `card` frame whose number counts the reports (1, 2, ...), after the hello and a
// `status` listening. What the real host adds to the path (enumeration, overlapped reads,
// decoding and check, the sink) is what the benchmark compares against this.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "bridge/FrameWriter.h"
#include "bridge/Messages.h"
#include "tools/simreader/SimReader.h"
#include "win32/UniqueResource.h"

namespace {

// The browser ends the host by closing its input.
DWORD WINAPI EndAtEndOfInput(void*) {
  char byte = 0;
  DWORD count = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &count, nullptr) && count == 1) {
  }
  ExitProcess(0);
}

int Run() {
  std::vector<SimReaderDeviceInfo> devices(8);
  const unsigned present = simreader::Control().ListDevices(devices.data(), static_cast<unsigned>(devices.size()));
  if (present == 0) {
    std::fputs("bare host: no simulated device\n", stderr);
    return 1;
  }
  const SimReaderDeviceInfo& device = devices[0];
  kelmar::Win32::UniqueFileHandle reader(
      CreateFileA(device.path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!reader) {
    std::fprintf(stderr, "bare host: cannot open %s (%lu)\n", device.path, GetLastError());
    return 1;
  }
  if (CreateThread(nullptr, 0, EndAtEndOfInput, nullptr, 0, nullptr) == nullptr) return 1;

  FrameWriter out(GetStdHandle(STD_OUTPUT_HANDLE));
  if (!out.Write(HelloMessage()) || !out.Write(StatusMessage(true))) return 1;
  std::vector<BYTE> report(device.inputReportLength);
  std::uint32_t reports = 0;
  DWORD count = 0;
  while (ReadFile(reader.Get(), report.data(), static_cast<DWORD>(report.size()), &count, nullptr)) {
    if (!out.Write(CardMessage(++reports))) return 1;
  }
  return 0;
}

}  // namespace

int main() {
  try {
    return Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bare host: %s\n", e.what());
    return 1;
  }
}
