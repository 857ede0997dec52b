// From the simulated reader to the page: card numbers, arrivals and removals.
#include "tests/e2e/EndToEndFixture.h"

namespace {

using CardTest = EndToEndTest;

TEST_F(CardTest, WorkedExampleReportGivesItsCardNumber) {
  StartBrowser();
  Embed();
  simreader::Device reader = PlugInReader();
  reader.SendReport(
      {0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12, 0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAA, 0x03});
  ASSERT_TRUE(WaitForScripts(2));
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(2587647617);"}));
}

TEST_F(CardTest, ExtremeNumbersAreWrittenInUnsignedDecimal) {
  StartBrowser();
  Embed();
  simreader::Device reader = PlugInReader();
  for (std::uint32_t number : {0u, 4294967295u, 2147483648u}) {
    const std::size_t before = Scripts().size();
    reader.PresentCard(number, 5);
    ASSERT_TRUE(WaitForScripts(before + 1)) << number;
    EXPECT_EQ(Scripts().back(), "CardReaded(" + std::to_string(number) + ");");
  }
}

TEST_F(CardTest, ReportWithABrokenCheckValueReachesNobody) {
  StartBrowser();
  Embed();
  simreader::Device reader = PlugInReader();
  reader.SendReport(
      {0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12, 0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAB, 0x03});
  reader.PresentCard(42);
  ASSERT_TRUE(WaitForScripts(2));
  nphost::PumpFor(100);
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(42);"}));
}

TEST_F(CardTest, EveryInstanceOnThePageGetsEachCard) {
  StartBrowser();
  nphost::HostedInstance& first = Embed();
  nphost::HostedInstance& second = Embed();
  simreader::Device reader = PlugInReader();
  reader.PresentCard(31337);
  ASSERT_TRUE(WaitForScripts(4));
  int cards[2] = {0, 0};
  for (const nphost::ScriptRecord& record : browser->Page().Records()) {
    if (record.text == "CardReaded(31337);")
      ++cards[record.instance == &first ? 0 : record.instance == &second ? 1 : 2];
  }
  EXPECT_EQ(cards[0], 1);
  EXPECT_EQ(cards[1], 1);
}

TEST_F(CardTest, ArrivalListensAndRemovalStops) {
  StartBrowser();
  Embed();
  simreader::Device reader = PlugInReader();
  EXPECT_EQ(reader.OpenHandleCount(), 1);
  nphost::PullOut(*browser, reader);
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "DeviceChanged(0);"}));

  // Plugged in again: listened to again.
  simreader::Device again = PlugInReader();
  again.PresentCard(5);
  ASSERT_TRUE(WaitForScripts(4));
  EXPECT_EQ(Scripts().back(), "CardReaded(5);");
}

std::string InOtherCase(std::string path) {
  for (char& c : path) {
    const auto u = static_cast<unsigned char>(c);
    c = static_cast<char>(std::isupper(u) ? std::tolower(u) : std::toupper(u));
  }
  return path;
}

// Removal notices for the reader's own path stop listening, whatever the letter case;
// notices for other devices do not. The device itself stays plugged in, so only the
// plug-in's own handling can close its read handle.
TEST_F(CardTest, RemovalNoticeStopsListeningOnlyForTheReadersPath) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  simreader::Device reader = PlugInReader();
  simreader::Device keyboard = nphost::PlugIn(*browser, 0x046D, 0xC31C, 8);

  nphost::PullOut(*browser, keyboard);
  EXPECT_EQ(reader.OpenHandleCount(), 1) << "the removal of another device stopped the reader";

  ASSERT_NE(InOtherCase(reader.Path()), reader.Path());
  ValidateRect(instance.Window(), nullptr);
  browser->SendDeviceInterfaceChange(DBT_DEVICEREMOVECOMPLETE, InOtherCase(reader.Path()));
  EXPECT_TRUE(reader.WaitForOpenHandles(0, 5000)) << "the removal in other letter case did not stop the reader";
  EXPECT_TRUE(RepaintRequested(instance.Window()));
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "DeviceChanged(1);", "DeviceChanged(0);",
                                                 "DeviceChanged(0);"}));
}

TEST_F(CardTest, OtherDeviceEventsAndTypesAreIgnoredWithoutARepaint) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  simreader::Device reader = PlugInReader();
  const std::size_t before = Scripts().size();
  struct Case {
    WPARAM event;
    DWORD deviceType;
  };
  const Case cases[] = {{DBT_DEVNODES_CHANGED, 0},
                        {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE},
                        {DBT_DEVICEREMOVEPENDING, DBT_DEVTYP_DEVICEINTERFACE},
                        {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME},
                        {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME}};
  for (const Case& c : cases) {
    ValidateRect(instance.Window(), nullptr);
    if (c.deviceType == DBT_DEVTYP_DEVICEINTERFACE) {
      nphost::SendDeviceInterfaceChange(instance.Window(), c.event, reader.Path());
    } else {
      nphost::SendDeviceChange(instance.Window(), c.event, c.deviceType);
    }
    EXPECT_FALSE(RepaintRequested(instance.Window())) << "event " << c.event << ", type " << c.deviceType;
  }
  EXPECT_EQ(Scripts().size(), before);
  EXPECT_EQ(reader.OpenHandleCount(), 1);
}

TEST_F(CardTest, ArrivalOfAnotherDeviceWithoutTheReaderIsToldAndChangesNothingElse) {
  StartBrowser();
  Embed();
  simreader::Device keyboard = nphost::PlugIn(*browser, 0x046D, 0xC31C, 8);
  nphost::PumpFor(100);
  EXPECT_EQ(Scripts(), std::vector<std::string>{"DeviceChanged(1);"});
  EXPECT_EQ(keyboard.OpenHandleCount(), 0);
}

// The page's CardReaded shows an alert: a nested message loop runs inside the
// evaluation. Another card arrives meanwhile, and then the reader is pulled out, still
// inside that loop. Both must be handled and the page must get control back.
TEST_F(CardTest, CardAndRemovalDuringANestedLoopInThePageFinish) {
  nphost::Watchdog scenario(20000, "the nested-loop scenario (card, then removal, inside an alert)");
  StartBrowser();
  Embed();
  simreader::Device reader = PlugInReader();
  int depth = 0;
  bool secondCardSeenInsideTheAlert = false;
  browser->Page().Define("CardReaded", [&](nphost::HostedInstance&, long long) {
    if (depth++ > 0) return;
    reader.PresentCard(2);
    secondCardSeenInsideTheAlert = nphost::PumpUntil([&] { return Scripts().back() == "CardReaded(2);"; }, 3000);
    nphost::PullOut(*browser, reader);
    nphost::PumpFor(50);
  });
  reader.PresentCard(1);
  ASSERT_TRUE(WaitForScripts(4));
  EXPECT_TRUE(secondCardSeenInsideTheAlert);
  EXPECT_EQ(Scripts(),
            (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(1);", "CardReaded(2);", "DeviceChanged(0);"}));
}

}  // namespace
