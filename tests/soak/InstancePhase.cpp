// Instances created beside the page's two, attached with the reader present, and
// destroyed: after a card, with a card in flight, in the middle of a burst, and after
// attaching while a card was on its way to the others.
#include "tests/soak/Phases.h"

#include "tests/soak/CardGroups.h"

namespace {

constexpr int kWays = 4;
constexpr int kPicturesEvery = 20;

void SendInvalidReports(SoakSession& session, int count) {
  for (int i = 0; i < count; ++i) session.Send(session.Reports().InvalidReadWhole());
}

}  // namespace

void RunInstanceCycles(SoakSession& session, int cycles) {
  for (int cycle = 0; cycle < cycles && !session.GivenUp(); ++cycle) {
    switch (cycle % kWays) {
      case 0: {
        const int added = session.Embed();
        PresentSpacedCard(session);
        if (cycle % kPicturesEvery == 0) session.ExpectPicture(added, Picture::Listening, "on an added instance");
        session.Destroy(added);
        break;
      }
      case 1: {
        const int added = session.Embed();
        session.SendCard();
        session.Destroy(added);
        session.Settle();
        break;
      }
      case 2: {
        const int added = session.Embed();
        for (int card = 0; card < 3; ++card) {
          SendInvalidReports(session, 2);
          session.SendCard();
        }
        session.Destroy(added);
        session.SendCard();
        session.Settle();
        break;
      }
      default: {
        // The card was written before the new instance opened the reader: not its card.
        session.SendCard();
        const int added = session.Embed();
        session.Settle();
        PresentSpacedCard(session);
        session.Destroy(added);
        break;
      }
    }
  }
}
