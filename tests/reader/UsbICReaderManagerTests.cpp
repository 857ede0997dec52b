// The reader manager with a simulated reader: cards to listeners in every notify mode and
// to their sinks, rejected reports, lock order, opening and reopening the reader, and
// teardown.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "reader/UsbICReaderManager.h"
#include "tests/reader/ReaderTestSupport.h"
#include "tests/support/ImportHook.h"
#include "tests/support/ResourceCounters.h"
#include "tools/card_encoder/CardReportEncoder.h"
#include "tools/simreader/SimReader.h"
#include "win32/CriticalSection.h"

using kelmar::Win32::CCriticalSectionLock;
using kelmar::Win32::UniqueHandle;
using ReaderTests::Bytes;
using ReaderTests::CardNumberOf;
using ReaderTests::CardWindow;
using ReaderTests::IsSignalled;
using ReaderTests::kGenerous;
using ReaderTests::Prepare;

namespace {

UniqueHandle MakeEvent() { return UniqueHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr)); }

Bytes ToBytes(const CardReportBytes& report) { return Bytes(report.begin(), report.end()); }

// Records the cards it is handed and the threads they came on.
class RecordingSink : public ICardSink {
 public:
  RecordingSink() : m_arrived(MakeEvent()) {}

  void OnCard(std::uint32_t cardNumber) noexcept override {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_cards.push_back(cardNumber);
      m_threads.push_back(GetCurrentThreadId());
    }
    SetEvent(m_arrived.Get());
  }

  bool WaitForCards(std::size_t count) {
    for (;;) {
      if (Cards().size() >= count) return true;
      if (!IsSignalled(m_arrived.Get(), kGenerous)) return Cards().size() >= count;
    }
  }
  std::vector<std::uint32_t> Cards() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_cards;
  }
  std::vector<DWORD> Threads() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_threads;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::uint32_t> m_cards;
  std::vector<DWORD> m_threads;
  UniqueHandle m_arrived;
};

bool ThreadEnds(const CHIDListenThread& thread) {
  return thread.GetThreadHandle() != nullptr &&
         WaitForSingleObject(thread.GetThreadHandle(), kGenerous) == WAIT_OBJECT_0;
}

// A reader plugged in, a manager listening to it, and a window with a listener, as a
// plug-in instance has them. A last listener in event mode tells when a report's
// notification pass is over: it is notified after every listener before it.
class ReaderManager : public ::testing::Test {
 protected:
  ReaderManager() : reader(kReaderVendorId, kReaderProductId, 17), passDone(MakeEvent()) {}

  void SetUp() override {
    Prepare(listener, 0, window.Handle());
    manager = std::make_unique<CUsbICReaderManager>();
    manager->RegisterHidNotification(window.Handle());
    manager->OpenReader();
    ASSERT_TRUE(manager->GetListenThread().IsRunning());
    ASSERT_TRUE(reader.WaitForOpenHandles(1));
  }

  void AddPassSentinel() {
    Prepare(sentinel, 1, passDone.Get());
    manager->AddListener(&sentinel);
  }

  // Sends a report and handles the messages it caused; false if the pass did not end.
  bool Deliver(const Bytes& report) {
    reader.SendReport(report);
    if (!IsSignalled(passDone.Get(), kGenerous)) return false;
    window.Drain();
    return true;
  }

  simreader::Device reader;
  CardWindow window;
  CardListener listener;
  CardListener sentinel;
  UniqueHandle passDone;
  std::unique_ptr<CUsbICReaderManager> manager;
};

TEST_F(ReaderManager, ACardReachesTheWindowWithManagerListenerAndNumber) {
  manager->AddListener(&listener);
  AddPassSentinel();
  struct Card {
    std::uint32_t number;
    std::uint8_t shift;
  };
  const Card cards[] = {{2587647617u, 3}, {0, 0}, {0xFFFFFFFFu, 8}, {12345, 35}, {0x80808080u, 5}};
  for (const Card& card : cards) {
    SCOPED_TRACE(card.number);
    reader.PresentCard(card.number, card.shift);
    ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
    ASSERT_TRUE(window.PumpUntil([&] { return !window.Messages().empty(); }));
    ASSERT_EQ(window.Messages().size(), 1u);
    const ReaderTests::CardMessage message = window.Messages().back();
    EXPECT_EQ(message.manager, reinterpret_cast<WPARAM>(manager.get()));
    EXPECT_EQ(message.listener, reinterpret_cast<LPARAM>(&listener));
    EXPECT_EQ(message.cardNumber, card.number);
    EXPECT_EQ(CardNumberOf(sentinel), card.number);
    window.ClearMessages();
  }
}

