#include "tools/demo/DemoSession.h"

#include <stdexcept>

#include "tools/demo/DisplayPath.h"
#include "tools/demo/Screenshot.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/ReaderEvents.h"
#include "tools/host/Watchdog.h"

namespace {

// How long a step may take before the demo gives up waiting for the page.
constexpr DWORD kPageWaitMilliseconds = 3000;
// How long the demo watches for scripts that must not come (after a broken report).
constexpr DWORD kQuietMilliseconds = 300;
// Beyond this a step has hung (the plug-in blocked the browser's thread): the watchdog
// ends the program with exit code 3.
constexpr DWORD kStepLimitMilliseconds = 20000;

std::string ProfileDescription(const nphost::BrowserProfile& profile) {
  return profile.name == "chromium" ? "Chromium" : "late Firefox";
}

}  // namespace

DemoSession::DemoSession(EventLog& log, const nphost::BrowserProfile& profile)
    : m_log(log), m_browser(profile), m_element(nullptr) {
  m_browser.Page().Observe([this](const nphost::ScriptRecord& record) {
    m_log.Line("page", record.ran ? record.text : record.text + "  (the page has no such function)");
  });
}

DemoSession::~DemoSession() = default;

void DemoSession::Start(const std::string& pluginPath, int width, int height) {
  const nphost::Watchdog watchdog(kStepLimitMilliseconds, "loading the plug-in");
  const NPError loaded = m_browser.Load(pluginPath);
  if (loaded != NPERR_NO_ERROR) {
    throw std::runtime_error("the plug-in refused to initialise (NPError " + std::to_string(loaded) + ")");
  }
  m_log.Line("host", "loaded " + DisplayPath(pluginPath) + " as " + ProfileDescription(m_browser.Profile()) +
                         " would: NP_GetEntryPoints, NP_Initialize");

  nphost::EmbedOptions options;
  options.width = width;
  options.height = height;
  m_element = &m_browser.Embed(options);
  if (m_browser.LastNewResult() != NPERR_NO_ERROR || m_browser.LastSetWindowResult() != NPERR_NO_ERROR) {
    throw std::runtime_error("the plug-in refused the element: NPP_New " + std::to_string(m_browser.LastNewResult()) +
                             ", NPP_SetWindow " + std::to_string(m_browser.LastSetWindowResult()));
  }
  m_log.Line("host", "embedded <embed type=\"" + m_browser.Library()->MimeType() + "\"> of " + std::to_string(width) +
                         "x" + std::to_string(height) + " pixels: NPP_New, NPP_SetWindow");
  nphost::PumpMessages();
}

bool DemoSession::Run(const Step& step) {
  const nphost::Watchdog watchdog(kStepLimitMilliseconds, Describe(step));
  const bool needsReader = step.kind != StepKind::PlugIn;
  if (needsReader && !m_reader) {
    m_log.Line("demo", "no reader is plugged in; type 'plug' first");
    return false;
  }
  if (step.kind == StepKind::PlugIn && m_reader) {
    m_log.Line("demo", "the reader is plugged in already");
    return false;
  }

  m_log.Line("reader", Describe(step));
  const std::vector<std::string> scripts = ::ExpectedScripts(step);
  m_expected.insert(m_expected.end(), scripts.begin(), scripts.end());
  switch (step.kind) {
    case StepKind::PlugIn:
      PlugIn();
      break;
    case StepKind::PresentCard:
      m_reader->PresentCard(step.card, step.shift);
      break;
    case StepKind::BrokenReport:
      m_reader->SendReport(BrokenCardReport(step.card, step.shift));
      break;
    case StepKind::PullOut:
      nphost::PullOut(m_browser, *m_reader);
      m_reader.reset();
      break;
  }
  if (scripts.empty()) {
    nphost::PumpFor(kQuietMilliseconds);
    m_log.Line("demo", "nothing reached the page within " + std::to_string(kQuietMilliseconds) + " ms, as it should");
  } else {
    WaitForPage();
  }
  return true;
}

// Windows tells the plug-in's window of the arrival; the plug-in then opens the reader
// on its listen thread, which must have happened before a card can be read.
void DemoSession::PlugIn() {
  m_reader = std::make_unique<simreader::Device>(nphost::PlugIn(m_browser));
  if (m_reader->WaitForOpenHandles(1, kPageWaitMilliseconds)) {
    m_log.Line("reader", "the plug-in opened the reader and listens to it");
  } else {
    m_log.Line("reader", "the plug-in did not open the reader within " + std::to_string(kPageWaitMilliseconds) + " ms");
  }
}

void DemoSession::WaitForPage() {
  const std::size_t count = m_expected.size();
  const bool arrived =
      nphost::PumpUntil([&] { return m_browser.Page().Records().size() >= count; }, kPageWaitMilliseconds);
  if (!arrived) {
    m_log.Line("demo", "waited " + std::to_string(kPageWaitMilliseconds) + " ms; the page still lacks " +
                           m_expected[m_browser.Page().Records().size()]);
  }
}

StatusPicture DemoSession::Look() {
  const StatusPicture picture = RecognisePicture(m_element->Capture(), m_browser.Library()->Module());
  m_log.Line("window", "shows " + Describe(picture));
  return picture;
}

StatusPicture DemoSession::Screenshot(const std::string& path) {
  const nphost::Watchdog watchdog(kStepLimitMilliseconds, "the screenshot " + path);
  const nphost::Pixels pixels = m_element->Capture();
  const int enlargement = EnlargementFor(pixels.width, pixels.height);
  SavePng(pixels, enlargement, path);
  const StatusPicture picture = RecognisePicture(pixels, m_browser.Library()->Module());
  m_log.Line("window", "shows " + Describe(picture) + "; saved " + std::to_string(enlargement) + "x enlarged as " +
                           DisplayPath(path));
  return picture;
}

void DemoSession::Finish() {
  const nphost::Watchdog watchdog(kStepLimitMilliseconds, "closing the page");
  nphost::PumpFor(kQuietMilliseconds);
  const NPError destroyed = m_element->Destroy();
  m_log.Line("host", "page closed: NPP_Destroy " + std::to_string(destroyed));
  const NPError shutDown = m_browser.Shutdown();
  m_browser.Unload();
  m_log.Line("host", "NP_Shutdown " + std::to_string(shutDown) + "; plug-in unloaded");
}
