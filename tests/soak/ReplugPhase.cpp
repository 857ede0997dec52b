// Unplug/replug cycles. Each cycle presents cards, takes the reader away one way and
// brings it back another, so that every pairing of the ways comes round:
//   away: pulled out; pulled out with a card in flight; unplugged with the removal told
//         later; another HID device arriving and leaving first; the removal told twice;
//   back: plugged in; its arrival told twice; its first listening open failing; its
//         capabilities unreadable until the next arrival.
#include "tests/soak/Phases.h"

#include "tests/soak/CardGroups.h"
#include "tools/host/MessageLoop.h"

namespace {

constexpr int kWaysAway = 5;
constexpr int kWaysBack = 4;
constexpr int kPicturesEvery = 25;

void ExpectPictures(SoakSession& session, Picture expected, const char* when) {
  for (int instance : session.Live()) session.ExpectPicture(instance, expected, when);
}

void TakeAway(SoakSession& session, int way) {
  switch (way) {
    case 0:
      session.PullReader();
      break;
    case 1:
      session.SendCard();
      session.PullReader();
      session.Settle();
      break;
    case 2: {
      // The listen threads find out first, from their failing reads.
      const std::string path = session.UnplugQuietly();
      nphost::PumpFor(5);
      session.AnnounceRemoval(path);
      break;
    }
    case 3: {
      // A keyboard is no reader: the reader goes on listening through both notices.
      simreader::Device keyboard(0x046D, 0xC31C, 8);
      session.AnnounceArrival(keyboard.Path());
      PresentSpacedCard(session);
      keyboard.Unplug();
      session.AnnounceRemoval(keyboard.Path());
      session.ExpectListening(session.Listening());
      PresentSpacedCard(session);
      session.PullReader();
      break;
    }
    default: {
      const std::string path = session.Reader().Path();
      session.PullReader();
      session.AnnounceRemoval(path);
      break;
    }
  }
}

void BringBack(SoakSession& session, int way, bool lookAtPictures) {
  switch (way) {
    case 0:
      session.PlugReader();
      break;
    case 1:
      session.PlugReader();
      session.AnnounceArrival(session.Reader().Path());
      session.ExpectListening(session.Live());
      break;
    case 2: {
      const simreader::Device& reader = session.AddReaderQuietly();
      reader.FailNextListeningOpen();
      session.AnnounceArrival(reader.Path());
      session.ResumeListening();
      break;
    }
    default: {
      const simreader::Device& reader = session.AddReaderQuietly();
      reader.SetFaults(SIMREADER_FAULT_PREPARSED_DATA);
      session.AnnounceArrival(reader.Path());
      // Every listen thread opens the device, fails on its capabilities and ends.
      if (!reader.WaitForOpenHandles(0, 5000)) session.Fail("a listen thread kept a reader without capabilities");
      if (lookAtPictures) ExpectPictures(session, Picture::Idle, "after the reader's capabilities failed");
      reader.SetFaults(0);
      session.ResumeListening();
      break;
    }
  }
}

}  // namespace

void RunReplugCycles(SoakSession& session, int cycles) {
  for (int cycle = 0; cycle < cycles && !session.GivenUp(); ++cycle) {
    const bool lookAtPictures = cycle % kPicturesEvery == 0;
    PresentSomeCards(session);
    if (lookAtPictures) ExpectPictures(session, Picture::Listening, "with the reader plugged in");
    TakeAway(session, cycle % kWaysAway);
    if (lookAtPictures) ExpectPictures(session, Picture::Idle, "with the reader pulled out");
    BringBack(session, (cycle / kWaysAway) % kWaysBack, lookAtPictures);
  }
  PresentSpacedCard(session);
}
