// Which card numbers each page instance may and must see in CardReaded.
//
// Cards are presented in groups: reports sent back to back, after which the soak waits
// until every instance has had a CardReaded for each card it certainly read. Within a
// group the listener keeps only the last number, so cards close together may coalesce:
// each card still posts one message, but every message reads the number stored last.
// So, per instance and group:
//   - every CardReaded carries a card of this group presented to that instance,
//   - in the order the cards were presented (the stored number only moves forward),
//   - one CardReaded per card read: at least the certain cards, at most all of them,
//   - and when no card of the group was in doubt, the last one carries the last card.
// A group of one card is a card presented after the previous CardReaded had returned:
// exactly one CardReaded with its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class CardLedger {
 public:
  using Instance = int;

  // A valid card sent to the reader. Instances in `certain` are listening and will read
  // it; those in `uncertain` may or may not (their listening is being cut meanwhile).
  void Present(std::uint32_t number, const std::vector<Instance>& certain, const std::vector<Instance>& uncertain = {});
  // Every card of the open group becomes uncertain for the instance: it was destroyed,
  // or its reader pulled out, while they were in flight.
  void MayHaveLost(Instance instance);
  // The page's CardReaded ran on the instance with this number.
  void Received(Instance instance, std::uint32_t number);

  // Whether every instance has had at least one CardReaded per card it certainly read.
  bool Settled() const;
  // Checks the open group against the rules above and starts a new one. Called when
  // nothing more can arrive for the group: settled, and the queue pumped.
  void EndGroup();

  std::size_t CardsPresented() const { return m_cardsPresented; }
  std::size_t CardReadedCalls() const { return m_received; }
  // Cards certainly read by an instance whose number it never saw (coalesced).
  std::size_t CardsCoalesced() const { return m_coalesced; }
  std::size_t FailureCount() const { return m_failureCount; }
  // The first failures, in words.
  const std::vector<std::string>& Failures() const { return m_failures; }
  // Records a failure found outside the ledger, so that all are reported together.
  void Fail(const std::string& what);
  // Told of every failure as it is found.
  void OnFailure(std::function<void(const std::string&)> observer) { m_observer = std::move(observer); }

 private:
  struct Card {
    std::uint32_t number;
    bool certain;
  };
  struct Group {
    std::vector<Card> cards;
    std::vector<std::uint32_t> received;
  };

  void Check(Instance instance, const Group& group);

  std::map<Instance, Group> m_open;
  std::set<std::uint32_t> m_everPresented;
  std::size_t m_cardsPresented = 0;
  std::size_t m_received = 0;
  std::size_t m_coalesced = 0;
  std::size_t m_failureCount = 0;
  std::vector<std::string> m_failures;
  std::function<void(const std::string&)> m_observer;
};
