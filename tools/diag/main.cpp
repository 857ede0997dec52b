// tarvx-diag: field diagnostics for the card reader (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "tools/diag/ConsoleInterrupt.h"
#include "tools/diag/Diagnostics.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const ConsoleInterrupt interrupt;
  return RunDiagnostics(arguments, interrupt.Event(), std::cout, std::cerr);
}
