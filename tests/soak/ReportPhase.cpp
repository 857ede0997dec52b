// Reports of every kind in groups sent back to back, one in five a valid card. The first
// half goes through the reader as it is, with 17-byte reports; the second half through a
// reader that announces the longest reports the plug-in takes (1028 bytes), so that wrong
// lengths up to that reach the decoder whole. A report longer than its device's is a
// device fault that ends listening; the soak resumes it with an arrival each time.
#include "tests/soak/Phases.h"

#include "reader/HidListenThread.h"

namespace {

constexpr unsigned kLargestGroup = 16;
constexpr unsigned kValidOneIn = 5;
// Groups without a card are checked now and then all the same: a card the plug-in made
// up from them would show there.
constexpr int kSettleEveryGroups = 32;

}  // namespace

void RunReports(SoakSession& session, int reports) {
  std::mt19937& random = session.Random();
  const int half = reports / 2;
  bool longReader = false;
  int groups = 0;
  for (int sent = 0; sent < reports && !session.GivenUp();) {
    if (!longReader && sent >= half) {
      session.PullReader();
      session.PlugReader(static_cast<std::uint16_t>(CHIDListenThread::kReceiveBufferSize));
      longReader = true;
    }
    const int size = 1 + static_cast<int>(random() % kLargestGroup);
    bool cards = false;
    for (int i = 0; i < size && sent < reports; ++i, ++sent) {
      const bool valid = random() % kValidOneIn == 0;
      session.Send(valid ? session.Reports().ValidCard() : session.Reports().Invalid());
      cards = cards || valid;
    }
    if (cards || ++groups % kSettleEveryGroups == 0) session.Settle();
  }
  session.Settle();
  session.PullReader();
  session.PlugReader();
}
