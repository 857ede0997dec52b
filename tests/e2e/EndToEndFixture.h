// The shipped npTARVX.dll in the project's browser host, with the simulated reader.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <dbt.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/ProgramDirectory.h"
#include "tools/host/Browser.h"
#include "tools/host/DeviceNotifications.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/ReaderEvents.h"
#include "tools/host/Watchdog.h"

class EndToEndTest : public ::testing::Test {
 protected:
  static std::string PluginPath() { return TestSupport::PathNextToProgram("npTARVX.dll"); }

  nphost::Browser& StartBrowser(nphost::BrowserProfile profile = nphost::LateFirefox()) {
    browser.reset();
    browser = std::make_unique<nphost::Browser>(std::move(profile));
    EXPECT_EQ(browser->Load(PluginPath()), NPERR_NO_ERROR);
    return *browser;
  }

  nphost::HostedInstance& Embed(int width = 100, int height = 40, bool setWindow = true) {
    nphost::EmbedOptions options;
    options.width = width;
    options.height = height;
    options.setWindow = setWindow;
    return browser->Embed(options);
  }

  // Plugs the reader in and waits until the plug-in listens to it (its read handle open).
  simreader::Device PlugInReader() {
    simreader::Device reader = nphost::PlugIn(*browser);
    EXPECT_TRUE(reader.WaitForOpenHandles(static_cast<int>(browser->LiveInstances().size()), 5000));
    return reader;
  }

  std::vector<std::string> Scripts() const { return browser->Page().Texts(); }

  bool WaitForScripts(std::size_t count) {
    return nphost::PumpUntil([&] { return browser->Page().Records().size() >= count; }, 5000);
  }

  static WNDPROC ProcedureOf(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)); }

  static bool RepaintRequested(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }

  // A hang of the plug-in fails the program instead of stalling the run.
  nphost::Watchdog watchdog{60000, ::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::unique_ptr<nphost::Browser> browser;
};
