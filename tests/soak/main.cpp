// The soak: the shipped npTARVX.dll in the browser host with the simulated reader, through
// unplug/replug cycles, instances created and destroyed, paints and a flood of reports
// good and bad, with two instances on the page all along. Nothing may crash or hang (a
// watchdog ends a hung run with exit code 3). Handle, GDI object and thread counts must
// come back phase by phase, and at the end to the baseline taken after the warm-up; lock
// objects, which the run-time's and Wine's locks make once on first contention, are
// counted apart and may appear a few times, not by the hundred. Every CardReaded must
// carry a card presented to its instance, and a card presented after the last CardReaded
// had returned must be shown exactly once.
//
//   plugin_soak [--scale F] [--replugs N] [--instances N] [--paints N] [--reports N]
//               [--seed N] [--timeout SECONDS]
//
// Exit code 0 when everything held, 1 when something did not, 2 on a set-up failure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

#include "tests/soak/CardGroups.h"
#include "tests/soak/Phases.h"
#include "tests/soak/ResourceInventory.h"
#include "tests/soak/SoakOptions.h"
#include "tests/soak/SoakSession.h"
#include "tests/soak/SoakTable.h"
#include "tools/host/Watchdog.h"

namespace {

// What one step of each phase may take at worst, for its watchdog.
constexpr DWORD kPhaseMinimumMilliseconds = 60000;
constexpr DWORD kPerReplugMilliseconds = 500;
constexpr DWORD kPerInstanceMilliseconds = 500;
constexpr DWORD kPerPaintMilliseconds = 20;
constexpr DWORD kPerReportMilliseconds = 10;
constexpr int kMostWarmUpRounds = 8;
// Lock objects (ResourceInventory.h) that may first appear after the baseline.
constexpr int kLockObjectsAllowed = 4;
constexpr int kQuietWarmUpRounds = 2;

double Seconds(ULONGLONG fromTicks) { return static_cast<double>(GetTickCount64() - fromTicks) / 1000.0; }

class Soak {
 public:
  explicit Soak(const SoakOptions& options) : m_options(options), m_session(options.seed) {}

  int Run() {
    const SoakCounts baseline = WarmUp();
    // The page's two instances, there through everything that follows.
    m_session.Embed();
    m_session.Embed();
    RunPhase("replug x" + std::to_string(m_options.replugCycles), kPerReplugMilliseconds * m_options.replugCycles,
             [&] { RunReplugCycles(m_session, m_options.replugCycles); });
    RunPhase("instances x" + std::to_string(m_options.instanceCycles),
             kPerInstanceMilliseconds * m_options.instanceCycles,
             [&] { RunInstanceCycles(m_session, m_options.instanceCycles); });
    RunPhase("paints x" + std::to_string(m_options.paints), kPerPaintMilliseconds * m_options.paints,
             [&] { RunPaints(m_session, m_options.paints); });
    RunPhase("reports x" + std::to_string(m_options.reports), kPerReportMilliseconds * m_options.reports,
             [&] { RunReports(m_session, m_options.reports); });
    End(baseline);
    PrintSoakTable(m_rows);
    PrintReports();
    return PrintVerdict();
  }

