// One line typed in the demo's interactive mode.
#pragma once

#include <cstddef>
#include <string>

#include "tools/demo/DemoSteps.h"

enum class CommandKind {
  RunStep,  // a card number, "bad", "plug", "unplug"
  Help,     // "help", "?"
  Quit,     // "quit", "exit", "q"
  Nothing,  // a blank line
  Unknown,
};

struct InteractiveCommand {
  CommandKind kind = CommandKind::Nothing;
  Step step;
};

// `cardsSoFar` numbers the card for its scramble shift. Blanks around the word and a
// trailing carriage return are ignored; words are not case-sensitive.
InteractiveCommand ParseInteractiveCommand(const std::string& line, std::size_t cardsSoFar);

const char* InteractiveHelpText();
