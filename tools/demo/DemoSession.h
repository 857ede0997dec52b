// The plug-in in the browser host with the simulated reader: runs the demo's steps one
// at a time, waits for what each must bring to the page, and writes every event to the
// log as it happens.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/demo/DemoSteps.h"
#include "tools/demo/EventLog.h"
#include "tools/demo/StatusPicture.h"
#include "tools/host/Browser.h"
#include "tools/simreader/SimReader.h"

class DemoSession {
 public:
  DemoSession(EventLog& log, const nphost::BrowserProfile& profile);
  ~DemoSession();
  DemoSession(const DemoSession&) = delete;
  DemoSession& operator=(const DemoSession&) = delete;

  // Loads the plug-in and embeds one element of the given size. Throws
  // std::runtime_error when the plug-in cannot be loaded or refuses the element.
  void Start(const std::string& pluginPath, int width, int height);

  // Does the step and waits until the page has what the step must bring. False, with the
  // reason in the log, when the step cannot be done now (a card without a reader, say).
  bool Run(const Step& step);
  bool ReaderPluggedIn() const { return m_reader != nullptr; }

  // Which status picture the element's window shows now.
  StatusPicture Look();
  // The same, and saves the window as an enlarged PNG file.
  StatusPicture Screenshot(const std::string& path);

  // Gives late scripts a moment to arrive, then NPP_Destroy, NP_Shutdown and unloading.
  void Finish();

  // What the steps run so far must have brought to the page, and what it received.
  const std::vector<std::string>& ExpectedScripts() const { return m_expected; }
  std::vector<std::string> ReceivedScripts() { return m_browser.Page().Texts(); }

 private:
  void PlugIn();
  void WaitForPage();

  EventLog& m_log;
  nphost::Browser m_browser;
  nphost::HostedInstance* m_element;
  // Declared after the browser, so it is unplugged first when the session ends early.
  std::unique_ptr<simreader::Device> m_reader;
  std::vector<std::string> m_expected;
};