TEST_F(ReaderManager, EachNotifyModeStoresTheNumberAndNotifiesOnlyAsItSays) {
  struct Case {
    std::int32_t mode;
    bool posts;
    bool signals;
  };
  const Case cases[] = {
      {0, true, false}, {1, false, true}, {2, false, false}, {-1, false, false}, {0x7FFFFFFF, false, false}};
  std::vector<std::unique_ptr<CardListener>> listeners;
  std::vector<UniqueHandle> events;
  for (const Case& c : cases) {
    events.push_back(MakeEvent());
    listeners.push_back(std::make_unique<CardListener>());
    // Mode 0 targets the window; every other mode gets an event, to show it is not set.
    Prepare(*listeners.back(), c.mode, c.mode == 0 ? static_cast<HANDLE>(window.Handle()) : events.back().Get(), 7);
    manager->AddListener(listeners.back().get());
  }
  AddPassSentinel();

  ASSERT_TRUE(Deliver(ToBytes(EncodeCardNumber(424242, 4, 1))));

  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("mode " + std::to_string(cases[i].mode));
    EXPECT_EQ(CardNumberOf(*listeners[i]), 424242u);
    const bool posted = std::any_of(window.Messages().begin(), window.Messages().end(), [&](const auto& message) {
      return message.listener == reinterpret_cast<LPARAM>(listeners[i].get());
    });
    EXPECT_EQ(posted, cases[i].posts);
    EXPECT_EQ(IsSignalled(events[i].Get()), cases[i].signals);
  }
  EXPECT_EQ(window.Messages().size(), 1u);
}

TEST_F(ReaderManager, ASinkIsHandedEveryCardOnceInOrderOnTheListenThreadWhateverTheMode) {
  const std::int32_t modes[] = {0, 1, 2, -1};
  std::vector<std::unique_ptr<CardListener>> listeners;
  std::vector<std::unique_ptr<RecordingSink>> sinks;
  std::vector<UniqueHandle> events;
  for (const std::int32_t mode : modes) {
    events.push_back(UniqueHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr)));
    sinks.push_back(std::make_unique<RecordingSink>());
    listeners.push_back(std::make_unique<CardListener>());
    Prepare(*listeners.back(), mode, mode == 0 ? static_cast<HANDLE>(window.Handle()) : events.back().Get());
    listeners.back()->sink = sinks.back().get();
    manager->AddListener(listeners.back().get());
  }
  // A burst faster than any window could handle, with a report whose check value is
  // broken in the middle of it.
  CardRecord broken = MakeCardRecord(999);
  broken[6] ^= 0x80;
  std::vector<std::uint32_t> expected;
  for (std::uint32_t card = 1; card <= 60; ++card) {
    if (card == 30) reader.SendReport(ToBytes(EncodeCardReport(broken, 3, 1)));
    reader.PresentCard(card * 1000003u, static_cast<std::uint8_t>(card % 8));
    expected.push_back(card * 1000003u);
  }

  for (std::size_t i = 0; i < std::size(modes); ++i) {
    SCOPED_TRACE("mode " + std::to_string(modes[i]));
    ASSERT_TRUE(sinks[i]->WaitForCards(expected.size()));
    EXPECT_EQ(sinks[i]->Cards(), expected);
    const std::vector<DWORD> threads = sinks[i]->Threads();
    EXPECT_TRUE(std::all_of(threads.begin(), threads.end(),
                            [&](DWORD id) { return id == GetThreadId(manager->GetListenThread().GetThreadHandle()); }));
    EXPECT_EQ(CardNumberOf(*listeners[i]), expected.back());
    EXPECT_EQ(IsSignalled(events[i].Get()), modes[i] == 1);
  }
  // The window is still told of each card, and still reads only the last number.
  ASSERT_TRUE(window.PumpUntil([&] { return window.Messages().size() == expected.size(); }));
  EXPECT_EQ(window.Messages().back().cardNumber, expected.back());
}

TEST_F(ReaderManager, ASinkIsCalledUnderItsListenersLock) {
  RecordingSink sink;
  listener.sink = &sink;
  manager->AddListener(&listener);
  AddPassSentinel();
  {
    const CCriticalSectionLock held(listener.lock);
    reader.PresentCard(4242);
    EXPECT_FALSE(IsSignalled(passDone.Get(), 100));
    EXPECT_TRUE(sink.Cards().empty());
  }
  ASSERT_TRUE(sink.WaitForCards(1));
  EXPECT_EQ(sink.Cards(), std::vector<std::uint32_t>{4242});
}

