#include "tests/soak/CardGroups.h"

void PresentSpacedCard(SoakSession& session) {
  session.SendCard();
  session.Settle();
}

void PresentBurst(SoakSession& session, int cards, int invalidBetween) {
  std::mt19937& random = session.Random();
  for (int card = 0; card < cards; ++card) {
    const auto invalid =
        invalidBetween > 0 ? static_cast<int>(random() % static_cast<unsigned>(invalidBetween + 1)) : 0;
    for (int i = 0; i < invalid; ++i) session.Send(session.Reports().InvalidReadWhole());
    session.SendCard();
  }
  session.Settle();
}

void PresentSomeCards(SoakSession& session) {
  std::mt19937& random = session.Random();
  if (random() % 2 == 0) {
    PresentSpacedCard(session);
  } else {
    PresentBurst(session, 2 + static_cast<int>(random() % 3), 2);
  }
}
