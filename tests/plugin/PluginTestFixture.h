// The plug-in layer linked into the test program, loaded into the project's browser host
// with a test double in place of the reader manager.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "plugin/EntryPoints.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginState.h"
#include "reader/UsbICReaderManager.h"
#include "tests/plugin/ReaderManagerDouble.h"
#include "tools/host/Browser.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/Watchdog.h"

class PluginLayerTest : public ::testing::Test {
 protected:
  static constexpr char kMimeType[] = "application/TarvoUsbICReader-plugin";

  void SetUp() override {
    ReaderDouble::Reset();
    // This program has no status bitmaps: every picture fails to load.
    g_moduleHandle = GetModuleHandleA(nullptr);
  }

  void TearDown() override { browser.reset(); }

  nphost::Browser& StartBrowser(nphost::BrowserProfile profile = nphost::LateFirefox()) {
    browser.reset();
    browser = std::make_unique<nphost::Browser>(std::move(profile));
    const NPError loaded =
        browser->Load(nphost::PluginLibrary::Linked({NP_GetEntryPoints, NP_Initialize, NP_Shutdown}, kMimeType));
    EXPECT_EQ(loaded, NPERR_NO_ERROR);
    return *browser;
  }

  // An embedded instance, set up on its window unless told otherwise.
  nphost::HostedInstance& Embed(bool setWindow = true) {
    nphost::EmbedOptions options;
    options.setWindow = setWindow;
    return browser->Embed(options);
  }

  static CPluginInstance& RecordOf(nphost::HostedInstance& instance) {
    return *static_cast<CPluginInstance*>(instance.Npp()->pdata);
  }

  static WNDPROC ProcedureOf(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)); }

  std::vector<std::string> Scripts() const { return browser->Page().Texts(); }

  // Pumps until `count` scripts have been evaluated (or 5 s have passed).
  bool WaitForScripts(std::size_t count) {
    return nphost::PumpUntil([&] { return browser->Page().Records().size() >= count; }, 5000);
  }

  // A hang (a lock held across a nested loop, say) fails the test program instead of
  // stalling the run.
  nphost::Watchdog watchdog{30000, ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::unique_ptr<nphost::Browser> browser;
};

// Whether the window has asked for a repaint since its update region was last cleared.
inline bool RepaintRequested(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }
