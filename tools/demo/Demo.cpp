#include "tools/demo/Demo.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/demo/DemoSession.h"
#include "tools/demo/DisplayPath.h"
#include "tools/demo/InteractiveCommand.h"
#include "tools/demo/PageCheck.h"
#include "tools/host/BrowserProfile.h"

namespace {

struct PictureCheck {
  std::string when;
  StatusPicture expected;
  StatusPicture shown;
};

std::string OutputDirectory(const DemoOptions& options) {
  if (!options.outputDirectory.empty()) return options.outputDirectory;
  return ProgramDirectory() + "..\\demo";
}

// A full path, so that a relative one names the file the person means and not one that
// LoadLibrary finds elsewhere.
std::string PluginPath(const DemoOptions& options) {
  if (options.pluginPath.empty()) return ProgramDirectory() + "npTARVX.dll";
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(options.pluginPath, error);
  return error ? options.pluginPath : full.string();
}

std::string JoinPath(const std::string& directory, const std::string& file) {
  return (std::filesystem::path(directory) / file).string();
}

// Reads commands until "quit" or the end of the input, running each as it comes.
// `cards` is how many cards were presented before, so the scramble shifts go on turning.
void RunInteractive(DemoSession& session, std::size_t cards, std::istream& input, std::ostream& out) {
  out << "\nInteractive: " << InteractiveHelpText() << std::flush;
  std::string line;
  while (std::getline(input, line)) {
    const InteractiveCommand command = ParseInteractiveCommand(line, cards);
    if (command.kind == CommandKind::Quit) break;
    if (command.kind == CommandKind::Help) out << InteractiveHelpText() << std::flush;
    if (command.kind == CommandKind::Unknown) {
      out << "not understood: '" << line << "'. " << InteractiveHelpText() << std::flush;
    }
    if (command.kind != CommandKind::RunStep) continue;
    if (session.Run(command.step) && command.step.kind == StepKind::PresentCard) ++cards;
  }
  out << std::endl;
}

bool PicturesAsExpected(const std::vector<PictureCheck>& checks, std::ostream& err) {
  bool ok = true;
  for (const PictureCheck& check : checks) {
    if (check.shown == check.expected || check.shown == StatusPicture::Ambiguous) continue;
    err << "npTARVX_demo: " << check.when << ": the window showed " << Describe(check.shown) << ", not "
        << Describe(check.expected) << "\n";
    ok = false;
  }
  return ok;
}

void PrintScripts(const std::vector<std::string>& scripts, std::ostream& out) {
  for (const std::string& script : scripts) out << "  " << script << "\n";
}

// What a run brought: the scripts the page should have received and those it did, the
// pictures the window showed, the screenshots.
struct Outcome {
  std::vector<std::string> expected;
  std::vector<std::string> received;
  std::vector<PictureCheck> pictures;
  std::vector<std::string> screenshots;
};

// The flow from loading the plug-in to unloading it. Throws std::exception when the demo
// cannot go on (the plug-in or the simulated reader missing, a file not written).
Outcome RunFlow(const DemoOptions& options, const nphost::BrowserProfile& profile, const std::string& pluginPath,
                std::istream& input, std::ostream& out) {
  const std::vector<std::uint32_t> cards = options.cards.empty() ? DefaultCards() : options.cards;
  const std::string outputDirectory = OutputDirectory(options);
  std::filesystem::create_directories(outputDirectory);
  Outcome outcome;
  outcome.screenshots = {JoinPath(outputDirectory, "listening.png"), JoinPath(outputDirectory, "unplugged.png")};

  EventLog log(out);
  DemoSession session(log, profile);
  session.Start(pluginPath, options.width, options.height);
  outcome.pictures.push_back({"before the reader is plugged in", StatusPicture::Idle, session.Look()});
  for (const Step& step : StepsWhileListening(cards)) session.Run(step);
  outcome.pictures.push_back(
      {"listening.png (reader plugged in)", StatusPicture::Listening, session.Screenshot(outcome.screenshots[0])});
  if (options.interactive) RunInteractive(session, cards.size(), input, out);
  if (session.ReaderPluggedIn()) session.Run(PullOutStep());
  outcome.pictures.push_back(
      {"unplugged.png (reader pulled out)", StatusPicture::Idle, session.Screenshot(outcome.screenshots[1])});
  session.Finish();
  outcome.expected = options.expectedScripts.empty() ? session.ExpectedScripts() : options.expectedScripts;
  outcome.received = session.ReceivedScripts();
  return outcome;
}

int Report(const Outcome& outcome, std::ostream& out, std::ostream& err) {
  const PageVerdict verdict = CompareScripts(outcome.expected, outcome.received);
  const bool picturesOk = PicturesAsExpected(outcome.pictures, err);
  out << "\n";
  if (verdict.ok) {
    out << "The page received the " << outcome.received.size() << " scripts it should have, in order:\n";
    PrintScripts(outcome.received, out);
  } else {
    out << "The page should have received:\n";
    PrintScripts(outcome.expected, out);
    out << "It received:\n";
    PrintScripts(outcome.received, out);
    err << "npTARVX_demo: " << verdict.problem << "\n";
  }
  out << "Screenshots of the plug-in window: " << DisplayPath(outcome.screenshots[0]) << ", "
      << DisplayPath(outcome.screenshots[1]) << "\n";
  const bool passed = verdict.ok && picturesOk;
  out << (passed ? "Demo passed.\n" : "Demo FAILED.\n") << std::flush;
  return passed ? kDemoPassed : kDemoFailed;
}

}  // namespace

int RunDemo(const DemoOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
  if (options.help) {
    out << DemoUsageText();
    return kDemoPassed;
  }
  nphost::BrowserProfile profile;
  if (!nphost::FindProfile(options.browser, profile)) {
    err << "npTARVX_demo: unknown browser '" << options.browser << "'\n";
    return kDemoCouldNotRun;
  }
  const std::string pluginPath = PluginPath(options);
  if (GetFileAttributesA(pluginPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    err << "npTARVX_demo: no plug-in at " << DisplayPath(pluginPath) << " (make demo builds it)\n";
    return kDemoCouldNotRun;
  }

  out << "npTARVX demo: the plug-in in a small browser host, with a simulated card reader.\n"
      << "Times are milliseconds since the start; 'page' lines are the scripts the plug-in\n"
      << "evaluated in the page.\n\n"
      << std::flush;
  try {
    return Report(RunFlow(options, profile, pluginPath, input, out), out, err);
  } catch (const std::exception& error) {
    err << "npTARVX_demo: " << error.what() << "\n";
    return kDemoCouldNotRun;
  }
}

int RunDemo(const std::vector<std::string>& arguments, std::istream& input, std::ostream& out, std::ostream& err) {
  const ParsedDemoOptions parsed = ParseDemoOptions(arguments);
  if (!parsed.options) {
    err << "npTARVX_demo: " << parsed.error << "\nTry npTARVX_demo --help.\n";
    return kDemoCouldNotRun;
  }
  return RunDemo(*parsed.options, input, out, err);
}
