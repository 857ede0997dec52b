// The window procedure with a test double of the reader manager: page callbacks, the
// card listener's lock, device changes and their failures, painting without bitmaps.
#include "tests/plugin/PluginTestFixture.h"

#include <dbt.h>

#include "plugin/PageCallbacks.h"
#include "plugin/PluginWindow.h"
#include "tools/host/DeviceNotifications.h"
#include "win32/CriticalSection.h"
#include "win32/Event.h"
#include "win32/Thread.h"

namespace {

using WindowTest = PluginLayerTest;

const std::string& ReaderPath() { return ReaderDouble::Configure().readerPath; }

TEST(PageScripts, NumbersAreWrittenInPlainDecimal) {
  EXPECT_EQ(CardReadedScript(0), "CardReaded(0);");
  EXPECT_EQ(CardReadedScript(2587647617u), "CardReaded(2587647617);");
  EXPECT_EQ(CardReadedScript(4294967295u), "CardReaded(4294967295);");
  EXPECT_EQ(DeviceChangedScript(1), "DeviceChanged(1);");
  EXPECT_EQ(DeviceChangedScript(0), "DeviceChanged(0);");
  EXPECT_EQ(DeviceChangedScript(-7), "DeviceChanged(-7);");
}

TEST(Centring, CornerOfAPictureInTheMiddleOfTheClientArea) {
  struct Case {
    RECT client;
    int width, height;
    LONG x, y;
  };
  const Case cases[] = {
      {{0, 0, 100, 40}, 27, 25, 36, 7},
      {{0, 0, 20, 20}, 27, 25, -3, -2},  // larger than the window: truncation toward
                                         // zero
      {{0, 0, 27, 25}, 27, 25, 0, 0},
      {{10, 5, 110, 45}, 27, 25, 46, 12},
      {{0, 0, 0, 0}, 27, 25, -13, -12},
  };
  for (const Case& c : cases) {
    const POINT corner = CentredOrigin(c.client, c.width, c.height);
    EXPECT_EQ(corner.x, c.x) << c.client.right << "x" << c.client.bottom;
    EXPECT_EQ(corner.y, c.y) << c.client.right << "x" << c.client.bottom;
  }
}

TEST_F(WindowTest, CardMessageReadsTheInstancesOwnListenerWhateverItCarries) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  CardListener& listener = RecordOf(instance).cardListener;
  ReaderDouble::DeliverCard(listener, 2587647617u);
  PostMessageA(instance.Window(), WM_CARD_READ, 0x1234, 0x5678);
  ASSERT_TRUE(WaitForScripts(2));
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"CardReaded(2587647617);", "CardReaded(2587647617);"}));
  EXPECT_EQ(browser->WindowObjectReferencesHeldByPlugin(), 0u);
  EXPECT_EQ(browser->Calls().variantsReleased, 2);
}

// Takes a listener's lock on its own thread, as the listen thread does to deliver a card.
class LockTaker : public kelmar::Win32::CThread {
 public:
  explicit LockTaker(CardListener& listener) : m_listener(listener), m_taken(false) {}
  ~LockTaker() override { Wait(); }
  bool WaitUntilTaken(DWORD milliseconds) {
    return WaitForSingleObject(m_taken.GetHandle(), milliseconds) == WAIT_OBJECT_0;
  }

 protected:
  DWORD Run() override {
    kelmar::Win32::CCriticalSectionLock lock(m_listener.lock);
    m_taken.Set();
    return 0;
  }

 private:
  CardListener& m_listener;
  kelmar::Win32::CManualResetEvent m_taken;
};

TEST_F(WindowTest, ListenerLockIsFreeWhileThePageRuns) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  CardListener& listener = RecordOf(instance).cardListener;
  LockTaker taker(listener);
  bool takenWhileRunning = false;
  browser->Page().Define("CardReaded", [&](nphost::HostedInstance&, long long) {
    taker.Start();
    takenWhileRunning = taker.WaitUntilTaken(2000);
  });
  ReaderDouble::DeliverCard(listener, 7);
  ASSERT_TRUE(WaitForScripts(1));
  EXPECT_TRUE(takenWhileRunning) << "the listener's lock was held across the evaluation";
}

TEST_F(WindowTest, PageMayDestroyTheInstanceWhileCardReadedRuns) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  browser->Page().Define("CardReaded", [](nphost::HostedInstance& self, long long) { self.Destroy(); });
  ReaderDouble::DeliverCard(RecordOf(instance).cardListener, 5);
  ASSERT_TRUE(WaitForScripts(1));
  nphost::PumpFor(50);
  EXPECT_TRUE(instance.IsDestroyed());
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(browser->WindowObjectReferencesHeldByPlugin(), 0u);
}

TEST_F(WindowTest, PageMayDestroyTheInstanceWhileDeviceChangedRunsAndTheRepaintIsStillAsked) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  browser->Page().Define("DeviceChanged", [](nphost::HostedInstance& self, long long) { self.Destroy(); });
  ValidateRect(instance.Window(), nullptr);
  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEARRIVAL, ReaderPath());
  EXPECT_TRUE(instance.IsDestroyed());
  EXPECT_TRUE(RepaintRequested(instance.Window()));
}

