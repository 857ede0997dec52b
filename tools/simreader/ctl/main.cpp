// simreader-ctl: runs the shared simulated reader's server and plugs, unplugs and
// presents cards to its devices (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "tools/simreader/ctl/ControlCommand.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RunControlCommand(arguments, std::cout, std::cerr);
}
