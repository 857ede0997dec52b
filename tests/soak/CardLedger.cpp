#include "tests/soak/CardLedger.h"

#include <algorithm>

namespace {

constexpr std::size_t kFailuresKept = 20;

std::string Describe(CardLedger::Instance instance, const std::string& what) {
  return "instance " + std::to_string(instance) + ": " + what;
}

}  // namespace

void CardLedger::Present(std::uint32_t number, const std::vector<Instance>& certain,
                         const std::vector<Instance>& uncertain) {
  ++m_cardsPresented;
  m_everPresented.insert(number);
  for (Instance instance : certain) m_open[instance].cards.push_back(Card{number, true});
  for (Instance instance : uncertain) m_open[instance].cards.push_back(Card{number, false});
}

void CardLedger::MayHaveLost(Instance instance) {
  const auto found = m_open.find(instance);
  if (found == m_open.end()) return;
  for (Card& card : found->second.cards) card.certain = false;
}

void CardLedger::Received(Instance instance, std::uint32_t number) {
  ++m_received;
  m_open[instance].received.push_back(number);
}

bool CardLedger::Settled() const {
  return std::all_of(m_open.begin(), m_open.end(), [](const auto& entry) {
    const Group& group = entry.second;
    const auto certain = std::count_if(group.cards.begin(), group.cards.end(), [](const Card& c) { return c.certain; });
    return group.received.size() >= static_cast<std::size_t>(certain);
  });
}

void CardLedger::EndGroup() {
  for (const auto& entry : m_open) Check(entry.first, entry.second);
  m_open.clear();
}

void CardLedger::Fail(const std::string& what) {
  ++m_failureCount;
  if (m_observer) m_observer(what);
  if (m_failures.size() < kFailuresKept) m_failures.push_back(what);
}

void CardLedger::Check(Instance instance, const Group& group) {
  const std::size_t certain = static_cast<std::size_t>(
      std::count_if(group.cards.begin(), group.cards.end(), [](const Card& c) { return c.certain; }));
  std::size_t previous = 0;
  std::set<std::uint32_t> seen;
  for (std::uint32_t number : group.received) {
    const auto card =
        std::find_if(group.cards.begin(), group.cards.end(), [&](const Card& c) { return c.number == number; });
    if (card == group.cards.end()) {
      Fail(Describe(instance, "CardReaded(" + std::to_string(number) + ") carries no card presented to it " +
                                  (m_everPresented.count(number) != 0 ? "since its last CardReaded (late or repeated)"
                                                                      : "at all")));
      return;
    }
    const auto index = static_cast<std::size_t>(card - group.cards.begin());
    if (index < previous) {
      Fail(Describe(instance, "CardReaded(" + std::to_string(number) + ") came after a later card's"));
      return;
    }
    previous = index;
    seen.insert(number);
  }
  if (group.received.size() < certain || group.received.size() > group.cards.size()) {
    Fail(Describe(
        instance,
        std::to_string(group.received.size()) + " CardReaded for " + std::to_string(certain) + " cards certainly read" +
            (certain == group.cards.size() ? std::string()
                                           : " and " + std::to_string(group.cards.size() - certain) + " perhaps")));
    return;
  }
  if (certain == group.cards.size() && certain > 0 && group.received.back() != group.cards.back().number) {
    Fail(Describe(instance, "the last CardReaded carries " + std::to_string(group.received.back()) +
                                ", not the last card " + std::to_string(group.cards.back().number)));
    return;
  }
  for (const Card& card : group.cards) {
    if (card.certain && seen.count(card.number) == 0) ++m_coalesced;
  }
}
