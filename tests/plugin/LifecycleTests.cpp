// Instances from NPP_New to NPP_Destroy with a test double of the reader manager:
// set-up on the first window, failures that undo themselves, teardown order.
#include "tests/plugin/PluginTestFixture.h"

#include "plugin/PluginFunctions.h"
#include "plugin/PluginWindow.h"

namespace {

using LifecycleTest = PluginLayerTest;

LONG_PTR UserDataOf(HWND window) { return GetWindowLongPtrA(window, GWLP_USERDATA); }

TEST_F(LifecycleTest, NullArgumentsAreRefused) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  NPWindow window{};
  EXPECT_EQ(NPP_SetWindow(nullptr, &window), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(instance.SetNullWindowRecord(), NPERR_GENERIC_ERROR);
  NPP_t withoutRecord{nullptr, nullptr};
  window.window = instance.Window();
  EXPECT_EQ(NPP_SetWindow(&withoutRecord, &window), NPERR_GENERIC_ERROR);
  EXPECT_EQ(NPP_Destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(NPP_Destroy(&withoutRecord, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(ReaderDouble::Observed().constructed, 0);
}

TEST_F(LifecycleTest, FirstWindowNullSetsNothingUpAndTheNextRealWindowDoes) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  ASSERT_EQ(instance.SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(ReaderDouble::Observed().constructed, 0);
  EXPECT_FALSE(RecordOf(instance).initialized);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());

  ASSERT_EQ(instance.SetWindow(), NPERR_NO_ERROR);
  const CPluginInstance& record = RecordOf(instance);
  EXPECT_TRUE(record.initialized);
  EXPECT_EQ(record.hwnd, instance.Window());
  EXPECT_EQ(record.previousWndProc, nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(ProcedureOf(instance.Window()), &PluginWindowProc);
  EXPECT_EQ(UserDataOf(instance.Window()), reinterpret_cast<LONG_PTR>(&record));
  const ReaderDouble::Calls& calls = ReaderDouble::Observed();
  EXPECT_EQ(calls.constructed, 1);
  EXPECT_EQ(calls.registeredWindows, std::vector<HWND>{instance.Window()});
  EXPECT_EQ(calls.openReader, 1);
  ASSERT_EQ(calls.listeners.size(), 1u);
  EXPECT_EQ(calls.listeners[0], &record.cardListener);
  EXPECT_EQ(record.cardListener.notifyMode, 0);
  EXPECT_EQ(record.cardListener.target, instance.Window());
  EXPECT_EQ(record.cardListener.cardNumber, 0u);
}

TEST_F(LifecycleTest, LaterWindowsChangeNothing) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  nphost::HostedInstance& other = Embed(false);
  EXPECT_EQ(instance.SetWindow(other.Window()), NPERR_NO_ERROR);
  EXPECT_EQ(instance.SetWindow(nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(instance.SetWindow(), NPERR_NO_ERROR);
  EXPECT_EQ(RecordOf(instance).hwnd, instance.Window());
  EXPECT_EQ(ProcedureOf(other.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(ReaderDouble::Observed().constructed, 1);
  EXPECT_EQ(ReaderDouble::Observed().registeredWindows.size(), 1u);
}

TEST_F(LifecycleTest, DestroyWithoutWindowTouchesNoWindow) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ReaderDouble::Observed().destroyed, 0);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(instance.Npp()->pdata, nullptr);
}

// A second procedure of the host's, so that each window has a procedure of its own.
LRESULT CALLBACK OtherHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

class TwoInstancesTest : public PluginLayerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoInstancesTest, EachDestroyRestoresItsOwnWindowProcedure) {
  const bool firstDestroyedFirst = GetParam();
  StartBrowser();
  nphost::HostedInstance& a = Embed();
  nphost::HostedInstance& b = Embed(false);
  SetWindowLongPtrA(b.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OtherHostProcedure));
  ASSERT_EQ(b.SetWindow(), NPERR_NO_ERROR);

  nphost::HostedInstance& first = firstDestroyedFirst ? a : b;
  nphost::HostedInstance& second = firstDestroyedFirst ? b : a;
  const WNDPROC firstOriginal = &first == &a ? nphost::HostedInstance::HostWindowProcedure() : &OtherHostProcedure;
  const WNDPROC secondOriginal = &second == &a ? nphost::HostedInstance::HostWindowProcedure() : &OtherHostProcedure;

  ASSERT_EQ(first.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(first.Window()), firstOriginal);
  EXPECT_EQ(ProcedureOf(second.Window()), &PluginWindowProc);
  ASSERT_EQ(second.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(second.Window()), secondOriginal);
  EXPECT_EQ(ReaderDouble::Observed().destroyed, 2);
}

INSTANTIATE_TEST_SUITE_P(Orders, TwoInstancesTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& tested) {
  return tested.param ? std::string("FirstEmbeddedFirst") : std::string("LastEmbeddedFirst");
});

TEST_F(LifecycleTest, DestroyPutsBackTheReplacedProcedureEvenIfTheBrowserSubclassedAgain) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  // Firefox puts its own procedure in front again after NPP_SetWindow.
  SetWindowLongPtrA(instance.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OtherHostProcedure));
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
}

