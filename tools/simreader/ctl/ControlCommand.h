// simreader-ctl's commands: parsing the command line and running one command.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `arguments` without the program name. Results go to `out`, one error line to `err`;
// returns the exit code (ExitCodes.h).
int RunControlCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

const char* ControlUsageText();
