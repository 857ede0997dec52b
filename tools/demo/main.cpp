// npTARVX_demo: the plug-in at work in a browser host with a simulated reader (see --help).
#include <iostream>
#include <string>
#include <vector>

#include "tools/demo/Demo.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RunDemo(arguments, std::cin, std::cout, std::cerr);
}
