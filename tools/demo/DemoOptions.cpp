#include "tools/demo/DemoOptions.h"

#include <cctype>
#include <limits>

namespace {

// The host's page is 640 x 480 and places the element 10 pixels in; a larger element
// would be clipped by the page and its screenshot would show what lies outside.
constexpr int kLargestWidth = 600;
constexpr int kLargestHeight = 440;

const char kUsage[] =
    "Usage: npTARVX_demo [options]\n"
    "Runs npTARVX.dll in a small browser host with a simulated card reader: the plug-in is\n"
    "embedded, the reader plugged in, cards presented, a report with a broken check value\n"
    "sent, the reader pulled out. Prints each step and each script the plug-in evaluated\n"
    "in the page, with the time in milliseconds since the start, and saves screenshots of\n"
    "the plug-in window (listening.png, unplugged.png).\n"
    "\n"
    "Options:\n"
    "  --card N          present card number N (0 to 4294967295); repeat for more cards.\n"
    "                    Given cards replace the default ones (2587647617, 42, 4294967295).\n"
    "  --size WxH        the plug-in element's size in pixels (default 100x40, at most 600x440)\n"
    "  --browser NAME    how the host presents itself: firefox (late Firefox, default) or\n"
    "                    chromium\n"
    "  --interactive     before the reader is pulled out, read commands from standard input,\n"
    "                    one per line: a card number, 'bad' (a report with a broken check\n"
    "                    value), 'unplug', 'plug', 'help', 'quit' (or end of input)\n"
    "  --plugin PATH     the plug-in DLL (default: npTARVX.dll next to this program)\n"
    "  --out DIR         where the screenshots go (default: the build's demo folder)\n"
    "  --expect SCRIPT   a script the page must receive, such as \"CardReaded(42);\"; repeat\n"
    "                    for each, in order. Replaces the list the demo works out itself.\n"
    "  --help            this text\n"
    "\n"
    "Exit code: 0 when the page received exactly the scripts it should have and the window\n"
    "showed the right pictures, 1 when not, 2 when the demo could not run (a bad option, the\n"
    "plug-in or the simulated reader missing), 3 when a step hung.\n";

bool IsAllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A whole number from 1 to `largest`, digits only.
std::optional<int> ParseSide(const std::string& text, int largest) {
  if (!IsAllDigits(text) || text.size() > 4) return std::nullopt;
  const int value = std::stoi(text);
  if (value < 1 || value > largest) return std::nullopt;
  return value;
}

bool ParseSize(const std::string& text, DemoOptions& options) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  const std::optional<int> width = ParseSide(text.substr(0, x), kLargestWidth);
  const std::optional<int> height = ParseSide(text.substr(x + 1), kLargestHeight);
  if (!width || !height) return false;
  options.width = *width;
  options.height = *height;
  return true;
}

ParsedDemoOptions Refuse(const std::string& error) { return ParsedDemoOptions{std::nullopt, error}; }

}  // namespace

std::optional<std::uint32_t> ParseCardNumber(const std::string& text) {
  if (!IsAllDigits(text)) return std::nullopt;
  const std::size_t firstNonZero = text.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return 0u;
  if (text.size() - firstNonZero > 10) return std::nullopt;
  const unsigned long long value = std::stoull(text.substr(firstNonZero));
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::vector<std::uint32_t> DefaultCards() { return {2587647617u, 42u, 4294967295u}; }

ParsedDemoOptions ParseDemoOptions(const std::vector<std::string>& arguments) {
  DemoOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--interactive") {
      options.interactive = true;
      continue;
    }
    const bool takesValue = name == "--card" || name == "--size" || name == "--browser" || name == "--plugin" ||
                            name == "--out" || name == "--expect";
    if (!takesValue) return Refuse("unknown argument: " + name);
    if (i + 1 == arguments.size()) return Refuse(name + " needs a value");
    const std::string& value = arguments[++i];
    if (name == "--card") {
      const std::optional<std::uint32_t> card = ParseCardNumber(value);
      if (!card) return Refuse("--card needs a number from 0 to 4294967295, not '" + value + "'");
      options.cards.push_back(*card);
    } else if (name == "--size") {
      if (!ParseSize(value, options)) {
        return Refuse("--size needs WxH, from 1x1 to " + std::to_string(kLargestWidth) + "x" +
                      std::to_string(kLargestHeight) + ", not '" + value + "'");
      }
    } else if (name == "--browser") {
      if (value != "firefox" && value != "chromium") {
        return Refuse("--browser is firefox or chromium, not '" + value + "'");
      }
      options.browser = value;
    } else if (name == "--plugin") {
      options.pluginPath = value;
    } else if (name == "--out") {
      options.outputDirectory = value;
    } else {
      options.expectedScripts.push_back(value);
    }
  }
  return ParsedDemoOptions{options, ""};
}

const char* DemoUsageText() { return kUsage; }
