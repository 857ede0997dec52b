// The calls the shipped DLL makes to the system, seen through its own import entries:
// registration for device notifications, the window procedure's answers, and the opens
// of the reader.
#include "tests/e2e/EndToEndFixture.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "reader/CardListener.h"
#include "tests/support/ImportHook.h"

using TestSupport::ImportHook;

namespace {

// --- Registrations ---

struct Registration {
  HANDLE recipient;
  DEV_BROADCAST_DEVICEINTERFACE_A filter;
  DWORD filterSize;  // the size the filter declares
  DWORD flags;
  HDEVNOTIFY handle;
};

struct RegistrationLog {
  std::vector<Registration> registered;
  std::vector<HDEVNOTIFY> unregistered;
  bool failRegistrations = false;
  ImportHook* registerHook = nullptr;
  ImportHook* unregisterHook = nullptr;
};
RegistrationLog g_registrations;

HDEVNOTIFY WINAPI RecordRegistration(HANDLE recipient, LPVOID filter, DWORD flags) {
  Registration entry{recipient, {}, 0, flags, nullptr};
  const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
  entry.filterSize = header->dbch_size;
  std::memcpy(&entry.filter, filter, std::min<std::size_t>(header->dbch_size, sizeof(entry.filter)));
  if (g_registrations.failRegistrations) {
    SetLastError(ERROR_INVALID_PARAMETER);
  } else {
    entry.handle =
        g_registrations.registerHook->OriginalAs<decltype(RegisterDeviceNotificationA)>()(recipient, filter, flags);
  }
  g_registrations.registered.push_back(entry);
  return entry.handle;
}

BOOL WINAPI RecordUnregistration(HDEVNOTIFY handle) {
  g_registrations.unregistered.push_back(handle);
  return g_registrations.unregisterHook->OriginalAs<decltype(UnregisterDeviceNotification)>()(handle);
}

class RegistrationTest : public EndToEndTest {
 protected:
  // Loads the plug-in and watches its registrations until the test ends.
  void StartWatching(bool failRegistrations = false) {
    StartBrowser();
    g_registrations = RegistrationLog{};
    g_registrations.failRegistrations = failRegistrations;
    const HMODULE plugin = browser->Library()->Module();
    registerHook = std::make_unique<ImportHook>(plugin, "user32.dll", "RegisterDeviceNotificationA",
                                                ImportHook::Address(&RecordRegistration));
    unregisterHook = std::make_unique<ImportHook>(plugin, "user32.dll", "UnregisterDeviceNotification",
                                                  ImportHook::Address(&RecordUnregistration));
    g_registrations.registerHook = registerHook.get();
    g_registrations.unregisterHook = unregisterHook.get();
  }

  void TearDown() override {
    browser.reset();
    unregisterHook.reset();
    registerHook.reset();
  }

