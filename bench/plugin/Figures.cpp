#include "bench/plugin/Figures.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

Summary Summarise(std::vector<double> figures) {
  Summary summary;
  if (figures.empty()) return summary;
  std::sort(figures.begin(), figures.end());
  const auto at = [&](double share) {
    return figures[std::min(figures.size() - 1, static_cast<std::size_t>(share * static_cast<double>(figures.size())))];
  };
  summary.count = figures.size();
  summary.mean = std::accumulate(figures.begin(), figures.end(), 0.0) / static_cast<double>(figures.size());
  summary.p50 = at(0.50);
  summary.p90 = at(0.90);
  summary.p99 = at(0.99);
  summary.max = figures.back();
  return summary;
}

std::string Describe(const Summary& summary, const char* unit, int decimals) {
  char text[160];
  std::snprintf(text, sizeof text, "mean %.*f  p50 %.*f  p90 %.*f  p99 %.*f  max %.*f %s (%zu)", decimals, summary.mean,
                decimals, summary.p50, decimals, summary.p90, decimals, summary.p99, decimals, summary.max, unit,
                summary.count);
  return text;
}