TEST_F(ReaderManager, AListenerAddedTwiceIsNotifiedTwicePerCard) {
  manager->AddListener(&listener);
  manager->AddListener(&listener);
  AddPassSentinel();
  ASSERT_TRUE(Deliver(ToBytes(EncodeCardNumber(99, 3, 2))));
  ASSERT_EQ(window.Messages().size(), 2u);
  for (const auto& message : window.Messages()) {
    EXPECT_EQ(message.listener, reinterpret_cast<LPARAM>(&listener));
    EXPECT_EQ(message.cardNumber, 99u);
  }
}

TEST_F(ReaderManager, ReportsThatAreNotValidCardsChangeNothing) {
  Prepare(listener, 0, window.Handle(), 7);
  manager->AddListener(&listener);
  AddPassSentinel();
  CardRecord wrongCheck = MakeCardRecord(5555);
  wrongCheck[5] ^= 0x01;
  Bytes wrongType = ToBytes(EncodeCardNumber(5555, 3, 3));
  wrongType[1] = 0x02;
  Bytes oddPayload = ToBytes(EncodeCardNumber(5555, 3, 3));
  oddPayload.push_back(0x00);  // 18 bytes
  Bytes eightPairs = oddPayload;
  eightPairs.push_back(0x03);  // 19 bytes: decodes, but to 8 bytes
  struct Case {
    const char* name;
    Bytes report;
  };
  const Case cases[] = {
      {"wrong check value", ToBytes(EncodeCardReport(wrongCheck, 3, 4))},
      {"report type 2", wrongType},
      {"18 bytes", oddPayload},
      {"19 bytes", eightPairs},
      {"shift 9 decodes to zeros", ToBytes(EncodeCardNumber(5555, 9, 5))},
      {"0 bytes, as after an unplug", Bytes{}},
      {"only a report id", Bytes{0x00}},
  };
  // Handed to the manager as the listen thread would hand them, followed each time by a
  // valid card: only that card may be notified.
  const Bytes valid = ToBytes(EncodeCardNumber(6666, 3, 6));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes report = c.report.empty() ? Bytes{0xEE} : c.report;  // a count of 0 with bytes behind it
    manager->OnInputReport(report.data(), static_cast<DWORD>(c.report.size()));
    EXPECT_EQ(CardNumberOf(listener), 7u);
    EXPECT_FALSE(IsSignalled(passDone.Get()));
    manager->OnInputReport(valid.data(), static_cast<DWORD>(valid.size()));
    window.Drain();
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].cardNumber, 6666u);
    window.ClearMessages();
    Prepare(listener, 0, window.Handle(), 7);
    ASSERT_TRUE(IsSignalled(passDone.Get()));
  }
}

TEST_F(ReaderManager, AReportOfNoBytesFromTheDeviceIsDropped) {
  Prepare(listener, 0, window.Handle(), 7);
  manager->AddListener(&listener);
  AddPassSentinel();
  reader.SendReport(Bytes{});
  reader.PresentCard(6666);
  ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
  window.Drain();
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].cardNumber, 6666u);
}

TEST_F(ReaderManager, TwoCardsBeforeTheWindowHandlesTheFirstBothReadTheSecondNumber) {
  manager->AddListener(&listener);
  AddPassSentinel();
  reader.PresentCard(111);
  ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
  reader.PresentCard(222);
  ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
  // Only now does the window get to its messages: the listener holds the last number.
  window.Drain();
  ASSERT_EQ(window.Messages().size(), 2u);
  EXPECT_EQ(window.Messages()[0].cardNumber, 222u);
  EXPECT_EQ(window.Messages()[1].cardNumber, 222u);
}

TEST_F(ReaderManager, AReceiverHoldingItsListenerLockDelaysDeliveryWithoutDeadlock) {
  // The event listener before ours tells that the pass has reached ours.
  CardListener earlier;
  UniqueHandle reachedEarlier = MakeEvent();
  Prepare(earlier, 1, reachedEarlier.Get());
  manager->AddListener(&earlier);
  manager->AddListener(&listener);
  AddPassSentinel();
  {
    const CCriticalSectionLock held(listener.lock);
    reader.PresentCard(31337);
    ASSERT_TRUE(IsSignalled(reachedEarlier.Get(), kGenerous));
    EXPECT_FALSE(IsSignalled(passDone.Get(), 100));  // the pass waits for our lock
    EXPECT_EQ(listener.cardNumber, 0u);
    window.Drain();
    EXPECT_TRUE(window.Messages().empty());
  }
  ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
  ASSERT_TRUE(window.PumpUntil([&] { return window.Messages().size() == 1; }));
  EXPECT_EQ(window.Messages()[0].cardNumber, 31337u);
}

