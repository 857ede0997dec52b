// Paints of the page's instances, taking turns, with cards read meanwhile and the reader
// pulled out and plugged in now and then, so that both pictures are drawn.
#include "tests/soak/Phases.h"

#include "tools/host/MessageLoop.h"

namespace {

constexpr int kCardEvery = 20;
constexpr int kReplugEvery = 1000;

void ExpectPictures(SoakSession& session, Picture expected, const char* when) {
  for (int instance : session.Live()) session.ExpectPicture(instance, expected, when);
}

}  // namespace

void RunPaints(SoakSession& session, int paints) {
  const std::set<int> live = session.Live();
  const std::vector<int> page(live.begin(), live.end());
  for (int paint = 0; paint < paints && !session.GivenUp(); ++paint) {
    // Invalidated and painted at once: one WM_PAINT through the plug-in's procedure.
    RedrawWindow(session.WindowOf(page[static_cast<std::size_t>(paint) % page.size()]), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW);
    nphost::PumpMessages();
    if (paint % kCardEvery == 0) session.SendCard();
    if (paint % kCardEvery == kCardEvery - 1) session.Settle();
    if (paint % kReplugEvery == kReplugEvery - 1) {
      session.PullReader();
      ExpectPictures(session, Picture::Idle, "among the paints, the reader pulled out");
      session.PlugReader();
      ExpectPictures(session, Picture::Listening, "among the paints, the reader plugged in again");
    }
  }
  session.Settle();
}