 private:
  // One instance attached, shown a card, painted and destroyed: the system's
  // device-notification thread and the cached memory DC exist from then on. Wine makes
  // more on first need and keeps it (device contexts for several windows painted at
  // once), so rounds of the phases' work at small scale follow, until two in a row change
  // nothing; the baseline comes after them, and the table shows what they added.
  SoakCounts WarmUp() {
    ULONGLONG start = GetTickCount64();
    m_session.PlugReader();
    const int warmUp = m_session.Embed();
    PresentSpacedCard(m_session);
    m_session.ExpectPicture(warmUp, Picture::Listening, "in the warm-up");
    m_session.Destroy(warmUp);
    PhaseFigures instance = Figures("warm-up instance", start);
    instance.checked = false;
    instance.before = instance.after = m_session.QuietCounts();
    m_session.CheckHandleListing();
    m_rows.push_back(instance);

    start = GetTickCount64();
    const PhaseFigures cardsBefore = Figures("", m_start);
    SoakCounts counts = instance.after;
    int rounds = 0;
    for (int unchanged = 0; unchanged < kQuietWarmUpRounds && rounds < kMostWarmUpRounds && !m_session.GivenUp();
         ++rounds) {
      WarmUpRound();
      const SoakCounts after = m_session.QuietCounts(&m_baselineInventory);
      unchanged = SameCounts(after, counts) ? unchanged + 1 : 0;
      counts = after;
    }
    PhaseFigures round = Figures("warm-up x" + std::to_string(rounds) + " (baseline)", start, cardsBefore);
    round.before = instance.after;
    round.after = counts;
    round.checked = false;
    m_rows.push_back(round);
    return round.after;
  }

  // As many instances as the phases have at once, painted, through replugs, a long
  // report and a device whose capabilities fail; then instances coming and going.
  void WarmUpRound() {
    constexpr int kInstances = 3;
    constexpr int kReplugs = 4;
    constexpr int kComingAndGoing = 6;
    for (int i = 0; i < kInstances; ++i) m_session.Embed();
    for (int cycle = 0; cycle < kReplugs && !m_session.GivenUp(); ++cycle) {
      PresentSomeCards(m_session);
      for (int instance : m_session.Live()) m_session.ExpectPicture(instance, Picture::Listening, "in the warm-up");
      m_session.PullReader();
      m_session.PlugReader();
    }
    m_session.Send(Report{ReportKind::WrongLength, std::vector<std::uint8_t>(100, 0x55), 0});
    m_session.PullReader();
    const simreader::Device& reader = m_session.AddReaderQuietly();
    reader.SetFaults(SIMREADER_FAULT_PREPARSED_DATA);
    m_session.AnnounceArrival(reader.Path());
    reader.SetFaults(0);
    m_session.ResumeListening();
    for (int instance : m_session.Live()) m_session.Destroy(instance);
    // Instances coming and going one after another, each painted.
    m_session.Embed();
    m_session.Embed();
    for (int i = 0; i < kComingAndGoing && !m_session.GivenUp(); ++i) {
      const int added = m_session.Embed();
      PresentSpacedCard(m_session);
      m_session.ExpectPicture(added, Picture::Listening, "in the warm-up");
      m_session.Destroy(added);
    }
    for (int instance : m_session.Live()) m_session.Destroy(instance);
  }

  void RunPhase(const std::string& name, DWORD allowance, const std::function<void()>& body) {
    if (m_session.GivenUp()) return;
    const nphost::Watchdog guard(std::max(kPhaseMinimumMilliseconds, allowance), "the soak's phase " + name);
    ResourceInventory inventoryBefore;
    const SoakCounts before = m_session.QuietCounts(&inventoryBefore);
    const std::size_t failures = m_session.Ledger().FailureCount();
    const PhaseFigures cardsBefore = Figures(name, m_start);
    const ULONGLONG start = GetTickCount64();
    body();
    PhaseFigures row = Figures(name, start, cardsBefore);
    row.before = before;
    ResourceInventory inventoryAfter;
    row.after = m_session.QuietCounts(&inventoryAfter);
    m_session.CheckHost("after " + name);
    if (!SameCounts(row.before, row.after)) {
      m_session.Fail(name + " left " + Describe(row.after) + ", begun with " + Describe(row.before) + ": " +
                     DescribeChange(inventoryBefore, inventoryAfter));
    }
    row.failures = m_session.Ledger().FailureCount() - failures;
    m_rows.push_back(row);
    std::printf("%s: %.1f s, %s\n", name.c_str(), row.seconds, Describe(row.after).c_str());
    std::fflush(stdout);
  }