  std::unique_ptr<ImportHook> registerHook;
  std::unique_ptr<ImportHook> unregisterHook;
};

void ExpectHidInterfaceFilterFor(const Registration& registration, HWND window) {
  EXPECT_EQ(registration.recipient, window);
  EXPECT_EQ(registration.flags, 0u) << "DEVICE_NOTIFY_WINDOW_HANDLE, one class only";
  EXPECT_EQ(registration.filterSize, 32u);
  EXPECT_EQ(registration.filter.dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
  EXPECT_EQ(registration.filter.dbcc_reserved, 0u);
  EXPECT_TRUE(IsEqualGUID(registration.filter.dbcc_classguid, nphost::kHidInterfaceClass));
  EXPECT_EQ(registration.filter.dbcc_name[0], '\0');
}

TEST_F(RegistrationTest, EachInstanceRegistersItsWindowOnceAndUnregistersItWhenItGoes) {
  for (const bool firstEmbeddedFirst : {true, false}) {
    SCOPED_TRACE(firstEmbeddedFirst ? "first embedded destroyed first" : "last embedded destroyed first");
    StartWatching();
    nphost::HostedInstance& a = Embed();
    nphost::HostedInstance& b = Embed();
    EXPECT_EQ(b.SetWindow(), NPERR_NO_ERROR);  // later windows register nothing more
    ASSERT_EQ(g_registrations.registered.size(), 2u);
    ExpectHidInterfaceFilterFor(g_registrations.registered[0], a.Window());
    ExpectHidInterfaceFilterFor(g_registrations.registered[1], b.Window());
    const HDEVNOTIFY handleOf[2] = {g_registrations.registered[0].handle, g_registrations.registered[1].handle};
    ASSERT_NE(handleOf[0], nullptr);
    ASSERT_NE(handleOf[1], nullptr);
    EXPECT_TRUE(g_registrations.unregistered.empty());

    nphost::HostedInstance& first = firstEmbeddedFirst ? a : b;
    nphost::HostedInstance& second = firstEmbeddedFirst ? b : a;
    ASSERT_EQ(first.Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(g_registrations.unregistered, std::vector<HDEVNOTIFY>{handleOf[&first == &a ? 0 : 1]});
    ASSERT_EQ(second.Destroy(), NPERR_NO_ERROR);
    EXPECT_EQ(g_registrations.unregistered,
              (std::vector<HDEVNOTIFY>{handleOf[&first == &a ? 0 : 1], handleOf[&second == &a ? 0 : 1]}));
    EXPECT_EQ(g_registrations.registered.size(), 2u);
    TearDown();
  }
}

TEST_F(RegistrationTest, AFailedRegistrationLeavesAWorkingPlugInAndUnregistersNothing) {
  StartWatching(true);
  nphost::HostedInstance& instance = Embed();
  ASSERT_EQ(g_registrations.registered.size(), 1u);
  EXPECT_EQ(g_registrations.registered[0].handle, nullptr);

  simreader::Device reader = PlugInReader();
  reader.PresentCard(77);
  ASSERT_TRUE(WaitForScripts(2));
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(77);"}));
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_TRUE(g_registrations.unregistered.empty());
}

// --- The window procedure's answers ---

// What the plug-in's DefWindowProcA answers for the messages a test marks, and with what
// arguments it was called; any other message goes to the system's.
struct DefaultProcedureLog {
  ImportHook* hook = nullptr;
  std::vector<MSG> marked;
};
DefaultProcedureLog g_defaults;

constexpr UINT kMarkedMessages[] = {WM_NULL, WM_DEVICECHANGE, WM_CARD_READ, WM_USER + 7, WM_APP + 9};

LRESULT MarkerFor(UINT message) { return static_cast<LRESULT>(0x5A000000u + message); }

bool IsMarked(UINT message) {
  return std::find(std::begin(kMarkedMessages), std::end(kMarkedMessages), message) != std::end(kMarkedMessages);
}

LRESULT WINAPI AnswerWithMarker(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsMarked(message)) {
    return g_defaults.hook->OriginalAs<decltype(DefWindowProcA)>()(window, message, wParam, lParam);
  }
  MSG call{};
  call.hwnd = window;
  call.message = message;
  call.wParam = wParam;
  call.lParam = lParam;
  g_defaults.marked.push_back(call);
  return MarkerFor(message);
}

int g_previousProcedureCalls = 0;

LRESULT CALLBACK CountingBrowserProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ++g_previousProcedureCalls;
  return DefWindowProcA(window, message, wParam, lParam);
}

class WindowProcedureTest : public EndToEndTest {
 protected:
  nphost::HostedInstance& EmbedOnCountingWindow() {
    StartBrowser();
    g_defaults = DefaultProcedureLog{};
    hook = std::make_unique<ImportHook>(browser->Library()->Module(), "user32.dll", "DefWindowProcA",
                                        ImportHook::Address(&AnswerWithMarker));
    g_defaults.hook = hook.get();
    nphost::HostedInstance& instance = Embed(100, 40, false);
    SetWindowLongPtrA(instance.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingBrowserProcedure));
    EXPECT_EQ(instance.SetWindow(), NPERR_NO_ERROR);
    g_previousProcedureCalls = 0;
    return instance;
  }

  void TearDown() override {
    browser.reset();
    hook.reset();
  }

  // Sends each marked message; every answer must be DefWindowProcA's, called once with the
  // message's own arguments.
  void ExpectDefaultAnswers(HWND window, const DEV_BROADCAST_DEVICEINTERFACE_A& arrival) {
    for (const UINT message : kMarkedMessages) {
      SCOPED_TRACE(message);
      g_defaults.marked.clear();
      const WPARAM wParam = message == WM_DEVICECHANGE ? DBT_DEVICEARRIVAL : 0x1234;
      const LPARAM lParam = message == WM_DEVICECHANGE ? reinterpret_cast<LPARAM>(&arrival) : 0x5678;
      EXPECT_EQ(SendMessageA(window, message, wParam, lParam), MarkerFor(message));
      ASSERT_EQ(g_defaults.marked.size(), 1u);
      EXPECT_EQ(g_defaults.marked[0].hwnd, window);
      EXPECT_EQ(g_defaults.marked[0].wParam, wParam);
      EXPECT_EQ(g_defaults.marked[0].lParam, lParam);
    }
  }

