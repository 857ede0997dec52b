// tarvx-diag as a function: the command line in, the exit code out.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

// `arguments` without the program name. Reports go to `out`, complaints about the command
// line and failures to `err`. `interrupt` is an event that ends --listen when signalled.
int RunDiagnostics(const std::vector<std::string>& arguments, HANDLE interrupt, std::ostream& out, std::ostream& err);
