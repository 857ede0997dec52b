// The soak's card rules must catch the faults they are there for: a lost or repeated card,
// a number nobody presented, cards out of order, a spaced card shown twice.
#include "tests/soak/CardLedger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One step of a story told to the ledger, on instance 1 unless said otherwise.
struct Step {
  enum Kind { Present, PresentUncertain, Receive, Lose, EndGroup } kind;
  std::uint32_t number = 0;
  int instance = 1;
};

struct Story {
  const char* name;
  std::vector<Step> steps;
  const char* failure;  // a part of the expected failure text; nullptr when none is due
};

Step P(std::uint32_t n, int i = 1) { return {Step::Present, n, i}; }
Step U(std::uint32_t n, int i = 1) { return {Step::PresentUncertain, n, i}; }
Step R(std::uint32_t n, int i = 1) { return {Step::Receive, n, i}; }
Step Lose(int i = 1) { return {Step::Lose, 0, i}; }
Step End() { return {Step::EndGroup, 0, 1}; }

void Tell(CardLedger& ledger, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::Present:
        ledger.Present(step.number, {step.instance});
        break;
      case Step::PresentUncertain:
        ledger.Present(step.number, {}, {step.instance});
        break;
      case Step::Receive:
        ledger.Received(step.instance, step.number);
        break;
      case Step::Lose:
        ledger.MayHaveLost(step.instance);
        break;
      case Step::EndGroup:
        ledger.EndGroup();
        break;
    }
  }
}

class CardLedgerStory : public ::testing::TestWithParam<Story> {};

TEST_P(CardLedgerStory, FindsExactlyTheFaultsInIt) {
  const Story& story = GetParam();
  CardLedger ledger;
  Tell(ledger, story.steps);
  if (story.failure == nullptr) {
    EXPECT_EQ(ledger.FailureCount(), 0u) << (ledger.Failures().empty() ? "" : ledger.Failures().front());
  } else {
    ASSERT_EQ(ledger.FailureCount(), 1u);
    EXPECT_NE(ledger.Failures().front().find(story.failure), std::string::npos) << ledger.Failures().front();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Stories, CardLedgerStory,
    ::testing::Values(Story{"SpacedCardsEachShownOnce", {P(1), R(1), End(), P(2), R(2), End()}, nullptr},
                      Story{"BurstCoalescesToTheLastNumber", {P(1), P(2), P(3), R(3), R(3), R(3), End()}, nullptr},
                      Story{"BurstShownInOrder", {P(1), P(2), P(3), R(1), R(3), R(3), End()}, nullptr},
                      Story{"SpacedCardShownTwice", {P(1), R(1), R(1), End()}, "2 CardReaded for 1"},
                      Story{"SpacedCardLost", {P(1), End()}, "0 CardReaded for 1"},
                      Story{"NumberNobodyPresented", {P(1), R(7), End()}, "at all"},
                      Story{"NumberOfAnEarlierGroup", {P(1), R(1), End(), P(2), R(1), End()}, "late or repeated"},
                      Story{"CardOfAnotherInstance", {P(1, 2), R(1, 2), R(1, 1), End()}, "instance 1"},
                      Story{"BurstOutOfOrder", {P(1), P(2), R(2), R(1), End()}, "after a later card"},
                      Story{"BurstEndsOnAnEarlierCard", {P(1), P(2), R(1), R(1), End()}, "not the last card"},
                      Story{"UncertainCardMayBeMissing", {P(1), U(2), R(1), End()}, nullptr},
                      Story{"UncertainCardMayArrive", {P(1), U(2), R(2), R(2), End()}, nullptr},
                      Story{"LostListeningAllowsNothing", {P(1), P(2), Lose(), End()}, nullptr},
                      Story{"LostListeningStillNoStrangers", {P(1), Lose(), R(9), End()}, "at all"},
                      Story{"NeverMoreThanOnePerCard", {P(1), U(2), R(2), R(2), R(2), End()}, "3 CardReaded"}),
    [](const ::testing::TestParamInfo<Story>& tested) { return std::string(tested.param.name); });

TEST(CardLedger, SettlesOnlyWhenEveryCertainCardWasShown) {
  CardLedger ledger;
  ledger.Present(1, {1, 2}, {3});
  ledger.Received(1, 1);
  EXPECT_FALSE(ledger.Settled());
  ledger.Received(2, 1);
  EXPECT_TRUE(ledger.Settled()) << "the uncertain instance held it up";
}

TEST(CardLedger, CountsCoalescedCards) {
  CardLedger ledger;
  Tell(ledger, {P(1), P(2), P(3), R(2), R(3), R(3), End()});
  EXPECT_EQ(ledger.CardsPresented(), 3u);
  EXPECT_EQ(ledger.CardReadedCalls(), 3u);
  EXPECT_EQ(ledger.CardsCoalesced(), 1u);
}

}  // namespace