  void End(const SoakCounts& baseline) {
    for (int instance : m_session.Live()) m_session.Destroy(instance);
    PhaseFigures row = Figures("whole run (from baseline)", m_start);
    row.before = baseline;
    ResourceInventory inventory;
    row.after = m_session.QuietCounts(&inventory);
    m_session.CheckHost("at the end");
    const std::string change = DescribeChange(m_baselineInventory, inventory);
    if (!SameCounts(baseline, row.after)) {
      m_session.Fail("the counts did not come back to the baseline: " + Describe(row.after) + ", baseline " +
                     Describe(baseline) + ": " + change);
    }
    // Locks make these once each; a leak would make them by the hundred.
    if (row.after.locks > baseline.locks + kLockObjectsAllowed) {
      m_session.Fail("lock objects went from " + std::to_string(baseline.locks) + " to " +
                     std::to_string(row.after.locks) + ": " + change);
    } else if (row.after.locks != baseline.locks) {
      std::printf("lock objects made once after the baseline: %d (%s)\n", row.after.locks - baseline.locks,
                  DescribeChange(m_baselineInventory, inventory, true).c_str());
    }
    row.failures = m_session.Ledger().FailureCount();
    m_rows.push_back(row);
  }

  // Time since `start`, and the cards since the figures `since` were taken.
  PhaseFigures Figures(const std::string& name, ULONGLONG start, const PhaseFigures& since = PhaseFigures()) const {
    const CardLedger& ledger = m_session.Ledger();
    PhaseFigures row;
    row.name = name;
    row.seconds = Seconds(start);
    row.cardsPresented = ledger.CardsPresented() - since.cardsPresented;
    row.cardReaded = ledger.CardReadedCalls() - since.cardReaded;
    row.coalesced = ledger.CardsCoalesced() - since.coalesced;
    return row;
  }

  void PrintReports() {
    std::printf("\nreports sent:");
    for (int kind = 0; kind < kReportKinds; ++kind) {
      std::printf(" %s %zu%s", ReportKindName(static_cast<ReportKind>(kind)),
                  m_session.ReportsSent(static_cast<ReportKind>(kind)), kind + 1 < kReportKinds ? "," : "\n");
    }
    std::printf(
        "reports longer than the device's: listening ended %zu times (resumed by an arrival), went on %zu times"
        " (told apart by %zu cards sent after them)\n",
        m_session.ListenersLostToLongReports(), m_session.ListenersKeptThroughLongReports(), m_session.ProbeCards());
    std::printf("pluggings that needed a second arrival (no free pipe for an open): %zu\n",
                m_session.ArrivalsRepeated());
    if (m_session.GivenUp())
      std::printf("the run was cut short after %zu failures\n", SoakSession::kFailuresBeforeGivingUp);
  }

  int PrintVerdict() {
    const CardLedger& ledger = m_session.Ledger();
    if (ledger.FailureCount() != 0) {
      std::printf("\n%zu failures, the first of them:\n", ledger.FailureCount());
      for (const std::string& failure : ledger.Failures()) std::printf("  %s\n", failure.c_str());
    }
    std::printf("soak: %s\n", ledger.FailureCount() == 0 ? "everything held" : "FAILED");
    return ledger.FailureCount() == 0 ? 0 : 1;
  }

  const SoakOptions m_options;
  const ULONGLONG m_start = GetTickCount64();
  SoakSession m_session;
  std::vector<PhaseFigures> m_rows;
  ResourceInventory m_baselineInventory;
};

}  // namespace

int main(int argc, char** argv) {
  SoakOptions options;
  std::string error;
  if (!ParseSoakOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "plugin_soak: %s\n", error.c_str());
    return 2;
  }
  std::printf("soak: replugs %d, instances %d, paints %d, reports %d, seed %u\n", options.replugCycles,
              options.instanceCycles, options.paints, options.reports, options.seed);
  std::fflush(stdout);
  const nphost::Watchdog whole(options.timeoutSeconds * 1000, "the soak");
  try {
    Soak soak(options);
    return soak.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plugin_soak: %s\n", e.what());
    return 2;
  }
}