struct DeviceEventCase {
  const char* name;
  bool listeningBefore;
  WPARAM event;
  std::string path;
  const char* script;
  int openReaderCalls;
  int stopCalls;
  bool listeningAfter;
};

class DeviceEventTest : public PluginLayerTest, public ::testing::WithParamInterface<DeviceEventCase> {};

TEST_P(DeviceEventTest, ActsTellsThePageAndAsksForARepaint) {
  const DeviceEventCase& c = GetParam();
  StartBrowser();
  ReaderDouble::Configure().readerPresent = c.listeningBefore;
  nphost::HostedInstance& instance = Embed();
  ReaderDouble::Configure().readerPresent = true;
  const ReaderDouble::Calls before = ReaderDouble::Observed();
  ValidateRect(instance.Window(), nullptr);

  nphost::SendDeviceInterfaceChange(instance.Window(), c.event, c.path);

  EXPECT_EQ(Scripts(), std::vector<std::string>{c.script});
  EXPECT_EQ(ReaderDouble::Observed().openReader - before.openReader, c.openReaderCalls);
  // OpenReader stops the old thread first; those stops are counted too.
  EXPECT_EQ(ReaderDouble::Observed().stop - before.stop, c.stopCalls);
  EXPECT_EQ(RecordOf(instance).readerManager->GetListenThread().IsRunning(), c.listeningAfter);
  EXPECT_TRUE(RepaintRequested(instance.Window()));
}

std::string InOtherCase(std::string path) {
  for (char& c : path)
    c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceEventTest,
    ::testing::Values(DeviceEventCase{"ArrivalOpensTheReader", false, DBT_DEVICEARRIVAL, "\\\\?\\hid#other",
                                      "DeviceChanged(1);", 1, 1, true},
                      DeviceEventCase{"ArrivalWhileListeningOpensNothing", true, DBT_DEVICEARRIVAL, "\\\\?\\hid#other",
                                      "DeviceChanged(1);", 0, 0, true},
                      DeviceEventCase{"RemovalOfTheReaderStopsIt", true, DBT_DEVICEREMOVECOMPLETE,
                                      ReaderDouble::Behaviour{}.readerPath, "DeviceChanged(0);", 0, 1, false},
                      DeviceEventCase{"RemovalInOtherLetterCaseStopsIt", true, DBT_DEVICEREMOVECOMPLETE,
                                      InOtherCase(ReaderDouble::Behaviour{}.readerPath), "DeviceChanged(0);", 0, 1,
                                      false},
                      DeviceEventCase{"RemovalOfAnotherDeviceKeepsListening", true, DBT_DEVICEREMOVECOMPLETE,
                                      ReaderDouble::Behaviour{}.readerPath + "x", "DeviceChanged(0);", 0, 0, true},
                      DeviceEventCase{"RemovalWhileIdle", false, DBT_DEVICEREMOVECOMPLETE, "\\\\?\\hid#other",
                                      "DeviceChanged(0);", 0, 0, false}),
    [](const ::testing::TestParamInfo<DeviceEventCase>& tested) { return tested.param.name; });

TEST_F(WindowTest, OtherDeviceEventsAndTypesChangeNothing) {
  StartBrowser();
  ReaderDouble::Configure().readerPresent = true;
  nphost::HostedInstance& instance = Embed();
  const ReaderDouble::Calls before = ReaderDouble::Observed();
  struct Case {
    WPARAM event;
    DWORD deviceType;
  };
  const Case cases[] = {
      {DBT_DEVNODES_CHANGED, 0},
      {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE},
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME},
      {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME},
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT},
  };
  for (const Case& c : cases) {
    ValidateRect(instance.Window(), nullptr);
    if (c.deviceType == DBT_DEVTYP_DEVICEINTERFACE) {
      nphost::SendDeviceInterfaceChange(instance.Window(), c.event, ReaderPath());
    } else {
      nphost::SendDeviceChange(instance.Window(), c.event, c.deviceType);
    }
    EXPECT_FALSE(RepaintRequested(instance.Window())) << "event " << c.event << " type " << c.deviceType;
  }
  EXPECT_TRUE(Scripts().empty());
  EXPECT_EQ(ReaderDouble::Observed().openReader, before.openReader);
  EXPECT_EQ(ReaderDouble::Observed().stop, before.stop);
  EXPECT_TRUE(RecordOf(instance).readerManager->GetListenThread().IsRunning());
}

TEST_F(WindowTest, FailuresWhileHandlingADeviceChangeAreContained) {
  StartBrowser();
  ReaderDouble::Configure().readerPresent = true;
  nphost::HostedInstance& instance = Embed();

  ReaderDouble::Configure().stopThrows = true;
  ValidateRect(instance.Window(), nullptr);
  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEREMOVECOMPLETE, ReaderPath());
  EXPECT_TRUE(RepaintRequested(instance.Window()));

  ReaderDouble::Configure().stopThrows = false;
  RecordOf(instance).readerManager->GetListenThread().Stop();
  ReaderDouble::Configure().openReaderThrows = true;
  ValidateRect(instance.Window(), nullptr);
  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEARRIVAL, ReaderPath());
  EXPECT_TRUE(RepaintRequested(instance.Window()));

  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(0);", "DeviceChanged(1);"}));
  ReaderDouble::Configure().openReaderThrows = false;
}