TEST_F(ReaderManager, OpenReaderWithNoReaderKeepsTheOldPathAndStaysStopped) {
  const std::string path = manager->GetListenThread().GetDevicePath();
  EXPECT_EQ(path, reader.Path());
  reader.Unplug();
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  manager->OpenReader();
  EXPECT_FALSE(manager->GetListenThread().IsRunning());
  EXPECT_EQ(manager->GetListenThread().GetDevicePath(), path);
}

TEST_F(ReaderManager, OpenReaderWhileListeningRestartsOnThePathFound) {
  manager->AddListener(&listener);
  AddPassSentinel();
  // The same reader again: the old handle is closed, one new one is open, cards arrive.
  manager->OpenReader();
  EXPECT_TRUE(manager->GetListenThread().IsRunning());
  ASSERT_TRUE(reader.WaitForOpenHandles(1));
  ASSERT_TRUE(Deliver(ToBytes(EncodeCardNumber(1, 3, 6))));
  EXPECT_EQ(window.Messages().size(), 1u);

  // Another reader: the first no longer answers its attributes, so the search moves on.
  simreader::Device second(kReaderVendorId, kReaderProductId, 17);
  reader.SetFaults(SIMREADER_FAULT_ATTRIBUTES);
  manager->OpenReader();
  EXPECT_EQ(manager->GetListenThread().GetDevicePath(), second.Path());
  EXPECT_EQ(reader.OpenHandleCount(), 0);
  ASSERT_TRUE(second.WaitForOpenHandles(1));
  second.SendReport(ToBytes(EncodeCardNumber(2, 3, 7)));
  ASSERT_TRUE(IsSignalled(passDone.Get(), kGenerous));
  EXPECT_EQ(CardNumberOf(listener), 2u);
}

TEST_F(ReaderManager, AReaderThatCannotBeOpenedForListeningLeavesTheThreadEnded) {
  reader.FailNextListeningOpen();
  manager->OpenReader();  // the search still opens it to read its ids
  EXPECT_EQ(manager->GetListenThread().GetDevicePath(), reader.Path());
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  EXPECT_FALSE(manager->GetListenThread().IsRunning());
  // The next attempt finds it again and listens.
  manager->OpenReader();
  EXPECT_TRUE(manager->GetListenThread().IsRunning());
  EXPECT_TRUE(reader.WaitForOpenHandles(1));
}

TEST_F(ReaderManager, AReaderWithReportsLongerThanTheBufferIsNotListenedTo) {
  reader.Unplug();
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  simreader::Device longReports(kReaderVendorId, kReaderProductId, 2000);
  manager->AddListener(&listener);
  manager->OpenReader();
  EXPECT_EQ(manager->GetListenThread().GetDevicePath(), longReports.Path());
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  EXPECT_EQ(longReports.OpenHandleCount(), 0);
  longReports.SendReport(Bytes(2000, 0x5A));
  longReports.PresentCard(8);
  EXPECT_EQ(CardNumberOf(listener), 0u);
}

TEST_F(ReaderManager, UnplugEndsListening) {
  reader.Unplug();
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  EXPECT_FALSE(manager->GetListenThread().IsRunning());
}

TEST_F(ReaderManager, DestroyingTheManagerStopsTheThreadAndClosesTheDevice) {
  manager.reset();
  EXPECT_EQ(reader.OpenHandleCount(), 0);
}

TEST_F(ReaderManager, TheDestructorContainsAFailureToStopTheThread) {
  reader.Unplug();
  ASSERT_TRUE(ThreadEnds(manager->GetListenThread()));
  // With the thread's handle closed behind its back, the wait in the destructor fails and
  // throws; letting that out of a destructor would end the process. The thread has ended,
  // so nothing uses the manager any more, and nothing is opened between this close and
  // the destructor's own.
  CloseHandle(manager->GetListenThread().GetThreadHandle());
  manager.reset();
  SUCCEED();
}

// Registrations and unregistrations as the manager makes them, in order: "+N" for the
// registration that got handle number N (0: it failed), "-N" for giving handle N back.
struct RegistrationCalls {
  std::vector<std::string> calls;
  std::vector<HDEVNOTIFY> handles;  // handle number N is handles[N - 1]
  bool fail = false;
  TestSupport::ImportHook* registerHook = nullptr;
  TestSupport::ImportHook* unregisterHook = nullptr;
};
RegistrationCalls g_calls;

