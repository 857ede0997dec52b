// What a tarvx-diag command line asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class DiagCommand {
  List,    // no argument: the HID interfaces present, the reader marked
  Listen,  // print each report the reader sends
  Decode,  // decode one report given in hex
  Check,   // the registrations: --bridge, --plugin, or both
  Help,
};

struct DiagOptions {
  DiagCommand command = DiagCommand::List;
  // Listen: stop after this many reports (0: no limit).
  std::uint32_t reportCount = 0;
  // Listen: stop after this many seconds (0: no limit).
  std::uint32_t seconds = 0;
  // Decode: the hex text, the arguments after --decode joined by blanks, so that a
  // report typed with blanks but without quotes reads the same as a quoted one.
  std::string hexText;
  // Check: whether Chrome, Edge and Firefox find the native messaging host (--bridge), and
  // whether browsers that load NPAPI plug-ins find the plug-in (--plugin). One run can do
  // both: a technician often does not know which route a kiosk's browser takes.
  bool checkBridge = false;
  bool checkPlugin = false;
};

struct ParsedCommandLine {
  std::optional<DiagOptions> options;  // nothing: the command line is not understood
  std::string error;                   // why, when there are no options
};

// `arguments` without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text.
const char* UsageText();
