// nphost: loads an NPAPI plug-in as a browser does, embeds it in a page window and runs
// the steps given on the command line, printing every script the plug-in evaluates in
// the page with its time. Usage: nphost --help
#include <windows.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/Browser.h"
#include "tools/host/MessageLoop.h"
#include "tools/host/ReaderEvents.h"

namespace {

const char kUsage[] =
    "usage: nphost [options] <plugin.dll> [step ...]\n"
    "Loads the plug-in as a browser does, embeds it and runs the steps in order,\n"
    "printing each script the plug-in evaluates in the page.\n"
    "options:\n"
    "  --browser firefox|chromium   how the browser presents itself (default firefox)\n"
    "  --elements N                 embedded elements on the page (default 1)\n"
    "  --size WxH                   size of each element's window (default 100x40)\n"
    "steps (the simulated reader needs simreader.dll next to nphost.exe):\n"
    "  plug             plug the simulated reader in and announce it\n"
    "  plug-other       plug in another HID device (a keyboard, say)\n"
    "  card:N[:S]       present card number N (scrambled with shift S, default 3)\n"
    "  unplug           pull the reader out and announce it\n"
    "  wait:MS          run the page for MS milliseconds\n"
    "  capture:FILE     save the first element's window as a .bmp file\n"
    "After the last step the page runs for another 200 ms, then everything is torn down.\n";

struct Options {
  std::string browser = "firefox";
  int elements = 1;
  int width = 100;
  int height = 40;
  std::string dll;
  std::vector<std::string> steps;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") return false;
    if (argument == "--browser" && i + 1 < argc) {
      options.browser = argv[++i];
    } else if (argument == "--elements" && i + 1 < argc) {
      options.elements = std::atoi(argv[++i]);
    } else if (argument == "--size" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) return false;
    } else if (options.dll.empty()) {
      options.dll = argument;
    } else {
      options.steps.push_back(argument);
    }
  }
  return !options.dll.empty() && options.elements > 0 && options.width > 0 && options.height > 0;
}

// The part of a step after its first ':' split at further ':'.
std::vector<std::string> StepArguments(const std::string& step) {
  std::vector<std::string> parts;
  std::size_t start = step.find(':');
  while (start != std::string::npos) {
    const std::size_t next = step.find(':', start + 1);
    parts.push_back(step.substr(start + 1, next == std::string::npos ? std::string::npos : next - start - 1));
    start = next;
  }
  return parts;
}

class StepRunner {
 public:
  explicit StepRunner(nphost::Browser& browser) : m_browser(browser) {}

  bool Run(const std::string& step) {
    const std::string name = step.substr(0, step.find(':'));
    const std::vector<std::string> arguments = StepArguments(step);
    if (name == "wait" && arguments.size() == 1) {
      nphost::PumpFor(static_cast<DWORD>(std::strtoul(arguments[0].c_str(), nullptr, 10)));
    } else if (name == "capture" && arguments.size() == 1) {
      const nphost::Pixels pixels = m_browser.LiveInstances().front()->Capture();
      if (!pixels.SaveBmp(arguments[0])) return Fail("cannot write " + arguments[0]);
      std::printf("saved %dx%d pixels to %s\n", pixels.width, pixels.height, arguments[0].c_str());
    } else if (name == "plug") {
      m_reader = std::make_unique<simreader::Device>(nphost::PlugIn(m_browser));
    } else if (name == "plug-other") {
      m_others.push_back(nphost::PlugIn(m_browser, 0x046D, 0xC31C, 8));
    } else if (name == "unplug") {
      if (!m_reader) return Fail("no reader plugged in");
      nphost::PullOut(m_browser, *m_reader);
      m_reader.reset();
    } else if (name == "card" && !arguments.empty()) {
      if (!m_reader) return Fail("no reader plugged in");
      const auto number = static_cast<std::uint32_t>(std::strtoul(arguments[0].c_str(), nullptr, 10));
      const auto shift = static_cast<std::uint8_t>(arguments.size() > 1 ? std::atoi(arguments[1].c_str()) : 3);
      m_reader->PresentCard(number, shift);
    } else {
      return Fail("unknown step " + step);
    }
    nphost::PumpMessages();
    return true;
  }

 private:
  static bool Fail(const std::string& message) {
    std::fprintf(stderr, "nphost: %s\n", message.c_str());
    return false;
  }

  nphost::Browser& m_browser;
  std::unique_ptr<simreader::Device> m_reader;
  std::vector<simreader::Device> m_others;
};

int RunPage(const Options& options, const nphost::BrowserProfile& profile) {
  nphost::Browser browser(profile);
  std::map<const nphost::HostedInstance*, int> numbers;
  browser.Page().Observe([&numbers](const nphost::ScriptRecord& record) {
    std::printf("[%9.6f s] element %d: %s\n", record.seconds, numbers[record.instance], record.text.c_str());
    std::fflush(stdout);
  });

  const NPError loaded = browser.Load(options.dll);
  if (loaded != NPERR_NO_ERROR) {
    std::fprintf(stderr, "nphost: the plug-in refused to initialise (NPError %d)\n", loaded);
    return 2;
  }
  std::printf("loaded %s for %s as %s\n", options.dll.c_str(), browser.Library()->MimeType().c_str(),
              profile.name.c_str());
  for (int i = 1; i <= options.elements; ++i) {
    nphost::EmbedOptions embed;
    embed.width = options.width;
    embed.height = options.height;
    numbers[&browser.Embed(embed)] = i;
    std::printf("element %d: NPP_New %d, NPP_SetWindow %d\n", i, browser.LastNewResult(),
                browser.LastSetWindowResult());
  }

  StepRunner runner(browser);
  for (const std::string& step : options.steps) {
    if (!runner.Run(step)) return 1;
  }
  nphost::PumpFor(200);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  nphost::BrowserProfile profile;
  if (!nphost::FindProfile(options.browser, profile)) {
    std::fprintf(stderr, "nphost: unknown browser '%s'\n", options.browser.c_str());
    return 2;
  }
  try {
    return RunPage(options, profile);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "nphost: %s\n", error.what());
    return 2;
  }
}
