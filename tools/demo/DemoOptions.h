// What a demo command line asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct DemoOptions {
  // The cards to present; empty: the default ones (DefaultCards()).
  std::vector<std::uint32_t> cards;
  // The plug-in element's size in the page.
  int width = 100;
  int height = 40;
  std::string browser = "firefox";
  // Read commands from standard input before the reader is pulled out.
  bool interactive = false;
  // The plug-in DLL; empty: npTARVX.dll next to the program.
  std::string pluginPath;
  // Where the screenshots go; empty: the build's demo folder (bin\..\demo).
  std::string outputDirectory;
  // The scripts the page must receive, in order; empty: worked out from the flow.
  std::vector<std::string> expectedScripts;
  bool help = false;
};

struct ParsedDemoOptions {
  std::optional<DemoOptions> options;  // nothing: the command line is not understood
  std::string error;                   // why, when there are no options
};

// `arguments` without the program name.
ParsedDemoOptions ParseDemoOptions(const std::vector<std::string>& arguments);

// A card number as typed: decimal digits only, 0 to 4294967295.
std::optional<std::uint32_t> ParseCardNumber(const std::string& text);

// The cards presented when none are given: 2587647617, a small number and the largest.
std::vector<std::uint32_t> DefaultCards();

// The --help text.
const char* DemoUsageText();
