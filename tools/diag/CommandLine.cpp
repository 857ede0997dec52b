#include "tools/diag/CommandLine.h"

#include <cerrno>
#include <cstdlib>

namespace {

// A day's worth of seconds is far more than a check at a kiosk needs; the bound keeps
// the time limit well inside a DWORD of milliseconds.
constexpr std::uint32_t kMaxSeconds = 86400;
constexpr std::uint32_t kMaxReportCount = 1000000;

ParsedCommandLine Refuse(const std::string& error) { return ParsedCommandLine{std::nullopt, error}; }

// A whole decimal number from 1 to `maximum`, or nothing.
std::optional<std::uint32_t> ParsePositive(const std::string& text, std::uint32_t maximum) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value == 0 || value > maximum) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

bool IsHelp(const std::string& argument) {
  return argument == "--help" || argument == "-h" || argument == "/?" || argument == "-?";
}

ParsedCommandLine ParseListen(const std::vector<std::string>& arguments) {
  DiagOptions options;
  options.command = DiagCommand::Listen;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    const bool isCount = name == "--count";
    if (!isCount && name != "--seconds") {
      return Refuse("unknown option for --listen: " + name);
    }
    if (i + 1 >= arguments.size()) {
      return Refuse(name + " needs a number");
    }
    const std::string& value = arguments[++i];
    const std::optional<std::uint32_t> number = ParsePositive(value, isCount ? kMaxReportCount : kMaxSeconds);
    if (!number) {
      return Refuse(name + " needs a whole number from 1 to " +
                    std::to_string(isCount ? kMaxReportCount : kMaxSeconds) + ", not '" + value + "'");
    }
    (isCount ? options.reportCount : options.seconds) = *number;
  }
  return ParsedCommandLine{options, {}};
}

ParsedCommandLine ParseDecode(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) {
    return Refuse("--decode needs a report in hex");
  }
  DiagOptions options;
  options.command = DiagCommand::Decode;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (i > 1) options.hexText += ' ';
    options.hexText += arguments[i];
  }
  return ParsedCommandLine{options, {}};
}

// --bridge and --plugin, alone or together, each once.
ParsedCommandLine ParseChecks(const std::vector<std::string>& arguments) {
  DiagOptions options;
  options.command = DiagCommand::Check;
  for (const std::string& argument : arguments) {
    bool* const check = argument == "--bridge"   ? &options.checkBridge
                        : argument == "--plugin" ? &options.checkPlugin
                                                 : nullptr;
    if (check == nullptr) return Refuse("--bridge and --plugin take no other arguments: " + argument);
    if (*check) return Refuse(argument + " is given twice");
    *check = true;
  }
  return ParsedCommandLine{options, {}};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    return ParsedCommandLine{DiagOptions{}, {}};
  }
  const std::string& first = arguments[0];
  if (IsHelp(first)) {
    if (arguments.size() > 1) return Refuse("--help takes no arguments");
    DiagOptions options;
    options.command = DiagCommand::Help;
    return ParsedCommandLine{options, {}};
  }
  if (first == "--list") {
    if (arguments.size() > 1) return Refuse("--list takes no arguments");
    return ParsedCommandLine{DiagOptions{}, {}};
  }
  if (first == "--bridge" || first == "--plugin") return ParseChecks(arguments);
  if (first == "--listen") return ParseListen(arguments);
  if (first == "--decode") return ParseDecode(arguments);
  return Refuse("unknown argument: " + first);
}

const char* UsageText() {
  return "Usage: tarvx-diag [--list | --listen [--count N] [--seconds S] | --decode HEX |\n"
         "                   --bridge [--plugin] | --plugin [--bridge] | --help]\n"
         "\n"
         "  (no argument), --list\n"
         "        List the HID device interfaces present: path, vendor and product id and\n"
         "        input report length. The card reader (vendor 0x4154, product 0x5652) is\n"
         "        marked.\n"
         "  --listen\n"
         "        Listen to the card reader and print each report it sends in hex, whether\n"
         "        it decodes and passes its check, and the card number. Ctrl+C stops.\n"
         "        When listening ends by itself, the reason is printed with its Windows\n"
         "        error code: the reader could not be opened, its report length could\n"
         "        not be read or is refused, reading failed (as when it is unplugged), or\n"
         "        waiting for it failed (INSTALL.md lists the texts).\n"
         "        --count N    stop after N reports\n"
         "        --seconds S  stop after S seconds\n"
         "  --decode HEX\n"
         "        Decode one report given in hex, report id first (17 bytes for a card),\n"
         "        for example: --decode 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\n"
         "  --bridge\n"
         "        Check that Chrome, Edge and Firefox can start the card reader's native\n"
         "        messaging host: its registry keys (HKCU, HKLM in both views), the\n"
         "        manifest each names, the program and the extension the manifest names;\n"
         "        then each browser's policies (HKLM, HKCU, Firefox's policies.json): the\n"
         "        extension forced or blocked, native messaging to the host blocked, per-user\n"
         "        hosts refused, and every allowed origin, naming the entries the extension\n"
         "        ignores. Says what to fix.\n"
         "  --plugin\n"
         "        Check that browsers that load NPAPI plug-ins find npTARVX.dll: each\n"
         "        MozillaPlugins registration (HKCU, HKLM in both views), that its Path is\n"
         "        a DLL for the browsers that read that key (32-bit or 64-bit), and that it\n"
         "        exports the NPAPI entry points. The DLL is read, not loaded. Says what to\n"
         "        fix. With --bridge as well, both checks run.\n"
         "  --help\n"
         "        Show this text.\n"
         "\n"
         "Exit codes: 0 ok; 1 no reader found, reader lost, fewer reports than asked for\n"
         "in time, a report that gives no card number, (--bridge) a browser that cannot\n"
         "start the host or a broken registration, or (--plugin) the plug-in not\n"
         "registered or a broken registration; 2 command line not understood.\n";
}
