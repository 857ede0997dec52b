// Cost of turning one card report into a card number, natively.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "reader/CardReport.h"
#include "tools/card_encoder/CardReportEncoder.h"

namespace {

void BM_DecodeAndCheck(benchmark::State& state) {
  const CardReportBytes report = EncodeCardNumber(2587647617u, 3, 12345);
  std::uint8_t record[kCardRecordBufferSize];
  for (auto _ : state) {
    const std::int32_t n = DecodeCardReport(report.data() + 1, 16, record);
    const std::uint16_t check = ComputeCheckValue(5, record);
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(check);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeAndCheck);

void BM_ReadCardReport(benchmark::State& state) {
  const CardReportBytes report = EncodeCardNumber(2587647617u, 3, 12345);
  for (auto _ : state) {
    CardReportResult result = ReadCardReport(report.data(), static_cast<std::uint32_t>(report.size()));
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_ReadCardReport);

}  // namespace

BENCHMARK_MAIN();