TEST_F(WindowTest, DeviceChangeBeforeTheManagerExistsIsIgnored) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  // The window as it is between subclassing and the manager's creation.
  CPluginInstance& record = RecordOf(instance);
  const LONG_PTR previous =
      SetWindowLongPtrA(instance.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PluginWindowProc));
  SetWindowLongPtrA(instance.Window(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record));
  ValidateRect(instance.Window(), nullptr);

  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEARRIVAL, ReaderPath());
  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEREMOVECOMPLETE, ReaderPath());

  EXPECT_TRUE(Scripts().empty());
  EXPECT_FALSE(RepaintRequested(instance.Window()));
  SetWindowLongPtrA(instance.Window(), GWLP_WNDPROC, previous);
  SetWindowLongPtrA(instance.Window(), GWLP_USERDATA, 0);
}

TEST_F(WindowTest, TruncatedRemovalNoticeIsReadOnlyAsFarAsItGoes) {
  StartBrowser();
  ReaderDouble::Configure().readerPresent = true;
  nphost::HostedInstance& instance = Embed();
  // A notice that claims to end right after the header: the name is not read.
  struct {
    DEV_BROADCAST_DEVICEINTERFACE_A notice;
    char rest[200];
  } buffer{};
  buffer.notice.dbcc_size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  buffer.notice.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(buffer.notice.dbcc_name, ReaderPath().c_str(), ReaderPath().size() + 1);
  SendMessageA(instance.Window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&buffer));
  EXPECT_TRUE(RecordOf(instance).readerManager->GetListenThread().IsRunning());
  EXPECT_EQ(Scripts(), std::vector<std::string>{"DeviceChanged(0);"});
}

struct HostGapCase {
  const char* name;
  void (*adjustProfile)(nphost::BrowserProfile&);
  void (*adjustPage)(nphost::Browser&);
  std::size_t scripts;  // what reaches the page's script log
};

class HostGapTest : public PluginLayerTest, public ::testing::WithParamInterface<HostGapCase> {};

// What the browser or the page does not offer is dropped quietly, and the plug-in goes
// on working.
TEST_P(HostGapTest, CardIsDroppedQuietly) {
  nphost::BrowserProfile profile = nphost::LateFirefox();
  GetParam().adjustProfile(profile);
  StartBrowser(profile);
  GetParam().adjustPage(*browser);
  nphost::HostedInstance& instance = Embed();

  ReaderDouble::DeliverCard(RecordOf(instance).cardListener, 9);
  nphost::PumpFor(100);
  EXPECT_EQ(browser->Page().Records().size(), GetParam().scripts);
  EXPECT_EQ(browser->WindowObjectReferencesHeldByPlugin(), 0u);
  EXPECT_EQ(browser->Calls().variantsReleasedWithBadType, 0);
  for (const nphost::ScriptRecord& record : browser->Page().Records()) {
    EXPECT_EQ(record.resultTypeOnEntry, NPVariantType_Void) << "the result was not made void before the call";
  }
  EXPECT_EQ(ProcedureOf(instance.Window()), &PluginWindowProc);
  EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
}

void KeepProfile(nphost::BrowserProfile&) {}
void KeepPage(nphost::Browser&) {}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostGapTest,
    ::testing::Values(
        HostGapCase{"NoWindowObject", KeepProfile, [](nphost::Browser& b) { b.SetWindowObjectAvailable(false); }, 0},
        // A host that leaves the result alone when the script fails.
        HostGapCase{"NoCardReadedFunction", [](nphost::BrowserProfile& p) { p.evaluateVoidsResultFirst = false; },
                    [](nphost::Browser& b) { b.Page().Remove("CardReaded"); }, 1},
        HostGapCase{"EmptyHostSlots",
                    [](nphost::BrowserProfile& p) {
                      p.nullHostSlots = {offsetof(NPNetscapeFuncs, getvalue), offsetof(NPNetscapeFuncs, evaluate),
                                         offsetof(NPNetscapeFuncs, releasevariantvalue),
                                         offsetof(NPNetscapeFuncs, releaseobject)};
                    },
                    KeepPage, 0}),
    [](const ::testing::TestParamInfo<HostGapCase>& tested) { return tested.param.name; });

TEST_F(WindowTest, BitmapThatCannotBeLoadedDrawsNothing) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  const nphost::Pixels pixels = instance.Capture();
  ASSERT_EQ(pixels.width, 100);
  for (int y = 0; y < pixels.height; ++y) {
    for (int x = 0; x < pixels.width; ++x) ASSERT_EQ(pixels.At(x, y), RGB(255, 255, 255)) << x << "," << y;
  }
}

}  // namespace
