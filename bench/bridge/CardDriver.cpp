// Presents numbered cards to a simulated reader of the session (SIMREADER_SHARED) and
// prints, for each, when the device wrote its report, as microseconds since the Unix epoch,
// so that a page's own clock can be set against it:
//   bridge_card_driver <device id> <count> <milliseconds between cards> <first number>
// prints "card <number> <epoch microseconds>" per card.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tools/simreader/SimReader.h"

namespace {

std::int64_t EpochMicroseconds() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
  return static_cast<std::int64_t>((ticks - kUnixEpochTicks) / 10);
}

// The performance counter is machine-wide, so the server's write times are on this
// process's counter too; one pair of readings ties it to the system clock.
struct CounterToEpoch {
  std::int64_t counterAtStart;
  std::int64_t epochAtStart;
  std::int64_t frequency;

  static CounterToEpoch Now() {
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return {counter.QuadPart, EpochMicroseconds(), frequency.QuadPart};
  }
  std::int64_t operator()(std::int64_t counter) const {
    return epochAtStart + (counter - counterAtStart) * 1000000 / frequency;
  }
};

unsigned long Argument(const char* text) { return std::strtoul(text, nullptr, 0); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: bridge_card_driver <device id> <count> <ms between cards> <first number>\n", stderr);
    return 2;
  }
  try {
    const unsigned device = static_cast<unsigned>(Argument(argv[1]));
    const unsigned long count = Argument(argv[2]);
    const DWORD interval = static_cast<DWORD>(Argument(argv[3]));
    const unsigned first = static_cast<unsigned>(Argument(argv[4]));
    const simreader::ControlFunctions& control = simreader::Control();
    const CounterToEpoch toEpoch = CounterToEpoch::Now();
    for (unsigned long i = 0; i < count; ++i) {
      const unsigned number = first + static_cast<unsigned>(i);
      if (!control.PresentCard(device, number, static_cast<unsigned char>(1 + i % 7))) {
        std::fprintf(stderr, "bridge_card_driver: card %u not presented (%lu)\n", number, GetLastError());
        return 1;
      }
      LARGE_INTEGER written{};
      if (!control.GetLastWriteTime(device, &written)) return 1;
      std::printf("card %u %lld\n", number, static_cast<long long>(toEpoch(written.QuadPart)));
      Sleep(interval);
    }
    std::fflush(stdout);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bridge_card_driver: %s\n", e.what());
    return 1;
  }
}