HDEVNOTIFY WINAPI RegisterAndNote(HANDLE recipient, LPVOID filter, DWORD flags) {
  if (g_calls.fail) {
    g_calls.calls.push_back("+0");
    return nullptr;
  }
  const HDEVNOTIFY handle =
      g_calls.registerHook->OriginalAs<decltype(RegisterDeviceNotificationA)>()(recipient, filter, flags);
  g_calls.handles.push_back(handle);
  g_calls.calls.push_back("+" + std::to_string(g_calls.handles.size()));
  return handle;
}

BOOL WINAPI UnregisterAndNote(HDEVNOTIFY handle) {
  // The system may hand a value out again once it was given back: the latest one counts.
  const auto found = std::find(g_calls.handles.rbegin(), g_calls.handles.rend(), handle);
  g_calls.calls.push_back(found == g_calls.handles.rend() ? "-?"
                                                          : "-" + std::to_string(g_calls.handles.rend() - found));
  return g_calls.unregisterHook->OriginalAs<decltype(UnregisterDeviceNotification)>()(handle);
}

TEST(ReaderManagerRegistration, RegisteringAgainReplacesTheHeldRegistrationAndAFailureHoldsNone) {
  using TestSupport::ImportHook;
  struct Case {
    const char* name;
    std::vector<bool> failures;      // one registration per entry, failing where true
    std::vector<std::string> calls;  // with the manager's destruction at the end
  };
  const Case cases[] = {
      {"once", {false}, {"+1", "-1"}},
      {"twice", {false, false}, {"+1", "-1", "+2", "-2"}},
      {"failed", {true}, {"+0"}},
      {"failed, then registered", {true, false}, {"+0", "+1", "-1"}},
      {"registered, then failed", {false, true}, {"+1", "-1", "+0"}},
  };
  const HMODULE program = GetModuleHandleA(nullptr);
  ImportHook registerHook(program, "user32.dll", "RegisterDeviceNotificationA", ImportHook::Address(&RegisterAndNote));
  ImportHook unregisterHook(program, "user32.dll", "UnregisterDeviceNotification",
                            ImportHook::Address(&UnregisterAndNote));
  CardWindow window;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_calls = RegistrationCalls{};
    g_calls.registerHook = &registerHook;
    g_calls.unregisterHook = &unregisterHook;
    {
      CUsbICReaderManager manager;
      for (const bool fail : c.failures) {
        g_calls.fail = fail;
        manager.RegisterHidNotification(window.Handle());
      }
    }
    EXPECT_EQ(g_calls.calls, c.calls);
  }
}

TEST(ReaderManagerLifetime, ManyInstancesComeAndGoWithoutLeaks) {
  CardWindow window;
  // One plug-in instance's life with a reader: the device goes with it, so that its own
  // pipe instances are not counted.
  const auto instanceLife = [&window](std::uint32_t card) {
    simreader::Device reader(kReaderVendorId, kReaderProductId, 17);
    CardListener listener;
    Prepare(listener, 0, window.Handle());
    {
      CUsbICReaderManager manager;
      manager.RegisterHidNotification(window.Handle());
      manager.OpenReader();
      manager.AddListener(&listener);
      ASSERT_TRUE(reader.WaitForOpenHandles(1));
      reader.PresentCard(card);
      ASSERT_TRUE(window.PumpUntil([&] { return !window.Messages().empty(); }));
      EXPECT_EQ(window.Messages().back().cardNumber, card);
      window.ClearMessages();
    }
    EXPECT_EQ(reader.OpenHandleCount(), 0);
  };
  // The first life creates what then lives as long as the process (Wine's own).
  instanceLife(0);
  const TestSupport::ResourceCounts before = TestSupport::TakeResourceCounts();
  for (std::uint32_t round = 1; round <= 100 && !HasFatalFailure(); ++round) {
    instanceLife(round);
  }
  const TestSupport::ResourceCounts after = TestSupport::TakeResourceCounts();
  EXPECT_EQ(after.handles, before.handles) << TestSupport::Describe(before) << " -> " << TestSupport::Describe(after);
  EXPECT_EQ(after.threads, before.threads);
  const SimReaderStats stats = simreader::Stats();
  EXPECT_EQ(stats.deviceInfoLists, 0u);
  EXPECT_EQ(stats.preparsedData, 0u);
}

}  // namespace
