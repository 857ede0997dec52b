#include "tests/soak/SoakTable.h"

#include <cstdio>

namespace {

// "212 -> 212"; a count that must come back and did not is marked.
std::string Change(int before, int after, bool mustComeBack = true) {
  return std::to_string(before) + " -> " + std::to_string(after) + (before == after || !mustComeBack ? " " : "!");
}

}  // namespace

bool SameCounts(const SoakCounts& a, const SoakCounts& b) {
  return a.gdiObjects == b.gdiObjects && a.handles == b.handles && a.threads == b.threads;
}

std::string Describe(const SoakCounts& counts) {
  return "gdi " + std::to_string(counts.gdiObjects) + ", handles " + std::to_string(counts.handles) + " and " +
         std::to_string(counts.locks) + " lock objects, threads " + std::to_string(counts.threads);
}

void PrintSoakTable(const std::vector<PhaseFigures>& rows) {
  std::printf("\n%-26s %8s %11s %9s %11s %9s %7s %10s %9s %8s\n", "phase", "seconds", "handles", "locks", "GDI",
              "threads", "cards", "CardReaded", "coalesced", "failures");
  for (const PhaseFigures& row : rows) {
    std::printf("%-26s %8.1f %11s %9s %11s %9s %7zu %10zu %9zu %8zu\n", row.name.c_str(), row.seconds,
                Change(row.before.handles, row.after.handles, row.checked).c_str(),
                Change(row.before.locks, row.after.locks, false).c_str(),
                Change(row.before.gdiObjects, row.after.gdiObjects, row.checked).c_str(),
                Change(row.before.threads, row.after.threads, row.checked).c_str(), row.cardsPresented, row.cardReaded,
                row.coalesced, row.failures);
  }
  std::fflush(stdout);
}
