// The demo's flow and its verdict: what each step must bring to the page, the broken
// report, and the comparison of what the page should have received with what it did.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "reader/CardReport.h"
#include "tools/demo/DemoOptions.h"
#include "tools/demo/DemoSteps.h"
#include "tools/demo/PageCheck.h"
#include "tools/demo/Screenshot.h"

namespace {

using Scripts = std::vector<std::string>;

Scripts ExpectedFor(const std::vector<Step>& steps) {
  Scripts scripts;
  for (const Step& step : steps) {
    const Scripts more = ExpectedScripts(step);
    scripts.insert(scripts.end(), more.begin(), more.end());
  }
  return scripts;
}

TEST(DemoSteps, TheFlowBringsEachCardOnceBetweenTheArrivalAndNothingForTheBrokenReport) {
  std::vector<Step> steps = StepsWhileListening(DefaultCards());
  steps.push_back(PullOutStep());
  EXPECT_EQ(ExpectedFor(steps), (Scripts{"DeviceChanged(1);", "CardReaded(2587647617);", "CardReaded(42);",
                                         "CardReaded(4294967295);", "DeviceChanged(0);"}));
  EXPECT_EQ(steps.at(steps.size() - 2).kind, StepKind::BrokenReport);
}

TEST(DemoSteps, CardsOfTheFlowAreScrambledWithDifferentShifts) {
  const std::vector<Step> steps = StepsWhileListening({1, 2, 3});
  std::set<int> shifts;
  for (const Step& step : steps) {
    if (step.kind == StepKind::PresentCard) shifts.insert(step.shift);
  }
  EXPECT_EQ(shifts.size(), 3u);
}

// The demo says the plug-in ignores a report because of its check value; the report must
// fail that and nothing else, whatever the shift.
TEST(DemoSteps, BrokenReportFailsOnlyItsCheckValue) {
  for (std::uint8_t shift = 0; shift <= 8; ++shift) {
    const std::vector<std::uint8_t> report = BrokenCardReport(kBrokenReportCard, shift);
    ASSERT_EQ(report.size(), kCardReportLength);
    const CardReportResult result = ReadCardReport(report.data(), static_cast<std::uint32_t>(report.size()));
    EXPECT_EQ(result.status, CardReportStatus::CheckMismatch) << "shift " << int{shift};

    std::uint8_t record[kCardRecordBufferSize];
    ASSERT_EQ(DecodeCardReport(report.data() + 1, static_cast<std::int32_t>(report.size() - 1), record), 7);
    const std::uint32_t number =
        record[1] | record[2] << 8 | record[3] << 16 | static_cast<std::uint32_t>(record[4]) << 24;
    EXPECT_EQ(number, kBrokenReportCard) << "shift " << int{shift};
    EXPECT_EQ(ComputeCheckValue(5, record) ^ (record[5] | record[6] << 8), 0x0001) << "shift " << int{shift};
  }
}

TEST(PageCheck, ComparesInOrderAndNamesTheFirstDifference) {
  struct Case {
    Scripts expected;
    Scripts received;
    std::string problem;  // empty: ok
  };
  const Case cases[] = {
      {{}, {}, ""},
      {{"DeviceChanged(1);", "CardReaded(42);"}, {"DeviceChanged(1);", "CardReaded(42);"}, ""},
      {{"DeviceChanged(1);", "CardReaded(42);"},
       {"DeviceChanged(1);"},
       "the page never received CardReaded(42); (script 2 of 2)"},
      {{"DeviceChanged(1);"}, {}, "the page never received DeviceChanged(1); (script 1 of 1)"},
      {{"DeviceChanged(1);"},
       {"DeviceChanged(1);", "CardReaded(2587647617);"},
       "the page received CardReaded(2587647617); after everything it should have (script 2)"},
      {{"CardReaded(1);", "CardReaded(2);"},
       {"CardReaded(2);", "CardReaded(1);"},
       "script 1: the page should have received CardReaded(1); but received CardReaded(2);"},
      // A card read twice instead of two different cards.
      {{"CardReaded(1);", "CardReaded(2);"},
       {"CardReaded(2);", "CardReaded(2);"},
       "script 1: the page should have received CardReaded(1); but received CardReaded(2);"},
  };
  for (const Case& c : cases) {
    const PageVerdict verdict = CompareScripts(c.expected, c.received);
    EXPECT_EQ(verdict.ok, c.problem.empty()) << c.problem;
    EXPECT_EQ(verdict.problem, c.problem);
  }
}

TEST(Screenshot, EnlargementKeepsTheLongerSideWithin800Pixels) {
  struct Case {
    int width, height, enlargement;
  };
  const Case cases[] = {{100, 40, 4}, {1, 1, 4}, {200, 10, 4}, {201, 10, 3}, {10, 300, 2}, {600, 440, 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(EnlargementFor(c.width, c.height), c.enlargement) << c.width << "x" << c.height;
  }
}

}  // namespace