struct SetUpFailure {
  const char* name;
  void (*arrange)(ReaderDouble::Behaviour&);
};

class FailedSetUpTest : public PluginLayerTest, public ::testing::WithParamInterface<SetUpFailure> {};

TEST_P(FailedSetUpTest, IsReportedUndoneAndMayBeRetried) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  ReaderDouble::Configure().readerPresent = true;
  GetParam().arrange(ReaderDouble::Configure());

  EXPECT_EQ(instance.SetWindow(), NPERR_MODULE_LOAD_FAILED_ERROR);
  const CPluginInstance& record = RecordOf(instance);
  EXPECT_FALSE(record.initialized);
  EXPECT_EQ(record.hwnd, nullptr);
  EXPECT_EQ(record.previousWndProc, nullptr);
  EXPECT_EQ(record.readerManager, nullptr);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(UserDataOf(instance.Window()), 0);
  EXPECT_EQ(ReaderDouble::Observed().constructed, ReaderDouble::Observed().destroyed);

  const bool readerPresent = ReaderDouble::Configure().readerPresent;
  ReaderDouble::Configure() = ReaderDouble::Behaviour{};
  ReaderDouble::Configure().readerPresent = readerPresent;
  ASSERT_EQ(instance.SetWindow(), NPERR_NO_ERROR);
  EXPECT_TRUE(record.initialized);
  EXPECT_TRUE(record.readerManager->GetListenThread().IsRunning());
  EXPECT_EQ(ProcedureOf(instance.Window()), &PluginWindowProc);

  EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(ReaderDouble::Observed().constructed, ReaderDouble::Observed().destroyed);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailedSetUpTest,
    ::testing::Values(SetUpFailure{"ManagerConstruction",
                                   [](ReaderDouble::Behaviour& b) { b.constructorThrows = true; }},
                      SetUpFailure{"OpenReader", [](ReaderDouble::Behaviour& b) { b.openReaderThrows = true; }},
                      // The listen thread is already running when the listener cannot be added.
                      SetUpFailure{"AddListener", [](ReaderDouble::Behaviour& b) { b.addListenerThrows = true; }}),
    [](const ::testing::TestParamInfo<SetUpFailure>& tested) { return tested.param.name; });

TEST_F(LifecycleTest, AWindowThatCannotBeSubclassedIsAFailedSetUp) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed(false);
  HWND gone = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_EQ(instance.SetWindow(gone), NPERR_MODULE_LOAD_FAILED_ERROR);
  EXPECT_EQ(RecordOf(instance).hwnd, nullptr);
  EXPECT_EQ(ReaderDouble::Observed().constructed, 0);
  EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
}

class TeardownByBrowserTest : public PluginLayerTest, public ::testing::WithParamInterface<nphost::BrowserProfile> {};

TEST_P(TeardownByBrowserTest, ListeningInstanceIsTornDownCleanly) {
  StartBrowser(GetParam());
  ReaderDouble::Configure().readerPresent = true;
  nphost::HostedInstance& instance = Embed();
  ASSERT_TRUE(RecordOf(instance).readerManager->GetListenThread().IsRunning());
  NPObject* object = nullptr;
  ASSERT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);

  EXPECT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(ReaderDouble::Observed().destroyed, 1);
  EXPECT_EQ(ProcedureOf(instance.Window()), nphost::HostedInstance::HostWindowProcedure());
  EXPECT_EQ(browser->Calls().Of("releaseobject"), 1);
  EXPECT_EQ(browser->Calls().fromOtherThreads, 0);
}

INSTANTIATE_TEST_SUITE_P(Browsers, TeardownByBrowserTest, ::testing::Values(nphost::LateFirefox(), nphost::Chromium()),
                         [](const ::testing::TestParamInfo<nphost::BrowserProfile>& tested) {
                           return tested.param.name;
                         });

}  // namespace
