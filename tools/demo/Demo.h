// The whole demo: the flow, the interactive commands, the screenshots and the verdict.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "tools/demo/DemoOptions.h"

// Exit codes of the demo program.
constexpr int kDemoPassed = 0;
constexpr int kDemoFailed = 1;       // the page or the window did not get what it should
constexpr int kDemoCouldNotRun = 2;  // bad option, plug-in or simulated reader missing
// (3 is the watchdog's: a step hung.)

// Runs the demo as the options ask; `input` gives the interactive commands.
int RunDemo(const DemoOptions& options, std::istream& input, std::ostream& out, std::ostream& err);

// The command line's way in: parses, then runs.
int RunDemo(const std::vector<std::string>& arguments, std::istream& input, std::ostream& out, std::ostream& err);
