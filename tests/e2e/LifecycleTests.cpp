// Instances of the shipped DLL in the browser's page: windows, procedures, teardown.
#include "tests/e2e/EndToEndFixture.h"

#include "reader/CardListener.h"

namespace {

using LifecycleTest = EndToEndTest;

TEST_F(LifecycleTest, OnlyTheFirstRealWindowIsTaken) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(100, 40, false);
  nphost::HostedInstance& other = Embed(100, 40, false);
  const WNDPROC host = nphost::HostedInstance::HostWindowProcedure();

  EXPECT_EQ(instance.SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(instance.Window()), host);
  EXPECT_EQ(instance.SetWindow(), NPERR_NO_ERROR);
  const WNDPROC plugin = ProcedureOf(instance.Window());
  EXPECT_NE(plugin, host);
  EXPECT_EQ(instance.SetWindow(other.Window()), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(other.Window()), host);
  EXPECT_EQ(instance.SetNullWindowRecord(), NPERR_GENERIC_ERROR);

  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(instance.Window()), host);
  // Destroyed without ever getting a window: nothing of anyone's is touched.
  ASSERT_EQ(other.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(other.Window()), host);
}

LRESULT CALLBACK SecondHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

struct DestroyOrder {
  const char* name;
  nphost::BrowserProfile profile;
  bool firstEmbeddedFirst;
};

class TwoInstancesTest : public EndToEndTest, public ::testing::WithParamInterface<DestroyOrder> {};

TEST_P(TwoInstancesTest, EachDestroyRestoresItsOwnProcedure) {
  StartBrowser(GetParam().profile);
  nphost::HostedInstance& a = Embed();
  nphost::HostedInstance& b = Embed(100, 40, false);
  SetWindowLongPtrA(b.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SecondHostProcedure));
  ASSERT_EQ(b.SetWindow(), NPERR_NO_ERROR);
  simreader::Device reader = PlugInReader();

  nphost::HostedInstance& first = GetParam().firstEmbeddedFirst ? a : b;
  nphost::HostedInstance& second = GetParam().firstEmbeddedFirst ? b : a;
  auto original = [&](nphost::HostedInstance& i) {
    return &i == &a ? nphost::HostedInstance::HostWindowProcedure() : &SecondHostProcedure;
  };
  const WNDPROC plugin = ProcedureOf(second.Window());
  ASSERT_EQ(first.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(first.Window()), original(first));
  EXPECT_EQ(ProcedureOf(second.Window()), plugin);
  EXPECT_TRUE(reader.WaitForOpenHandles(1, 5000)) << "the other instance stopped listening";

  reader.PresentCard(8);
  ASSERT_TRUE(WaitForScripts(3));
  EXPECT_EQ(browser->Page().Records().back().instance, &second);

  ASSERT_EQ(second.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(second.Window()), original(second));
  EXPECT_TRUE(reader.WaitForOpenHandles(0, 5000));
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoInstancesTest,
                         ::testing::Values(DestroyOrder{"FirefoxFirstEmbeddedFirst", nphost::LateFirefox(), true},
                                           DestroyOrder{"FirefoxLastEmbeddedFirst", nphost::LateFirefox(), false},
                                           DestroyOrder{"ChromiumFirstEmbeddedFirst", nphost::Chromium(), true},
                                           DestroyOrder{"ChromiumLastEmbeddedFirst", nphost::Chromium(), false}),
                         [](const ::testing::TestParamInfo<DestroyOrder>& tested) { return tested.param.name; });

bool CardMessageQueued(HWND window) {
  MSG message;
  return PeekMessageA(&message, window, WM_CARD_READ, WM_CARD_READ, PM_NOREMOVE) != FALSE;
}

TEST_F(LifecycleTest, CardMessageStillQueuedAfterDestroyIsHarmless) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  simreader::Device reader = PlugInReader();
  const std::size_t before = Scripts().size();

  reader.PresentCard(4711);
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (!CardMessageQueued(instance.Window()) && GetTickCount64() < deadline) Sleep(1);
  ASSERT_TRUE(CardMessageQueued(instance.Window()));

  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  nphost::PumpFor(100);
  EXPECT_EQ(Scripts().size(), before);
  EXPECT_EQ(instance.HostProcedureAppMessages(), 1) << "the queued message went to the browser's procedure";
}

}  // namespace