  std::unique_ptr<ImportHook> hook;
};

DEV_BROADCAST_DEVICEINTERFACE_A OtherDeviceArrival() {
  DEV_BROADCAST_DEVICEINTERFACE_A arrival{};
  arrival.dbcc_size = sizeof(arrival);
  arrival.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  arrival.dbcc_classguid = nphost::kHidInterfaceClass;
  return arrival;
}

TEST_F(WindowProcedureTest, EveryAnswerIsDefWindowProcsAndTheBrowsersProcedureIsNeverCalled) {
  nphost::HostedInstance& instance = EmbedOnCountingWindow();
  const DEV_BROADCAST_DEVICEINTERFACE_A arrival = OtherDeviceArrival();
  ExpectDefaultAnswers(instance.Window(), arrival);
  // Painting goes the same way.
  instance.Capture();
  nphost::PumpFor(50);
  EXPECT_EQ(g_previousProcedureCalls, 0);
  // The arrival and the card message were handled before the default answer.
  EXPECT_EQ(Scripts(), (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(0);"}));

  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  SendMessageA(instance.Window(), WM_APP + 9, 0, 0);
  EXPECT_EQ(g_previousProcedureCalls, 1) << "the browser's procedure is back once the instance is gone";
}

TEST_F(WindowProcedureTest, CardAndDeviceMessagesToAWindowWithoutItsInstanceOnlyReachDefWindowProc) {
  nphost::HostedInstance& instance = EmbedOnCountingWindow();
  simreader::Device reader = nphost::PlugIn(*browser);
  ASSERT_TRUE(reader.WaitForOpenHandles(1, 5000));
  const std::size_t before = Scripts().size();
  const LONG_PTR record = SetWindowLongPtrA(instance.Window(), GWLP_USERDATA, 0);
  ASSERT_NE(record, 0);

  const DEV_BROADCAST_DEVICEINTERFACE_A arrival = OtherDeviceArrival();
  ExpectDefaultAnswers(instance.Window(), arrival);
  // A removal of the reader's own path changes nothing either: it keeps listening.
  g_defaults.marked.clear();
  nphost::SendDeviceInterfaceChange(instance.Window(), DBT_DEVICEREMOVECOMPLETE, reader.Path());
  EXPECT_EQ(g_defaults.marked.size(), 1u);
  nphost::PumpFor(50);
  EXPECT_EQ(Scripts().size(), before);
  EXPECT_EQ(reader.OpenHandleCount(), 1);
  EXPECT_EQ(g_previousProcedureCalls, 0);

  SetWindowLongPtrA(instance.Window(), GWLP_USERDATA, record);
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
}

// --- Opens of the reader ---

struct Open {
  std::string path;
  DWORD access;
  DWORD share;
  DWORD flags;
};
std::mutex g_opensLock;
std::vector<Open> g_opens;
ImportHook* g_openHook = nullptr;

HANDLE WINAPI RecordOpen(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE templateFile) {
  {
    const std::lock_guard<std::mutex> lock(g_opensLock);
    g_opens.push_back(Open{path, access, share, flags});
  }
  return g_openHook->OriginalAs<decltype(CreateFileA)>()(path, access, share, security, disposition, flags,
                                                         templateFile);
}

using ReaderOpenTest = EndToEndTest;

TEST_F(ReaderOpenTest, TheReaderIsIdentifiedWithAccessZeroAndListenedToWithReadAccess) {
  StartBrowser();
  g_opens.clear();
  ImportHook hook(browser->Library()->Module(), "kernel32.dll", "CreateFileA", ImportHook::Address(&RecordOpen));
  g_openHook = &hook;
  Embed();
  simreader::Device reader = PlugInReader();
  {
    const std::lock_guard<std::mutex> lock(g_opensLock);
    std::vector<Open> ofReader;
    for (const Open& open : g_opens) {
      if (open.path == reader.Path()) ofReader.push_back(open);
    }
    ASSERT_EQ(ofReader.size(), 2u);
    EXPECT_EQ(ofReader[0].access, 0u) << "the identifying open asks for no rights";
    EXPECT_EQ(ofReader[0].share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(ofReader[0].flags, 0u);
    EXPECT_EQ(ofReader[1].access, static_cast<DWORD>(GENERIC_READ));
    EXPECT_EQ(ofReader[1].share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(ofReader[1].flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
  }
  browser.reset();
  g_openHook = nullptr;
}

}  // namespace
